// Triangle meshes for the model generator: shapes built from closed pieces,
// front faces clockwise seen from outside (Direct3D, left-handed), i.e. the
// outward normal of a triangle (a, b, c) is (b - a) x (c - a).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace xgen {

constexpr float kPi = 3.14159265358979f;

struct Vec2 {
  float u = 0, v = 0;
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 Mul(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalise(Vec3 a) {
  const float l = Length(a);
  return l > 0 ? a * (1.0f / l) : Vec3{0, 1, 0};
}

// Up to two bone influences per vertex.
struct Influence {
  int bone = -1;
  float weight = 0;
};
using Weights = std::array<Influence, 2>;

struct Triangle {
  std::uint32_t a, b, c;
  int material;
};

// How a piece takes its texture coordinates: a planar projection along one axis,
// `scale` texture repeats per unit, so that a closed piece needs no seam.
enum class Projection { FrontXY, SideZY, TopXZ };
struct UvMap {
  Projection projection = Projection::FrontXY;
  float scale = 0.25f;
  Vec2 offset;
};

using WeightFn = std::function<Weights(Vec3)>;

struct Mesh {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<Vec2> uvs;
  std::vector<Weights> weights;
  std::vector<Triangle> triangles;

  std::uint32_t AddVertex(Vec3 p, Vec3 n, Vec2 uv, Weights w = {});
  void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, int material) {
    triangles.push_back({a, b, c, material});
  }
  // Smooth area-weighted normals for the vertices from `first` on.
  void SmoothNormals(std::uint32_t first);
  void Transform(const std::function<Vec3(Vec3)>& f, std::uint32_t first = 0);
  void Bounds(Vec3& lo, Vec3& hi) const;
  // Signed volume of the triangles from `firstTriangle` on: positive when closed and outward.
  double Volume(std::size_t firstTriangle = 0) const;
};

// A piece under construction: its material, texture mapping and skin weights.
struct Style {
  int material = 0;
  UvMap uv;
  WeightFn weights;
};

Vec2 Project(const UvMap& map, Vec3 p);

// Closed, smooth pieces with shared vertices (one normal per vertex).
void AddEllipsoid(Mesh& m, Vec3 centre, Vec3 radii, int slices, int stacks, const Style& s);
// Half ellipsoid above its base (a dome), closed by a flat base.
void AddDome(Mesh& m, Vec3 centre, Vec3 radii, int slices, int stacks, const Style& s);
// Tube along a path of rings; each ring an ellipse of (rx, rz) in the plane
// perpendicular to y, displaced by the ring centre. Closed by cap vertices.
struct Ring {
  Vec3 centre;
  float rx, rz;
};
void AddLoft(Mesh& m, const std::vector<Ring>& rings, int slices, const Style& s);
// Tube between two points with elliptical rings, any direction.
void AddTube(Mesh& m, Vec3 from, Vec3 to, float r0, float r1, int slices, int segments, const Style& s);
// Ring torus around the y axis, elliptical (major radii rx, rz).
void AddTorus(Mesh& m, Vec3 centre, float rx, float rz, float tube, int slices, int sides, const Style& s);
// Cone from a base disc to a tip, along any direction.
void AddCone(Mesh& m, Vec3 base, Vec3 tip, float radius, int slices, const Style& s);
// Slab from a simple polygon in the plane (origin, axisU, axisV), extruded by
// `thickness` along the plane normal, with bevelled edges so shading stays soft.
void AddSlab(Mesh& m, const std::vector<Vec2>& outline, Vec3 origin, Vec3 axisU, Vec3 axisV, float thickness,
             const Style& s);

// Flat-shaded box (24 vertices, 12 triangles), for pieces that cast no shadow.
void AddFlatBox(Mesh& m, Vec3 lo, Vec3 hi, int material, float uvScale, const WeightFn& weights = nullptr);

}  // namespace xgen
