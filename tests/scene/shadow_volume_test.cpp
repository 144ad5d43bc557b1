// Shadow volumes built from meshes, and a box's shadow darkening the ground through the stencil.
#include <cmath>
#include <cstdio>
#include <set>

#include "frame.h"
#include "game_passes.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "shadowvolume.h"
#include "test_meshes.h"

using scenetest::LockFailingMesh;
using scenetest::MakeMesh;

namespace {

typedef std::vector<D3DXVECTOR3> Points;

// The quad that an edge (a, b) becomes for a light.
Points Quad(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& light) {
    D3DXVECTOR3 a2 = a - light * 10.0f, b2 = b - light * 10.0f;
    return {a, b, a2, b, b2, a2};
}

Points Volume(const CShadowVolume& v) { return Points(v.m_Vertices, v.m_Vertices + v.m_NumVertices); }

Points Join(std::initializer_list<Points> parts) {
    Points out;
    for (const Points& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class ShadowBuild : public scenetest::DeviceTest {
protected:
    void SetUp() override {
        scenetest::DeviceTest::SetUp();
        volume_ = new CShadowVolume();
    }
    void TearDown() override {
        delete volume_;
        scenetest::DeviceTest::TearDown();
    }
    CShadowVolume* volume_ = nullptr;
};

// A triangle whose shadow normal (p2 - p1) x (p1 - p0) is (0, 0, -1).
const Points kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

TEST_F(ShadowBuild, ALitTriangleGivesItsThreeEdgesInOrder) {
    ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2});
    const D3DXVECTOR3 light(0.5f, 0.25f, -2);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, light), S_OK);
    const Points& p = kTriangle;
    EXPECT_EQ(Volume(*volume_), Join({Quad(p[0], p[1], light), Quad(p[1], p[2], light), Quad(p[2], p[0], light)}));
    mesh->Release();
}

TEST_F(ShadowBuild, AnUnlitMeshAddsNothingAndAPerpendicularLightCountsAsLit) {
    ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2});
    volume_->m_NumVertices = 6;
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, 1)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 6u);
    volume_->Reset();
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(1, 2, 0)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 18u);
    mesh->Release();
}

TEST_F(ShadowBuild, TwoLitTrianglesSharingAnEdgeCancelIt) {
    // The quad (0,1,2) + (2,1,3): the edge 1-2 is shared in opposite directions.
    const Points p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    ID3DXMesh* mesh = MakeMesh(device_, p, {0, 1, 2, 2, 1, 3});
    const D3DXVECTOR3 light(0, 0, -1);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, light), S_OK);
    // (1,2) was removed and the last edge (2,0) took its slot.
    EXPECT_EQ(Volume(*volume_), Join({Quad(p[0], p[1], light), Quad(p[2], p[0], light), Quad(p[1], p[3], light),
                                      Quad(p[3], p[2], light)}));
    mesh->Release();
}

TEST_F(ShadowBuild, EdgesAreMatchedByIndexNotByPosition) {
    // The same two triangles with the shared edge's vertices duplicated, as at a texture seam.
    const Points p = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    ID3DXMesh* mesh = MakeMesh(device_, p, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 36u);
    mesh->Release();
}

// The silhouette of a closed box: the edges between its lit and unlit sides.
TEST_F(ShadowBuild, AClosedBoxGivesOnlyItsSilhouette) {
    Points p;
    std::vector<DWORD> idx;
    scenetest::BoxGeometry(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1), &p, &idx);
    ID3DXMesh* mesh = MakeMesh(device_, p, idx);

    // From straight above the four sides are edge-on and count as lit: the bottom's rim remains.
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 10, 0)), S_OK);
    ASSERT_EQ(volume_->m_NumVertices, 24u);
    for (DWORD i = 0; i < 24; i += 6) {
        EXPECT_EQ(volume_->m_Vertices[i].y, -1.0f);
        EXPECT_EQ(volume_->m_Vertices[i + 1].y, -1.0f);
    }

    // From above and to one side: top, +x and +z lit; the outline is six edges.
    volume_->Reset();
    const D3DXVECTOR3 light(3, 10, 2);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, light), S_OK);
    ASSERT_EQ(volume_->m_NumVertices, 36u);
    std::set<std::pair<int, int>> edges;
    for (DWORD i = 0; i < 36; i += 6) {
        auto corner = [&](const D3DXVECTOR3& v) {
            return (v.x > 0 ? 1 : 0) | (v.y > 0 ? 2 : 0) | (v.z > 0 ? 4 : 0);
        };
        int a = corner(volume_->m_Vertices[i]), b = corner(volume_->m_Vertices[i + 1]);
        edges.insert({std::min(a, b), std::max(a, b)});
        // Each quad is the edge pulled ten light-lengths away from the light.
        EXPECT_TRUE(scenetest::VectorNear(volume_->m_Vertices[i + 2], volume_->m_Vertices[i] - light * 10.0f));
        EXPECT_TRUE(scenetest::VectorNear(volume_->m_Vertices[i + 4], volume_->m_Vertices[i + 1] - light * 10.0f));
    }
    // Corner bits: x = 1, y = 2, z = 4. The outline runs top -x side, top -z side, down the
    // two side corners, and along the bottom of the two lit sides.
    std::set<std::pair<int, int>> expected = {{2, 6}, {2, 3}, {1, 3}, {1, 5}, {4, 5}, {4, 6}};
    EXPECT_EQ(edges, expected);
    mesh->Release();
}

