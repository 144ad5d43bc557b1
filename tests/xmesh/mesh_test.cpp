// ID3DXMesh and D3DXCreateMeshFVF: layouts, buffers, locks, cloning, adjacency, attribute tables
// and optimisation.
#include "xmesh_models.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace xmeshtest {
namespace {

class MeshApiTest : public MeshTest {};

using Tri = std::array<uint32_t, 3>;

// A strip of quads along x (two triangles each), faces alternating between attributes.
struct Strip {
    std::vector<V3> positions;
    std::vector<Tri> faces;
};
Strip MakeStrip(uint32_t quads) {
    Strip s;
    for (uint32_t i = 0; i <= quads; ++i) {
        s.positions.push_back({float(i), 0.0f, 0.0f});
        s.positions.push_back({float(i), 1.0f, 0.0f});
    }
    for (uint32_t i = 0; i < quads; ++i) {
        s.faces.push_back({2 * i, 2 * i + 1, 2 * i + 3});
        s.faces.push_back({2 * i, 2 * i + 3, 2 * i + 2});
    }
    return s;
}

TEST(FvfSize, SizesOfTheFlexibleVertexFormats) {
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ), 12u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1), 32u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1), 36u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), 20u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZW), 16u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZB1), 16u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZB5 | D3DFVF_LASTBETA_UBYTE4), 32u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_SPECULAR), 20u);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1) |
                                   D3DFVF_TEXCOORDSIZE4(2)),
              12u + 4 + 12 + 16);
    EXPECT_EQ(D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_TEX8), 12u + 64);
}

