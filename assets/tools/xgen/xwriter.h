// Writes text .x files ("xof 0303txt 0032") with the standard templates.
#pragma once

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "mesh.h"

namespace xgen {

// Row-vector 4 x 4 matrix, translation in the last row (Direct3D layout).
using Matrix = std::array<float, 16>;
Matrix Identity();
Matrix Translation(Vec3 t);

struct Material {
  std::string name;
  float r = 1, g = 1, b = 1, a = 1;
  float power = 0;
  Vec3 specular;
  Vec3 emissive;
  std::string texture;  // plain file name, empty for none
};

struct SkinBone {
  std::string frame;  // the frame the bone follows
  Matrix offset;      // mesh space to bone space
};

struct Quaternion {
  float w = 1, x = 0, y = 0, z = 0;
};

// Keys of one frame; all three kinds share the same times.
struct FrameAnimation {
  std::string frame;
  std::vector<std::uint32_t> times;
  std::vector<Quaternion> rotations;
  std::vector<Vec3> scales;
  std::vector<Vec3> positions;
};

class XWriter {
 public:
  XWriter();
  void BeginFrame(const std::string& name, const Matrix& m);
  void EndFrame();
  // The mesh with normals, texture coordinates and material list; skin data when
  // `bones` is not empty (vertex weights from the mesh).
  void WriteMesh(const std::string& name, const Mesh& mesh, const std::vector<Material>& materials,
                 const std::vector<SkinBone>& bones = {});
  void WriteAnimTicksPerSecond(std::uint32_t ticks);
  void WriteAnimationSet(const std::string& name, const std::vector<FrameAnimation>& animations);
  std::string Text() const { return out_.str(); }
  bool Save(const std::string& path) const;

 private:
  std::string Pad() const { return std::string(static_cast<std::size_t>(depth_), ' '); }
  void Line(const std::string& s) { out_ << Pad() << s << "\n"; }
  std::ostringstream out_;
  int depth_ = 0;
};

std::string F(float v);

}  // namespace xgen