TEST_F(ShadowBuild, BuildsWithoutAResetAddUp) {
    ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2});
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -2)), S_OK);
    ASSERT_EQ(volume_->m_NumVertices, 36u);
    EXPECT_EQ(volume_->m_Vertices[2], D3DXVECTOR3(0, 0, 10));
    EXPECT_EQ(volume_->m_Vertices[20], D3DXVECTOR3(0, 0, 20));
    mesh->Release();
}

TEST_F(ShadowBuild, VerticesAreReadAtTheMeshsOwnSize) {
    const D3DXVECTOR3 light(0.5f, 0.25f, -2);
    Points reference;
    for (DWORD fvf : {scenetest::kGameFVF, DWORD(D3DFVF_XYZ), DWORD(D3DFVF_XYZ | D3DFVF_DIFFUSE),
                      DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2)}) {
        ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2}, {}, fvf);
        volume_->Reset();
        EXPECT_EQ(volume_->BuildFromMesh(mesh, light), S_OK);
        if (reference.empty()) reference = Volume(*volume_);
        EXPECT_EQ(Volume(*volume_), reference) << "FVF " << fvf;
        mesh->Release();
    }
    EXPECT_EQ(reference.size(), 18u);
}

TEST_F(ShadowBuild, ThirtyTwoBitIndexesAreRefused) {
    ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2}, {}, scenetest::kGameFVF,
                               D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), E_FAIL);
    EXPECT_EQ(volume_->m_NumVertices, 0u);
    mesh->Release();
}

TEST_F(ShadowBuild, FailedLocksAreReturnedWithNothingLeftLocked) {
    LockFailingMesh* mesh = new LockFailingMesh(MakeMesh(device_, kTriangle, {0, 1, 2}));
    mesh->failVertexLock = true;
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), D3DERR_INVALIDCALL);
    mesh->failVertexLock = false;
    mesh->failIndexLock = true;
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->vertexLocks, 0);
    EXPECT_EQ(mesh->indexLocks, 0);
    EXPECT_EQ(volume_->m_NumVertices, 0u);
    mesh->failIndexLock = false;
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(mesh->vertexLocks, 0);
    EXPECT_EQ(mesh->indexLocks, 0);
    EXPECT_EQ(volume_->m_NumVertices, 18u);
    mesh->Release();
}

TEST_F(ShadowBuild, FacesNamingVerticesBeyondTheMeshAreSkipped) {
    ID3DXMesh* mesh = MakeMesh(device_, kTriangle, {0, 1, 2, 0, 1, 2});
    WORD* ib = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(0, (LPVOID*)&ib), D3D_OK);
    ib[4] = 40000;
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 18u);
    mesh->Release();
}

TEST_F(ShadowBuild, TheVolumeStopsBeforeItsCapacity) {
    // 2,000 separate lit triangles: 6,000 edges would need 36,000 vertices.
    Points p;
    std::vector<DWORD> idx;
    for (DWORD t = 0; t < 2000; t++) {
        float x = float(t);
        p.insert(p.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        idx.insert(idx.end(), {3 * t, 3 * t + 1, 3 * t + 2});
    }
    ID3DXMesh* mesh = MakeMesh(device_, p, idx);
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 31998u);  // 5,333 whole quads
    // Full: another build adds nothing and writes nowhere.
    EXPECT_EQ(volume_->BuildFromMesh(mesh, D3DXVECTOR3(0, 0, -1)), S_OK);
    EXPECT_EQ(volume_->m_NumVertices, 31998u);
    mesh->Release();
}

// ---- the stencil passes of the game, on a small scene

// A point on the back buffer for a world position.
POINT Project(const D3DXVECTOR3& p, const D3DXMATRIX& view, const D3DXMATRIX& proj, UINT w, UINT h) {
    D3DXMATRIX vp = view * proj;
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &vp);
    POINT pt = {LONG((out.x + 1) * 0.5f * float(w)), LONG((1 - out.y) * 0.5f * float(h))};
    return pt;
}

class StencilShadow : public scenetest::DeviceTest {
protected:
    StencilShadow() : scenetest::DeviceTest(160, 120) {}