TEST_F(MeshApiTest, CreatedMeshDescribesItself) {
    Ref<ID3DXMesh> mesh;
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    ASSERT_EQ(D3DXCreateMeshFVF(10, 20, D3DXMESH_MANAGED, fvf, Device(), mesh.out()), D3D_OK);
    EXPECT_EQ(mesh->GetNumFaces(), 10u);
    EXPECT_EQ(mesh->GetNumVertices(), 20u);
    EXPECT_EQ(mesh->GetFVF(), fvf);
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_MANAGED));
    D3DVERTEXELEMENT9 decl[MAXD3DDECLLENGTH];
    ASSERT_EQ(mesh->GetDeclaration(decl), D3D_OK);
    EXPECT_EQ(decl[0].Usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(decl[0].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(decl[1].Usage, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(decl[1].Offset, 12);
    EXPECT_EQ(decl[2].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(decl[2].Type, D3DDECLTYPE_FLOAT2);
    EXPECT_EQ(decl[2].Offset, 24);
    EXPECT_EQ(decl[3].Stream, 0xFF);

    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(mesh->GetVertexBuffer(&vb), D3D_OK);
    D3DVERTEXBUFFER_DESC vdesc;
    ASSERT_EQ(vb->GetDesc(&vdesc), D3D_OK);
    EXPECT_EQ(vdesc.Size, 20u * 32);
    EXPECT_EQ(vdesc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(vdesc.FVF, fvf);
    vb->Release();
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(mesh->GetIndexBuffer(&ib), D3D_OK);
    D3DINDEXBUFFER_DESC idesc;
    ASSERT_EQ(ib->GetDesc(&idesc), D3D_OK);
    EXPECT_EQ(idesc.Size, 10u * 3 * 2);
    EXPECT_EQ(idesc.Format, D3DFMT_INDEX16);
    ib->Release();

    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(mesh->GetDevice(&device), D3D_OK);
    EXPECT_EQ(device, Device());
    device->Release();
    IUnknown* base = nullptr;
    ASSERT_EQ(mesh->QueryInterface(IID_ID3DXBaseMesh, reinterpret_cast<void**>(&base)), S_OK);
    base->Release();
    // Nothing sorted yet: no attribute table; every attribute 0.
    EXPECT_TRUE(AttributeTable(mesh.get()).empty());
    EXPECT_EQ(Attributes(mesh.get()), std::vector<DWORD>(10, 0));
}

TEST_F(MeshApiTest, CreationRefusesWhatCannotBeMade) {
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateMeshFVF(0, 3, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 0, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_NORMAL, Device(), &mesh), D3DERR_INVALIDCALL);  // no position
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4, Device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 70000, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);  // 16-bit indices
    EXPECT_EQ(D3DXCreateMeshFVF(0x7FFFFFFF, 3, D3DXMESH_32BIT, D3DFVF_XYZ, Device(), &mesh), E_OUTOFMEMORY);
    EXPECT_EQ(mesh, nullptr);
    ASSERT_EQ(D3DXCreateMeshFVF(1, 70000, D3DXMESH_32BIT | D3DXMESH_SYSTEMMEM, D3DFVF_XYZ, Device(), &mesh), D3D_OK);
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetIndexBuffer(&ib);
    D3DINDEXBUFFER_DESC desc;
    ib->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX32);
    ib->Release();
    mesh->Release();
}

TEST_F(MeshApiTest, LocksMustBalanceAndBlockDrawing) {
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    EXPECT_EQ(mesh->UnlockVertexBuffer(), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->UnlockIndexBuffer(), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->UnlockAttributeBuffer(), D3DERR_INVALIDCALL);
    void* a = nullptr;
    void* b = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &a), D3D_OK);
    ASSERT_EQ(mesh->LockVertexBuffer(0, &b), D3D_OK);  // locks nest
    EXPECT_EQ(a, b);
    EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->UnlockVertexBuffer(), D3D_OK);
    EXPECT_EQ(mesh->UnlockVertexBuffer(), D3D_OK);
    EXPECT_EQ(mesh->UnlockVertexBuffer(), D3DERR_INVALIDCALL);
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
    EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->UnlockAttributeBuffer(), D3D_OK);
    EXPECT_EQ(mesh->LockVertexBuffer(0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(MeshApiTest, CloneToAnotherFormatCopiesWhatBothHave) {
    Loaded l = LoadText(Box().File());
    ASSERT_EQ(l.hr, D3D_OK);
    Ref<ID3DXMesh> clone;
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0);
    ASSERT_EQ(l.mesh->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_32BIT, fvf, Device(), clone.out()), D3D_OK);
    EXPECT_EQ(clone->GetFVF(), fvf);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 12u + 4 + 12 + 8);
    EXPECT_EQ(clone->GetOptions(), DWORD(D3DXMESH_MANAGED | D3DXMESH_32BIT));
    ASSERT_EQ(clone->GetNumVertices(), l.mesh->GetNumVertices());
    EXPECT_EQ(Indices(clone.get()), Indices(l.mesh.get()));
    EXPECT_EQ(Attributes(clone.get()), Attributes(l.mesh.get()));
    const auto src = VertexBytes(l.mesh.get()), dst = VertexBytes(clone.get());
    for (size_t v = 0; v < 24; ++v) {
        EXPECT_EQ(std::memcmp(&src[v * 32], &dst[v * 36], 12), 0);  // position
        DWORD colour;
        std::memcpy(&colour, &dst[v * 36 + 12], 4);
        EXPECT_EQ(colour, 0u);  // new: zero
        const D3DXVECTOR2 t = Vec2At(src, 32, v, 24);
        const D3DXVECTOR3 t3 = Vec3At(dst, 36, v, 16);  // two floats widened to three
        EXPECT_EQ(t3.x, t.x);
        EXPECT_EQ(t3.y, t.y);
        EXPECT_EQ(t3.z, 0.0f);
        EXPECT_EQ(Vec2At(dst, 36, v, 28).x, 0.0f);  // the second set is new
    }
    // Narrowing to positions only.
    Ref<ID3DXMesh> positions;
    ASSERT_EQ(clone->CloneMeshFVF(0, D3DFVF_XYZ, Device(), positions.out()), D3D_OK);
    const auto p = VertexBytes(positions.get());
    for (size_t v = 0; v < 24; ++v) EXPECT_EQ(std::memcmp(&src[v * 32], &p[v * 12], 12), 0);
    EXPECT_EQ(positions->GetOptions() & D3DXMESH_32BIT, 0u);
    EXPECT_EQ(Indices(positions.get()), Indices(l.mesh.get()));
    EXPECT_EQ(l.mesh->CloneMeshFVF(0, D3DFVF_XYZ, nullptr, positions.out()), D3DERR_INVALIDCALL);
    EXPECT_EQ(l.mesh->CloneMeshFVF(0, 0x2000 | D3DFVF_XYZ, Device(), positions.out()), D3DERR_INVALIDCALL);
}

