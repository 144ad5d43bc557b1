#include "preview.h"

#include <algorithm>
#include <cmath>

namespace preview {

V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Norm(V3 a) {
  const double l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1 / l) : a;
}

namespace {

M4 ViewFromAxes(V3 pos, V3 right, V3 up, V3 look) {
  return {right.x, up.x, look.x, 0, right.y, up.y, look.y, 0, right.z, up.z, look.z, 0,
          -Dot(pos, right), -Dot(pos, up), -Dot(pos, look), 1};
}

M4 PerspectiveLH(double fovY, double aspect, double zn, double zf) {
  const double ys = 1 / std::tan(fovY / 2), xs = ys / aspect, q = zf / (zf - zn);
  return {xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0};
}

std::array<double, 4> Apply(const M4& m, double x, double y, double z, double w) {
  std::array<double, 4> r{};
  for (int j = 0; j < 4; ++j)
    r[static_cast<std::size_t>(j)] = x * m[static_cast<std::size_t>(j)] + y * m[static_cast<std::size_t>(4 + j)] +
                                     z * m[static_cast<std::size_t>(8 + j)] + w * m[static_cast<std::size_t>(12 + j)];
  return r;
}

struct ClipVertex {
  double x, y, z, w;
  double u, v;
  double light;
};

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, double t) {
  auto l = [t](double p, double q) { return p + (q - p) * t; };
  return {l(a.x, b.x), l(a.y, b.y), l(a.z, b.z), l(a.w, b.w), l(a.u, b.u), l(a.v, b.v), l(a.light, b.light)};
}

void Sample(const art::Image* tex, double u, double v, double out[3]) {
  if (!tex || tex->empty()) {
    out[0] = out[1] = out[2] = 1;
    return;
  }
  const double fx = (u - std::floor(u)) * tex->width - 0.5, fy = (v - std::floor(v)) * tex->height - 0.5;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const double tx = fx - x0, ty = fy - y0;
  auto px = [&](int x, int y) {
    x = ((x % tex->width) + tex->width) % tex->width;
    y = ((y % tex->height) + tex->height) % tex->height;
    return tex->at(x, y);
  };
  for (int c = 0; c < 3; ++c) {
    const double a = px(x0, y0)[c] * (1 - tx) + px(x0 + 1, y0)[c] * tx;
    const double b = px(x0, y0 + 1)[c] * (1 - tx) + px(x0 + 1, y0 + 1)[c] * tx;
    out[c] = (a * (1 - ty) + b * ty) / 255.0;
  }
}

}  // namespace

Model FromMesh(const xlight::Mesh& mesh, const std::string& textureDir, std::map<std::string, art::Image>& cache) {
  Model m;
  for (const auto& p : mesh.positions) m.positions.push_back({p[0], p[1], p[2]});
  m.normals.assign(m.positions.size(), V3{0, 1, 0});
  // Normals follow the corners of each face, as the loader pairs them.
  for (std::size_t f = 0; f < mesh.faces.size() && f < mesh.faceNormals.size(); ++f)
    for (int k = 0; k < 3; ++k) {
      const auto& n = mesh.normals[mesh.faceNormals[f][static_cast<std::size_t>(k)]];
      m.normals[mesh.faces[f][static_cast<std::size_t>(k)]] = {n[0], n[1], n[2]};
    }
  m.uvs = mesh.uvs;
  m.uvs.resize(m.positions.size(), {0, 0});
  m.faces = mesh.faces;
  m.faceMaterials = mesh.faceMaterials;
  m.faceMaterials.resize(m.faces.size(), 0);
  for (const auto& xm : mesh.materials) {
    Material mat;
    for (int i = 0; i < 4; ++i) mat.diffuse[i] = xm.rgba[i];
    for (int i = 0; i < 3; ++i) mat.emissive[i] = xm.emissive[i];
    if (!xm.texture.empty()) {
      auto it = cache.find(textureDir + xm.texture);
      if (it == cache.end()) {
        art::Image img;
        art::ReadImage(textureDir + xm.texture, img);
        it = cache.emplace(textureDir + xm.texture, std::move(img)).first;
      }
      mat.texture = &it->second;
    }
    m.materials.push_back(mat);
  }
  if (m.materials.empty()) m.materials.push_back(Material{});
  m.lo = m.hi = m.positions.empty() ? V3{} : m.positions[0];
  for (const V3& p : m.positions) {
    m.lo = {std::min(m.lo.x, p.x), std::min(m.lo.y, p.y), std::min(m.lo.z, p.z)};
    m.hi = {std::max(m.hi.x, p.x), std::max(m.hi.y, p.y), std::max(m.hi.z, p.z)};
  }
  return m;
}