    void RenderShadowVolume(CShadowVolume* volume, D3DXMATRIX world) {
        scenetest::RenderShadowVolume(device_, volume, world);
    }
    void DrawShadow() { scenetest::DrawShadow(device_, float(width_), float(height_)); }
};

TEST_F(StencilShadow, ABoxsVolumeDarkensTheGroundWhereItsShadowFalls) {
    // A white ground at y = 0 and a grey box of side 2 standing on it, drawn unlit with
    // vertex colours, seen from above; a point light up and to the right (+x).
    CMeshContainerEx* ground = new CMeshContainerEx();
    ground->MeshData.pMesh = MakeMesh(device_, {{-20, 0, -20}, {-20, 0, 20}, {20, 0, -20}, {20, 0, 20}},
                                      {0, 1, 2, 2, 1, 3}, {}, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DXMESH_SYSTEMMEM,
                                      0xFFFFFFFF);
    Points p;
    std::vector<DWORD> idx;
    scenetest::BoxGeometry(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1), &p, &idx);
    CMeshContainerEx* box = new CMeshContainerEx();
    box->MeshData.pMesh = MakeMesh(device_, p, idx, {}, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DXMESH_SYSTEMMEM, 0xFF404040);
    for (CMeshContainerEx* c : {ground, box}) {
        c->NumMaterials = 1;
        c->pMaterials = new D3DXMATERIAL[1]();
        c->pMaterials[0].MatD3D.Diffuse.a = 1.0f;
    }
    CFrame groundNode, boxNode;
    groundNode.AddMesh(ground);
    boxNode.AddMesh(box);
    boxNode.SetPosition(0, 1, 0);

    D3DXMATRIX view, proj;
    D3DXVECTOR3 eye(0, 14, -9), at(-1, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, float(width_) / float(height_), 1.0f, 1000.0f);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_PROJECTION, &proj);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    groundNode.Render(true);
    boxNode.Render(true);

    // The light into the box's own space, and its volume through the stencil passes.
    const D3DXVECTOR3 lightWorld(6, 12, 0);
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &boxNode.matWorld);
    D3DXVECTOR3 light;
    D3DXVec3TransformCoord(&light, &lightWorld, &inverse);
    CShadowVolume* volume = new CShadowVolume();
    volume->Reset();
    ASSERT_EQ(volume->BuildFromMesh(box->MeshData.pMesh, light), S_OK);
    EXPECT_GT(volume->m_NumVertices, 0u);
    RenderShadowVolume(volume, boxNode.matWorld);
    DrawShadow();
    ASSERT_EQ(device_->EndScene(), D3D_OK);

    // The box's far top edge (x = -1, y = 2) throws its shadow on the ground up to
    // x = 6 + 1.2 * (-1 - 6) = -2.4; the ground under the light's side stays lit.
    auto at2 = [&](float x, float z) { return Project(D3DXVECTOR3(x, 0, z), view, proj, width_, height_); };
    const POINT shadowed = at2(-1.7f, 0), beyond = at2(-3.4f, 0), lit = at2(2.5f, 0), side = at2(-1.7f, 2.5f);
    const DWORD inShadow = Pixel(shadowed.x, shadowed.y);
    EXPECT_NEAR(int(inShadow & 0xFF), 128, 3) << std::hex << inShadow;
    EXPECT_NEAR(int((inShadow >> 16) & 0xFF), 128, 3);
    EXPECT_EQ(Pixel(beyond.x, beyond.y) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Pixel(lit.x, lit.y) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Pixel(side.x, side.y) & 0xFFFFFF, 0xFFFFFFu);
    const POINT top = Project(D3DXVECTOR3(0.5f, 2, 0), view, proj, width_, height_);
    EXPECT_EQ(Pixel(top.x, top.y) & 0xFFFFFF, 0x404040u);  // the lit top of the box keeps its colour

    // Everything darkened lies on the ground beside the box, away from the light.
    std::vector<DWORD> pixels = Pixels();
    int darkened = 0;
    for (UINT y = 0; y < height_; y++)
        for (UINT x = 0; x < width_; x++) {
            DWORD c = pixels[size_t(y) * width_ + x] & 0xFF;
            if (c > 100 && c < 160) darkened++;
        }
    EXPECT_GT(darkened, 30);

    delete volume;
    groundNode.RemoveMeshes();
    boxNode.RemoveMeshes();
    delete ground;
    delete box;
}

TEST_F(StencilShadow, AnEmptyVolumeDarkensNothing) {
    CShadowVolume* volume = new CShadowVolume();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    RenderShadowVolume(volume, id);
    DrawShadow();
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    for (DWORD c : Pixels()) ASSERT_EQ(c & 0xFFFFFF, 0xFFFFFFu);
    delete volume;
}

}  // namespace
