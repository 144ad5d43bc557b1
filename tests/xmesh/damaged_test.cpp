// Damaged and hostile .x files: a failure code, never a crash, a read outside the data or a
// runaway allocation.
#include "xmesh_models.h"

#include <algorithm>

namespace xmeshtest {
namespace {

const char* const kMeshGuid = "<3D82AB44-62DA-11CF-AB39-0020AF71E433>";

class DamagedTest : public MeshTest, public ::testing::WithParamInterface<Enc> {};

std::string EncodingName(const ::testing::TestParamInfo<Enc>& info) { return xtest::encName(info.param); }

std::string Quad(const std::string& children, const Faces& faces = {{0, 1, 2, 3}}) {
    xtest::MeshPart mesh{"Quad", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, faces};
    return std::string(xtest::kHeader) + mesh.text(children);
}

std::string Material() {
    return xtest::MaterialPart{"", {1, 1, 1, 1}, 0, {0, 0, 0}, {0, 0, 0}, ""}.text();
}

struct Case {
    const char* what;
    std::string file;
};

std::vector<Case> InvalidDataCases() {
    return {
        {"vertex index past the vertices", Quad("", {{0, 1, 7}})},
        {"normal faces fewer than faces", Quad(xtest::NormalsPart{{{0, 0, 1}}, {}}.text(), {{0, 1, 2}, {0, 2, 3}})},
        {"normal face with another corner count", Quad(xtest::NormalsPart{{{0, 0, 1}}, {{0, 0, 0}}}.text())},
        {"normal index past the normals", Quad(xtest::NormalsPart{{{0, 0, 1}}, {{0, 0, 1, 0}}}.text())},
        {"coordinates for fewer vertices", Quad(xtest::TexCoordsPart{{{0, 0}, {1, 0}, {1, 1}}}.text())},
        {"material index past the materials", Quad(xtest::MaterialListPart{1, {1}}.text(Material()))},
        {"fewer materials than counted", Quad(xtest::MaterialListPart{2, {0}}.text(Material()))},
        {"face materials without materials", Quad(xtest::MaterialListPart{0, {0}}.text(""))},
        {"no face materials for the faces", Quad(xtest::MaterialListPart{1, {}}.text(Material()))},
        {"colour of a vertex that is not there", Quad("MeshVertexColors { 1; 9;1.0;1.0;1.0;1.0;;; }\n")},
        // Templates of the file's own that give less data than the counts ask for.
        {"vertex count past the data",
         std::string(xtest::kHeader) + "template Mesh { " + kMeshGuid +
             " DWORD nVertices; array Vector vertices[2]; }\n"
             "Mesh { 1000; 0.0;0.0;0.0;, 1.0;1.0;1.0;; }\n"},
        {"largest vertex count",
         std::string(xtest::kHeader) + "template Mesh { " + kMeshGuid +
             " DWORD nVertices; array Vector vertices[1]; DWORD nFaces; }\n"
             "Mesh { 4294967295; 0.0;0.0;0.0;; 1; }\n"},
        {"face count past the data",
         std::string(xtest::kHeader) + "template Mesh { " + kMeshGuid +
             " DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; }\n"
             "Mesh { 1; 0.0;0.0;0.0;; 5; }\n"},
        {"corner count past the data",
         std::string(xtest::kHeader) + "template Mesh { " + kMeshGuid +
             " DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; DWORD corners; }\n"
             "Mesh { 1; 0.0;0.0;0.0;; 1; 3000000000; }\n"},
        {"short transform",
         std::string(xtest::kHeader) +
             "template FrameTransformMatrix { <F6F23F41-7686-11cf-8F52-0040333594A3> array FLOAT m[4]; }\n" +
             Frame("F", "FrameTransformMatrix { 1.0,0.0,0.0,1.0;; }\n", TriangleMesh("T", {0, 0, 1}, {1, 1, 1, 1}))},
        {"short material",
         std::string(xtest::kHeader) +
             "template Material { <3D82AB4D-62DA-11CF-AB39-0020AF71E433> FLOAT a; FLOAT b; [...] }\n" +
             xtest::MeshPart{"T", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}}.text(
                 xtest::MaterialListPart{1, {0}}.text("Material { 1.0; 1.0; }\n"))},
    };
}

TEST_P(DamagedTest, InconsistentDataIsInvalid) {
    for (const Case& c : InvalidDataCases()) {
        SCOPED_TRACE(c.what);
        ID3DXMesh* mesh = nullptr;
        ID3DXBuffer* materials = nullptr;
        const std::string path = WriteFile("damaged.x", xtest::encode(c.file, GetParam()));
        EXPECT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, Device(), nullptr, &materials, nullptr, nullptr,
                                     &mesh),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(mesh, nullptr);
        EXPECT_EQ(materials, nullptr);
    }
}

