// LoadMesh: a whole .x file into one container, its materials and textures, and its drawing.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "frame.h"
#include "log.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "test_meshes.h"

using scenetest::Encode;
using scenetest::Form;
using scenetest::kXHeader;
using scenetest::Scratch;

namespace {

// A 2 x 2 BMP of 24 bits.
std::string Bmp() {
    std::string s = "BM";
    auto dw = [&](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    auto w = [&](uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    dw(54 + 16);
    dw(0);
    dw(54);
    dw(40);
    dw(2);
    dw(2);
    w(1);
    w(24);
    dw(0);
    dw(16);
    dw(2835);
    dw(2835);
    dw(0);
    dw(0);
    for (int row = 0; row < 2; row++) s += std::string("\x10\x20\x30\x40\x50\x60\0\0", 8);
    return s;
}

const char* const kTriangle = "Mesh Tri {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n}\n";

std::string Material(float r, float a, const std::string& texture) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "  Material {\n   %.6f;0.500000;0.250000;%.6f;;\n   8.000000;\n   0.1;0.2;0.3;;\n   0.0;0.0;0.4;;\n",
                  double(r), double(a));
    std::string s = buf;
    if (!texture.empty()) s += "   TextureFilename { \"" + texture + "\"; }\n";
    return s + "  }\n";
}

// A cube of eight corners whose six face normals split its vertices, with three materials
// used by interleaved faces.
std::string Cube(const std::vector<std::string>& materials) {
    std::string s = std::string(kXHeader) + "Mesh Cube {\n 8;\n";
    for (int i = 0; i < 8; i++) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " %d.0;%d.0;%d.0;%s\n", i & 1, (i >> 1) & 1, (i >> 2) & 1, i < 7 ? "," : ";");
        s += buf;
    }
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    const int normalOf[12] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
    s += " 12;\n";
    for (int f = 0; f < 12; f++)
        s += " 3;" + std::to_string(faces[f][0]) + "," + std::to_string(faces[f][1]) + "," +
             std::to_string(faces[f][2]) + (f < 11 ? ";,\n" : ";;\n");
    s += " MeshNormals {\n  6;\n  0.0;0.0;-1.0;,\n  0.0;0.0;1.0;,\n  0.0;-1.0;0.0;,\n  0.0;1.0;0.0;,\n"
         "  -1.0;0.0;0.0;,\n  1.0;0.0;0.0;;\n  12;\n";
    for (int f = 0; f < 12; f++) {
        std::string n = std::to_string(normalOf[f]);
        s += "  3;" + n + "," + n + "," + n + (f < 11 ? ";,\n" : ";;\n");
    }
    s += " }\n MeshTextureCoords {\n  8;\n";
    for (int i = 0; i < 8; i++) s += i < 7 ? "  0.5;0.5;,\n" : "  0.5;0.5;;\n";
    s += " }\n";
    if (!materials.empty()) {
        s += " MeshMaterialList {\n  " + std::to_string(materials.size()) + ";\n  12;\n";
        for (int f = 0; f < 12; f++)
            s += "  " + std::to_string(f % materials.size()) + (f < 11 ? ",\n" : ";\n");
        for (const std::string& m : materials) s += m;
        s += " }\n";
    }
    return s + "}\n";
}

class LoadMeshTest : public scenetest::DeviceTest {
protected:
    void TearDown() override {
        delete container_;
        CloseLogFile();
        scenetest::DeviceTest::TearDown();
    }
    // The game's log, opened in the scratch folder.
    void OpenLog() {
        const std::filesystem::path old = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.Dir());
        const bool opened = OpenLogFile();
        std::filesystem::current_path(old);
        ASSERT_TRUE(opened);
    }
    // What the log holds after its header, once closed.
    std::string LogLines() {
        CloseLogFile();
        std::ifstream in(scratch_.Path("D3D.log"), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string header = "D3D LOG FILE \r\n\r\n\r\n";
        EXPECT_EQ(text.substr(0, header.size()), header);
        return text.size() < header.size() ? "" : text.substr(header.size());
    }
    Scratch scratch_;
    CMeshContainerEx* container_ = nullptr;
};

class LoadMeshForms : public LoadMeshTest, public ::testing::WithParamInterface<Form> {};

