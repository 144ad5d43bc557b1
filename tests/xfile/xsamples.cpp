#include "xsamples.h"

#include <cstdio>

namespace xtest {

const char* const kHeader = "xof 0303txt 0032\n";

std::string num(float f) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.6f", double(f));
    return buf;
}

namespace {

// "a;b;c;" for the fields of one structure.
template <size_t N>
std::string fields(const std::array<float, N>& v) {
    std::string s;
    for (float x : v) s += num(x) + ";";
    return s;
}

// Elements separated by ',' and the array closed by ';'.
template <class T, class F>
std::string list(const std::vector<T>& v, F element) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) s += "  " + element(v[i]) + (i + 1 < v.size() ? ",\n" : ";\n");
    return s;
}

std::string faceText(const std::vector<uint32_t>& f) {
    std::string s = std::to_string(f.size()) + ";";
    for (size_t i = 0; i < f.size(); ++i) s += std::to_string(f[i]) + (i + 1 < f.size() ? "," : ";");
    return s;
}

void faceLayout(Layout& l, const Faces& faces) {
    l.dw(uint32_t(faces.size()));
    for (const auto& f : faces) {
        l.dw(uint32_t(f.size()));
        for (uint32_t i : f) l.dw(i);
    }
}

}  // namespace

std::string MeshPart::text(const std::string& children) const {
    std::string s = "Mesh " + name + " {\n " + std::to_string(vertices.size()) + ";\n";
    s += list(vertices, [](const V3& v) { return fields(v); });
    s += " " + std::to_string(faces.size()) + ";\n";
    s += list(faces, faceText);
    return s + children + "}\n";
}

Layout MeshPart::layout() const {
    Layout l;
    l.dw(uint32_t(vertices.size()));
    for (const V3& v : vertices) l.floats({v[0], v[1], v[2]});
    faceLayout(l, faces);
    return l;
}

std::string NormalsPart::text() const {
    std::string s = "MeshNormals {\n " + std::to_string(normals.size()) + ";\n";
    s += list(normals, [](const V3& v) { return fields(v); });
    s += " " + std::to_string(faces.size()) + ";\n";
    s += list(faces, faceText);
    return s + "}\n";
}

Layout NormalsPart::layout() const {
    Layout l;
    l.dw(uint32_t(normals.size()));
    for (const V3& v : normals) l.floats({v[0], v[1], v[2]});
    faceLayout(l, faces);
    return l;
}

std::string TexCoordsPart::text() const {
    std::string s = "MeshTextureCoords {\n " + std::to_string(coords.size()) + ";\n";
    s += list(coords, [](const V2& v) { return fields(v); });
    return s + "}\n";
}

Layout TexCoordsPart::layout() const {
    Layout l;
    l.dw(uint32_t(coords.size()));
    for (const V2& v : coords) l.floats({v[0], v[1]});
    return l;
}

std::string MaterialPart::text() const {
    std::string s = "Material " + name + " {\n";
    s += "  " + fields(face) + ";\n";
    s += "  " + num(power) + ";\n";
    s += "  " + fields(specular) + ";\n";
    s += "  " + fields(emissive) + ";\n";
    if (!texture.empty()) s += "  TextureFilename { \"" + texture + "\"; }\n";
    return s + "}\n";
}

Layout MaterialPart::layout() const {
    Layout l;
    l.floats({face[0], face[1], face[2], face[3], power});
    l.floats({specular[0], specular[1], specular[2], emissive[0], emissive[1], emissive[2]});
    return l;
}

std::string MaterialListPart::text(const std::string& children) const {
    std::string s = "MeshMaterialList {\n " + std::to_string(nMaterials) + ";\n " +
                    std::to_string(faceIndexes.size()) + ";\n";
    s += list(faceIndexes, [](uint32_t i) { return std::to_string(i); });
    return s + children + "}\n";
}

Layout MaterialListPart::layout() const {
    Layout l;
    l.dw(nMaterials).dw(uint32_t(faceIndexes.size()));
    for (uint32_t i : faceIndexes) l.dw(i);
    return l;
}

std::string matrixText(const Matrix& m) {
    std::string s = "FrameTransformMatrix {\n  ";
    for (size_t i = 0; i < 16; ++i) s += num(m[i]) + (i < 15 ? "," : ";;\n");
    return s + "}\n";
}

Layout matrixLayout(const Matrix& m) {
    Layout l;
    for (float x : m) l.f(x);
    return l;
}

std::string AnimationKeyPart::text() const {
    std::string s = "AnimationKey {\n  " + std::to_string(keyType) + ";\n  " + std::to_string(keys.size()) + ";\n";
    s += list(keys, [](const KeyPart& k) {
        std::string e = std::to_string(k.time) + ";" + std::to_string(k.values.size()) + ";";
        for (size_t i = 0; i < k.values.size(); ++i) e += num(k.values[i]) + (i + 1 < k.values.size() ? "," : ";");
        return e + ";";
    });
    return s + "}\n";
}