TEST_P(DamagedTest, UnknownObjectsAreSkipped) {
    const std::string file = std::string(xtest::kHeader) +
                             "template Extra { <01234567-89AB-CDEF-0123-456789ABCDEF> DWORD n; [...] }\n"
                             "Extra { 5; }\n" +
                             Quad("Extra { 7; Extra { 8; } }\n").substr(std::string(xtest::kHeader).size());
    Loaded l = LoadText(file, GetParam());
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumFaces(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, DamagedTest, ::testing::Values(Enc::Text, Enc::Binary), EncodingName);

class DamagedBytesTest : public MeshTest {
protected:
    // Loads `bytes`; a load that succeeds must give a mesh that holds together.
    HRESULT Try(const std::string& bytes) {
        const std::string path = WriteFile("bytes.x", bytes);
        Loaded l = LoadPath(path);
        if (SUCCEEDED(l.hr)) {
            EXPECT_GT(l.mesh->GetNumFaces(), 0u);
            const auto indices = Indices(l.mesh.get());
            for (uint32_t i : indices) EXPECT_LT(i, l.mesh->GetNumVertices());
            for (DWORD a : Attributes(l.mesh.get())) EXPECT_LT(a, std::max<DWORD>(l.numMaterials, 1));
        }
        return l.hr;
    }
};

TEST_F(DamagedBytesTest, EveryShorterBinaryFileFails) {
    const std::string file = xtest::encode(Box().File(), Enc::Binary);
    for (size_t n = 0; n < file.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(FAILED(Try(file.substr(0, n))));
    }
}

TEST_F(DamagedBytesTest, EveryShorterTextFileFails) {
    const std::string file = Box().File();
    const size_t last = file.rfind('}');
    for (size_t n = 0; n < last; n += 3) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(FAILED(Try(file.substr(0, n))));
    }
}

TEST_F(DamagedBytesTest, ChangedBytesNeverBreakTheLoader) {
    const std::string binary = xtest::encode(Box().File(), Enc::Binary);
    for (size_t i = 16; i < binary.size(); ++i) {
        for (unsigned char flip : {0xFFu, 0x01u, 0x80u}) {
            std::string bad = binary;
            bad[i] = char(bad[i] ^ flip);
            Try(bad);
        }
    }
    const std::string text = Box().File();
    for (size_t i = 16; i < text.size(); i += 2) {
        for (char c : {'9', '}', ';', '-'}) {
            std::string bad = text;
            bad[i] = c;
            Try(bad);
        }
    }
}

TEST_F(DamagedBytesTest, ReferencesThatWouldMultiplyAMeshBeyondTheLimitAreRefused) {
    // One mesh of 4096 vertices, placed by 1100 frames: 4.5 million vertices from a small file.
    xtest::MeshPart big{"Big", {}, {{0, 1, 2}}};
    for (int i = 0; i < 4096; ++i) big.vertices.push_back({float(i), 0.5f, 0.0f});
    std::string file = std::string(xtest::kHeader) + Frame("Holder", "", big.text());
    for (int i = 0; i < 1100; ++i) file += Frame("Copy" + std::to_string(i), "", "{ Big }\n");
    ID3DXMesh* mesh = nullptr;
    const std::string path = WriteFile("many.x", xtest::encode(file, Enc::Binary));
    EXPECT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, Device(), nullptr, nullptr, nullptr, nullptr, &mesh),
              E_OUTOFMEMORY);
    EXPECT_EQ(mesh, nullptr);
    // The same mesh placed 900 times is within the limit.
    file = std::string(xtest::kHeader) + Frame("Holder", "", big.text());
    for (int i = 0; i < 900; ++i) file += Frame("Copy" + std::to_string(i), "", "{ Big }\n");
    Loaded l = LoadText(file, Enc::Binary);
    ASSERT_EQ(l.hr, D3D_OK);
    EXPECT_EQ(l.mesh->GetNumVertices(), 901u * 4096u);
    EXPECT_EQ(l.mesh->GetNumFaces(), 901u);
}

}  // namespace
}  // namespace xmeshtest