TEST_P(LoadMeshForms, AMeshWithoutMaterialsGetsOneWhiteMaterialWithoutTexture) {
    std::string file = scratch_.Write("plain.x", Encode(std::string(kXHeader) + kTriangle, GetParam()));
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), "", 0, D3DXMESH_SYSTEMMEM), S_OK);
    ASSERT_NE(container_, nullptr);
    EXPECT_STREQ(container_->Name, file.c_str());
    EXPECT_NE(container_->Name, file.c_str());  // a copy of its own
    EXPECT_EQ(container_->MeshData.Type, D3DXMESHTYPE_MESH);
    ASSERT_NE(container_->MeshData.pMesh, nullptr);
    EXPECT_EQ(container_->MeshData.pMesh->GetNumFaces(), 1u);
    ASSERT_EQ(container_->NumMaterials, 1u);
    const D3DMATERIAL9& m = container_->pMaterials[0].MatD3D;
    for (const D3DCOLORVALUE& c : {m.Diffuse, m.Ambient, m.Specular}) {
        EXPECT_EQ(c.r, 1.0f);
        EXPECT_EQ(c.g, 1.0f);
        EXPECT_EQ(c.b, 1.0f);
        EXPECT_EQ(c.a, 1.0f);
    }
    EXPECT_EQ(m.Emissive.r, 0.0f);
    EXPECT_EQ(m.Power, 0.0f);
    EXPECT_EQ(container_->pMaterials[0].pTextureFilename, nullptr);
    ASSERT_NE(container_->ppTextures, nullptr);
    EXPECT_EQ(container_->ppTextures[0], nullptr);
    // The adjacency of a lone triangle: no neighbour on any edge.
    ASSERT_NE(container_->pAdjacency, nullptr);
    for (int i = 0; i < 3; i++) EXPECT_EQ(container_->pAdjacency[i], 0xFFFFFFFFu);
    EXPECT_EQ(container_->pVertexBuffer, nullptr);
    EXPECT_EQ(container_->pIndexBuffer, nullptr);
    EXPECT_EQ(container_->pNextMeshContainer, nullptr);
    EXPECT_EQ(container_->pOwner, nullptr);

    // Drawn opaque: no render state changes.
    CFrame f;
    platform::hooks::StartD3DTrace();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(f.DrawMeshContainer(container_, true), S_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    for (const platform::hooks::D3DCall& c : platform::hooks::TakeD3DTrace())
        EXPECT_NE(c.name, "SetRenderState");
}

TEST_P(LoadMeshForms, MaterialsKeepTheirColoursTakeDiffuseAsAmbientAndLoadTheTexturesFound) {
    scratch_.Write("present.bmp", Bmp());
    std::string file = scratch_.Write(
        "cube.x", Encode(Cube({Material(0.1f, 0.5f, ""), Material(0.2f, 1.0f, "present.bmp"),
                               Material(0.3f, 0.999f, "missing.bmp")}),
                         GetParam()));
    std::string folder = scratch_.Dir() + "/";
    OpenLog();
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), folder.c_str(), 0, D3DXMESH_SYSTEMMEM), S_OK);
    // The texture that cannot be loaded is named in the log, once.
    EXPECT_EQ(LogLines(), "Impossibile caricare la texture: " + folder + "missing.bmp\r\n");
    ID3DXMesh* mesh = container_->MeshData.pMesh;
    // The normals split the eight corners: each face's corners are its own.
    EXPECT_EQ(mesh->GetNumVertices(), 24u);
    EXPECT_EQ(mesh->GetFVF(), DWORD(scenetest::kGameFVF));
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);

    ASSERT_EQ(container_->NumMaterials, 3u);
    const float reds[3] = {0.1f, 0.2f, 0.3f}, alphas[3] = {0.5f, 1.0f, 0.999f};
    for (int i = 0; i < 3; i++) {
        const D3DMATERIAL9& m = container_->pMaterials[i].MatD3D;
        EXPECT_FLOAT_EQ(m.Diffuse.r, reds[i]);
        EXPECT_FLOAT_EQ(m.Diffuse.a, alphas[i]);
        EXPECT_EQ(std::memcmp(&m.Ambient, &m.Diffuse, sizeof m.Diffuse), 0);
        EXPECT_FLOAT_EQ(m.Power, 8.0f);
        EXPECT_FLOAT_EQ(m.Specular.g, 0.2f);
        EXPECT_FLOAT_EQ(m.Emissive.b, 0.4f);
        EXPECT_EQ(container_->pMaterials[i].pTextureFilename, nullptr);
    }
    EXPECT_EQ(container_->ppTextures[0], nullptr);
    ASSERT_NE(container_->ppTextures[1], nullptr);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(container_->ppTextures[1]->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(container_->ppTextures[2], nullptr);  // missing: the load went on without it

    // The faces were sorted by material in place: one range per material, no vertex moved.
    DWORD ranges = 0;
    ASSERT_EQ(mesh->GetAttributeTable(nullptr, &ranges), D3D_OK);
    EXPECT_EQ(ranges, 3u);
}

INSTANTIATE_TEST_SUITE_P(Forms, LoadMeshForms, ::testing::Values(Form::Text, Form::Binary),
                         [](const ::testing::TestParamInfo<Form>& i) { return scenetest::FormName(i.param); });