TEST_F(MeshApiTest, CloneWithADeclarationThatNoFvfDescribes) {
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ | D3DFVF_NORMAL, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    const D3DVERTEXELEMENT9 decl[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
        {0, 24, D3DDECLTYPE_FLOAT16_4, 0, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END()};
    Ref<ID3DXMesh> clone;
    ASSERT_EQ(mesh->CloneMesh(D3DXMESH_SYSTEMMEM, decl, Device(), clone.out()), D3D_OK);
    EXPECT_EQ(clone->GetFVF(), 0u);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 32u);
    D3DVERTEXELEMENT9 back[MAXD3DDECLLENGTH];
    ASSERT_EQ(clone->GetDeclaration(back), D3D_OK);
    EXPECT_EQ(back[1].Usage, D3DDECLUSAGE_TANGENT);
    EXPECT_EQ(back[3].Stream, 0xFF);
    // A declaration that an FVF describes gets that FVF.
    const D3DVERTEXELEMENT9 plain[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                       D3DDECL_END()};
    Ref<ID3DXMesh> coloured;
    ASSERT_EQ(mesh->CloneMesh(0, plain, Device(), coloured.out()), D3D_OK);
    EXPECT_EQ(coloured->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    // Two elements of one usage, or a stream other than 0, are refused.
    const D3DVERTEXELEMENT9 twice[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       D3DDECL_END()};
    EXPECT_EQ(mesh->CloneMesh(0, twice, Device(), coloured.out()), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 stream1[] = {{1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(mesh->CloneMesh(0, stream1, Device(), coloured.out()), D3DERR_INVALIDCALL);
}

TEST_F(MeshApiTest, CloneConvertsBetweenElementTypes) {
    Ref<ID3DXMesh> mesh;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, Device(),
                                mesh.out()),
              D3D_OK);
    struct Vertex {
        float x, y, z;
        DWORD colour;
        float u, v;
    };
    const Vertex vertices[3] = {{0, 0, 0, 0x80FF4000, 0.5f, -0.25f}, {1, 0, 0, 0xFF0000FF, 2.0f, 1.0f},
                                {0, 1, 0, 0x00000000, 0.0f, 0.0f}};
    void* p = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(0, &p), D3D_OK);
    std::memcpy(p, vertices, sizeof vertices);
    mesh->UnlockVertexBuffer();
    // Colour as four floats (r, g, b, a); coordinates as half floats and as normalised shorts.
    const D3DVERTEXELEMENT9 decl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_COLOR, 0},
                                      {0, 28, D3DDECLTYPE_FLOAT16_2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                      D3DDECL_END()};
    Ref<ID3DXMesh> wide;
    ASSERT_EQ(mesh->CloneMesh(D3DXMESH_SYSTEMMEM, decl, Device(), wide.out()), D3D_OK);
    const auto w = VertexBytes(wide.get());
    ASSERT_EQ(wide->GetNumBytesPerVertex(), 32u);
    float colour[4];
    std::memcpy(colour, &w[12], 16);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 64 / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 0.0f);
    EXPECT_FLOAT_EQ(colour[3], 128 / 255.0f);
    uint16_t half[2];
    std::memcpy(half, &w[28], 4);
    EXPECT_EQ(half[0], 0x3800);  // 0.5
    EXPECT_EQ(half[1], 0xB400);  // -0.25
    std::memcpy(half, &w[32 + 28], 4);
    EXPECT_EQ(half[0], 0x4000);  // 2.0
    // And back: the original values come out again.
    Ref<ID3DXMesh> back;
    ASSERT_EQ(wide->CloneMeshFVF(D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, Device(), back.out()),
              D3D_OK);
    const auto b = VertexBytes(back.get());
    ASSERT_EQ(b.size(), sizeof vertices);
    EXPECT_EQ(std::memcmp(b.data(), vertices, sizeof vertices), 0);
}