Layout AnimationKeyPart::layout() const {
    Layout l;
    l.dw(keyType).dw(uint32_t(keys.size()));
    for (const KeyPart& k : keys) {
        l.dw(k.time).dw(uint32_t(k.values.size()));
        for (float v : k.values) l.f(v);
    }
    return l;
}

// ---------------------------------------------------------------------------------------------

MeshPart sampleTriangle() {
    return {"Tri", {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.5f, -2.25f}}, {{0, 1, 2}}};
}

std::string sampleTriangleFile() { return kHeader + sampleTriangle().text(); }

FullMesh sampleFullMesh() {
    FullMesh m;
    m.mesh.name = "Box";
    m.mesh.vertices = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                       {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    m.mesh.faces = {{0, 1, 2}, {0, 2, 3}, {4, 6, 5}, {4, 7, 6}, {0, 4, 5}, {0, 5, 1},
                    {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}};
    m.normals.normals = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    for (uint32_t f = 0; f < 12; ++f) {
        const uint32_t n = f / 2;
        m.normals.faces.push_back({n, n, n});
    }
    for (const V3& v : m.mesh.vertices) m.coords.coords.push_back({v[0] * 0.5f + 0.5f, v[1] * 0.25f + 0.75f});
    m.list.nMaterials = 3;
    m.list.faceIndexes = {0, 0, 1, 1, 2, 2, 0, 0, 1, 1, 2, 2};
    m.materials = {
        {"Opaque", {1.0f, 0.5f, 0.25f, 1.0f}, 8.0f, {0.5f, 0.5f, 0.5f}, {0, 0, 0}, "wood.bmp"},
        {"Almost", {0.25f, 0.75f, 1.0f, 0.999f}, 0.0f, {0, 0, 0}, {0.125f, 0, 0}, ""},
        {"", {0.0f, 1.0f, 0.0f, 0.5f}, 2.5f, {1, 1, 1}, {0, 0, 0.5f}, "textures\\missing.png"},
    };
    return m;
}

std::string FullMesh::file() const {
    std::string mats;
    for (const MaterialPart& p : materials) mats += p.text();
    return kHeader + mesh.text(normals.text() + coords.text() + list.text(mats));
}

MeshPart samplePolygons() {
    return {"Polys",
            {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0.5f, 0}, {2.5f, 1.5f, 0}},
            {{0, 1, 2, 3}, {1, 4, 5, 6, 2}, {0, 2, 3}}};
}

Hierarchy sampleHierarchy() {
    Hierarchy h;
    h.world = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    h.arm = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 2, 0, 1};
    h.other = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, -5.5f, 1};
    h.armMesh = {"ArmMesh", {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}}};
    h.legMesh = {"", {{0, 0, 0}, {0, -1, 0}, {1, 0, 0}}, {{0, 2, 1}}};
    return h;
}

std::string Hierarchy::file() const {
    std::string s = kHeader;
    s += "Frame World {\n" + matrixText(world);
    s += "Frame Arm {\n" + matrixText(arm) + armMesh.text() + "}\n";
    s += "Frame Leg {\n" + legMesh.text() + "}\n";
    s += "}\n";
    s += "Frame Other {\n" + matrixText(other) + "{ ArmMesh }\nFrame Inner {\n}\n}\n";
    return s;
}

Animations sampleAnimations() {
    Animations a;
    a.bone = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    a.walkKeys = {
        {0, {{0, {1.0f, 0, 0, 0}}, {40, {0.5f, 0.5f, 0.5f, 0.5f}}, {80, {0, 0, 1.0f, 0}}}},
        {1, {{0, {1, 1, 1}}, {80, {2.0f, 0.5f, 1.0f}}}},
        {2, {{0, {0, 0, 0}}, {10, {10.0f, 0, 0}}}},
        {4, {{20, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3.0f, 4.0f, 5.0f, 1}}}},
    };
    a.runKey = {2, {{5, {1.0f, 2.0f, 3.0f}}}};
    return a;
}

std::string Animations::file() const {
    std::string s = kHeader;
    s += "Frame Bone {\n" + matrixText(bone) + "}\n";
    s += "AnimTicksPerSecond {\n 4800;\n}\n";
    s += "AnimationSet Walk {\n Animation WalkBone {\n  { Bone }\n";
    for (const AnimationKeyPart& k : walkKeys) s += k.text();
    s += "  AnimationOptions {\n 1;\n 0;\n }\n }\n}\n";
    s += "AnimationSet Run {\n Animation {\n  { Bone }\n" + runKey.text() + " }\n}\n";
    return s;
}

std::vector<std::string> allSampleFiles() {
    return {sampleTriangleFile(), sampleFullMesh().file(), kHeader + samplePolygons().text(),
            sampleHierarchy().file(), sampleAnimations().file()};
}

}  // namespace xtest