TEST_F(LoadMeshTest, TheAlphaRuleOnOffAndOnAgainWithTheMaterialsTextures) {
    scratch_.Write("present.bmp", Bmp());
    std::string file = scratch_.Write("cube.x", Cube({Material(0.1f, 0.5f, ""), Material(0.2f, 1.0f, "present.bmp"),
                                                      Material(0.3f, 0.999f, "missing.bmp")}));
    std::string folder = scratch_.Dir() + "/";
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), folder.c_str(), 0, D3DXMESH_SYSTEMMEM), S_OK);
    ID3DXMesh* mesh = container_->MeshData.pMesh;
    std::map<int64_t, DWORD> subsetAt;  // start index -> attribute
    D3DXATTRIBUTERANGE table[3];
    DWORD n = 3;
    ASSERT_EQ(mesh->GetAttributeTable(table, &n), D3D_OK);
    for (DWORD i = 0; i < n; i++) subsetAt[table[i].FaceStart * 3] = table[i].AttribId;
    const int64_t texture = reinterpret_cast<intptr_t>(container_->ppTextures[1]);

    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    CFrame f;
    platform::hooks::StartD3DTrace();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(f.DrawMeshContainer(container_, true), S_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    std::vector<std::string> trace;
    for (const platform::hooks::D3DCall& c : platform::hooks::TakeD3DTrace()) {
        if (c.name == "SetMaterial") {
            trace.push_back("Material " + std::to_string(int(c.values.at(0) * 10 + 0.5f)));
        } else if (c.name == "SetTexture") {
            trace.push_back(c.args.at(1) == 0 ? "Texture none" : c.args.at(1) == texture ? "Texture present" : "?");
        } else if (c.name == "SetRenderState") {
            trace.push_back("State " + std::to_string(c.args.at(0)) + " " + std::to_string(c.args.at(1)));
        } else if (c.name == "DrawIndexedPrimitive") {
            trace.push_back("Draw " + std::to_string(subsetAt.count(c.args.at(4)) ? int(subsetAt[c.args.at(4)]) : -1));
        }
    }
    std::vector<std::string> expected = {
        "Material 1", "Texture none",    "State 27 1", "State 19 2", "State 20 9", "Draw 0",
        "Material 2", "Texture present", "State 27 0", "Draw 1",
        "Material 3", "Texture none",    "State 27 1", "State 19 2", "State 20 9", "Draw 2",
        "Texture none", "State 27 0",    "State 19 5", "State 20 6",
    };
    EXPECT_EQ(trace, expected);
}

TEST_F(LoadMeshTest, TexturePathsAreTheFolderFollowedDirectlyByTheName) {
    scratch_.Write("texture.bmp", Bmp());
    scratch_.Write("sub/inner.bmp", Bmp());
    std::string file = scratch_.Write(
        "cube.x", Cube({Material(0.1f, 1, "ture.bmp"), Material(0.2f, 1, "inner.bmp"), Material(0.3f, 1, "texture.bmp")}));
    // No separator is added: "…/tex" and "ture.bmp" run together into a file that exists.
    std::string folder = scratch_.Dir() + "/tex";
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), folder.c_str(), 0, D3DXMESH_SYSTEMMEM), S_OK);
    EXPECT_NE(container_->ppTextures[0], nullptr);
    EXPECT_EQ(container_->ppTextures[1], nullptr);
    EXPECT_EQ(container_->ppTextures[2], nullptr);
    delete container_;
    container_ = nullptr;

    // A folder written the game's way, with backslashes.
    std::string windowsFolder = scratch_.Dir() + "\\sub\\";
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), windowsFolder.c_str(), 0, D3DXMESH_SYSTEMMEM), S_OK);
    EXPECT_EQ(container_->ppTextures[0], nullptr);
    EXPECT_NE(container_->ppTextures[1], nullptr);
}

TEST_F(LoadMeshTest, APathThatDoesNotFitTheBufferSkipsOnlyThatTexture) {
    // A folder whose name with "t.bmp" makes exactly 259 characters, the most that fits.
    std::string base = scratch_.Dir() + "/";
    ASSERT_LT(base.size() + 10, 250u);
    std::string folder = base + std::string(259 - base.size() - 1 - 5, 'd') + "/";
    ASSERT_EQ(folder.size() + 5, 259u);
    scratch_.Write(folder.substr(base.size()) + "t.bmp", Bmp());
    scratch_.Write(folder.substr(base.size()) + "tt.bmp", Bmp());
    std::string file = scratch_.Write("cube.x", Cube({Material(0.1f, 1, "t.bmp"), Material(0.2f, 1, "tt.bmp"),
                                                      Material(0.3f, 1, std::string(400, 'x') + ".bmp")}));
    OpenLog();
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), folder.c_str(), 0, D3DXMESH_SYSTEMMEM), S_OK);
    EXPECT_NE(container_->ppTextures[0], nullptr);
    EXPECT_EQ(container_->ppTextures[1], nullptr);  // 260 characters: one too many
    EXPECT_EQ(container_->ppTextures[2], nullptr);
    EXPECT_EQ(container_->NumMaterials, 3u);
    // The log names them whole.
    EXPECT_EQ(LogLines(), "Impossibile caricare la texture: " + folder + "tt.bmp\r\n" +
                              "Impossibile caricare la texture: " + folder + std::string(400, 'x') + ".bmp\r\n");
}

