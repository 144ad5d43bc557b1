// The scene node's collision model and collision test, and the distance probes along a ray.
#include <cfloat>
#include <cmath>

#include <CD.h>

#include "frame.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

namespace {

// A .x file of one box mesh of twelve triangles.
std::string BoxFile(const D3DXVECTOR3& min, const D3DXVECTOR3& max) {
    std::vector<D3DXVECTOR3> p;
    std::vector<DWORD> idx;
    scenetest::BoxGeometry(min, max, &p, &idx);
    std::string s = std::string(scenetest::kXHeader) + "Mesh Box {\n " + std::to_string(p.size()) + ";\n";
    for (size_t i = 0; i < p.size(); i++)
        s += " " + std::to_string(p[i].x) + ";" + std::to_string(p[i].y) + ";" + std::to_string(p[i].z) + ";" +
             (i + 1 < p.size() ? ",\n" : ";\n");
    s += " " + std::to_string(idx.size() / 3) + ";\n";
    for (size_t i = 0; i < idx.size(); i += 3)
        s += " 3;" + std::to_string(idx[i]) + "," + std::to_string(idx[i + 1]) + "," + std::to_string(idx[i + 2]) +
             (i + 3 < idx.size() ? ";,\n" : ";;\n");
    return s + "}\n";
}

class FrameCollision : public scenetest::DeviceTest {
protected:
    void TearDown() override {
        for (CFrame* f : {&a_, &b_})
            if (f->pCollisionObject != nullptr) f->pCollisionObject->Destroy();
        for (CMeshContainerEx* c : containers_) delete c;
        DeviceTest::TearDown();
    }

    CMeshContainerEx* Box(const D3DXVECTOR3& min, const D3DXVECTOR3& max) {
        const std::string path = scratch_.Write("box" + std::to_string(containers_.size()) + ".x", BoxFile(min, max));
        CMeshContainerEx* c = nullptr;
        EXPECT_EQ(LoadMesh(&c, device_, path.c_str(), "", 0, D3DXMESH_SYSTEMMEM), S_OK);
        containers_.push_back(c);
        return c;
    }

    static void Place(CFrame& f, float x, float yaw = 0.0f, float scale = 1.0f) {
        f.SetPosition(x, 0, 0);
        f.fYaw = yaw;
        D3DXMatrixScaling(&f.matLocal, scale, scale, scale);
        f.UpdateWorldMatrix();
    }

