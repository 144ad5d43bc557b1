#include "xmesh_models.h"

namespace xmeshtest {

std::string PlainModel::File() const {
    xtest::MeshPart mesh{"Plain", {}, faces};
    for (const V3& p : positions) mesh.vertices.push_back(p);
    return std::string(xtest::kHeader) + mesh.text();
}

PlainModel Plain() {
    PlainModel m;
    m.positions = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

BoxModel Box(V3 lo, V3 hi) {
    BoxModel b;
    for (uint32_t v = 0; v < 8; ++v) {
        b.positions.push_back({(v & 1) ? hi[0] : lo[0], (v & 2) ? hi[1] : lo[1], (v & 4) ? hi[2] : lo[2]});
        b.coords.push_back({float(v & 1) + 0.25f * float((v >> 2) & 1), float((v >> 1) & 1)});
    }
    b.faces = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    b.normals = {{-1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, -1.0f, 0.0f},
                 {0.0f, 1.0f, 0.0f},  {0.0f, 0.0f, -1.0f}, {0.0f, 0.0f, 1.0f}};
    b.materials = {
        {"Bark", {0.8f, 0.6f, 0.4f, 1.0f}, 12.5f, {0.5f, 0.25f, 0.125f}, {0.0f, 0.0f, 0.0f}, "bark.jpg"},
        {"Glass", {0.1f, 0.2f, 0.3f, 0.999f}, 4.0f, {1.0f, 1.0f, 1.0f}, {0.0f, 0.5f, 0.0f}, ""},
        {"Smoke", {0.2f, 0.2f, 0.2f, 0.5f}, 0.0f, {0.0f, 0.0f, 0.0f}, {0.25f, 0.0f, 0.0f}, ""},
    };
    b.faceMaterials = {0, 0, 1, 1, 2, 2};
    return b;
}

std::string BoxModel::MeshText(const std::string& name) const {
    xtest::MeshPart mesh{name, {}, faces};
    for (const V3& p : positions) mesh.vertices.push_back(p);
    std::string children;
    if (withNormals) {
        xtest::NormalsPart n;
        for (const V3& v : normals) n.normals.push_back(v);
        for (size_t f = 0; f < faces.size(); ++f)
            n.faces.push_back(std::vector<uint32_t>(faces[f].size(), uint32_t(f)));
        children += n.text();
    }
    if (withCoords) {
        xtest::TexCoordsPart t;
        for (const V2& c : coords) t.coords.push_back(c);
        children += t.text();
    }
    if (withMaterials) {
        std::string list;
        for (const auto& m : materials) list += m.text();
        children += xtest::MaterialListPart{uint32_t(materials.size()), faceMaterials}.text(list);
    }
    return mesh.text(children);
}

std::string BoxModel::File() const { return std::string(xtest::kHeader) + MeshText(); }

PolygonModel Polygons() {
    PolygonModel m;
    m.positions = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f},
                   {3.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}, {4.5f, 1.0f, 0.0f}, {3.5f, 2.0f, 0.0f},
                   {2.5f, 1.0f, 0.0f}, {0.0f, 0.0f, 5.0f}, {1.0f, 0.0f, 5.0f}, {0.0f, 1.0f, 5.0f}};
    m.faces = {{0, 1, 2, 3}, {4, 5, 6, 7, 8}, {0, 1}, {9, 10, 11}};
    m.faceMaterials = {1, 0, 1, 1};
    return m;
}

std::string PolygonModel::File() const {
    xtest::MeshPart mesh{"Polygons", {}, faces};
    for (const V3& p : positions) mesh.vertices.push_back(p);
    const xtest::MaterialPart red{"Red", {1.0f, 0.0f, 0.0f, 1.0f}, 1.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, ""};
    const xtest::MaterialPart blue{"Blue", {0.0f, 0.0f, 1.0f, 1.0f}, 1.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, ""};
    const std::string list = xtest::MaterialListPart{2, faceMaterials}.text(red.text() + blue.text());
    return std::string(xtest::kHeader) + mesh.text(list);
}

const std::vector<V3> kTriangle = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};

std::string TriangleMesh(const std::string& name, const V3& normal, const xtest::V4& color, bool material) {
    xtest::MeshPart mesh{name, {}, {{0, 1, 2}}};
    for (const V3& p : kTriangle) mesh.vertices.push_back(p);
    xtest::NormalsPart n{{normal}, {{0, 0, 0}}};
    std::string children = n.text();
    if (material) {
        const xtest::MaterialPart m{"", color, 2.0f, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, ""};
        children += xtest::MaterialListPart{1, {0}}.text(m.text());
    }
    return mesh.text(children);
}

std::string Frame(const std::string& name, const std::string& matrixText, const std::string& children) {
    return "Frame " + name + " {\n" + matrixText + children + "}\n";
}

}  // namespace xmeshtest
