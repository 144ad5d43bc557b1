#include "mesh.h"

#include <algorithm>
#include <stdexcept>

namespace xgen {

std::uint32_t Mesh::AddVertex(Vec3 p, Vec3 n, Vec2 uv, Weights w) {
  positions.push_back(p);
  normals.push_back(n);
  uvs.push_back(uv);
  weights.push_back(w);
  return static_cast<std::uint32_t>(positions.size() - 1);
}

void Mesh::SmoothNormals(std::uint32_t first) {
  for (std::size_t i = first; i < normals.size(); ++i) normals[i] = {0, 0, 0};
  for (const Triangle& t : triangles) {
    if (t.a < first || t.b < first || t.c < first) continue;
    const Vec3 n = Cross(positions[t.b] - positions[t.a], positions[t.c] - positions[t.a]);
    normals[t.a] = normals[t.a] + n;
    normals[t.b] = normals[t.b] + n;
    normals[t.c] = normals[t.c] + n;
  }
  for (std::size_t i = first; i < normals.size(); ++i) normals[i] = Normalise(normals[i]);
}

void Mesh::Transform(const std::function<Vec3(Vec3)>& f, std::uint32_t first) {
  for (std::size_t i = first; i < positions.size(); ++i) positions[i] = f(positions[i]);
}

void Mesh::Bounds(Vec3& lo, Vec3& hi) const {
  lo = hi = positions.empty() ? Vec3{} : positions[0];
  for (const Vec3& p : positions) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
}

double Mesh::Volume(std::size_t firstTriangle) const {
  double v = 0;
  for (std::size_t i = firstTriangle; i < triangles.size(); ++i) {
    const Vec3 a = positions[triangles[i].a], b = positions[triangles[i].b], c = positions[triangles[i].c];
    v += Dot(a, Cross(b, c));
  }
  return v / 6.0;
}

Vec2 Project(const UvMap& map, Vec3 p) {
  switch (map.projection) {
    case Projection::FrontXY: return {p.x * map.scale + map.offset.u, -p.y * map.scale + map.offset.v};
    case Projection::SideZY: return {p.z * map.scale + map.offset.u, -p.y * map.scale + map.offset.v};
    case Projection::TopXZ: return {p.x * map.scale + map.offset.u, p.z * map.scale + map.offset.v};
  }
  return {};
}

namespace {

// Makes a freshly built closed piece face outward, then gives it its normals,
// texture coordinates, weights and material.
void FinishPiece(Mesh& m, std::uint32_t firstVertex, std::size_t firstTriangle, const Style& s) {
  if (m.Volume(firstTriangle) < 0)
    for (std::size_t i = firstTriangle; i < m.triangles.size(); ++i) std::swap(m.triangles[i].b, m.triangles[i].c);
  for (std::size_t i = firstTriangle; i < m.triangles.size(); ++i) m.triangles[i].material = s.material;
  m.SmoothNormals(firstVertex);
  for (std::size_t i = firstVertex; i < m.positions.size(); ++i) {
    m.uvs[i] = Project(s.uv, m.positions[i]);
    if (s.weights) m.weights[i] = s.weights(m.positions[i]);
  }
}

std::uint32_t Raw(Mesh& m, Vec3 p) { return m.AddVertex(p, {0, 1, 0}, {}); }

// Quad strip between two rings of equal size, wrapping around.
void Band(Mesh& m, std::uint32_t ringA, std::uint32_t ringB, int n) {
  for (int j = 0; j < n; ++j) {
    const std::uint32_t a0 = ringA + j, a1 = ringA + (j + 1) % n;
    const std::uint32_t b0 = ringB + j, b1 = ringB + (j + 1) % n;
    m.AddTriangle(a0, b0, a1, 0);
    m.AddTriangle(a1, b0, b1, 0);
  }
}

// Fan from a single vertex to a ring. A ring that starts a run of bands takes an
// unflipped fan, one that ends it a flipped fan, so shared edges run opposite ways.
void Fan(Mesh& m, std::uint32_t centre, std::uint32_t ring, int n, bool flip) {
  for (int j = 0; j < n; ++j) {
    const std::uint32_t a = ring + j, b = ring + (j + 1) % n;
    if (flip)
      m.AddTriangle(centre, b, a, 0);
    else
      m.AddTriangle(centre, a, b, 0);
  }
}

// Two unit vectors perpendicular to `d` and to each other.
void Basis(Vec3 d, Vec3& u, Vec3& w) {
  const Vec3 ref = std::fabs(d.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
  u = Normalise(Cross(ref, d));
  w = Normalise(Cross(d, u));
}

double Area2(const std::vector<Vec2>& p) {
  double a = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Vec2& q = p[i];
    const Vec2& r = p[(i + 1) % p.size()];
    a += static_cast<double>(q.u) * r.v - static_cast<double>(r.u) * q.v;
  }
  return a;
}

bool InTriangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c) {
  auto side = [](Vec2 o, Vec2 x, Vec2 y) { return (x.u - o.u) * (y.v - o.v) - (x.v - o.v) * (y.u - o.u); };
  const float d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
  return d1 >= 0 && d2 >= 0 && d3 >= 0;
}

// Ear clipping of a simple counter-clockwise polygon into index triples.
std::vector<std::array<int, 3>> Triangulate(const std::vector<Vec2>& poly) {
  std::vector<int> idx(poly.size());
  for (std::size_t i = 0; i < poly.size(); ++i) idx[i] = static_cast<int>(i);
  std::vector<std::array<int, 3>> out;
  while (idx.size() > 3) {
    bool clipped = false;
    for (std::size_t i = 0; i < idx.size(); ++i) {
      const int ia = idx[(i + idx.size() - 1) % idx.size()], ib = idx[i], ic = idx[(i + 1) % idx.size()];
      const Vec2 a = poly[ia], b = poly[ib], c = poly[ic];
      const float cross = (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
      if (cross <= 0) continue;  // reflex corner
      bool empty = true;
      for (int k : idx)
        if (k != ia && k != ib && k != ic && InTriangle(poly[k], a, b, c)) {
          empty = false;
          break;
        }
      if (!empty) continue;
      out.push_back({ia, ib, ic});
      idx.erase(idx.begin() + static_cast<std::ptrdiff_t>(i));
      clipped = true;
      break;
    }
    if (!clipped) throw std::runtime_error("outline is not a simple polygon");
  }
  out.push_back({idx[0], idx[1], idx[2]});
  return out;
}

// The outline moved inwards by `d` along each corner's bisector.
std::vector<Vec2> Inset(const std::vector<Vec2>& p, float d) {
  std::vector<Vec2> out(p.size());
  const std::size_t n = p.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Vec2 a = p[(i + n - 1) % n], b = p[i], c = p[(i + 1) % n];
    // Inward normals of the two edges of a counter-clockwise polygon.
    Vec3 e1 = Normalise({b.u - a.u, b.v - a.v, 0}), e2 = Normalise({c.u - b.u, c.v - b.v, 0});
    Vec3 n1{-e1.y, e1.x, 0}, n2{-e2.y, e2.x, 0};
    Vec3 bis = Normalise(n1 + n2);
    const float cosHalf = std::max(0.3f, Dot(bis, n1));
    out[i] = {b.u + bis.x * d / cosHalf, b.v + bis.y * d / cosHalf};
  }
  return out;
}

}  // namespace

