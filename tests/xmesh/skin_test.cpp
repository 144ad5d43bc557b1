// D3DXLoadSkinMeshFromXof and ID3DXSkinInfo: bones from SkinWeights, influences carried over to
// split vertices, and software skinning against hand-worked vertices.
#include "xmesh_models.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace xmeshtest {
namespace {

// A quad (1,1)-(2,2) whose two triangles have different normals, so that corners 0 and 2 are
// split; a fifth vertex is used by no face. Bone "Upper" moves vertices 2 (weight 1) and 3
// (0.5) with an offset of (0, -1, 0); bone "Lower" moves 0, 1 (weight 1) and 3 (0.5).
std::string SkinnedFile(const std::string& extraWeights = "") {
    xtest::MeshPart mesh{"Skinned", {{1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}, {7, 7, 7}}, {{0, 1, 2}, {0, 2, 3}}};
    const xtest::NormalsPart normals{{{0, 0, 1}, {1, 0, 0}}, {{0, 0, 0}, {1, 1, 1}}};
    const std::string children =
        normals.text() + "XSkinMeshHeader { 2; 2; 2; }\n" +
        "SkinWeights {\n \"Upper\";\n 2;\n 2,3;\n 1.000000,0.500000;\n"
        " 1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,"
        "0.000000,0.000000,1.000000,0.000000,0.000000,-1.000000,0.000000,1.000000;;\n}\n"
        "SkinWeights {\n \"Lower\";\n 3;\n 0,1,3;\n 1.000000,1.000000,0.500000;\n"
        " 1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,"
        "0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,1.000000;;\n}\n" +
        extraWeights;
    return std::string(xtest::kHeader) + mesh.text(children);
}

class SkinTest : public MeshTest, public ::testing::WithParamInterface<Enc> {
protected:
    void TearDown() override {
        mesh_.reset();
        skin_.reset();
        adjacency_.reset();
        file_ = xtest::Loaded();
        MeshTest::TearDown();
    }
    HRESULT Load(const std::string& text, Enc encoding) {
        file_ = xtest::load(xtest::encode(text, encoding));
        if (FAILED(file_.hr)) return file_.hr;
        Ref<ID3DXFileData> data = xtest::top(file_, 0);
        return D3DXLoadSkinMeshFromXof(data.get(), D3DXMESH_SYSTEMMEM, Device(), adjacency_.out(), nullptr, nullptr,
                                       &materials_, skin_.out(), mesh_.out());
    }
    // Output vertices made from file vertex `v` (by position).
    std::vector<DWORD> MadeFrom(const V3& position) {
        const auto bytes = VertexBytes(mesh_.get());
        std::vector<DWORD> out;
        for (DWORD i = 0; i < mesh_->GetNumVertices(); ++i)
            if (Near(Vec3At(bytes, 24, i, 0), position, 0)) out.push_back(i);
        return out;
    }
    std::map<DWORD, float> Influences(DWORD bone) {
        const DWORD n = skin_->GetNumBoneInfluences(bone);
        std::vector<DWORD> vertices(n);
        std::vector<float> weights(n);
        EXPECT_EQ(skin_->GetBoneInfluence(bone, vertices.data(), weights.data()), D3D_OK);
        std::map<DWORD, float> out;
        for (DWORD i = 0; i < n; ++i) out[vertices[i]] = weights[i];
        EXPECT_EQ(out.size(), n) << "a vertex is named twice";
        return out;
    }