TEST_F(MeshApiTest, SharedVertexBufferIsOneBuffer) {
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    {
        Ref<ID3DXMesh> clone;
        ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_VB_SHARE | D3DXMESH_SYSTEMMEM, D3DFVF_XYZ, Device(), clone.out()),
                  D3D_OK);
        IDirect3DVertexBuffer9 *a = nullptr, *b = nullptr;
        mesh->GetVertexBuffer(&a);
        clone->GetVertexBuffer(&b);
        EXPECT_EQ(a, b);
        a->Release();
        b->Release();
        void* data = nullptr;
        ASSERT_EQ(clone->LockVertexBuffer(0, &data), D3D_OK);
        static_cast<float*>(data)[0] = 42.0f;
        clone->UnlockVertexBuffer();
        EXPECT_EQ(Vec3At(VertexBytes(mesh.get()), 12, 0, 0).x, 42.0f);
        // Moving shared vertices would move them under the other mesh too.
        EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_IGNOREVERTS, nullptr, nullptr, nullptr,
                                        nullptr),
                  D3D_OK);
        // Sharing needs the same layout.
        Ref<ID3DXMesh> other;
        EXPECT_EQ(mesh->CloneMeshFVF(D3DXMESH_VB_SHARE, D3DFVF_XYZ | D3DFVF_NORMAL, Device(), other.out()),
                  D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(MeshApiTest, GenerateAdjacencyJoinsVerticesWithinEpsilon) {
    // Two triangles sharing edge (1, 2) by index; a third touching the second along copies of
    // its corners, one of them 0.001 away.
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ,
                                   {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {1.001f, 1, 0}, {2, 0, 0}},
                                   {{0, 1, 2}, {2, 1, 3}, {4, 6, 5}});
    std::vector<DWORD> adj(9);
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adj.data()), D3D_OK);
    const DWORD none = 0xFFFFFFFF;
    EXPECT_EQ(adj, (std::vector<DWORD>{none, 1, none, 0, none, none, none, none, none}));
    ASSERT_EQ(mesh->GenerateAdjacency(0.01f, adj.data()), D3D_OK);
    EXPECT_EQ(adj, (std::vector<DWORD>{none, 1, none, 0, 2, none, none, none, 1}));
    EXPECT_EQ(mesh->GenerateAdjacency(0.0f, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->GenerateAdjacency(-1.0f, adj.data()), D3DERR_INVALIDCALL);
}

TEST_F(MeshApiTest, AttributeTableIsSetCheckedAndDroppedWhenAttributesChange) {
    Strip s = MakeStrip(2);
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, s.positions, s.faces, {0, 0, 1, 1});
    const D3DXATTRIBUTERANGE table[] = {{0, 0, 2, 0, 4}, {1, 2, 2, 2, 4}};
    ASSERT_EQ(mesh->SetAttributeTable(table, 2), D3D_OK);
    auto got = AttributeTable(mesh.get());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].FaceStart, 2u);
    EXPECT_EQ(got[1].VertexCount, 4u);
    DWORD count = 1;
    D3DXATTRIBUTERANGE one[1];
    ASSERT_EQ(mesh->GetAttributeTable(one, &count), D3D_OK);  // no more than asked for
    EXPECT_EQ(count, 1u);
    const D3DXATTRIBUTERANGE tooManyFaces[] = {{0, 3, 2, 0, 4}};
    EXPECT_EQ(mesh->SetAttributeTable(tooManyFaces, 1), D3DERR_INVALIDCALL);
    const D3DXATTRIBUTERANGE tooManyVertices[] = {{0, 0, 2, 4, 3}};
    EXPECT_EQ(mesh->SetAttributeTable(tooManyVertices, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(AttributeTable(mesh.get()).size(), 2u);
    // Reading the attributes keeps the table; writing them drops it.
    EXPECT_EQ(Attributes(mesh.get()), (std::vector<DWORD>{0, 0, 1, 1}));
    EXPECT_EQ(AttributeTable(mesh.get()).size(), 2u);
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), D3D_OK);
    attributes[0] = 5;
    mesh->UnlockAttributeBuffer();
    EXPECT_TRUE(AttributeTable(mesh.get()).empty());
    ASSERT_EQ(mesh->SetAttributeTable(table, 2), D3D_OK);
    ASSERT_EQ(mesh->SetAttributeTable(nullptr, 0), D3D_OK);
    EXPECT_TRUE(AttributeTable(mesh.get()).empty());
}

// Checks that the optimised mesh draws the same triangles with the same attributes.
void ExpectSameTriangles(ID3DXMesh* before, const std::vector<DWORD>& beforeAttributes, ID3DXMesh* after,
                         const DWORD* faceRemap) {
    const auto bv = VertexBytes(before), av = VertexBytes(after);
    const auto bi = Indices(before), ai = Indices(after);
    const auto aa = Attributes(after);
    const UINT bs = before->GetNumBytesPerVertex(), as = after->GetNumBytesPerVertex();
    ASSERT_EQ(before->GetNumFaces(), after->GetNumFaces());
    for (DWORD f = 0; f < after->GetNumFaces(); ++f) {
        const DWORD old = faceRemap[f];
        EXPECT_EQ(aa[f], beforeAttributes[old]);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(std::memcmp(&av[size_t(ai[f * 3 + k]) * as], &bv[size_t(bi[old * 3 + k]) * bs], bs), 0);
    }
}