void AddEllipsoid(Mesh& m, Vec3 c, Vec3 r, int slices, int stacks, const Style& s) {
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const std::uint32_t top = Raw(m, c + Vec3{0, r.y, 0});
  std::vector<std::uint32_t> rings;
  for (int i = 1; i < stacks; ++i) {
    const float th = kPi * i / stacks;
    rings.push_back(static_cast<std::uint32_t>(m.positions.size()));
    for (int j = 0; j < slices; ++j) {
      const float ph = 2 * kPi * j / slices;
      Raw(m, c + Vec3{r.x * std::sin(th) * std::cos(ph), r.y * std::cos(th), r.z * std::sin(th) * std::sin(ph)});
    }
  }
  const std::uint32_t bottom = Raw(m, c - Vec3{0, r.y, 0});
  Fan(m, top, rings.front(), slices, false);
  for (std::size_t i = 0; i + 1 < rings.size(); ++i) Band(m, rings[i], rings[i + 1], slices);
  Fan(m, bottom, rings.back(), slices, true);
  FinishPiece(m, first, firstTri, s);
}

void AddDome(Mesh& m, Vec3 c, Vec3 r, int slices, int stacks, const Style& s) {
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const std::uint32_t top = Raw(m, c + Vec3{0, r.y, 0});
  std::vector<std::uint32_t> rings;
  for (int i = 1; i <= stacks; ++i) {
    const float th = 0.5f * kPi * i / stacks;
    rings.push_back(static_cast<std::uint32_t>(m.positions.size()));
    for (int j = 0; j < slices; ++j) {
      const float ph = 2 * kPi * j / slices;
      Raw(m, c + Vec3{r.x * std::sin(th) * std::cos(ph), r.y * std::cos(th), r.z * std::sin(th) * std::sin(ph)});
    }
  }
  const std::uint32_t base = Raw(m, c);
  Fan(m, top, rings.front(), slices, false);
  for (std::size_t i = 0; i + 1 < rings.size(); ++i) Band(m, rings[i], rings[i + 1], slices);
  Fan(m, base, rings.back(), slices, true);
  FinishPiece(m, first, firstTri, s);
}