    const D3DXVECTOR3 kMin = D3DXVECTOR3(-0.5f, -0.5f, -0.5f), kMax = D3DXVECTOR3(0.5f, 0.5f, 0.5f);
    scenetest::Scratch scratch_;
    std::vector<CMeshContainerEx*> containers_;
    CFrame a_, b_;
};

TEST_F(FrameCollision, ModelsOfLoadedBoxesCollideWhereTheFramesPlaceThem) {
    ASSERT_EQ(a_.BuildCollisionModel(Box(kMin, kMax)), S_OK);
    ASSERT_EQ(b_.BuildCollisionModel(Box(kMin, kMax)), S_OK);
    Place(a_, 0.0f);

    Place(b_, 1.15f);
    EXPECT_FALSE(a_.Collide(&b_, 0));
    EXPECT_EQ(a_.bCollided, 0);
    Place(b_, 1.15f, float(M_PI) / 4);  // a corner reaches into the other box
    EXPECT_TRUE(a_.Collide(&b_, 0));
    EXPECT_EQ(a_.bCollided, 1);
    EXPECT_EQ(b_.bCollided, 1);

    Place(b_, 3.0f);
    EXPECT_FALSE(b_.Collide(&a_, 0));
    EXPECT_EQ(a_.bCollided, 1) << "the flags stay set";
    EXPECT_EQ(b_.bCollided, 1);
    Place(b_, 3.0f, 0.0f, 6.0f);  // drawn six times larger: from x = 0 to 6
    EXPECT_TRUE(b_.Collide(&a_, 0));

    // The ground probe clears its own frame's flag only; the angle probe clears none.
    a_.DistanceToGround(0, 5, 0, b_);
    EXPECT_EQ(a_.bCollided, 0);
    EXPECT_EQ(b_.bCollided, 1);
    b_.RayDistanceAtAngle(0, 5, 0, a_, 0.0f);
    EXPECT_EQ(b_.bCollided, 1);
}

TEST_F(FrameCollision, ARebuiltModelReplacesTheEarlierObject) {
    ASSERT_EQ(a_.BuildCollisionModel(Box(kMin, kMax)), S_OK);
    ASSERT_EQ(b_.BuildCollisionModel(Box(D3DXVECTOR3(5, 5, 5), D3DXVECTOR3(6, 6, 6))), S_OK);
    CCollisionObject* first = b_.pCollisionObject;
    Place(a_, 0.0f);
    Place(b_, 0.0f);
    EXPECT_FALSE(a_.Collide(&b_, 0));

    ASSERT_EQ(b_.BuildCollisionModel(Box(kMin, kMax)), S_OK);  // the first is destroyed, not leaked
    EXPECT_NE(b_.pCollisionObject, first);
    Place(b_, 0.0f);
    EXPECT_TRUE(a_.Collide(&b_, 0));
}

TEST_F(FrameCollision, WithoutAMeshOrAModelNothingIsBuiltOrCollides) {
    EXPECT_EQ(a_.BuildCollisionModel(nullptr), E_FAIL);
    CMeshContainerEx empty;
    EXPECT_EQ(a_.BuildCollisionModel(&empty), E_FAIL);
    EXPECT_EQ(a_.pCollisionObject, nullptr);
    EXPECT_FALSE(a_.Collide(&b_, 0));

    ASSERT_EQ(b_.BuildCollisionModel(Box(kMin, kMax)), S_OK);
    g_pd3dDevice = nullptr;  // the copy of the mesh cannot be made
    EXPECT_TRUE(FAILED(a_.BuildCollisionModel(containers_[0])));
    g_pd3dDevice = device_;
    ASSERT_NE(a_.pCollisionObject, nullptr);
    Place(a_, 0.0f);
    Place(b_, 0.0f);
    EXPECT_FALSE(a_.Collide(&b_, 0));
    EXPECT_FALSE(b_.Collide(&a_, 0));
    EXPECT_FALSE(b_.Collide(nullptr, 0));
    EXPECT_EQ(a_.bCollided, 0);
    EXPECT_EQ(b_.bCollided, 0);
}

// ---- probes

class FrameProbe : public scenetest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // A box from -1 to 1, scaled to 4 x 1 x 6, turned a quarter about y (its x along z) and
        // lifted: x from 7 to 13, y from 0.5 to 1.5, z from -2 to 2.
        std::vector<D3DXVECTOR3> p;
        std::vector<DWORD> idx;
        scenetest::BoxGeometry(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1), &p, &idx);
        box_.MeshData.pMesh = scenetest::MakeMesh(device_, p, idx);
        ASSERT_EQ(ground_.AddMesh(&box_), S_OK);
        D3DXMatrixScaling(&ground_.matLocal, 2.0f, 0.5f, 3.0f);
        ground_.fYaw = float(M_PI) / 2;
        ground_.SetPosition(10, 1, 0);
        ground_.UpdateWorldMatrix();
        // Another frame's world transform is left on the device.
        D3DXMatrixTranslation(&elsewhere_, 100, -50, 3);
        device_->SetTransform(D3DTS_WORLD, &elsewhere_);
    }
    void TearDown() override {
        box_.MeshData.pMesh->Release();
        box_.MeshData.pMesh = nullptr;
        DeviceTest::TearDown();
    }

    CMeshContainerEx box_;
    CFrame ground_, probe_;
    D3DXMATRIX elsewhere_;
};

TEST_F(FrameProbe, DistancesAreMeasuredOnTheGroundAsItsFramePlacesIt) {
    EXPECT_NEAR(probe_.DistanceToGround(10, 5, 0, ground_), 3.5f, 1e-4f);
    EXPECT_NEAR(probe_.DistanceToGround(12.5f, 1.0f, 1.5f, ground_), 0.5f, 1e-4f);  // from inside: the floor
    EXPECT_NEAR(probe_.RayDistanceAtAngle(10, 1, 0, ground_, 0.0f), 3.0f, 1e-4f);
    EXPECT_NEAR(probe_.RayDistanceAtAngle(10, 1, 0, ground_, float(M_PI) / 2), 2.0f, 1e-4f);
    EXPECT_NEAR(probe_.RayDistanceAtAngle(0, 1, 0, ground_, 0.0f), 7.0f, 1e-4f);
    EXPECT_NEAR(probe_.RayDistanceAtAngle(10, 1, -9, ground_, float(M_PI) / 2), 7.0f, 1e-4f);

    D3DXMATRIX world;
    device_->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world, elsewhere_) << "the probes leave the device's transform alone";
}

TEST_F(FrameProbe, AMissAnEmptyGroundOrASingularMatrixGiveNoHit) {
    EXPECT_EQ(probe_.DistanceToGround(20, 5, 0, ground_), FLT_MAX);
    EXPECT_EQ(probe_.RayDistanceAtAngle(20, 1, 0, ground_, 0.0f), FLT_MAX);  // the box lies behind
    EXPECT_EQ(probe_.DistanceToGround(10, 5, 0, probe_), FLT_MAX);

    CMeshContainerEx noMesh;
    CFrame empty;
    ASSERT_EQ(empty.AddMesh(&noMesh), S_OK);
    EXPECT_EQ(probe_.DistanceToGround(0, 5, 0, empty), FLT_MAX);

    D3DXMatrixScaling(&ground_.matLocal, 2.0f, 0.0f, 3.0f);
    ground_.UpdateWorldMatrix();
    EXPECT_EQ(probe_.DistanceToGround(10, 5, 0, ground_), FLT_MAX);
}

}  // namespace
