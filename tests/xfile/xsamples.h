// Sample .x content for the tests: each piece writes itself as text and gives the locked data
// that the reader must produce for it, both from the same values.
#pragma once

#include "xtest_util.h"

#include <array>
#include <string>
#include <vector>

namespace xtest {

using V2 = std::array<float, 2>;
using V3 = std::array<float, 3>;
using V4 = std::array<float, 4>;
using Faces = std::vector<std::vector<uint32_t>>;

// A float as text, always with a decimal point so that the binary writer takes it as a float.
std::string num(float f);

struct MeshPart {
    std::string name;
    std::vector<V3> vertices;
    Faces faces;
    std::string text(const std::string& children = "") const;
    Layout layout() const;
};

struct NormalsPart {
    std::vector<V3> normals;
    Faces faces;
    std::string text() const;
    Layout layout() const;
};

struct TexCoordsPart {
    std::vector<V2> coords;
    std::string text() const;
    Layout layout() const;
};

struct MaterialPart {
    std::string name;  // may be empty
    V4 face;
    float power;
    V3 specular;
    V3 emissive;
    std::string texture;  // empty: no TextureFilename
    std::string text() const;
    Layout layout() const;
};

struct MaterialListPart {
    uint32_t nMaterials;
    std::vector<uint32_t> faceIndexes;
    std::string text(const std::string& children) const;
    Layout layout() const;
};

using Matrix = std::array<float, 16>;
std::string matrixText(const Matrix& m);
Layout matrixLayout(const Matrix& m);

struct KeyPart {
    uint32_t time;
    std::vector<float> values;
};
struct AnimationKeyPart {
    uint32_t keyType;
    std::vector<KeyPart> keys;
    std::string text() const;
    Layout layout() const;
};

// ---- whole sample files (text, with the standard templates expected to be registered)

extern const char* const kHeader;  // "xof 0303txt 0032\n"

// A triangle mesh without materials.
MeshPart sampleTriangle();
std::string sampleTriangleFile();

// A cube with normals, texture coordinates and a material list of three materials.
struct FullMesh {
    MeshPart mesh;
    NormalsPart normals;
    TexCoordsPart coords;
    MaterialListPart list;
    std::vector<MaterialPart> materials;
    std::string file() const;
};
FullMesh sampleFullMesh();

// Polygons of four and five corners.
MeshPart samplePolygons();

// Two top-level frames with children, transforms, meshes and a reference to a mesh by name.
struct Hierarchy {
    Matrix world, arm, other;
    MeshPart armMesh, legMesh;
    std::string file() const;
};
Hierarchy sampleHierarchy();

// Two animation sets; the first has keys of types 0, 1, 2 and 4.
struct Animations {
    Matrix bone;
    std::vector<AnimationKeyPart> walkKeys;
    AnimationKeyPart runKey;
    std::string file() const;
};
Animations sampleAnimations();

// Every sample above, for corpora.
std::vector<std::string> allSampleFiles();

}  // namespace xtest