void AddLoft(Mesh& m, const std::vector<Ring>& rings, int slices, const Style& s) {
  if (rings.size() < 2) throw std::runtime_error("a loft needs two rings");
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const std::uint32_t startCap = Raw(m, rings.front().centre);
  std::vector<std::uint32_t> starts;
  for (const Ring& r : rings) {
    starts.push_back(static_cast<std::uint32_t>(m.positions.size()));
    for (int j = 0; j < slices; ++j) {
      const float ph = 2 * kPi * j / slices;
      Raw(m, r.centre + Vec3{r.rx * std::cos(ph), 0, r.rz * std::sin(ph)});
    }
  }
  const std::uint32_t endCap = Raw(m, rings.back().centre);
  Fan(m, startCap, starts.front(), slices, false);
  for (std::size_t i = 0; i + 1 < starts.size(); ++i) Band(m, starts[i], starts[i + 1], slices);
  Fan(m, endCap, starts.back(), slices, true);
  FinishPiece(m, first, firstTri, s);
}

void AddTube(Mesh& m, Vec3 from, Vec3 to, float r0, float r1, int slices, int segments, const Style& s) {
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const Vec3 d = Normalise(to - from);
  Vec3 u, w;
  Basis(d, u, w);
  const std::uint32_t startCap = Raw(m, from);
  std::vector<std::uint32_t> starts;
  for (int i = 0; i <= segments; ++i) {
    const float t = static_cast<float>(i) / segments;
    const Vec3 c = from + (to - from) * t;
    const float r = r0 + (r1 - r0) * t;
    starts.push_back(static_cast<std::uint32_t>(m.positions.size()));
    for (int j = 0; j < slices; ++j) {
      const float ph = 2 * kPi * j / slices;
      Raw(m, c + u * (r * std::cos(ph)) + w * (r * std::sin(ph)));
    }
  }
  const std::uint32_t endCap = Raw(m, to);
  Fan(m, startCap, starts.front(), slices, false);
  for (std::size_t i = 0; i + 1 < starts.size(); ++i) Band(m, starts[i], starts[i + 1], slices);
  Fan(m, endCap, starts.back(), slices, true);
  FinishPiece(m, first, firstTri, s);
}

void AddTorus(Mesh& m, Vec3 c, float rx, float rz, float tube, int slices, int sides, const Style& s) {
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  for (int i = 0; i < slices; ++i) {
    const float ph = 2 * kPi * i / slices;
    const Vec3 dir{std::cos(ph), 0, std::sin(ph)};
    const Vec3 ringCentre = c + Vec3{rx * dir.x, 0, rz * dir.z};
    for (int j = 0; j < sides; ++j) {
      const float th = 2 * kPi * j / sides;
      Raw(m, ringCentre + dir * (tube * std::cos(th)) + Vec3{0, tube * std::sin(th), 0});
    }
  }
  for (int i = 0; i < slices; ++i) {
    const std::uint32_t a = first + i * sides, b = first + ((i + 1) % slices) * sides;
    Band(m, a, b, sides);
  }
  FinishPiece(m, first, firstTri, s);
}

