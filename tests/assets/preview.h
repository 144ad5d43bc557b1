// A small software renderer for the contact sheet: draws the .x models the way
// the fixed-function pipeline lights them (per-vertex point light plus emissive,
// texture modulated), with front faces clockwise on screen.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "image/art_image.h"
#include "xfile_light.h"

namespace preview {

struct V3 {
  double x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b);
V3 operator-(V3 a, V3 b);
V3 operator*(V3 a, double s);
double Dot(V3 a, V3 b);
V3 Cross(V3 a, V3 b);
V3 Norm(V3 a);

using M4 = std::array<double, 16>;  // row vectors, translation in the last row

struct Material {
  double diffuse[4] = {1, 1, 1, 1};
  double emissive[3] = {0, 0, 0};
  const art::Image* texture = nullptr;
};

struct Model {
  std::vector<V3> positions, normals;
  std::vector<std::array<double, 2>> uvs;
  std::vector<std::array<std::uint32_t, 3>> faces;
  std::vector<std::uint32_t> faceMaterials;
  std::vector<Material> materials;
  V3 lo, hi;  // bounds
};

// Textures are read from `textureDir` (the model's texture folder) and kept in `cache`.
Model FromMesh(const xlight::Mesh& mesh, const std::string& textureDir, std::map<std::string, art::Image>& cache);

struct Camera {
  M4 view, projection;
};
// The board screen's camera as the game aims it, for 50-unit squares.
Camera BoardCamera(double aspect);
Camera LookAt(V3 eye, V3 target, double fovY, double aspect);

struct Light {
  V3 position;
  double range = 1000, attenuation0 = 0.9;
};

class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t rgba);
  // Draws a model scaled by `scale` and moved to `at`; `override` replaces
  // every material's texture (the game's square and hover textures).
  void Draw(const Model& m, double scale, V3 at, const Camera& cam, const Light& light,
            const art::Image* override = nullptr);
  art::Image& image() { return image_; }

 private:
  art::Image image_;
  std::vector<double> depth_;
};

}  // namespace preview
