// Bounds of positions and rays against meshes.
#include "xmesh_models.h"

#include <cmath>

namespace xmeshtest {
namespace {

class GeometryTest : public MeshTest {};

TEST_F(GeometryTest, BoundsOfTheEightCornerBox) {
    BoxModel box = Box({-0.5f, -1.0f, -1.5f}, {0.5f, 1.0f, 1.5f});
    box.withNormals = false;  // coordinates kept: 20-byte vertices exercise the stride
    Loaded l = LoadText(box.File());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->GetNumVertices(), 8u);
    const DWORD stride = D3DXGetFVFVertexSize(l.mesh->GetFVF());
    ASSERT_EQ(stride, 20u);
    void* data = nullptr;
    ASSERT_EQ(l.mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* first = static_cast<const D3DXVECTOR3*>(data);
    D3DXVECTOR3 lo, hi, centre;
    float radius = 0.0f;
    EXPECT_EQ(D3DXComputeBoundingBox(first, 8, stride, &lo, &hi), D3D_OK);
    EXPECT_EQ(D3DXComputeBoundingSphere(first, 8, stride, &centre, &radius), D3D_OK);
    l.mesh->UnlockVertexBuffer();
    EXPECT_TRUE(Near(lo, {-0.5f, -1.0f, -1.5f}, 0));
    EXPECT_TRUE(Near(hi, {0.5f, 1.0f, 1.5f}, 0));
    EXPECT_TRUE(Near(centre, {0, 0, 0}));
    EXPECT_NEAR(radius, std::sqrt(3.5f), 1e-6f);
}

TEST_F(GeometryTest, SphereCentreIsTheMeanNotTheMiddle) {
    const D3DXVECTOR3 points[] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {4, 0, 0}};
    D3DXVECTOR3 centre;
    float radius = 0.0f;
    ASSERT_EQ(D3DXComputeBoundingSphere(points, 4, sizeof(D3DXVECTOR3), &centre, &radius), D3D_OK);
    EXPECT_TRUE(Near(centre, {1, 0, 0}));
    EXPECT_FLOAT_EQ(radius, 3.0f);
    D3DXVECTOR3 lo, hi;
    EXPECT_EQ(D3DXComputeBoundingBox(points, 0, 12, &lo, &hi), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(nullptr, 4, 12, &lo, &hi), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingSphere(points, 4, 12, nullptr, &radius), D3DERR_INVALIDCALL);
    // A stride of 0 reads the first position every time.
    ASSERT_EQ(D3DXComputeBoundingBox(points + 3, 5, 0, &lo, &hi), D3D_OK);
    EXPECT_TRUE(Near(lo, {4, 0, 0}, 0));
    EXPECT_TRUE(Near(hi, {4, 0, 0}, 0));
}

// Two squares facing each other: one at z = 1 (faces 0, 1), one at z = 3 (faces 2, 3), each
// from (0, 0) to (2, 2).
Ref<ID3DXMesh> TwoSquares(DWORD options = D3DXMESH_SYSTEMMEM) {
    return MakeMesh(D3DFVF_XYZ | D3DFVF_NORMAL,
                    {{0, 0, 1}, {2, 0, 1}, {2, 2, 1}, {0, 2, 1}, {0, 0, 3}, {2, 0, 3}, {2, 2, 3}, {0, 2, 3}},
                    {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}}, {}, options);
}

struct Hit {
    BOOL hit = FALSE;
    DWORD face = 0xBAD;
    float u = -7, v = -7, dist = -7;
    DWORD count = 0xBAD;
    Ref<ID3DXBuffer> all;
    std::vector<D3DXINTERSECTINFO> List() const {
        if (!all) return {};
        const auto* p = static_cast<const D3DXINTERSECTINFO*>(all->GetBufferPointer());
        return std::vector<D3DXINTERSECTINFO>(p, p + all->GetBufferSize() / sizeof(D3DXINTERSECTINFO));
    }
};

Hit Cast(ID3DXMesh* mesh, const D3DXVECTOR3& from, const D3DXVECTOR3& dir) {
    Hit h;
    EXPECT_EQ(D3DXIntersect(mesh, &from, &dir, &h.hit, &h.face, &h.u, &h.v, &h.dist, h.all.out(), &h.count), D3D_OK);
    return h;
}

