#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "models.h"
#include "xwriter.h"

namespace xgen {

namespace {

// The game shrinks this model ten times and stands its origin at
// (-4 squares, -1, -4 squares), so the 8 x 8 board of 50-unit squares covers
// x and z from -1750 to 2250 here, centred on (250, 250), just above the ground.
constexpr float kBoardLo = -1750.0f, kBoardHi = 2250.0f, kBoardMid = 250.0f;
constexpr float kGroundHalf = 10000.0f;

enum MaterialId { kGround, kStone, kRock, kNeedles, kBark };

// Small deterministic generator: the model comes out the same on every build.
struct Random {
  std::uint32_t state;
  float Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f;
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

void Ground(Mesh& m) {
  constexpr int kCells = 20;
  const float step = 2 * kGroundHalf / kCells;
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  for (int j = 0; j <= kCells; ++j)
    for (int i = 0; i <= kCells; ++i) {
      const float x = kBoardMid - kGroundHalf + i * step, z = kBoardMid - kGroundHalf + j * step;
      m.AddVertex({x, 0, z}, {0, 1, 0}, {x / 2000.0f, z / 2000.0f});
    }
  for (int j = 0; j < kCells; ++j)
    for (int i = 0; i < kCells; ++i) {
      const std::uint32_t a = first + j * (kCells + 1) + i, b = a + 1, c = a + kCells + 1, d = c + 1;
      // Upward faces: clockwise seen from above.
      m.AddTriangle(a, c, b, kGround);
      m.AddTriangle(b, c, d, kGround);
    }
}

// A raised stone frame around the board with low posts at its corners.
void Frame(Mesh& m) {
  constexpr float kGap = 10.0f, kWidth = 300.0f, kHeight = 40.0f;
  const float in0 = kBoardLo - kGap, in1 = kBoardHi + kGap;
  const float out0 = in0 - kWidth, out1 = in1 + kWidth;
  AddFlatBox(m, {out0, 0, out0}, {out1, kHeight, in0}, kStone, 1 / 400.0f);
  AddFlatBox(m, {out0, 0, in1}, {out1, kHeight, out1}, kStone, 1 / 400.0f);
  AddFlatBox(m, {out0, 0, in0}, {in0, kHeight, in1}, kStone, 1 / 400.0f);
  AddFlatBox(m, {in1, 0, in0}, {out1, kHeight, in1}, kStone, 1 / 400.0f);
  // Posts as wide as the frame, so none reaches over the board.
  const float post = kWidth / 2 - kGap;
  for (float cx : {out0 + kWidth / 2, out1 - kWidth / 2})
    for (float cz : {out0 + kWidth / 2, out1 - kWidth / 2}) {
      AddFlatBox(m, {cx - post, 0, cz - post}, {cx + post, 90.0f, cz + post}, kStone, 1 / 400.0f);
      AddFlatBox(m, {cx - post * 0.7f, 90.0f, cz - post * 0.7f}, {cx + post * 0.7f, 130.0f, cz + post * 0.7f}, kStone,
                 1 / 400.0f);
    }
}

void Pine(Mesh& m, Vec3 at, float height, float spread) {
  Style bark;
  bark.material = kBark;
  bark.uv = {Projection::FrontXY, 1 / 300.0f, {}};
  AddTube(m, at - Vec3{0, 20, 0}, at + Vec3{0, height * 0.35f, 0}, spread * 0.16f, spread * 0.12f, 8, 1, bark);
  Style needles;
  needles.material = kNeedles;
  needles.uv = {Projection::FrontXY, 1 / 500.0f, {}};
  // Four tiers of boughs, each narrower and higher.
  const float tiers[4][3] = {{0.16f, 0.5f, 1.0f}, {0.34f, 0.68f, 0.8f}, {0.52f, 0.86f, 0.6f}, {0.68f, 1.0f, 0.4f}};
  for (const auto& t : tiers)
    AddCone(m, at + Vec3{0, height * t[0], 0}, at + Vec3{0, height * t[1], 0}, spread * t[2], 10, needles);
}

void Rock(Mesh& m, Vec3 at, Vec3 size, Random& rnd) {
  Style rock;
  rock.material = kRock;
  rock.uv = {Projection::FrontXY, 1 / 350.0f, {}};
  const std::uint32_t first = static_cast<std::uint32_t>(m.positions.size());
  AddEllipsoid(m, at, size, 9, 6, rock);
  // Knock the smooth shape about: every vertex moves along its own direction.
  const float seedA = rnd.Range(0, 6.28f), seedB = rnd.Range(0, 6.28f);
  m.Transform(
      [&](Vec3 p) {
        const Vec3 d = p - at;
        const float bump = 1.0f + 0.18f * std::sin(d.x * 0.011f + seedA) * std::cos(d.z * 0.013f + seedB) +
                           0.1f * std::sin(d.y * 0.02f + seedA * 2);
        return at + Vec3{d.x * bump, d.y * bump, d.z * bump};
      },
      first);
  m.SmoothNormals(first);
  for (std::size_t i = first; i < m.positions.size(); ++i) m.uvs[i] = Project(rock.uv, m.positions[i]);
}

}  // namespace

void WriteBackground(const std::string& dataDir) {
  Mesh mesh;
  Ground(mesh);
  Frame(mesh);

  Random rnd{20240611u};
  // Woods and boulders left, right and behind the board; nothing in front of it,
  // where it would stand between the camera and the squares.
  struct Spot {
    float x, z;
  };
  const Spot pines[] = {{-3000, -2600}, {-3900, -1200}, {-3300, 400},  {-4200, 1700}, {-3100, 2600},
                        {3400, -2900},  {4300, -1500},  {3600, 300},   {4600, 1500},  {3500, 2500},
                        {-1400, -3300}, {600, -3900},   {2000, -3200}, {-2500, -4200}, {3000, -4300},
                        {-600, -4800},  {1500, -5000}};
  for (const Spot& s : pines)
    Pine(mesh, {s.x + rnd.Range(-150, 150), 0, s.z + rnd.Range(-150, 150)}, rnd.Range(650, 900),
         rnd.Range(260, 330));
  const Spot rocks[] = {{-2600, -1800}, {-2700, 1200}, {-3600, -300}, {2900, -1900}, {2800, 1300},
                        {3900, 700},    {-300, -2700}, {1300, -2800}, {-3700, -3300}, {4200, -3500},
                        {-2400, 3100},  {3000, 3300}};
  for (const Spot& s : rocks) {
    const float r = rnd.Range(130, 260);
    Rock(mesh, {s.x, -r * 0.25f, s.z}, {r * rnd.Range(1.0f, 1.5f), r * 0.8f, r * rnd.Range(0.9f, 1.3f)}, rnd);
  }

  Vec3 lo, hi;
  mesh.Bounds(lo, hi);
  if (lo.y < -600 || hi.x - lo.x < 19000 || hi.z - lo.z < 19000) throw std::runtime_error("background out of shape");

  auto material = [](const char* name, const char* texture, float emissive) {
    Material m;
    m.name = name;
    m.texture = texture;
    m.emissive = {emissive, emissive, emissive};
    return m;
  };
  const std::vector<Material> materials = {
      material("Terreno", "terreno.jpg", 0.45f), material("Pietra", "pietra.jpg", 0.45f),
      material("Roccia", "roccia.jpg", 0.45f),   material("Aghi", "pino.jpg", 0.45f),
      material("Corteccia", "corteccia.jpg", 0.45f)};

  XWriter x;
  x.WriteMesh("Background", mesh, materials);
  if (!x.Save(dataDir + "/Background/Background.x")) throw std::runtime_error("cannot write Background.x");
}

}  // namespace xgen
