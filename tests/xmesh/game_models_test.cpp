// The game's own models, as the build makes them, load the way the game uses them.
#include "xmesh_models.h"

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

namespace xmeshtest {
namespace {

struct GameModel {
    const char* file;        // below the game folder
    const char* textures;    // folder the game loads the model's textures from
};

const GameModel kModels[] = {
    {"Data/casella.x", "Data/"},
    {"Data/Background/Background.x", "Data/BackGround/"},
    {"Data/nano_guerriero/nano_guerriero.x", "Data/nano_guerriero/"},
};

class GameModelTest : public MeshTest, public ::testing::WithParamInterface<GameModel> {};

std::string ModelName(const ::testing::TestParamInfo<GameModel>& info) {
    return std::filesystem::path(info.param.file).stem().string();
}

TEST_P(GameModelTest, LoadsAsTheGameLoadsIt) {
    const std::string dir = MORVANE_GAME_DIR;
    const std::string path = dir + "/" + GetParam().file;
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is made by the build (target game_assets)";
    Loaded l = LoadPath(path, D3DXMESH_SYSTEMMEM);
    ASSERT_EQ(l.hr, D3D_OK);
    // Positions, normals and one set of coordinates: 32 bytes; few enough vertices for 16 bits.
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(l.mesh->GetOptions(), DWORD(D3DXMESH_SYSTEMMEM));
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(l.mesh->GetIndexBuffer(&ib), D3D_OK);
    D3DINDEXBUFFER_DESC desc;
    ib->GetDesc(&desc);
    ib->Release();
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_GT(l.mesh->GetNumFaces(), 0u);

    // Every face has a material, and every texture named is in the game's texture folder.
    ASSERT_GE(l.numMaterials, 1u);
    for (DWORD a : Attributes(l.mesh.get())) EXPECT_LT(a, l.numMaterials);
    for (DWORD i = 0; i < l.numMaterials; ++i) {
        const char* texture = l.Material(i)->pTextureFilename;
        if (texture) {
            EXPECT_TRUE(std::filesystem::exists(dir + "/" + GetParam().textures + texture)) << texture;
        }
    }

    // Finite, non-empty bounds; a ray from outside towards the centre hits the model.
    void* data = nullptr;
    ASSERT_EQ(l.mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    D3DXVECTOR3 lo, hi;
    ASSERT_EQ(D3DXComputeBoundingBox(static_cast<const D3DXVECTOR3*>(data), l.mesh->GetNumVertices(), 32, &lo, &hi),
              D3D_OK);
    l.mesh->UnlockVertexBuffer();
    for (float v : {lo.x, lo.y, lo.z, hi.x, hi.y, hi.z}) EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(hi.x - lo.x, 0.0f);
    EXPECT_GT(hi.z - lo.z, 0.0f);
    const D3DXVECTOR3 centre = (lo + hi) * 0.5f;
    const D3DXVECTOR3 from(centre.x, hi.y + 10.0f, centre.z), down(0, -1, 0);
    BOOL hit = FALSE;
    float dist = -1;
    ASSERT_EQ(D3DXIntersect(l.mesh.get(), &from, &down, &hit, nullptr, nullptr, nullptr, &dist, nullptr, nullptr),
              D3D_OK);
    EXPECT_TRUE(hit);
    EXPECT_GE(dist, 10.0f - 1e-3f);

    // What the game does next: sort in place without moving vertices, and clone.
    const auto vertices = VertexBytes(l.mesh.get());
    ASSERT_EQ(l.mesh->OptimizeInplace(D3DXMESHOPT_DONOTSPLIT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(VertexBytes(l.mesh.get()), vertices);
    const auto attributes = Attributes(l.mesh.get());
    EXPECT_TRUE(std::is_sorted(attributes.begin(), attributes.end()));
    EXPECT_EQ(AttributeTable(l.mesh.get()).size(), std::set<DWORD>(attributes.begin(), attributes.end()).size());
    Ref<ID3DXMesh> clone;
    ASSERT_EQ(l.mesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, Device(), clone.out()),
              D3D_OK);
    EXPECT_EQ(VertexBytes(clone.get()), vertices);
}

INSTANTIATE_TEST_SUITE_P(Game, GameModelTest, ::testing::ValuesIn(kModels), ModelName);

class DwarfSkinTest : public MeshTest {};

TEST_F(DwarfSkinTest, BonesAreNamedAfterTheFrames) {
    const std::string path = std::string(MORVANE_GAME_DIR) + "/Data/nano_guerriero/nano_guerriero.x";
    Ref<ID3DXFile> file;
    ASSERT_EQ(D3DXFileCreate(file.out()), S_OK);
    ASSERT_EQ(file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES), S_OK);
    Ref<ID3DXFileEnumObject> objects;
    ASSERT_EQ(file->CreateEnumObject(path.c_str(), D3DXF_FILELOAD_FROMFILE, objects.out()), S_OK);
    // Walk the frames, collecting their names and the first Mesh.
    std::set<std::string> frames;
    Ref<ID3DXFileData> mesh;
    std::vector<Ref<ID3DXFileData>> stack;
    SIZE_T count = 0;
    objects->GetChildren(&count);
    for (SIZE_T i = 0; i < count; ++i) {
        stack.emplace_back();
        objects->GetChild(i, stack.back().out());
    }
    while (!stack.empty()) {
        Ref<ID3DXFileData> d = std::move(stack.back());
        stack.pop_back();
        GUID type;
        d->GetType(&type);
        if (type == TID_D3DRMMesh && !mesh) {
            mesh = std::move(d);
            continue;
        }
        if (!(type == TID_D3DRMFrame)) continue;
        frames.insert(xtest::nameOf(d.get()));
        SIZE_T n = 0;
        d->GetChildren(&n);
        for (SIZE_T i = 0; i < n; ++i) {
            stack.emplace_back();
            d->GetChild(i, stack.back().out());
        }
    }
    ASSERT_TRUE(mesh);
    Ref<ID3DXMesh> loaded;
    Ref<ID3DXSkinInfo> skin;
    DWORD materials = 0;
    ASSERT_EQ(D3DXLoadSkinMeshFromXof(mesh.get(), D3DXMESH_SYSTEMMEM, Device(), nullptr, nullptr, nullptr, &materials,
                                      skin.out(), loaded.out()),
              D3D_OK);
    ASSERT_GT(skin->GetNumBones(), 0u);
    for (DWORD b = 0; b < skin->GetNumBones(); ++b) {
        EXPECT_TRUE(frames.count(skin->GetBoneName(b))) << skin->GetBoneName(b);
        std::vector<DWORD> vertices(skin->GetNumBoneInfluences(b));
        std::vector<float> weights(vertices.size());
        if (vertices.empty()) continue;
        ASSERT_EQ(skin->GetBoneInfluence(b, vertices.data(), weights.data()), D3D_OK);
        for (DWORD v : vertices) EXPECT_LT(v, loaded->GetNumVertices());
    }
}

}  // namespace
}  // namespace xmeshtest
