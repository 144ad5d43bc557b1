// D3DXLoadMeshFromX on generated models, in every encoding of the .x format.
#include "xmesh_models.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace xmeshtest {
namespace {

class LoadTest : public MeshTest, public ::testing::WithParamInterface<Enc> {};

std::string EncodingName(const ::testing::TestParamInfo<Enc>& info) { return xtest::encName(info.param); }

D3DXVECTOR3 V(const V3& v) { return D3DXVECTOR3(v[0], v[1], v[2]); }
bool Same(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

std::string ParamString(const D3DXEFFECTINSTANCE& e, const char* name) {
    for (DWORD i = 0; i < e.NumDefaults; ++i)
        if (std::strcmp(e.pDefaults[i].pParamName, name) == 0 && e.pDefaults[i].Type == D3DXEDT_STRING)
            return static_cast<const char*>(e.pDefaults[i].pValue);
    return "<none>";
}

std::vector<float> ParamFloats(const D3DXEFFECTINSTANCE& e, const char* name) {
    for (DWORD i = 0; i < e.NumDefaults; ++i)
        if (std::strcmp(e.pDefaults[i].pParamName, name) == 0 && e.pDefaults[i].Type == D3DXEDT_FLOATS) {
            const float* f = static_cast<const float*>(e.pDefaults[i].pValue);
            return std::vector<float>(f, f + e.pDefaults[i].NumBytes / 4);
        }
    return {};
}

TEST_P(LoadTest, MeshWithoutMaterialsHasPositionsOnlyAndNoMaterialBuffer) {
    const PlainModel model = Plain();
    Loaded l = LoadText(model.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ));
    EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 12u);
    EXPECT_EQ(l.mesh->GetNumVertices(), 4u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 2u);
    EXPECT_EQ(l.numMaterials, 0u);
    EXPECT_FALSE(l.materials);
    EXPECT_FALSE(l.effects);
    EXPECT_EQ(Attributes(l.mesh.get()), (std::vector<DWORD>{0, 0}));
    EXPECT_EQ(Indices(l.mesh.get()), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    const auto bytes = VertexBytes(l.mesh.get());
    for (size_t v = 0; v < 4; ++v) EXPECT_TRUE(Same(Vec3At(bytes, 12, v, 0), V(model.positions[v])));
    EXPECT_EQ(l.mesh->GetOptions(), DWORD(D3DXMESH_SYSTEMMEM));
}

TEST_P(LoadTest, NormalsSplitTheBoxIntoTwentyFourVertices) {
    const BoxModel box = Box();
    Loaded l = LoadText(box.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 32u);
    ASSERT_EQ(l.mesh->GetNumVertices(), 24u);
    ASSERT_EQ(l.mesh->GetNumFaces(), 12u);
    EXPECT_EQ(l.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(l.mesh->GetIndexBuffer(&ib), D3D_OK);
    D3DINDEXBUFFER_DESC desc;
    ASSERT_EQ(ib->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    ib->Release();

    const auto bytes = VertexBytes(l.mesh.get());
    const auto indices = Indices(l.mesh.get());
    // The first eight vertices keep the file's numbering.
    for (size_t v = 0; v < 8; ++v) EXPECT_TRUE(Same(Vec3At(bytes, 32, v, 0), V(box.positions[v]))) << v;
    // Every vertex carries the coordinates of its position; no two share position and normal.
    std::set<std::vector<float>> seen;
    for (size_t v = 0; v < 24; ++v) {
        const D3DXVECTOR3 p = Vec3At(bytes, 32, v, 0), n = Vec3At(bytes, 32, v, 12);
        const D3DXVECTOR2 t = Vec2At(bytes, 32, v, 24);
        const auto at = std::find_if(box.positions.begin(), box.positions.end(),
                                     [&](const V3& q) { return Same(V(q), p); });
        ASSERT_NE(at, box.positions.end());
        const V2& expected = box.coords[size_t(at - box.positions.begin())];
        EXPECT_EQ(t.x, expected[0]);
        EXPECT_EQ(t.y, expected[1]);
        EXPECT_TRUE(seen.insert({p.x, p.y, p.z, n.x, n.y, n.z}).second) << "vertex " << v << " repeats another";
    }
    // Each quad is a fan of two triangles with the quad's normal at every corner.
    for (size_t f = 0; f < 6; ++f) {
        const auto& q = box.faces[f];
        const uint32_t expect[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (int t = 0; t < 2; ++t)
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = indices[(f * 2 + t) * 3 + k];
                EXPECT_TRUE(Same(Vec3At(bytes, 32, v, 0), V(box.positions[expect[t][k]])));
                EXPECT_TRUE(Same(Vec3At(bytes, 32, v, 12), V(box.normals[f])));
            }
    }
    EXPECT_EQ(Attributes(l.mesh.get()), (std::vector<DWORD>{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2}));
}

TEST_P(LoadTest, MaterialsKeepTheirColoursAndTextureNamesInsideTheBuffer) {
    const BoxModel box = Box();
    Loaded l = LoadText(box.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.numMaterials, 3u);
    ASSERT_TRUE(l.materials);
    ASSERT_GE(l.materials->GetBufferSize(), 3 * sizeof(D3DXMATERIAL));
    const float alphas[3] = {1.0f, 0.999f, 0.5f};
    for (size_t i = 0; i < 3; ++i) {
        const D3DMATERIAL9& m = l.Material(i)->MatD3D;
        const auto& src = box.materials[i];
        EXPECT_EQ(m.Diffuse.a, alphas[i]);
        EXPECT_EQ(m.Diffuse.r, src.face[0]);
        EXPECT_EQ(m.Diffuse.g, src.face[1]);
        EXPECT_EQ(m.Diffuse.b, src.face[2]);
        EXPECT_EQ(m.Ambient.r, 0.0f);
        EXPECT_EQ(m.Ambient.a, 0.0f);
        EXPECT_EQ(m.Specular.r, src.specular[0]);
        EXPECT_EQ(m.Specular.b, src.specular[2]);
        EXPECT_EQ(m.Specular.a, 1.0f);
        EXPECT_EQ(m.Emissive.g, src.emissive[1]);
        EXPECT_EQ(m.Emissive.a, 1.0f);
        EXPECT_EQ(m.Power, src.power);
    }
    ASSERT_NE(l.Material(0)->pTextureFilename, nullptr);
    EXPECT_STREQ(l.Material(0)->pTextureFilename, "bark.jpg");
    EXPECT_EQ(l.Material(1)->pTextureFilename, nullptr);
    EXPECT_EQ(l.Material(2)->pTextureFilename, nullptr);
    // The name lives in the same buffer.
    const char* begin = static_cast<const char*>(l.materials->GetBufferPointer());
    const char* name = l.Material(0)->pTextureFilename;
    EXPECT_GE(name, begin);
    EXPECT_LE(name + std::strlen(name) + 1, begin + l.materials->GetBufferSize());
}

TEST_P(LoadTest, EffectInstancesAreMadeFromTheMaterials) {
    const BoxModel box = Box();
    Loaded l = LoadText(box.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_TRUE(l.effects);
    ASSERT_GE(l.effects->GetBufferSize(), 3 * sizeof(D3DXEFFECTINSTANCE));
    const auto* e = static_cast<const D3DXEFFECTINSTANCE*>(l.effects->GetBufferPointer());
    EXPECT_EQ(e[0].pEffectFilename, nullptr);
    EXPECT_EQ(ParamString(e[0], "Texture0@Name"), "bark.jpg");
    EXPECT_EQ(ParamString(e[1], "Texture0@Name"), "<none>");
    EXPECT_EQ(ParamFloats(e[1], "Diffuse"), (std::vector<float>{0.1f, 0.2f, 0.3f, 0.999f}));
    EXPECT_EQ(ParamFloats(e[0], "Power"), (std::vector<float>{12.5f}));
    EXPECT_EQ(ParamFloats(e[2], "Emissive"), (std::vector<float>{0.25f, 0.0f, 0.0f}));
}

TEST_P(LoadTest, AdjacencyFollowsTheFileTopologyAcrossSplitVertices) {
    Loaded l = LoadText(Box().File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_TRUE(l.adjacency);
    ASSERT_EQ(l.adjacency->GetBufferSize(), 12u * 3 * sizeof(DWORD));
    const DWORD* adj = l.Adjacency();
    const auto indices = Indices(l.mesh.get());
    const auto bytes = VertexBytes(l.mesh.get());
    auto pos = [&](uint32_t v) { return Vec3At(bytes, 32, v, 0); };
    // A closed box: every edge has a neighbour, the relation is mutual, and the neighbour has
    // the same two corner positions.
    for (DWORD f = 0; f < 12; ++f)
        for (int k = 0; k < 3; ++k) {
            const DWORD g = adj[f * 3 + k];
            ASSERT_LT(g, 12u) << "face " << f << " edge " << k;
            EXPECT_NE(g, f);
            EXPECT_NE(std::find(adj + g * 3, adj + g * 3 + 3, f), adj + g * 3 + 3);
            const D3DXVECTOR3 a = pos(indices[f * 3 + k]), b = pos(indices[f * 3 + (k + 1) % 3]);
            int shared = 0;
            for (int j = 0; j < 3; ++j) {
                const D3DXVECTOR3 c = pos(indices[g * 3 + j]);
                shared += Same(c, a) || Same(c, b);
            }
            EXPECT_EQ(shared, 2);
        }
}

TEST_P(LoadTest, EightCornerBoxWithoutNormalsKeepsEightVertices) {
    BoxModel box = Box({-0.5f, -1.0f, -1.5f}, {0.5f, 1.0f, 1.5f});
    box.withNormals = box.withCoords = box.withMaterials = false;
    Loaded l = LoadText(box.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumVertices(), 8u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 12u);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ));
}

TEST_P(LoadTest, PolygonsBecomeFansAndShortFacesAreDropped) {
    const PolygonModel model = Polygons();
    Loaded l = LoadText(model.File(), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->GetNumFaces(), 6u);  // 2 + 3 + 1; the two-cornered face makes none
    EXPECT_EQ(l.mesh->GetNumVertices(), 12u);
    EXPECT_EQ(Indices(l.mesh.get()),
              (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 4, 7, 8, 9, 10, 11}));
    // Each triangle has its polygon's material; the dropped face's entry is skipped.
    EXPECT_EQ(Attributes(l.mesh.get()), (std::vector<DWORD>{1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(l.numMaterials, 2u);
}

TEST_P(LoadTest, OneMaterialIndexIsGivenToEveryFace) {
    const PolygonModel model = Polygons();
    xtest::MeshPart mesh{"Polygons", {}, model.faces};
    for (const V3& p : model.positions) mesh.vertices.push_back(p);
    const xtest::MaterialPart red{"", {1.0f, 0.0f, 0.0f, 1.0f}, 1.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, ""};
    const xtest::MaterialPart blue{"", {0.0f, 0.0f, 1.0f, 1.0f}, 1.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, ""};
    const std::string file = std::string(xtest::kHeader) +
                             mesh.text(xtest::MaterialListPart{2, {1}}.text(red.text() + blue.text()));
    Loaded l = LoadText(file, GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(Attributes(l.mesh.get()), std::vector<DWORD>(6, 1));
}

TEST_P(LoadTest, FramesPlaceTheirMeshesInnermostFirst) {
    // Frame A moves by (10, 0, 0); its child A1 scales x by 2 first. Frame B turns a quarter
    // about z and moves by (0, 5, 0), and holds a reference to A's mesh.
    const xtest::Matrix moveA = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    const xtest::Matrix scaleA1 = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const xtest::Matrix turnB = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 5, 0, 1};
    const float r = std::sqrt(0.5f);
    const std::string file =
        std::string(xtest::kHeader) +
        Frame("A", xtest::matrixText(moveA),
              TriangleMesh("TriA", {1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f, 1.0f}) +
                  Frame("A1", xtest::matrixText(scaleA1),
                        TriangleMesh("TriB", {r, r, 0.0f}, {0, 0, 0, 0}, false))) +
        Frame("B", xtest::matrixText(turnB), "{ TriA }\n" + Frame("B1", "", "{ A1 }\n"));
    Loaded l = LoadText(file, GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_EQ(l.mesh->GetNumVertices(), 9u);  // A1 referenced as a frame adds nothing
    ASSERT_EQ(l.mesh->GetNumFaces(), 3u);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    const auto bytes = VertexBytes(l.mesh.get());
    auto p = [&](size_t v) { return Vec3At(bytes, 24, v, 0); };
    auto n = [&](size_t v) { return Vec3At(bytes, 24, v, 12); };
    // TriA in A: moved.
    EXPECT_TRUE(Near(p(0), {10, 0, 0}));
    EXPECT_TRUE(Near(p(1), {11, 0, 0}));
    EXPECT_TRUE(Near(p(2), {10, 1, 0}));
    EXPECT_TRUE(Near(n(0), {1, 0, 0}));
    // TriB in A1 in A: scaled, then moved; the normal by the inverse transpose, unit length.
    EXPECT_TRUE(Near(p(3), {10, 0, 0}));
    EXPECT_TRUE(Near(p(4), {12, 0, 0}));
    EXPECT_TRUE(Near(p(5), {10, 1, 0}));
    const float a = 0.5f / std::sqrt(1.25f), b = 1.0f / std::sqrt(1.25f);
    EXPECT_TRUE(Near(n(3), {a, b, 0}));
    // TriA again, through the reference in B: turned, then moved up.
    EXPECT_TRUE(Near(p(6), {0, 5, 0}));
    EXPECT_TRUE(Near(p(7), {0, 6, 0}));
    EXPECT_TRUE(Near(p(8), {-1, 5, 0}));
    EXPECT_TRUE(Near(n(6), {0, 1, 0}));
    // Materials: TriA's, a default white one for TriB, TriA's again.
    ASSERT_EQ(l.numMaterials, 3u);
    EXPECT_EQ(Attributes(l.mesh.get()), (std::vector<DWORD>{0, 1, 2}));
    EXPECT_EQ(l.Material(0)->MatD3D.Diffuse.r, 1.0f);
    EXPECT_EQ(l.Material(0)->MatD3D.Diffuse.g, 0.0f);
    EXPECT_EQ(l.Material(1)->MatD3D.Diffuse.g, 1.0f);
    EXPECT_EQ(l.Material(1)->MatD3D.Diffuse.a, 1.0f);
    EXPECT_EQ(l.Material(2)->MatD3D.Diffuse.r, 1.0f);
    // Separate meshes never neighbour one another.
    for (int i = 0; i < 9; ++i) EXPECT_EQ(l.Adjacency()[i], 0xFFFFFFFFu);
}

TEST_P(LoadTest, MirroringFrameTurnsNormalsByTheInverseTranspose) {
    const xtest::Matrix mirror = {-2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float r = std::sqrt(0.5f);
    const std::string file = std::string(xtest::kHeader) +
                             Frame("M", xtest::matrixText(mirror), TriangleMesh("T", {r, r, 0}, {1, 1, 1, 1}, false));
    Loaded l = LoadText(file, GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    const auto bytes = VertexBytes(l.mesh.get());
    EXPECT_TRUE(Near(Vec3At(bytes, 24, 1, 0), {-2, 0, 0}));
    const float a = 0.5f / std::sqrt(1.25f), b = 1.0f / std::sqrt(1.25f);
    EXPECT_TRUE(Near(Vec3At(bytes, 24, 0, 12), {-a, b, 0}));
}

TEST_P(LoadTest, MeshesAtTheTopLevelAndInFramesAreMerged) {
    const xtest::Matrix up = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1};
    const std::string file = std::string(xtest::kHeader) +
                             TriangleMesh("First", {0, 0, 1}, {1, 1, 1, 1}, false) +
                             Frame("F", xtest::matrixText(up), TriangleMesh("Second", {0, 0, 1}, {1, 1, 1, 1}, false)) +
                             Box().MeshText("Third");
    Loaded l = LoadText(file, GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumVertices(), 3u + 3u + 24u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 1u + 1u + 12u);
    // Coordinates of the meshes that have none are 0; so are their attributes' materials' base.
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    const auto bytes = VertexBytes(l.mesh.get());
    EXPECT_TRUE(Near(Vec3At(bytes, 32, 4, 0), {1, 0, 3}));
    EXPECT_EQ(Vec2At(bytes, 32, 4, 24).x, 0.0f);
    EXPECT_EQ(l.numMaterials, 4u);  // the default one, then the box's three
    EXPECT_EQ(Attributes(l.mesh.get())[0], 0u);
    EXPECT_EQ(Attributes(l.mesh.get())[1], 0u);
    EXPECT_EQ(Attributes(l.mesh.get())[2], 1u);
    EXPECT_EQ(Attributes(l.mesh.get())[13], 3u);
}

TEST_P(LoadTest, VertexColoursAddADiffuseColour) {
    const PlainModel model = Plain();
    xtest::MeshPart mesh{"Coloured", {}, model.faces};
    for (const V3& p : model.positions) mesh.vertices.push_back(p);
    const std::string colours = "MeshVertexColors {\n 2;\n 1;1.0;0.5;0.0;1.0;;,\n 3;0.0;0.0;1.0;0.0;;;\n}\n";
    Loaded l = LoadText(std::string(xtest::kHeader) + mesh.text(colours), GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 16u);
    const auto bytes = VertexBytes(l.mesh.get());
    auto colour = [&](size_t v) {
        DWORD c;
        std::memcpy(&c, bytes.data() + v * 16 + 12, 4);
        return c;
    };
    EXPECT_EQ(colour(0), 0xFFFFFFFFu);  // none given: white
    EXPECT_EQ(colour(1), 0xFFFF8000u);
    EXPECT_EQ(colour(3), 0x000000FFu);
}

TEST_P(LoadTest, EffectInstanceOfTheFileIsKept) {
    const PlainModel model = Plain();
    xtest::MeshPart mesh{"Fx", {}, model.faces};
    for (const V3& p : model.positions) mesh.vertices.push_back(p);
    const std::string material =
        "Material {\n 1.0;1.0;1.0;1.0;;\n 0.0;\n 0.0;0.0;0.0;;\n 0.0;0.0;0.0;;\n"
        " EffectInstance {\n  \"glow.fx\";\n"
        "  EffectParamString { \"Mode\"; \"soft\"; }\n"
        "  EffectParamFloats { \"Tint\"; 3; 0.5, 0.25, 0.125; }\n"
        "  EffectParamDWord { \"Passes\"; 7; }\n }\n}\n";
    Loaded l = LoadText(std::string(xtest::kHeader) + mesh.text(xtest::MaterialListPart{1, {0, 0}}.text(material)),
                        GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    ASSERT_TRUE(l.effects);
    const auto* e = static_cast<const D3DXEFFECTINSTANCE*>(l.effects->GetBufferPointer());
    ASSERT_NE(e->pEffectFilename, nullptr);
    EXPECT_STREQ(e->pEffectFilename, "glow.fx");
    ASSERT_EQ(e->NumDefaults, 3u);
    EXPECT_EQ(ParamString(*e, "Mode"), "soft");
    EXPECT_EQ(ParamFloats(*e, "Tint"), (std::vector<float>{0.5f, 0.25f, 0.125f}));
    EXPECT_STREQ(e->pDefaults[2].pParamName, "Passes");
    EXPECT_EQ(e->pDefaults[2].Type, D3DXEDT_DWORD);
    EXPECT_EQ(*static_cast<const DWORD*>(e->pDefaults[2].pValue), 7u);
}

TEST_P(LoadTest, FramesWithoutMeshesAreNotAMesh) {
    const xtest::Matrix id = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const std::string file = std::string(xtest::kHeader) + Frame("Root", xtest::matrixText(id), Frame("Child", "", ""));
    ID3DXMesh* untouched = reinterpret_cast<ID3DXMesh*>(uintptr_t(0x1234));
    ID3DXMesh* mesh = untouched;
    const std::string path = WriteFile("frames.x", xtest::encode(file, GetParam()));
    EXPECT_EQ(D3DXLoadMeshFromXA(path.c_str(), 0, Device(), nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DXERR_LOADEDMESHASNODATA);
    EXPECT_EQ(mesh, untouched);
}

INSTANTIATE_TEST_SUITE_P(Encodings, LoadTest, ::testing::ValuesIn(AllEncodings()), EncodingName);

// ---- options and arguments

class LoadOptionsTest : public MeshTest {};

TEST_F(LoadOptionsTest, ThirtyTwoBitIndicesWhenAskedOrNeeded) {
    Loaded asked = LoadText(Box().File(), Enc::Text, D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT);
    ASSERT_EQ(asked.hr, D3D_OK);
    EXPECT_NE(asked.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
    EXPECT_EQ(Indices(asked.mesh.get()), Indices(LoadText(Box().File()).mesh.get()));

    // A strip of 33000 quads: 66002 vertices do not fit 16 bits.
    const uint32_t quads = 33000;
    xtest::MeshPart strip{"Strip", {}, {}};
    for (uint32_t i = 0; i <= quads; ++i) {
        strip.vertices.push_back({float(i), 0.0f, 0.0f});
        strip.vertices.push_back({float(i), 1.0f, 0.0f});
    }
    for (uint32_t i = 0; i < quads; ++i) strip.faces.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
    Loaded big = LoadText(std::string(xtest::kHeader) + strip.text(), Enc::Binary, D3DXMESH_MANAGED);
    ASSERT_EQ(big.hr, D3D_OK);
    EXPECT_EQ(big.mesh->GetNumVertices(), 2 * (quads + 1));
    EXPECT_EQ(big.mesh->GetOptions(), DWORD(D3DXMESH_MANAGED | D3DXMESH_32BIT));
    const auto indices = Indices(big.mesh.get());
    EXPECT_EQ(indices[indices.size() - 3], 2 * (quads - 1));
    EXPECT_EQ(indices[indices.size() - 1], 2 * quads - 1);
    EXPECT_EQ(*std::max_element(indices.begin(), indices.end()), 2 * quads + 1);
}

TEST_F(LoadOptionsTest, MissingArgumentsAndFiles) {
    const std::string path = WriteFile("plain.x", Plain().File());
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromXA(nullptr, 0, Device(), nullptr, nullptr, nullptr, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXA(path.c_str(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, &mesh),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadMeshFromXA(path.c_str(), 0, Device(), nullptr, nullptr, nullptr, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(D3DXLoadMeshFromXA((path + ".missing").c_str(), 0, Device(), nullptr, nullptr, nullptr,
                                          nullptr, &mesh)));
    EXPECT_EQ(mesh, nullptr);
    // Only the mesh is required.
    ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_MANAGED, Device(), nullptr, nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_MANAGED));
    mesh->Release();
}

TEST_F(LoadOptionsTest, FromXofLoadsOneMeshObjectWithoutItsFrame) {
    const xtest::Matrix far = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 100, 0, 0, 1};
    const std::string file = std::string(xtest::kHeader) +
                             Frame("F", xtest::matrixText(far), TriangleMesh("Tri", {0, 0, 1}, {0.5f, 0.5f, 0.5f, 1}));
    xtest::Loaded x = xtest::load(file);
    ASSERT_EQ(x.hr, S_OK);
    Ref<ID3DXFileData> frame = xtest::top(x, 0);
    Ref<ID3DXFileData> meshData = xtest::child(frame.get(), 1);
    Ref<ID3DXMesh> mesh;
    Ref<ID3DXBuffer> materials;
    DWORD count = 0;
    ASSERT_EQ(D3DXLoadMeshFromXof(meshData.get(), D3DXMESH_SYSTEMMEM, Device(), nullptr, materials.out(), nullptr,
                                  &count, mesh.out()),
              D3D_OK);
    EXPECT_EQ(count, 1u);
    const auto bytes = VertexBytes(mesh.get());
    EXPECT_TRUE(Near(Vec3At(bytes, 24, 1, 0), {1, 0, 0}));  // not moved by the frame
    // The frame itself is not a Mesh object.
    EXPECT_EQ(D3DXLoadMeshFromXof(frame.get(), 0, Device(), nullptr, nullptr, nullptr, nullptr, mesh.out()),
              D3DXERR_INVALIDDATA);
}

}  // namespace
}  // namespace xmeshtest
