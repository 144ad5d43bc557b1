#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

#include "models.h"
#include "xwriter.h"

namespace xgen {

namespace {

// The dwarf is drawn facing +z (towards the board camera), his right hand on +x,
// in sketch units; the finished model is scaled to 15 units tall with its origin
// a quarter of its height above the soles (the game stands it at h / 4).
constexpr float kHeight = 15.0f;
constexpr float kMaxReach = 6.0f;  // footprint half-size: 4 x 6 stays inside a 50-unit square
constexpr std::size_t kMaxFaces = 2000;

enum Bone { kPelvis, kChest, kHead, kRightArm, kLeftArm, kRightLeg, kLeftLeg, kBoneCount };
struct BoneDef {
  const char* name;
  int parent;
  Vec3 joint;  // sketch units
};
const BoneDef kBones[kBoneCount] = {
    {"Osso_Bacino", -1, {0, 4.2f, 0}},          {"Osso_Busto", kPelvis, {0, 6.0f, 0}},
    {"Osso_Testa", kChest, {0, 9.0f, 0}},       {"Osso_BraccioDestro", kChest, {2.7f, 8.4f, 0}},
    {"Osso_BraccioSinistro", kChest, {-2.7f, 8.4f, 0}}, {"Osso_GambaDestra", kPelvis, {1.2f, 4.0f, 0}},
    {"Osso_GambaSinistra", kPelvis, {-1.2f, 4.0f, 0}},
};

enum MaterialId { kSkin, kBeard, kSteel, kGold, kCloth, kLeather, kWood, kHorn, kEyes };

float Smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

WeightFn Rigid(int bone) {
  return [bone](Vec3) { return Weights{Influence{bone, 1.0f}, Influence{}}; };
}

// `lower` below y0, `upper` above y1, blended between.
WeightFn Blend(int lower, int upper, float y0, float y1) {
  return [=](Vec3 p) {
    const float t = Smooth(y0, y1, p.y);
    if (t <= 0.0f) return Weights{Influence{lower, 1.0f}, Influence{}};
    if (t >= 1.0f) return Weights{Influence{upper, 1.0f}, Influence{}};
    return Weights{Influence{lower, 1.0f - t}, Influence{upper, t}};
  };
}

Style Make(int material, WeightFn w, float uvScale = 0.5f, Projection p = Projection::FrontXY) {
  Style s;
  s.material = material;
  s.weights = std::move(w);
  s.uv = {p, uvScale, {}};
  return s;
}

void BuildBody(Mesh& m) {
  for (float side : {1.0f, -1.0f}) {
    const int leg = side > 0 ? kRightLeg : kLeftLeg;
    const int arm = side > 0 ? kRightArm : kLeftArm;
    // Boots and legs.
    AddEllipsoid(m, {side * 1.25f, 0.55f, 0.35f}, {0.95f, 0.6f, 1.35f}, 8, 5, Make(kLeather, Rigid(leg)));
    AddTube(m, {side * 1.15f, 0.7f, 0.1f}, {side * 1.15f, 4.0f, 0.0f}, 0.72f, 0.9f, 8, 1,
            Make(kLeather, Blend(leg, kPelvis, 3.2f, 4.0f)));
    // Shoulder guard, sleeve and hand.
    AddEllipsoid(m, {side * 2.55f, 8.55f, 0.0f}, {1.15f, 0.85f, 1.1f}, 8, 5, Make(kSteel, Blend(arm, kChest, 8.0f, 9.2f)));
    AddTube(m, {side * 2.75f, 8.2f, 0.0f}, {side * 3.35f, 5.6f, 0.6f}, 0.75f, 0.62f, 8, 2,
            Make(kCloth, Blend(arm, kChest, 7.9f, 8.6f)));
    AddEllipsoid(m, {side * 3.45f, 5.05f, 0.75f}, {0.6f, 0.6f, 0.6f}, 8, 4, Make(kSkin, Rigid(arm)));
  }
  // Tunic, barrel chest, belt and buckle.
  AddLoft(m, {{{0, 2.9f, 0}, 2.35f, 1.9f}, {{0, 4.0f, 0}, 2.3f, 1.85f}, {{0, 5.4f, 0.05f}, 2.45f, 1.95f}}, 14,
          Make(kCloth, Rigid(kPelvis)));
  AddEllipsoid(m, {0, 6.7f, 0.05f}, {2.75f, 2.7f, 2.1f}, 14, 8, Make(kCloth, Blend(kPelvis, kChest, 4.8f, 5.8f)));
  AddTorus(m, {0, 5.0f, 0.05f}, 2.45f, 1.97f, 0.32f, 14, 5, Make(kLeather, Rigid(kPelvis), 0.8f));
  AddEllipsoid(m, {0, 5.0f, 2.25f}, {0.55f, 0.45f, 0.25f}, 6, 3, Make(kGold, Rigid(kPelvis)));
}

void BuildHead(Mesh& m) {
  const WeightFn head = Rigid(kHead);
  AddEllipsoid(m, {0, 9.95f, 0.35f}, {1.45f, 1.55f, 1.4f}, 12, 8, Make(kSkin, head));
  AddEllipsoid(m, {0, 9.85f, 1.78f}, {0.38f, 0.45f, 0.4f}, 6, 4, Make(kSkin, head));
  for (float side : {1.0f, -1.0f}) {
    AddEllipsoid(m, {side * 0.5f, 10.25f, 1.62f}, {0.2f, 0.22f, 0.12f}, 6, 3, Make(kEyes, head));
    AddTube(m, {side * 0.22f, 10.62f, 1.68f}, {side * 0.88f, 10.72f, 1.5f}, 0.13f, 0.1f, 5, 1, Make(kBeard, head));
    AddEllipsoid(m, {side * 0.55f, 9.42f, 1.72f}, {0.65f, 0.28f, 0.3f}, 6, 4, Make(kBeard, head));
    // Horns, out and up from the helmet.
    AddCone(m, {side * 1.35f, 11.0f, 0.3f}, {side * 2.5f, 12.3f, 0.55f}, 0.42f, 8, Make(kHorn, head));
  }
  // The beard runs from the cheeks down over the chest to a point.
  AddLoft(m,
          {{{0, 5.7f, 1.95f}, 0.35f, 0.3f},
           {{0, 6.3f, 1.85f}, 0.85f, 0.6f},
           {{0, 7.3f, 1.6f}, 1.35f, 0.85f},
           {{0, 8.6f, 1.2f}, 1.6f, 1.0f},
           {{0, 9.7f, 0.85f}, 1.45f, 0.95f}},
          12, Make(kBeard, Blend(kChest, kHead, 6.0f, 8.5f), 0.6f));
  // Helmet, its rim and the nose guard.
  AddDome(m, {0, 10.45f, 0.3f}, {1.62f, 1.75f, 1.58f}, 14, 4, Make(kSteel, head));
  AddTorus(m, {0, 10.45f, 0.3f}, 1.62f, 1.58f, 0.22f, 14, 5, Make(kGold, head, 0.8f));
  AddSlab(m, {{-0.18f, 9.95f}, {0.18f, 9.95f}, {0.22f, 10.6f}, {-0.22f, 10.6f}}, {0, 0, 1.88f}, {1, 0, 0}, {0, 1, 0},
          0.16f, Make(kSteel, head));
}

void BuildAxe(Mesh& m) {
  const WeightFn arm = Rigid(kRightArm);
  const float x0 = 3.45f, z = 0.75f;
  AddTube(m, {x0, 1.2f, z}, {x0, 10.8f, z}, 0.2f, 0.18f, 6, 2, Make(kWood, arm, 0.8f));
  // A bearded blade facing out, and a short spike behind the haft.
  AddSlab(m,
          {{0.12f, 9.0f}, {0.72f, 8.75f}, {1.3f, 8.15f}, {1.45f, 9.2f}, {1.44f, 10.3f}, {1.26f, 11.35f}, {0.72f, 10.8f},
           {0.12f, 10.55f}},
          {x0, 0, z}, {1, 0, 0}, {0, 1, 0}, 0.3f, Make(kSteel, arm, 0.6f));
  AddSlab(m, {{-0.12f, 9.45f}, {-0.85f, 9.8f}, {-0.12f, 10.15f}}, {x0, 0, z}, {1, 0, 0}, {0, 1, 0}, 0.24f,
          Make(kSteel, arm, 0.6f));
}

// Every edge must be walked once each way: closed, shared vertices, one orientation.
void CheckClosed(const Mesh& m) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const Triangle& t : m.triangles) {
    ++edges[{t.a, t.b}];
    ++edges[{t.b, t.c}];
    ++edges[{t.c, t.a}];
  }
  for (const auto& [e, n] : edges) {
    const auto back = edges.find({e.second, e.first});
    if (n != 1 || back == edges.end() || back->second != 1) throw std::runtime_error("dwarf mesh is not closed");
  }
}