TEST_F(MeshApiTest, OptimizeInplaceDoNotSplitSortsFacesAndMovesNoVertex) {
    Loaded l = LoadText(Box().File());
    ASSERT_EQ(l.hr, D3D_OK);
    // Mix the attributes so that sorting has work to do.
    const std::vector<DWORD> attributes = {2, 0, 1, 0, 2, 1, 1, 0, 2, 2, 0, 1};
    DWORD* a = nullptr;
    ASSERT_EQ(l.mesh->LockAttributeBuffer(0, &a), D3D_OK);
    std::copy(attributes.begin(), attributes.end(), a);
    l.mesh->UnlockAttributeBuffer();
    Ref<ID3DXMesh> before;
    ASSERT_EQ(l.mesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, l.mesh->GetFVF(), Device(), before.out()), D3D_OK);
    const auto vertices = VertexBytes(l.mesh.get());

    std::vector<DWORD> faceRemap(12);
    std::vector<DWORD> adjacency(36);
    Ref<ID3DXBuffer> vertexRemap;
    ASSERT_EQ(l.mesh->OptimizeInplace(D3DXMESHOPT_DONOTSPLIT, l.Adjacency(), adjacency.data(), faceRemap.data(),
                                      vertexRemap.out()),
              D3D_OK);
    EXPECT_EQ(VertexBytes(l.mesh.get()), vertices);  // not one vertex moved
    ASSERT_TRUE(vertexRemap);
    ASSERT_EQ(vertexRemap->GetBufferSize(), 24u * 4);
    const DWORD* vr = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    for (DWORD v = 0; v < 24; ++v) EXPECT_EQ(vr[v], v);
    const auto sorted = Attributes(l.mesh.get());
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
    // Faces of one attribute keep their order.
    EXPECT_EQ(faceRemap, (std::vector<DWORD>{1, 3, 7, 10, 2, 5, 6, 11, 0, 4, 8, 9}));
    ExpectSameTriangles(before.get(), attributes, l.mesh.get(), faceRemap.data());
    // The adjacency follows the faces to their new places.
    for (DWORD f = 0; f < 12; ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(faceRemap[adjacency[f * 3 + k]], l.Adjacency()[faceRemap[f] * 3 + k]);

    const auto table = AttributeTable(l.mesh.get());
    ASSERT_EQ(table.size(), 3u);
    const auto indices = Indices(l.mesh.get());
    for (DWORD r = 0; r < 3; ++r) {
        EXPECT_EQ(table[r].AttribId, r);
        EXPECT_EQ(table[r].FaceStart, 4 * r);
        EXPECT_EQ(table[r].FaceCount, 4u);
        const auto first = indices.begin() + table[r].FaceStart * 3, last = first + table[r].FaceCount * 3;
        EXPECT_EQ(table[r].VertexStart, *std::min_element(first, last));
        EXPECT_EQ(table[r].VertexStart + table[r].VertexCount - 1, *std::max_element(first, last));
    }
}