Camera BoardCamera(double aspect) {
  // Aimed as the board screen aims it: from (-4 w + 50, 600, -d + 300) down at
  // (0, -300, -150), the look vector lifted by 0.2, then made orthonormal again.
  const V3 eye{-150, 600, 250};
  const V3 look0 = Norm(V3{0, -300, -150});
  const V3 right0 = Norm(Cross(V3{0, -1, 0}, look0));
  V3 up = Norm(Cross(right0, look0));
  const V3 look = Norm(V3{look0.x, look0.y + 0.2, look0.z});
  const V3 right = Norm(Cross(up, look));
  up = Norm(Cross(look, right));
  return {ViewFromAxes(eye, right, up, look), PerspectiveLH(0.7853982, aspect, 1.0, 10000.0)};
}

Camera LookAt(V3 eye, V3 target, double fovY, double aspect) {
  const V3 look = Norm(target - eye);
  const V3 right = Norm(Cross(V3{0, 1, 0}, look));
  const V3 up = Cross(look, right);
  return {ViewFromAxes(eye, right, up, look), PerspectiveLH(fovY, aspect, 1.0, 10000.0)};
}

Canvas::Canvas(int width, int height, std::uint32_t rgba)
    : image_(width, height, rgba), depth_(static_cast<std::size_t>(width) * height, 1.0) {}

void Canvas::Draw(const Model& m, double scale, V3 at, const Camera& cam, const Light& light,
                  const art::Image* override) {
  const int W = image_.width, H = image_.height;
  std::vector<ClipVertex> verts(m.positions.size());
  for (std::size_t i = 0; i < m.positions.size(); ++i) {
    const V3 p = m.positions[i] * scale + at;
    const auto v = Apply(cam.view, p.x, p.y, p.z, 1);
    const auto c = Apply(cam.projection, v[0], v[1], v[2], v[3]);
    const V3 toLight = light.position - p;
    const double dist = std::sqrt(Dot(toLight, toLight));
    double lit = 0;
    if (dist > 0 && dist <= light.range)
      lit = std::max(0.0, Dot(Norm(m.normals[i]), toLight * (1 / dist))) / light.attenuation0;
    verts[i] = {c[0], c[1], c[2], c[3], m.uvs[i][0], m.uvs[i][1], lit};
  }
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    const Material& mat = m.materials[std::min<std::size_t>(m.faceMaterials[f], m.materials.size() - 1)];
    const art::Image* tex = override ? override : mat.texture;
    // Clip against the near plane (z >= 0 in clip space).
    std::vector<ClipVertex> poly = {verts[m.faces[f][0]], verts[m.faces[f][1]], verts[m.faces[f][2]]};
    std::vector<ClipVertex> clipped;
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const ClipVertex& a = poly[i];
      const ClipVertex& b = poly[(i + 1) % poly.size()];
      const bool ina = a.z >= 0, inb = b.z >= 0;
      if (ina) clipped.push_back(a);
      if (ina != inb) clipped.push_back(Lerp(a, b, a.z / (a.z - b.z)));
    }
    if (clipped.size() < 3) continue;
    struct ScreenVertex {
      double x, y, z, iw, u, v, light;
    };
    std::vector<ScreenVertex> s;
    for (const ClipVertex& c : clipped) {
      const double iw = 1 / c.w;
      s.push_back({(c.x * iw + 1) * 0.5 * W, (1 - c.y * iw) * 0.5 * H, c.z * iw, iw, c.u * iw, c.v * iw, c.light * iw});
    }
    for (std::size_t k = 1; k + 1 < s.size(); ++k) {
      const ScreenVertex& a = s[0];
      const ScreenVertex& b = s[k];
      const ScreenVertex& c = s[k + 1];
      // Clockwise on screen (y down) is the front; counter-clockwise faces are culled.
      const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      if (area <= 0) continue;
      const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
      const int x1 = std::min(W - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
      const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
      const int y1 = std::min(H - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
          const double px = x + 0.5, py = y + 0.5;
          const double wa = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
          const double wb = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
          const double wc = 1 - wa - wb;
          if (wa < 0 || wb < 0 || wc < 0) continue;
          const double z = wa * a.z + wb * b.z + wc * c.z;
          double& d = depth_[static_cast<std::size_t>(y) * W + x];
          if (z < 0 || z > 1 || z >= d) continue;
          d = z;
          const double iw = wa * a.iw + wb * b.iw + wc * c.iw;
          const double u = (wa * a.u + wb * b.u + wc * c.u) / iw;
          const double v = (wa * a.v + wb * b.v + wc * c.v) / iw;
          const double lit = (wa * a.light + wb * b.light + wc * c.light) / iw;
          double t[3];
          Sample(tex, u, v, t);
          std::uint8_t* out = image_.at(x, y);
          for (int ch = 0; ch < 3; ++ch) {
            const double col = std::clamp(mat.emissive[ch] + mat.diffuse[ch] * lit, 0.0, 1.0);
            out[ch] = static_cast<std::uint8_t>(std::lround(255 * col * t[ch]));
          }
          out[3] = 255;
        }
    }
  }
}

}  // namespace preview
