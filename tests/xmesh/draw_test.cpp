// DrawSubset: the faces of one attribute drawn through the device, checked by their pixels and by
// the calls made.
#include "xmesh_models.h"

#include <platform/test_hooks.h>

#include <cstring>

namespace xmeshtest {
namespace {

constexpr int kSize = 64;
constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

struct TLVertex {
    float x, y, z, rhw;
    DWORD colour;
};

class DrawSubsetTest : public MeshTest {
protected:
    void SetUp() override {
        MeshTest::SetUp();
        IDirect3DDevice9* d = Device();
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        d->SetTexture(0, nullptr);
    }
    void TearDown() override {
        IDirect3DDevice9* d = Device();
        d->SetStreamSource(0, nullptr, 0, 0);
        d->SetIndices(nullptr);
        d->SetVertexDeclaration(nullptr);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        d->SetRenderState(D3DRS_LIGHTING, TRUE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        MeshTest::TearDown();
    }

    // Left half red with attribute 0 (faces 0 and 2), right half green with attribute 1 (faces
    // 1 and 3), in screen coordinates.
    Ref<ID3DXMesh> Halves() {
        Ref<ID3DXMesh> mesh;
        EXPECT_EQ(D3DXCreateMeshFVF(4, 8, D3DXMESH_SYSTEMMEM, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, Device(), mesh.out()),
                  D3D_OK);
        const float h = kSize, w = kSize / 2.0f;
        const TLVertex v[8] = {{0, 0, 0.5f, 1, kRed},  {w, 0, 0.5f, 1, kRed},  {w, h, 0.5f, 1, kRed},
                               {0, h, 0.5f, 1, kRed},  {w, 0, 0.5f, 1, kGreen}, {2 * w, 0, 0.5f, 1, kGreen},
                               {2 * w, h, 0.5f, 1, kGreen}, {w, h, 0.5f, 1, kGreen}};
        const uint16_t indices[12] = {0, 1, 2, 4, 5, 6, 0, 2, 3, 4, 6, 7};
        const DWORD attributes[4] = {0, 1, 0, 1};
        void* p = nullptr;
        mesh->LockVertexBuffer(0, &p);
        std::memcpy(p, v, sizeof v);
        mesh->UnlockVertexBuffer();
        mesh->LockIndexBuffer(0, &p);
        std::memcpy(p, indices, sizeof indices);
        mesh->UnlockIndexBuffer();
        DWORD* a = nullptr;
        mesh->LockAttributeBuffer(0, &a);
        std::memcpy(a, attributes, sizeof attributes);
        mesh->UnlockAttributeBuffer();
        return mesh;
    }

    void Clear(D3DCOLOR colour) { ASSERT_EQ(Device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0), D3D_OK); }
    HRESULT Draw(ID3DXMesh* mesh, DWORD attribute) {
        EXPECT_EQ(Device()->BeginScene(), D3D_OK);
        const HRESULT hr = mesh->DrawSubset(attribute);
        EXPECT_EQ(Device()->EndScene(), D3D_OK);
        return hr;
    }
    DWORD Pixel(int x, int y) {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(Device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        if (!back) return 0;
        D3DLOCKED_RECT lr;
        EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const DWORD colour = static_cast<const DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x] | 0xFF000000;
        back->UnlockRect();
        back->Release();
        return colour;
    }
};

TEST_F(DrawSubsetTest, EachSubsetDrawsOnlyItsFaces) {
    Ref<ID3DXMesh> mesh = Halves();
    Clear(kBlue);
    ASSERT_EQ(Draw(mesh.get(), 1), D3D_OK);
    EXPECT_EQ(Pixel(48, 16), kGreen);
    EXPECT_EQ(Pixel(48, 50), kGreen);
    EXPECT_EQ(Pixel(16, 16), kBlue);
    EXPECT_EQ(Pixel(16, 50), kBlue);
    ASSERT_EQ(Draw(mesh.get(), 0), D3D_OK);
    EXPECT_EQ(Pixel(16, 16), kRed);
    EXPECT_EQ(Pixel(16, 50), kRed);
    // A subset that no face has draws nothing.
    Clear(kBlue);
    ASSERT_EQ(Draw(mesh.get(), 7), D3D_OK);
    EXPECT_EQ(Pixel(16, 16), kBlue);
    EXPECT_EQ(Pixel(48, 16), kBlue);
}

TEST_F(DrawSubsetTest, WithoutATableEveryRunOfFacesIsDrawnWithATableOneRange) {
    Ref<ID3DXMesh> mesh = Halves();
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);
    platform::hooks::StartD3DTrace();
    Draw(mesh.get(), 0);
    auto calls = platform::hooks::TakeD3DTrace();
    std::vector<std::string> names;
    for (const auto& c : calls) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"SetFVF", "SetStreamSource", "SetIndices", "DrawIndexedPrimitive",
                                               "DrawIndexedPrimitive"}));
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{D3DFVF_XYZRHW | D3DFVF_DIFFUSE}));
    EXPECT_EQ(calls[1].args, (std::vector<int64_t>{0, int64_t(reinterpret_cast<uintptr_t>(vb)), 0, 20}));
    EXPECT_EQ(calls[2].args, (std::vector<int64_t>{int64_t(reinterpret_cast<uintptr_t>(ib))}));
    EXPECT_EQ(calls[3].args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 0, 0, 8, 0, 1}));
    EXPECT_EQ(calls[4].args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 0, 0, 8, 6, 1}));

    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const auto table = AttributeTable(mesh.get());
    ASSERT_EQ(table.size(), 2u);
    Draw(mesh.get(), 1);
    calls = platform::hooks::TakeD3DTrace();
    platform::hooks::StopD3DTrace();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].name, "DrawIndexedPrimitive");
    EXPECT_EQ(calls[3].args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 0, table[1].VertexStart, table[1].VertexCount,
                                                   table[1].FaceStart * 3, 2}));
    vb->Release();
    ib->Release();
    Clear(kBlue);
    Draw(mesh.get(), 1);
    EXPECT_EQ(Pixel(48, 16), kGreen);
    EXPECT_EQ(Pixel(16, 16), kBlue);
}

