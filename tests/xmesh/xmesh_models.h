// The .x models of the mesh tests, written as text (the tests encode them in every form).
#pragma once

#include "xmesh_test_util.h"

#include <string>
#include <vector>

namespace xmeshtest {

using Faces = std::vector<std::vector<uint32_t>>;

// Two triangles, no normals, coordinates or materials.
struct PlainModel {
    std::vector<V3> positions;
    Faces faces;
    std::string File() const;
};
PlainModel Plain();

// A box of eight corners from `lo` to `hi`, six four-cornered faces. With normals, every face
// has its own normal, so that every corner is split three ways; with materials, faces 0-1 use
// material 0 (alpha 1.0, texture "bark.jpg"), 2-3 material 1 (alpha 0.999, no texture) and 4-5
// material 2 (alpha 0.5, no texture).
struct BoxModel {
    std::vector<V3> positions;
    Faces faces;
    std::vector<V3> normals;  // one per face
    std::vector<V2> coords;   // one per corner position
    std::vector<xtest::MaterialPart> materials;
    std::vector<uint32_t> faceMaterials;
    bool withNormals = true;
    bool withCoords = true;
    bool withMaterials = true;
    std::string MeshText(const std::string& name = "Box") const;
    std::string File() const;
};
BoxModel Box(V3 lo = {-1.0f, -1.0f, -1.0f}, V3 hi = {1.0f, 1.0f, 1.0f});

// A four-cornered and a five-cornered polygon, a two-cornered face and a triangle, with a
// material per face.
struct PolygonModel {
    std::vector<V3> positions;
    Faces faces;
    std::vector<uint32_t> faceMaterials;
    std::string File() const;
};
PolygonModel Polygons();

// A triangle with a normal and a material of the given colour.
std::string TriangleMesh(const std::string& name, const V3& normal, const xtest::V4& color, bool material = true);
extern const std::vector<V3> kTriangle;

std::string Frame(const std::string& name, const std::string& matrixText, const std::string& children);

}  // namespace xmeshtest