TEST_F(MeshApiTest, OptimizeAttrSortGivesEachAttributeItsOwnVertices) {
    // Attributes alternate along the strip, so that the vertices between quads are shared by
    // two attributes and must be split; vertices 0 and 1 of quad 0 are also used by nothing else.
    Strip s = MakeStrip(4);
    s.positions.push_back({9, 9, 9});  // used by no face
    const std::vector<DWORD> attributes = {0, 0, 1, 1, 0, 0, 1, 1};
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, s.positions, s.faces, attributes);
    std::vector<DWORD> adjacency(24);
    ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), D3D_OK);

    Ref<ID3DXMesh> optimised;
    Ref<ID3DXBuffer> vertexRemap;
    std::vector<DWORD> faceRemap(8), adjacencyOut(24);
    ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_ATTRSORT, adjacency.data(), adjacencyOut.data(), faceRemap.data(),
                             vertexRemap.out(), optimised.out()),
              D3D_OK);
    EXPECT_EQ(optimised->GetOptions(), DWORD(D3DXMESH_SYSTEMMEM));
    EXPECT_EQ(faceRemap, (std::vector<DWORD>{0, 1, 4, 5, 2, 3, 6, 7}));
    ExpectSameTriangles(mesh.get(), attributes, optimised.get(), faceRemap.data());
    // Attribute 0 uses x = 0, 1, 2, 3 (8 vertices), attribute 1 x = 1, 2, 3, 4 (8 vertices); the
    // unused vertex is gone.
    EXPECT_EQ(optimised->GetNumVertices(), 16u);
    const auto table = AttributeTable(optimised.get());
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].VertexStart, 0u);
    EXPECT_EQ(table[0].VertexCount, 8u);
    EXPECT_EQ(table[1].VertexStart, 8u);
    EXPECT_EQ(table[1].VertexCount, 8u);
    const auto indices = Indices(optimised.get());
    for (const auto& r : table)
        for (DWORD i = r.FaceStart * 3; i < (r.FaceStart + r.FaceCount) * 3; ++i) {
            EXPECT_GE(indices[i], r.VertexStart);
            EXPECT_LT(indices[i], r.VertexStart + r.VertexCount);
        }
    // The remap names the vertex each new one was copied from.
    ASSERT_EQ(vertexRemap->GetBufferSize(), 16u * 4);
    const DWORD* vr = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    const auto nv = VertexBytes(optimised.get());
    for (DWORD v = 0; v < 16; ++v) EXPECT_TRUE(Near(Vec3At(nv, 12, v, 0), s.positions[vr[v]]));
    // The new adjacency is the old one, renumbered.
    for (DWORD f = 0; f < 8; ++f)
        for (int k = 0; k < 3; ++k) {
            const DWORD old = adjacency[faceRemap[f] * 3 + k];
            const DWORD now = adjacencyOut[f * 3 + k];
            if (old == 0xFFFFFFFF) {
                EXPECT_EQ(now, 0xFFFFFFFFu);
            } else {
                EXPECT_EQ(faceRemap[now], old);
            }
        }
    // The source mesh is unchanged.
    EXPECT_EQ(Attributes(mesh.get()), attributes);
    EXPECT_EQ(mesh->GetNumVertices(), 11u);
}

TEST_F(MeshApiTest, CompactAloneDropsUnusedVerticesAndKeepsTheFaceOrder) {
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, {{7, 7, 7}, {0, 0, 0}, {1, 0, 0}, {8, 8, 8}, {0, 1, 0}},
                                   {{1, 2, 4}, {4, 2, 1}}, {1, 0});
    std::vector<DWORD> faceRemap(2);
    Ref<ID3DXBuffer> vertexRemap;
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT, nullptr, nullptr, faceRemap.data(), vertexRemap.out()),
              D3D_OK);
    EXPECT_EQ(mesh->GetNumVertices(), 3u);
    EXPECT_EQ(faceRemap, (std::vector<DWORD>{0, 1}));
    EXPECT_EQ(Indices(mesh.get()), (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(Attributes(mesh.get()), (std::vector<DWORD>{1, 0}));
    const DWORD* vr = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    EXPECT_EQ(std::vector<DWORD>(vr, vr + 3), (std::vector<DWORD>{1, 2, 4}));
    EXPECT_TRUE(AttributeTable(mesh.get()).empty());
    IDirect3DVertexBuffer9* vb = nullptr;
    mesh->GetVertexBuffer(&vb);
    D3DVERTEXBUFFER_DESC desc;
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.Size, 3u * 12);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    vb->Release();
}

TEST_F(MeshApiTest, OptimizeRefusesBadInput) {
    Strip s = MakeStrip(1);
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, s.positions, s.faces);
    ID3DXMesh* out = nullptr;
    const std::vector<DWORD> badAdjacency = {0xFFFFFFFF, 7, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(mesh->Optimize(D3DXMESHOPT_ATTRSORT, badAdjacency.data(), nullptr, nullptr, nullptr, &out),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->Optimize(D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER, nullptr, nullptr, nullptr, nullptr,
                             &out),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->Optimize(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(out, nullptr);
    // An index written past the vertices makes the mesh unusable for optimisation.
    void* data = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(0, &data), D3D_OK);
    static_cast<uint16_t*>(data)[0] = 99;
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3DXERR_INVALIDMESH);
}

TEST_F(MeshApiTest, OptimizeCanChangeThePool) {
    Strip s = MakeStrip(3);
    Ref<ID3DXMesh> mesh = MakeMesh(D3DFVF_XYZ, s.positions, s.faces, {}, D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT);
    Ref<ID3DXMesh> out;
    ASSERT_EQ(mesh->Optimize(D3DXMESHOPT_VERTEXCACHE | D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr, out.out()),
              D3D_OK);
    EXPECT_EQ(out->GetOptions(), DWORD(D3DXMESH_MANAGED | D3DXMESH_32BIT));  // index size is kept
    EXPECT_EQ(AttributeTable(out.get()).size(), 1u);
}

}  // namespace
}  // namespace xmeshtest