TEST_F(DrawSubsetTest, LayoutWithoutAnFvfDrawsThroughADeclaration) {
    Ref<ID3DXMesh> mesh = Halves();
    const D3DVERTEXELEMENT9 decl[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITIONT, 0},
                                      {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                      {0, 20, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
                                      D3DDECL_END()};
    Ref<ID3DXMesh> clone;
    ASSERT_EQ(mesh->CloneMesh(D3DXMESH_MANAGED, decl, Device(), clone.out()), D3D_OK);
    ASSERT_EQ(clone->GetFVF(), 0u);
    Clear(kBlue);
    ASSERT_EQ(Draw(clone.get(), 0), D3D_OK);
    // The device holds a declaration with the mesh's elements, and no FVF.
    IDirect3DVertexDeclaration9* set = nullptr;
    ASSERT_EQ(Device()->GetVertexDeclaration(&set), D3D_OK);
    ASSERT_NE(set, nullptr);
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH];
    UINT count = 0;
    ASSERT_EQ(set->GetDeclaration(elements, &count), D3D_OK);
    set->Release();
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(elements[2].Usage, D3DDECLUSAGE_TANGENT);
    EXPECT_EQ(elements[2].Offset, 20);
    DWORD fvf = 1;
    ASSERT_EQ(Device()->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
    EXPECT_EQ(Pixel(16, 16), kRed);
    EXPECT_EQ(Pixel(48, 16), kBlue);
}

TEST_F(DrawSubsetTest, LoadedModelDrawsWhereTheCameraSeesIt) {
    BoxModel box = Box({-1, -1, -1}, {1, 1, 1});
    box.withMaterials = false;
    Loaded l = LoadText(box.File(), Enc::Binary);
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->OptimizeInplace(D3DXMESHOPT_DONOTSPLIT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    D3DXMATRIX world, view, projection;
    D3DXMatrixIdentity(&world);
    const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 1.0f, 1.0f, 100.0f);
    Device()->SetTransform(D3DTS_WORLD, &world);
    Device()->SetTransform(D3DTS_VIEW, &view);
    Device()->SetTransform(D3DTS_PROJECTION, &projection);
    Clear(0xFF000000);
    ASSERT_EQ(Draw(l.mesh.get(), 0), D3D_OK);
    // The box's front face spans a quarter-angle of 2 / 4 units: about the middle 29 pixels.
    EXPECT_EQ(Pixel(32, 32), kWhite);
    EXPECT_EQ(Pixel(22, 40), kWhite);
    EXPECT_EQ(Pixel(2, 2), 0xFF000000u);
    EXPECT_EQ(Pixel(60, 32), 0xFF000000u);
}

}  // namespace
}  // namespace xmeshtest
