// The scene node's collision model and collision test, and the distance probes along a ray.
#include <cfloat>
#include <cmath>

#include <CD.h>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

namespace {

// Stands in for a frame's collision object and hands its release on to the real one.
class ReleaseSeen : public CCollisionObject {
public:
    explicit ReleaseSeen(CCollisionObject* real) : real_(real) {}
    void Destroy() override {
        destroyed++;
        real_->Destroy();
    }
    void AddTriangle(D3DXVECTOR3, D3DXVECTOR3, D3DXVECTOR3) override {}
    void EndModel() override {}
    void SetWorldMatrix(D3DXMATRIX*) override {}
    void Reserved() override {}
    bool Collide(CCollisionObject*, int) override { return false; }

    int destroyed = 0;

private:
    CCollisionObject* real_;
};

class FrameCollision : public scenetest::DeviceTest {
protected:
    void TearDown() override {
        for (CFrame* f : {&a_, &b_})
            if (f->pCollisionObject != nullptr) f->pCollisionObject->Destroy();
        for (CMeshContainerEx* c : boxes_) delete c;
        DeviceTest::TearDown();
    }

    CMeshContainerEx* Box(float from, float to) {
        std::vector<D3DXVECTOR3> p;
        std::vector<DWORD> idx;
        scenetest::BoxGeometry(D3DXVECTOR3(from, from, from), D3DXVECTOR3(to, to, to), &p, &idx);
        boxes_.push_back(new CMeshContainerEx());
        boxes_.back()->MeshData.pMesh = scenetest::MakeMesh(device_, p, idx);
        return boxes_.back();
    }

    static void Place(CFrame& f, float x, float yaw = 0.0f, float scale = 1.0f) {
        f.SetPosition(x, 0, 0);
        f.fYaw = yaw;
        D3DXMatrixScaling(&f.matLocal, scale, scale, scale);
        f.UpdateWorldMatrix();
    }

    std::vector<CMeshContainerEx*> boxes_;
    CFrame a_, b_;
};

TEST_F(FrameCollision, ModelsCollideWhereTheFramesPlaceThemAndTheFlagsStay) {
    ASSERT_EQ(a_.BuildCollisionModel(Box(-0.5f, 0.5f)), S_OK);
    ASSERT_EQ(b_.BuildCollisionModel(Box(5, 6)), S_OK);
    Place(a_, 0.0f);
    Place(b_, 0.0f);
    EXPECT_FALSE(a_.Collide(&b_, 0));
    ReleaseSeen first(b_.pCollisionObject);
    b_.pCollisionObject = &first;
    ASSERT_EQ(b_.BuildCollisionModel(Box(-0.5f, 0.5f)), S_OK);
    EXPECT_EQ(first.destroyed, 1) << "the first object is destroyed";
    EXPECT_NE(b_.pCollisionObject, &first);

    Place(b_, 1.15f);
    EXPECT_FALSE(a_.Collide(&b_, 0));
    EXPECT_EQ(a_.bCollided + b_.bCollided, 0);
    Place(b_, 1.15f, float(M_PI) / 4);  // a corner reaches into the other box
    EXPECT_TRUE(a_.Collide(&b_, 0));
    Place(b_, 3.0f);
    EXPECT_FALSE(b_.Collide(&a_, 0));
    EXPECT_EQ(a_.bCollided + b_.bCollided, 2) << "the flags stay set";
    Place(b_, 3.0f, 0.0f, 6.0f);  // drawn six times larger: from x = 0 to 6
    EXPECT_TRUE(b_.Collide(&a_, 0));

    // The ground probe clears its own frame's flag; the angle probe clears none.
    b_.RayDistanceAtAngle(0, 5, 0, a_, 0.0f);
    a_.DistanceToGround(0, 5, 0, b_);
    EXPECT_EQ(a_.bCollided, 0);
    EXPECT_EQ(b_.bCollided, 1);
}

TEST_F(FrameCollision, WithoutAMeshOrAModelNothingIsBuiltOrCollides) {
    CMeshContainerEx empty;
    EXPECT_EQ(a_.BuildCollisionModel(nullptr), E_FAIL);
    EXPECT_EQ(a_.BuildCollisionModel(&empty), E_FAIL);
    EXPECT_EQ(a_.pCollisionObject, nullptr);
    EXPECT_FALSE(a_.Collide(&b_, 0));

    ASSERT_EQ(b_.BuildCollisionModel(Box(-0.5f, 0.5f)), S_OK);
    g_pd3dDevice = nullptr;  // the copy of the mesh cannot be made
    EXPECT_TRUE(FAILED(a_.BuildCollisionModel(boxes_[0])));
    g_pd3dDevice = device_;
    ASSERT_NE(a_.pCollisionObject, nullptr);
    Place(a_, 0.0f);
    Place(b_, 0.0f);
    EXPECT_FALSE(a_.Collide(&b_, 0));
    EXPECT_FALSE(b_.Collide(&a_, 0));
    EXPECT_FALSE(b_.Collide(nullptr, 0));
    EXPECT_EQ(a_.bCollided + b_.bCollided, 0);
}

TEST_F(FrameCollision, ProbesMeasureOnTheGroundAsItsOwnFramePlacesIt) {
    // A box from -1 to 1 scaled to 4 x 1 x 6, turned a quarter about y and lifted: x from 7 to
    // 13, y from 0.5 to 1.5, z from -2 to 2.
    CFrame& ground = a_;
    ASSERT_EQ(ground.AddMesh(Box(-1, 1)), S_OK);
    D3DXMatrixScaling(&ground.matLocal, 2.0f, 0.5f, 3.0f);
    ground.fYaw = float(M_PI) / 2;
    ground.SetPosition(10, 1, 0);
    ground.UpdateWorldMatrix();
    D3DXMATRIX elsewhere, world;
    D3DXMatrixTranslation(&elsewhere, 100, -50, 3);
    device_->SetTransform(D3DTS_WORLD, &elsewhere);  // another frame's transform is left on the device

    EXPECT_NEAR(b_.DistanceToGround(10, 5, 0, ground), 3.5f, 1e-4f);
    EXPECT_NEAR(b_.DistanceToGround(12.5f, 1.0f, 1.5f, ground), 0.5f, 1e-4f);  // from inside: the floor
    EXPECT_NEAR(b_.RayDistanceAtAngle(10, 1, 0, ground, 0.0f), 3.0f, 1e-4f);
    EXPECT_NEAR(b_.RayDistanceAtAngle(10, 1, 0, ground, float(M_PI) / 2), 2.0f, 1e-4f);
    EXPECT_NEAR(b_.RayDistanceAtAngle(10, 1, -9, ground, float(M_PI) / 2), 7.0f, 1e-4f);
    device_->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world, elsewhere) << "the probes leave the device's transform alone";

    // No hit: a miss, a target behind, a frame without a mesh, a matrix without an inverse.
    EXPECT_EQ(b_.DistanceToGround(20, 5, 0, ground), FLT_MAX);
    EXPECT_EQ(b_.RayDistanceAtAngle(20, 1, 0, ground, 0.0f), FLT_MAX);
    EXPECT_EQ(a_.DistanceToGround(10, 5, 0, b_), FLT_MAX);
    D3DXMatrixScaling(&ground.matLocal, 2.0f, 0.0f, 3.0f);
    ground.UpdateWorldMatrix();
    EXPECT_EQ(b_.DistanceToGround(10, 5, 0, ground), FLT_MAX);
}

}  // namespace