TEST_F(LoadMeshTest, ANewVertexFormatKeepsTheCopysBuffers) {
    std::string file = scratch_.Write("cube.x", Cube({}));
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    ASSERT_EQ(LoadMesh(&container_, device_, file.c_str(), "", fvf, D3DXMESH_MANAGED), S_OK);
    ID3DXMesh* mesh = container_->MeshData.pMesh;
    EXPECT_EQ(mesh->GetFVF(), fvf);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    mesh->GetVertexBuffer(&vb);
    mesh->GetIndexBuffer(&ib);
    EXPECT_EQ(container_->pVertexBuffer, vb);
    EXPECT_EQ(container_->pIndexBuffer, ib);
    vb->Release();
    ib->Release();
    // The container's destructor releases both; the device's count in TearDown shows it.
}

TEST_F(LoadMeshTest, LoadMeshExKeepsNoCopyBuffersAndTakesItsMatrixOrIdentity) {
    std::string file = scratch_.Write("cube.x", Cube({Material(0.1f, 0.5f, "")}));
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    D3DXMATRIX m, id;
    D3DXMatrixTranslation(&m, 1, 2, 3);
    D3DXMatrixIdentity(&id);
    ASSERT_EQ(LoadMeshEx(&container_, &m, device_, file.c_str(), "", fvf, D3DXMESH_MANAGED), S_OK);
    EXPECT_EQ(container_->MeshData.pMesh->GetFVF(), fvf);
    EXPECT_EQ(container_->pVertexBuffer, nullptr);
    EXPECT_EQ(container_->pIndexBuffer, nullptr);
    EXPECT_EQ(container_->matMesh, m);
    ASSERT_EQ(container_->NumMaterials, 1u);
    EXPECT_EQ(container_->pMaterials[0].MatD3D.Ambient.a, 0.5f);
    delete container_;
    container_ = nullptr;
    ASSERT_EQ(LoadMeshEx(&container_, nullptr, device_, file.c_str(), "", 0, D3DXMESH_SYSTEMMEM), S_OK);
    EXPECT_EQ(container_->matMesh, id);
    EXPECT_STREQ(container_->Name, file.c_str());
}

TEST_F(LoadMeshTest, NullArgumentsAndUnreadableFilesLeaveTheOutPointerAlone) {
    std::string good = std::string(kXHeader) + kTriangle;
    std::string file = scratch_.Write("plain.x", good);
    std::string cut = scratch_.Write("cut.x", good.substr(0, good.size() - 20));
    std::string counts = scratch_.Write(
        "counts.x", std::string(kXHeader) + "Mesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,7;;\n}\n");
    CMeshContainerEx* const sentinel = reinterpret_cast<CMeshContainerEx*>(0x1234);
    CMeshContainerEx* out = sentinel;
    EXPECT_EQ(LoadMesh(nullptr, device_, file.c_str(), "", 0, D3DXMESH_SYSTEMMEM), E_FAIL);
    EXPECT_EQ(LoadMesh(&out, nullptr, file.c_str(), "", 0, D3DXMESH_SYSTEMMEM), E_FAIL);
    EXPECT_EQ(LoadMesh(&out, device_, nullptr, "", 0, D3DXMESH_SYSTEMMEM), E_FAIL);
    EXPECT_EQ(LoadMesh(&out, device_, file.c_str(), nullptr, 0, D3DXMESH_SYSTEMMEM), E_FAIL);
    EXPECT_EQ(out, sentinel);
    for (const std::string& bad : {scratch_.Path("none.x"), cut, counts}) {
        HRESULT hr = LoadMesh(&out, device_, bad.c_str(), "", 0, D3DXMESH_SYSTEMMEM);
        EXPECT_TRUE(FAILED(hr)) << bad;
        EXPECT_EQ(out, sentinel);
    }
    // A conversion that fails leaves nothing behind either.
    EXPECT_TRUE(FAILED(LoadMesh(&out, device_, file.c_str(), "", D3DFVF_XYZ | (9 << D3DFVF_TEXCOUNT_SHIFT), D3DXMESH_SYSTEMMEM)));
    EXPECT_EQ(out, sentinel);
}

}  // namespace