void AddCone(Mesh& m, Vec3 base, Vec3 tip, float radius, int slices, const Style& s) {
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const Vec3 d = Normalise(tip - base);
  Vec3 u, w;
  Basis(d, u, w);
  const std::uint32_t centre = Raw(m, base);
  const std::uint32_t ring = static_cast<std::uint32_t>(m.positions.size());
  for (int j = 0; j < slices; ++j) {
    const float ph = 2 * kPi * j / slices;
    Raw(m, base + u * (radius * std::cos(ph)) + w * (radius * std::sin(ph)));
  }
  // A second, narrower ring keeps the tip from looking flat-shaded.
  const std::uint32_t mid = static_cast<std::uint32_t>(m.positions.size());
  for (int j = 0; j < slices; ++j) {
    const float ph = 2 * kPi * j / slices;
    Raw(m, base + (tip - base) * 0.6f + u * (0.45f * radius * std::cos(ph)) + w * (0.45f * radius * std::sin(ph)));
  }
  const std::uint32_t apex = Raw(m, tip);
  Fan(m, centre, ring, slices, false);
  Band(m, ring, mid, slices);
  Fan(m, apex, mid, slices, true);
  FinishPiece(m, first, firstTri, s);
}

void AddSlab(Mesh& m, const std::vector<Vec2>& outlineIn, Vec3 origin, Vec3 axisU, Vec3 axisV, float thickness,
             const Style& s) {
  std::vector<Vec2> outline = outlineIn;
  if (Area2(outline) < 0) std::reverse(outline.begin(), outline.end());
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  const std::size_t firstTri = m.triangles.size();
  const Vec3 normal = Normalise(Cross(axisU, axisV));
  const float bevel = thickness * 0.45f;
  const std::vector<Vec2> inner = Inset(outline, bevel);
  const int n = static_cast<int>(outline.size());
  auto place = [&](Vec2 p, float h) { return origin + axisU * p.u + axisV * p.v + normal * h; };
  const std::uint32_t bottom = static_cast<std::uint32_t>(m.positions.size());
  for (const Vec2& p : inner) Raw(m, place(p, -thickness * 0.5f));
  const std::uint32_t middle = static_cast<std::uint32_t>(m.positions.size());
  for (const Vec2& p : outline) Raw(m, place(p, 0));
  const std::uint32_t top = static_cast<std::uint32_t>(m.positions.size());
  for (const Vec2& p : inner) Raw(m, place(p, thickness * 0.5f));
  for (const auto& t : Triangulate(inner)) {
    m.AddTriangle(top + t[0], top + t[2], top + t[1], 0);
    m.AddTriangle(bottom + t[0], bottom + t[1], bottom + t[2], 0);
  }
  Band(m, bottom, middle, n);
  Band(m, middle, top, n);
  FinishPiece(m, first, firstTri, s);
}

void AddFlatBox(Mesh& m, Vec3 lo, Vec3 hi, int material, float uvScale, const WeightFn& weights) {
  struct Face {
    Vec3 n;
    Vec3 corners[4];
  };
  const Face faces[6] = {
      {{0, 1, 0}, {{lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}}},
      {{0, -1, 0}, {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}}},
      {{1, 0, 0}, {{hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}}},
      {{-1, 0, 0}, {{lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}}},
      {{0, 0, 1}, {{lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}}},
      {{0, 0, -1}, {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}}},
  };
  for (const Face& f : faces) {
    std::uint32_t v[4];
    for (int k = 0; k < 4; ++k) {
      const Vec3 p = f.corners[k];
      Vec2 uv;
      if (f.n.y != 0) uv = {p.x * uvScale, p.z * uvScale};
      else if (f.n.x != 0) uv = {p.z * uvScale, -p.y * uvScale};
      else uv = {p.x * uvScale, -p.y * uvScale};
      v[k] = m.AddVertex(p, f.n, uv, weights ? weights(p) : Weights{});
    }
    // Two triangles, each turned to face along the face normal.
    const std::uint32_t tri[2][3] = {{v[0], v[1], v[2]}, {v[0], v[2], v[3]}};
    for (const auto& t : tri) {
      const Vec3 n = Cross(m.positions[t[1]] - m.positions[t[0]], m.positions[t[2]] - m.positions[t[0]]);
      if (Dot(n, f.n) >= 0)
        m.AddTriangle(t[0], t[1], t[2], material);
      else
        m.AddTriangle(t[0], t[2], t[1], material);
    }
  }
}

}  // namespace xgen