TEST_F(GeometryTest, IntersectFindsTheNearestHitWithItsWeights) {
    Ref<ID3DXMesh> mesh = TwoSquares();
    const Hit h = Cast(mesh.get(), {1.5f, 0.5f, 0.0f}, {0, 0, 1});
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 0u);
    EXPECT_FLOAT_EQ(h.dist, 1.0f);
    // Face 0 is (0,0)-(2,0)-(2,2): the hit is v0 + u (v1 - v0) + v (v2 - v0).
    EXPECT_FLOAT_EQ(0.0f + h.u * 2.0f + h.v * 2.0f, 1.5f);
    EXPECT_FLOAT_EQ(0.0f + h.u * 0.0f + h.v * 2.0f, 0.5f);
    EXPECT_FLOAT_EQ(h.u, 0.5f);
    EXPECT_FLOAT_EQ(h.v, 0.25f);
    EXPECT_EQ(h.count, 2u);
    const auto all = h.List();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].FaceIndex, 0u);
    EXPECT_EQ(all[1].FaceIndex, 2u);  // (1.5, 0.5) lies in (0,0)-(2,2)-(2,0) of the far square
    EXPECT_FLOAT_EQ(all[1].Dist, 3.0f);
}

TEST_F(GeometryTest, HitsBehindTheOriginDoNotCount) {
    Ref<ID3DXMesh> mesh = TwoSquares();
    const Hit h = Cast(mesh.get(), {0.5f, 1.5f, 2.0f}, {0, 0, 1});
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.face, 3u);
    EXPECT_FLOAT_EQ(h.dist, 1.0f);
    EXPECT_EQ(h.count, 1u);
    const Hit none = Cast(mesh.get(), {0.5f, 1.5f, 4.0f}, {0, 0, 1});
    EXPECT_FALSE(none.hit);
    EXPECT_EQ(none.count, 0u);
    EXPECT_FALSE(none.all);
    // Nothing hit: the face, weights and distance are left as they were.
    EXPECT_EQ(none.face, 0xBADu);
    EXPECT_EQ(none.dist, -7.0f);
}

TEST_F(GeometryTest, BothSidesAreHitAndTheDistanceIsInDirectionLengths) {
    Ref<ID3DXMesh> mesh = TwoSquares();
    // From above, going down: the back of the far square first.
    const Hit down = Cast(mesh.get(), {0.5f, 1.5f, 5.0f}, {0, 0, -2});
    ASSERT_TRUE(down.hit);
    EXPECT_EQ(down.face, 3u);
    EXPECT_FLOAT_EQ(down.dist, 1.0f);  // 2 units along a direction of length 2
    EXPECT_EQ(down.count, 2u);
    // A ray through a shared edge and a corner still hits.
    const Hit edge = Cast(mesh.get(), {1.0f, 1.0f, 0.0f}, {0, 0, 1});
    ASSERT_TRUE(edge.hit);
    EXPECT_FLOAT_EQ(edge.dist, 1.0f);
    const Hit corner = Cast(mesh.get(), {0.0f, 0.0f, 0.0f}, {0, 0, 1});
    ASSERT_TRUE(corner.hit);
    EXPECT_FLOAT_EQ(corner.u, 0.0f);
    EXPECT_FLOAT_EQ(corner.v, 0.0f);
    // Parallel to the squares, or beside them: no hit.
    EXPECT_FALSE(Cast(mesh.get(), {-1.0f, 1.0f, 1.0f}, {1, 0, 0}).hit);
    EXPECT_FALSE(Cast(mesh.get(), {2.5f, 1.0f, 0.0f}, {0, 0, 1}).hit);
}

TEST_F(GeometryTest, IntersectWorksOnThirtyTwoBitMeshesAndChecksArguments) {
    Ref<ID3DXMesh> mesh = TwoSquares(D3DXMESH_MANAGED | D3DXMESH_32BIT);
    const D3DXVECTOR3 from(1.5f, 0.5f, 10.0f), dir(0, 0, -1);
    BOOL hit = FALSE;
    DWORD face = 0;
    ASSERT_EQ(D3DXIntersect(mesh.get(), &from, &dir, &hit, &face, nullptr, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(hit);
    EXPECT_EQ(face, 2u);
    EXPECT_EQ(D3DXIntersect(nullptr, &from, &dir, &hit, &face, nullptr, nullptr, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXIntersect(mesh.get(), nullptr, &dir, &hit, &face, nullptr, nullptr, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(GeometryTest, PickingALoadedBoxFromOutside) {
    Loaded l = LoadText(Box().File());
    ASSERT_EQ(l.hr, D3D_OK);
    const D3DXVECTOR3 from(0.25f, 0.5f, -10.0f), dir(0, 0, 1);
    Hit h = Cast(l.mesh.get(), from, dir);
    ASSERT_TRUE(h.hit);
    EXPECT_FLOAT_EQ(h.dist, 9.0f);                  // the z = -1 side
    EXPECT_TRUE(h.face == 8u || h.face == 9u);      // faces of the -z quad
    EXPECT_EQ(h.count, 2u);                         // in at -1, out at +1
}

}  // namespace
}  // namespace xmeshtest