    xtest::Loaded file_;
    Ref<ID3DXMesh> mesh_;
    Ref<ID3DXSkinInfo> skin_;
    Ref<ID3DXBuffer> adjacency_;
    DWORD materials_ = 0xBAD;
};

std::string EncodingName(const ::testing::TestParamInfo<Enc>& info) { return xtest::encName(info.param); }

TEST_P(SkinTest, BonesComeFromTheSkinWeightsInFileOrder) {
    ASSERT_EQ(Load(SkinnedFile(), GetParam()), D3D_OK);
    ASSERT_EQ(mesh_->GetNumVertices(), 7u);  // five positions, corners 0 and 2 split once each
    EXPECT_EQ(mesh_->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(materials_, 0u);
    ASSERT_EQ(skin_->GetNumBones(), 2u);
    EXPECT_STREQ(skin_->GetBoneName(0), "Upper");
    EXPECT_STREQ(skin_->GetBoneName(1), "Lower");
    EXPECT_EQ(skin_->GetBoneName(2), nullptr);
    const D3DXMATRIX* offset = skin_->GetBoneOffsetMatrix(0);
    ASSERT_NE(offset, nullptr);
    EXPECT_EQ(offset->_42, -1.0f);
    EXPECT_EQ(offset->_11, 1.0f);
    EXPECT_EQ(skin_->GetBoneOffsetMatrix(0), offset);  // the skin information's own storage
    EXPECT_EQ(skin_->GetBoneOffsetMatrix(5), nullptr);
    EXPECT_EQ(skin_->GetFVF(), mesh_->GetFVF());

    // Influences on file vertices reach every vertex made from them.
    const auto v0 = MadeFrom({1, 1, 0}), v1 = MadeFrom({2, 1, 0}), v2 = MadeFrom({2, 2, 0}), v3 = MadeFrom({1, 2, 0});
    ASSERT_EQ(v0.size(), 2u);
    ASSERT_EQ(v2.size(), 2u);
    ASSERT_EQ(v1.size(), 1u);
    ASSERT_EQ(v3.size(), 1u);
    EXPECT_EQ(Influences(0), (std::map<DWORD, float>{{v2[0], 1.0f}, {v2[1], 1.0f}, {v3[0], 0.5f}}));
    EXPECT_EQ(Influences(1),
              (std::map<DWORD, float>{{v0[0], 1.0f}, {v0[1], 1.0f}, {v1[0], 1.0f}, {v3[0], 0.5f}}));
    DWORD most = 0;
    ASSERT_EQ(skin_->GetMaxVertexInfluences(&most), D3D_OK);
    EXPECT_EQ(most, 2u);
    EXPECT_EQ(skin_->GetNumBoneInfluences(9), 0u);
    EXPECT_EQ(skin_->GetBoneInfluence(9, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_P(SkinTest, UpdateSkinnedMeshBlendsTheBones) {
    ASSERT_EQ(Load(SkinnedFile(), GetParam()), D3D_OK);
    Ref<ID3DXMesh> skinned;
    ASSERT_EQ(mesh_->CloneMeshFVF(0, mesh_->GetFVF(), Device(), skinned.out()), D3D_OK);
    D3DXMATRIX bones[2];
    D3DXMatrixTranslation(&bones[0], 10, 0, 0);
    D3DXMatrixScaling(&bones[1], 2, 2, 2);
    void* src = nullptr;
    void* dst = nullptr;
    ASSERT_EQ(mesh_->LockVertexBuffer(D3DLOCK_READONLY, &src), D3D_OK);
    ASSERT_EQ(skinned->LockVertexBuffer(0, &dst), D3D_OK);
    EXPECT_EQ(skin_->UpdateSkinnedMesh(bones, nullptr, src, dst), D3D_OK);
    skinned->UnlockVertexBuffer();
    mesh_->UnlockVertexBuffer();

    const auto before = VertexBytes(mesh_.get()), after = VertexBytes(skinned.get());
    for (DWORD v = 0; v < 7; ++v) {
        const D3DXVECTOR3 p = Vec3At(before, 24, v, 0), n = Vec3At(before, 24, v, 12);
        const D3DXVECTOR3 q = Vec3At(after, 24, v, 0), m = Vec3At(after, 24, v, 12);
        SCOPED_TRACE(v);
        if (p == D3DXVECTOR3(1, 1, 0)) {  // Lower only: scaled, normal scaled too
            EXPECT_TRUE(Near(q, {2, 2, 0}));
            EXPECT_TRUE(Near(m, {n.x * 2, n.y * 2, n.z * 2}));
        } else if (p == D3DXVECTOR3(2, 1, 0)) {
            EXPECT_TRUE(Near(q, {4, 2, 0}));
            EXPECT_TRUE(Near(m, {0, 0, 2}));
        } else if (p == D3DXVECTOR3(2, 2, 0)) {  // Upper only: moved, normal unchanged
            EXPECT_TRUE(Near(q, {12, 2, 0}));
            EXPECT_TRUE(Near(m, {n.x, n.y, n.z}));
        } else if (p == D3DXVECTOR3(1, 2, 0)) {  // half (11, 2, 0) + half (2, 4, 0)
            EXPECT_TRUE(Near(q, {6.5f, 3, 0}));
            EXPECT_TRUE(Near(m, {1.5f, 0, 0}));
        } else {  // no bone: unchanged
            EXPECT_TRUE(Near(q, {7, 7, 7}));
            EXPECT_TRUE(Near(m, {n.x, n.y, n.z}));
        }
    }
}

TEST_P(SkinTest, InverseTransposesTurnTheNormalsAndSourceMayBeTheDestination) {
    ASSERT_EQ(Load(SkinnedFile(), GetParam()), D3D_OK);
    D3DXMATRIX bones[2], normals[2];
    D3DXMatrixTranslation(&bones[0], 10, 0, 0);
    D3DXMatrixScaling(&bones[1], 2, 2, 2);
    D3DXMatrixIdentity(&normals[0]);
    D3DXMatrixScaling(&normals[1], 0.5f, 0.5f, 0.5f);
    std::vector<uint8_t> vertices = VertexBytes(mesh_.get());
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones, normals, vertices.data(), vertices.data()), D3D_OK);
    const auto original = VertexBytes(mesh_.get());
    for (DWORD v = 0; v < 7; ++v) {
        const D3DXVECTOR3 p = Vec3At(original, 24, v, 0), n = Vec3At(original, 24, v, 12);
        if (p == D3DXVECTOR3(1, 1, 0)) {
            EXPECT_TRUE(Near(Vec3At(vertices, 24, v, 0), {2, 2, 0}));
            EXPECT_TRUE(Near(Vec3At(vertices, 24, v, 12), {n.x * 0.5f, n.y * 0.5f, n.z * 0.5f}));
        }
        if (p == D3DXVECTOR3(1, 2, 0)) {
            EXPECT_TRUE(Near(Vec3At(vertices, 24, v, 12), {0.75f, 0, 0}));
        }
    }
    EXPECT_EQ(skin_->UpdateSkinnedMesh(nullptr, nullptr, vertices.data(), vertices.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(skin_->UpdateSkinnedMesh(bones, nullptr, nullptr, vertices.data()), D3DERR_INVALIDCALL);
}

TEST_P(SkinTest, LayoutSetOnTheSkinInformationIsTheOneSkinned) {
    ASSERT_EQ(Load(SkinnedFile(), GetParam()), D3D_OK);
    EXPECT_EQ(skin_->SetFVF(D3DFVF_XYZRHW), D3DERR_INVALIDCALL);
    ASSERT_EQ(skin_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1), D3D_OK);
    EXPECT_EQ(skin_->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_TEX1));
    struct Vertex {
        float x, y, z, u, v;
    };
    std::vector<Vertex> src(7, Vertex{1, 2, 0, 0.25f, 0.75f}), dst(7);
    src[0] = {1, 1, 0, 0.5f, 0.5f};
    D3DXMATRIX bones[2];
    D3DXMatrixTranslation(&bones[0], 0, 0, 4);
    D3DXMatrixTranslation(&bones[1], 0, 0, 8);
    ASSERT_EQ(skin_->UpdateSkinnedMesh(bones, nullptr, src.data(), dst.data()), D3D_OK);
    // Vertex 0 is made from file vertex 0 (Lower, weight 1).
    EXPECT_FLOAT_EQ(dst[0].z, 8.0f);
    EXPECT_FLOAT_EQ(dst[0].u, 0.5f);
    EXPECT_FLOAT_EQ(dst[3].z, 6.0f);  // half of 4 and half of 8
    EXPECT_FLOAT_EQ(dst[3].v, 0.75f);
    EXPECT_FLOAT_EQ(dst[4].z, 0.0f);  // no bone
}

TEST_P(SkinTest, MeshWithoutSkinHasNoBones) {
    ASSERT_EQ(Load(Box().File(), GetParam()), D3D_OK);
    EXPECT_EQ(skin_->GetNumBones(), 0u);
    EXPECT_EQ(materials_, 3u);
    DWORD most = 7;
    ASSERT_EQ(skin_->GetMaxVertexInfluences(&most), D3D_OK);
    EXPECT_EQ(most, 0u);
    std::vector<uint8_t> vertices = VertexBytes(mesh_.get()), copy = vertices;
    EXPECT_EQ(skin_->UpdateSkinnedMesh(nullptr, nullptr, vertices.data(), copy.data()), D3DERR_INVALIDCALL);
}

TEST_P(SkinTest, BoneOfAVertexThatIsNotThereIsInvalid) {
    const std::string bad =
        "SkinWeights {\n \"Stray\";\n 1;\n 5;\n 1.000000;\n"
        " 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\n}\n";
    ID3DXSkinInfo* skin = nullptr;
    ID3DXMesh* mesh = nullptr;
    file_ = xtest::load(xtest::encode(SkinnedFile(bad), GetParam()));
    ASSERT_EQ(file_.hr, S_OK);
    Ref<ID3DXFileData> data = xtest::top(file_, 0);
    EXPECT_EQ(D3DXLoadSkinMeshFromXof(data.get(), 0, Device(), nullptr, nullptr, nullptr, nullptr, &skin, &mesh),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(skin, nullptr);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(D3DXLoadSkinMeshFromXof(data.get(), 0, Device(), nullptr, nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
}

INSTANTIATE_TEST_SUITE_P(Encodings, SkinTest, ::testing::Values(Enc::Text, Enc::Binary, Enc::BinaryZip),
                         EncodingName);

}  // namespace
}  // namespace xmeshtest
