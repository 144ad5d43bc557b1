#include <cmath>
#include <stdexcept>

#include "models.h"
#include "xwriter.h"

namespace xgen {

// A 50 x 50 tile, its top face at y = 0 and 4 units thick; the texture spans
// the top face once.
void WriteSquare(const std::string& dataDir) {
  constexpr float kHalf = 25.0f, kThickness = 4.0f;
  Mesh mesh;
  AddFlatBox(mesh, {-kHalf, -kThickness, -kHalf}, {kHalf, 0.0f, kHalf}, 0, 1.0f);
  for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
    const Vec3 p = mesh.positions[i], n = mesh.normals[i];
    Vec2& uv = mesh.uvs[i];
    if (n.y != 0)
      uv = {(p.x + kHalf) / (2 * kHalf), (kHalf - p.z) / (2 * kHalf)};
    else if (n.x != 0)
      uv = {(kHalf - p.z) / (2 * kHalf), -p.y / (2 * kHalf)};
    else
      uv = {(p.x + kHalf) / (2 * kHalf), -p.y / (2 * kHalf)};
  }
  if (!(mesh.Volume() > 0)) throw std::runtime_error("square faces inward");

  Material white;
  white.name = "Casella";
  white.emissive = {0.3f, 0.3f, 0.3f};

  XWriter x;
  x.WriteMesh("casella", mesh, {white});
  if (!x.Save(dataDir + "/casella.x")) throw std::runtime_error("cannot write casella.x");
}

}  // namespace xgen
