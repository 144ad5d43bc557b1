// The scene node's sub-meshes: every Mesh object of a .x file with its bounding sphere.
#include <string>

#include "frame.h"
#include "scene_fixture.h"

using scenetest::VectorNear;

namespace {

// Six vertices at the centre plus and minus r along each axis, two faces, and three children:
// normals, a material list and texture coordinates. A broken one names a vertex that is not there.
std::string Mesh(const std::string& name, const D3DXVECTOR3& c, float r = 1.0f, bool broken = false) {
    std::string s = "Mesh " + name + " {\n 6;\n";
    for (int i = 0; i < 6; i++) {
        D3DXVECTOR3 v = c;
        (&v.x)[i / 2] += i % 2 ? -r : r;
        s += " " + std::to_string(v.x) + ";" + std::to_string(v.y) + ";" + std::to_string(v.z) +
             (i < 5 ? ";,\n" : ";;\n");
    }
    return s + " 2;\n 3;0,2,4;,\n 3;1,3," + (broken ? "9" : "5") + ";;\n" +
           " MeshNormals { 1; 0.0;0.0;1.0;; 2; 3;0,0,0;, 3;0,0,0;; }\n"
           " MeshMaterialList { 1; 2; 0, 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }\n"
           " MeshTextureCoords { 6; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;, 1.0;1.0;, 0.5;0.0;, 0.0;0.5;; }\n}\n";
}

class SubMeshes : public scenetest::DeviceTest {
protected:
    void TearDown() override {
        frame_.LoadSubMeshes(nullptr, device_);  // releases what was loaded
        DeviceTest::TearDown();
    }
    BOOL Load(const std::string& body) {
        const std::string path = scratch_.Write("sub.x", std::string(scenetest::kXHeader) + body);
        return frame_.LoadSubMeshes(path.c_str(), device_);
    }
    scenetest::Scratch scratch_;
    CFrame frame_;
};

TEST_F(SubMeshes, TwoMeshesOfOneFrameInTheFilesOrderWithTheirSpheres) {
    frame_.SetPosition(10, 0, 0);
    ASSERT_EQ(Load("Frame F {\n" + Mesh("A", D3DXVECTOR3(1, 2, 3)) + Mesh("B", D3DXVECTOR3(-4, 0, 2), 2.5f) + "}\n"),
              TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, 2);
    EXPECT_EQ(frame_.nSubMesh, 1);
    EXPECT_TRUE(VectorNear(frame_.vSubMeshCentre[1], D3DXVECTOR3(-4, 0, 2)));
    EXPECT_NEAR(frame_.fSubMeshRadius[1], 2.5f, 1e-5f);
    ASSERT_NE(frame_.pSubMesh[1], nullptr);
    EXPECT_EQ(frame_.pSubMesh[1]->GetNumFaces(), 2u);
    frame_.SetPosition(-5, 0, 0);
    EXPECT_TRUE(VectorNear(frame_.vSubMeshWorldCentre[0], D3DXVECTOR3(11, 2, 3))) << "taken at loading";
}

TEST_F(SubMeshes, NoMeshesNoFileAndReloadingReleaseTheEarlierOnes) {
    ASSERT_EQ(Load(Mesh("A", D3DXVECTOR3(0, 0, 0))), TRUE);
    ID3DXMesh* held = frame_.pSubMesh[0];
    held->AddRef();
    EXPECT_EQ(Load("Frame Empty {\n}\n"), TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, 0);
    EXPECT_EQ(frame_.nSubMesh, -1);
    EXPECT_EQ(frame_.pSubMesh[0], nullptr);
    EXPECT_EQ(held->Release(), 0u) << "the frame let go of it";
    EXPECT_EQ(frame_.LoadSubMeshes(scratch_.Path("missing.x").c_str(), device_), FALSE);
    EXPECT_EQ(frame_.nSubMeshCount, 0);
}

TEST_F(SubMeshes, ABrokenMeshIsSkippedAndAtMost500AreKept) {
    ASSERT_EQ(Load(Mesh("A", D3DXVECTOR3(1, 0, 0)) + Mesh("Bad", D3DXVECTOR3(2, 0, 0), 1, true) +
                   Mesh("C", D3DXVECTOR3(3, 0, 0))),
              TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, 2);
    EXPECT_TRUE(VectorNear(frame_.vSubMeshCentre[1], D3DXVECTOR3(3, 0, 0)));

    std::string many;
    for (int i = 0; i < 503; i++) many += Mesh("M" + std::to_string(i), D3DXVECTOR3(float(i), 0, 0));
    ASSERT_EQ(Load(many), TRUE);
    EXPECT_EQ(frame_.nSubMesh, FRAME_MAX_SUBMESHES - 1);
    EXPECT_TRUE(VectorNear(frame_.vSubMeshCentre[499], D3DXVECTOR3(499, 0, 0)));
}

TEST_F(SubMeshes, ReferencesLoadTheirMeshAgainAndTheWalkStaysBounded) {
    ASSERT_EQ(Load(Mesh("Shared", D3DXVECTOR3(1, 1, 1)) + "Frame User {\n { Shared }\n}\n"), TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, 2);

    // Each level names the one below twice: two to the fortieth objects on a full walk.
    auto fan = [](const std::string& bottom) {
        std::string s = "Frame L0 {\n" + bottom + "}\n";
        for (int i = 1; i <= 40; i++) {
            const std::string below = " { L" + std::to_string(i - 1) + " }\n";
            s += "Frame L" + std::to_string(i) + " {\n" + below + below + "}\n";
        }
        return s;
    };
    ASSERT_EQ(Load(fan(Mesh("Leaf", D3DXVECTOR3(0, 0, 0)))), TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, FRAME_MAX_SUBMESHES);
    ASSERT_EQ(Load(fan("")), TRUE);
    EXPECT_EQ(frame_.nSubMeshCount, 0);
}

}  // namespace