Quaternion AxisAngle(Vec3 axis, float angle) {
  const Vec3 a = Normalise(axis);
  const float s = std::sin(angle / 2);
  return {std::cos(angle / 2), a.x * s, a.y * s, a.z * s};
}

}  // namespace

void WriteDwarf(const std::string& dataDir) {
  Mesh mesh;
  BuildBody(mesh);
  BuildHead(mesh);
  BuildAxe(mesh);

  // To size: 15 units tall, soles at -h/4.
  Vec3 lo, hi;
  mesh.Bounds(lo, hi);
  const float k = kHeight / (hi.y - lo.y);
  const float floorY = lo.y;
  auto place = [&](Vec3 p) { return Vec3{p.x * k, (p.y - floorY) * k - kHeight / 4, p.z * k}; };
  mesh.Transform(place);
  mesh.Bounds(lo, hi);
  if (std::max({-lo.x, hi.x, -lo.z, hi.z}) > kMaxReach)
    throw std::runtime_error("dwarf too wide for a square: " + std::to_string(lo.x) + " " + std::to_string(hi.x) + " " +
                             std::to_string(lo.z) + " " + std::to_string(hi.z) + " k " + std::to_string(k));
  if (mesh.triangles.size() > kMaxFaces || mesh.positions.size() >= 65536) throw std::runtime_error("dwarf too detailed");
  CheckClosed(mesh);

  Vec3 joints[kBoneCount];
  for (int b = 0; b < kBoneCount; ++b) joints[b] = place(kBones[b].joint);
  auto local = [&](int b) { return kBones[b].parent < 0 ? joints[b] : joints[b] - joints[kBones[b].parent]; };

  std::vector<SkinBone> bones;
  for (int b = 0; b < kBoneCount; ++b) bones.push_back({kBones[b].name, Translation(joints[b] * -1.0f)});

  auto material = [](const char* name, const char* texture, float shade, float glow) {
    Material m;
    m.name = name;
    m.texture = texture;
    m.r = m.g = m.b = shade;
    m.emissive = {glow, glow, glow};
    m.power = 12.0f;
    m.specular = {0.2f, 0.2f, 0.2f};
    return m;
  };
  const std::vector<Material> materials = {
      material("Pelle", "nano_pelle.png", 1.0f, 0.35f),   material("Barba", "nano_barba.png", 1.0f, 0.35f),
      material("Metallo", "nano_metallo.png", 1.0f, 0.4f), material("Oro", "nano_oro.png", 1.0f, 0.4f),
      material("Stoffa", "nano_stoffa.png", 1.0f, 0.35f), material("Cuoio", "nano_cuoio.png", 1.0f, 0.35f),
      material("Legno", "nano_legno.png", 1.0f, 0.35f),   material("Corno", "nano_corno.png", 1.0f, 0.35f),
      material("Occhi", "nano_cuoio.png", 0.15f, 0.05f)};

  // A three-second idle loop: the body breathes and bobs, the head looks about,
  // the axe arm sways.
  constexpr std::uint32_t kTicks = 4800;
  const std::vector<std::uint32_t> times = {0, kTicks * 3 / 2, kTicks * 3};
  auto still = [&](int b) {
    FrameAnimation a;
    a.frame = kBones[b].name;
    a.times = times;
    a.rotations.assign(times.size(), Quaternion{});
    a.scales.assign(times.size(), Vec3{1, 1, 1});
    a.positions.assign(times.size(), local(b));
    return a;
  };
  FrameAnimation pelvis = still(kPelvis);
  pelvis.positions[1] = local(kPelvis) - Vec3{0, 0.12f * k, 0};
  FrameAnimation chest = still(kChest);
  chest.scales[1] = {1.04f, 1.02f, 1.04f};
  FrameAnimation head = still(kHead);
  head.rotations = {AxisAngle({0, 1, 0}, 0.15f), AxisAngle({0, 1, 0}, -0.15f), AxisAngle({0, 1, 0}, 0.15f)};
  FrameAnimation arm = still(kRightArm);
  arm.rotations[1] = AxisAngle({1, 0, 0}, -0.2f);

  XWriter x;
  x.WriteAnimTicksPerSecond(kTicks);
  x.BeginFrame("Nano", Identity());
  // Bones, each placed at its joint relative to its parent.
  auto writeBone = [&](auto&& self, int b) -> void {
    x.BeginFrame(kBones[b].name, Translation(local(b)));
    for (int c = 0; c < kBoneCount; ++c)
      if (kBones[c].parent == b) self(self, c);
    x.EndFrame();
  };
  writeBone(writeBone, kPelvis);
  x.BeginFrame("Nano_Corpo", Identity());
  x.WriteMesh("nano_guerriero", mesh, materials, bones);
  x.EndFrame();
  x.EndFrame();
  x.WriteAnimationSet("Riposo", {pelvis, chest, head, arm});
  if (!x.Save(dataDir + "/nano_guerriero/nano_guerriero.x")) throw std::runtime_error("cannot write nano_guerriero.x");
}

}  // namespace xgen
