// The game's .x models as built: text files with the standard templates, sane
// counts, faces that face outward (clockwise from outside, left-handed), the
// sizes the board needs, and their textures in the folders the game reads.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "game_files.h"
#include "xfile_light.h"

namespace assets_test {
namespace {

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Loaded {
  xlight::File file;
  xlight::Mesh mesh;
  xlight::Matrix meshToRoot = xlight::Identity();
};

Loaded LoadModel(const std::string& relative) {
  Loaded l;
  std::string err;
  EXPECT_TRUE(xlight::ParseFile(GamePath(relative), l.file, &err)) << relative << ": " << err;
  const auto meshes = xlight::FindAll(l.file, "Mesh");
  EXPECT_EQ(meshes.size(), 1u) << relative;
  if (meshes.size() == 1) {
    EXPECT_TRUE(xlight::ReadMesh(*meshes[0].node, l.mesh, &err)) << relative << ": " << err;
    l.meshToRoot = meshes[0].toRoot;
  }
  return l;
}

void Bounds(const xlight::Mesh& m, Vec& lo, Vec& hi) {
  lo = hi = m.positions.at(0);
  for (const Vec& p : m.positions)
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], p[k]);
      hi[k] = std::max(hi[k], p[k]);
    }
}

double SignedVolume(const xlight::Mesh& m) {
  double v = 0;
  for (const auto& f : m.faces) v += Dot(m.positions[f[0]], Cross(m.positions[f[1]], m.positions[f[2]]));
  return v / 6;
}

// Structure every model shares: normals and texture coordinates for every
// vertex, a material per face, and faces wound clockwise seen from the side
// their normals point to.
void ExpectWellFormed(const Loaded& l, const std::string& name) {
  SCOPED_TRACE(name);
  const xlight::Mesh& m = l.mesh;
  EXPECT_EQ(l.file.header, "xof 0303txt 0032");
  for (const char* t : {"Mesh", "MeshNormals", "MeshTextureCoords", "MeshMaterialList", "Material", "MeshFace"})
    EXPECT_NE(std::find(l.file.templates.begin(), l.file.templates.end(), t), l.file.templates.end()) << t;
  ASSERT_FALSE(m.positions.empty());
  ASSERT_FALSE(m.faces.empty());
  EXPECT_LT(m.positions.size(), 65536u);
  EXPECT_EQ(m.uvs.size(), m.positions.size());
  ASSERT_EQ(m.faceNormals.size(), m.faces.size());
  EXPECT_EQ(m.faceMaterials.size(), m.faces.size());
  ASSERT_FALSE(m.materials.empty());
  int inward = 0;
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    const auto& t = m.faces[f];
    const Vec geometric =
        Cross(Sub(m.positions[t[1]], m.positions[t[0]]), Sub(m.positions[t[2]], m.positions[t[0]]));
    Vec shading{0, 0, 0};
    for (int k = 0; k < 3; ++k) {
      const Vec& n = m.normals.at(m.faceNormals[f][static_cast<std::size_t>(k)]);
      EXPECT_NEAR(std::sqrt(Dot(n, n)), 1.0, 1e-3);
      for (int c = 0; c < 3; ++c) shading[c] += n[c];
    }
    inward += Dot(geometric, shading) <= 0;
  }
  EXPECT_EQ(inward, 0) << "faces wound against their normals";
  for (const auto& mat : m.materials) EXPECT_EQ(mat.rgba[3], 1.0) << mat.name << " must be opaque";
}

void ExpectTexturesInFolder(const xlight::Mesh& m, const std::string& folder) {
  for (const auto& mat : m.materials) {
    if (mat.texture.empty()) continue;
    SCOPED_TRACE(mat.texture);
    EXPECT_EQ(mat.texture.find_first_of("/\\"), std::string::npos) << "a plain file name";
    art::Image img;
    art::FileInfo info;
    std::string err;
    ASSERT_TRUE(art::ReadImage(GamePath(folder + mat.texture), img, &info, &err)) << err;
    EXPECT_EQ(img.width & (img.width - 1), 0);
    EXPECT_EQ(img.height & (img.height - 1), 0);
  }
}

TEST(Models, EveryModelParses) {
  for (const ModelFile& mf : GameModels()) {
    const Loaded l = LoadModel(mf.path);
    ExpectWellFormed(l, mf.path);
    ExpectTexturesInFolder(l.mesh, mf.textureFolder);
  }
}

TEST(Models, SquareIsAFiftyUnitTileWithItsTopAtZero) {
  const Loaded l = LoadModel("Data/casella.x");
  const xlight::Mesh& m = l.mesh;
  ASSERT_FALSE(m.positions.empty());
  Vec lo, hi;
  Bounds(m, lo, hi);
  EXPECT_DOUBLE_EQ(lo[0], -25);
  EXPECT_DOUBLE_EQ(hi[0], 25);
  EXPECT_DOUBLE_EQ(lo[2], -25);
  EXPECT_DOUBLE_EQ(hi[2], 25);
  EXPECT_DOUBLE_EQ(hi[1], 0);
  EXPECT_GE(-lo[1], 1.0);
  EXPECT_LE(-lo[1], 10.0);
  EXPECT_GT(SignedVolume(m), 0);
  // The top face carries the whole texture once.
  double umin = 1e9, umax = -1e9, vmin = 1e9, vmax = -1e9;
  int top = 0;
  for (std::size_t f = 0; f < m.faces.size(); ++f) {
    bool up = true;
    for (auto v : m.faces[f]) up = up && m.positions[v][1] == 0;
    if (!up) continue;
    ++top;
    for (auto v : m.faces[f]) {
      umin = std::min(umin, m.uvs[v][0]);
      umax = std::max(umax, m.uvs[v][0]);
      vmin = std::min(vmin, m.uvs[v][1]);
      vmax = std::max(vmax, m.uvs[v][1]);
    }
  }
  EXPECT_EQ(top, 2);
  EXPECT_DOUBLE_EQ(umin, 0);
  EXPECT_DOUBLE_EQ(umax, 1);
  EXPECT_DOUBLE_EQ(vmin, 0);
  EXPECT_DOUBLE_EQ(vmax, 1);
  ASSERT_EQ(m.materials.size(), 1u);
  for (double c : m.materials[0].rgba) EXPECT_EQ(c, 1.0);
  EXPECT_TRUE(m.materials[0].texture.empty());
}

TEST(Models, BackgroundSurroundsTheBoardWithoutCoveringIt) {
  const Loaded l = LoadModel("Data/Background/Background.x");
  const xlight::Mesh& m = l.mesh;
  ASSERT_FALSE(m.positions.empty());
  Vec lo, hi;
  Bounds(m, lo, hi);
  // About 20,000 units across before the game shrinks it ten times.
  EXPECT_NEAR(hi[0] - lo[0], 20000, 2000);
  EXPECT_NEAR(hi[2] - lo[2], 20000, 2000);
  // Placed at (-4 squares, -1, -4 squares) and shrunk, the 8 x 8 board spans
  // -1750 to 2250 here; the ground must reach well past it on every side.
  const double boardLo = -1750, boardHi = 2250;
  EXPECT_LT(lo[0], boardLo - 5000);
  EXPECT_GT(hi[0], boardHi + 5000);
  EXPECT_LT(lo[2], boardLo - 5000);
  EXPECT_GT(hi[2], boardHi + 5000);
  // Nothing stands on the board, whose top is 10 units (1 after scaling) above the ground.
  for (const Vec& p : m.positions)
    if (p[0] > boardLo && p[0] < boardHi && p[2] > boardLo && p[2] < boardHi) {
      EXPECT_LE(p[1], 0.0);
    }
  // Every material is textured from the background's texture folder.
  for (const auto& mat : m.materials) EXPECT_FALSE(mat.texture.empty()) << mat.name;
}

// Every directed edge appears once and its reverse once: closed, with shared
// vertices and one consistent winding.
int OpenEdges(const xlight::Mesh& m) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const auto& f : m.faces)
    for (int k = 0; k < 3; ++k) ++edges[{f[static_cast<std::size_t>(k)], f[static_cast<std::size_t>((k + 1) % 3)]}];
  int bad = 0;
  for (const auto& [e, n] : edges) {
    const auto back = edges.find({e.second, e.first});
    bad += n != 1 || back == edges.end() || back->second != 1;
  }
  return bad;
}

TEST(Models, DwarfStandsOnItsSquare) {
  const Loaded l = LoadModel("Data/nano_guerriero/nano_guerriero.x");
  const xlight::Mesh& m = l.mesh;
  ASSERT_FALSE(m.positions.empty());
  EXPECT_LE(m.faces.size(), 2000u);
  Vec lo, hi;
  Bounds(m, lo, hi);
  const double h = hi[1] - lo[1];
  EXPECT_NEAR(h, 15.0, 0.05);
  // The game stands him at h / 4: his soles a quarter of his height below the origin.
  EXPECT_NEAR(lo[1], -h / 4, 0.01);
  // Scaled by 4 he fits his 50 x 50 square.
  for (int k : {0, 2}) {
    EXPECT_LE(-lo[k] * 4, 25.0);
    EXPECT_LE(hi[k] * 4, 25.0);
  }
  EXPECT_GE(h * 4, 50);
  EXPECT_LE(h * 4, 70);
  // Loaded whole, the mesh shows its rest pose: its frames add no transform.
  for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(l.meshToRoot[static_cast<std::size_t>(i)], xlight::Identity()[static_cast<std::size_t>(i)]);
}

TEST(Models, DwarfIsClosedForItsShadow) {
  const Loaded l = LoadModel("Data/nano_guerriero/nano_guerriero.x");
  const xlight::Mesh& m = l.mesh;
  ASSERT_FALSE(m.faces.empty());
  EXPECT_EQ(OpenEdges(m), 0);
  EXPECT_GT(SignedVolume(m), 0);
  // One normal per vertex, so the loader keeps the vertices shared.
  ASSERT_EQ(m.normals.size(), m.positions.size());
  for (std::size_t f = 0; f < m.faces.size(); ++f) EXPECT_EQ(m.faceNormals[f], m.faces[f]);
}

TEST(Models, DwarfHasBonesSkinAndAnimation) {
  const Loaded l = LoadModel("Data/nano_guerriero/nano_guerriero.x");
  const xlight::Mesh& m = l.mesh;
  ASSERT_FALSE(m.positions.empty());
  for (const char* t : {"Frame", "FrameTransformMatrix", "XSkinMeshHeader", "SkinWeights", "AnimationSet",
                        "Animation", "AnimationKey", "AnimTicksPerSecond"})
    EXPECT_NE(std::find(l.file.templates.begin(), l.file.templates.end(), t), l.file.templates.end()) << t;

  // Frames, each with its matrix, by name.
  std::map<std::string, xlight::Matrix> frames;
  for (const auto& f : xlight::FindAll(l.file, "Frame")) {
    EXPECT_NE(f.node->Child("FrameTransformMatrix"), nullptr) << f.node->name;
    frames[f.node->name] = f.toRoot;
  }
  EXPECT_GE(frames.size(), 5u);

  ASSERT_TRUE(m.hasSkinHeader);
  EXPECT_EQ(m.boneCount, static_cast<int>(m.skins.size()));
  EXPECT_GE(m.skins.size(), 3u);
  std::vector<double> total(m.positions.size(), 0.0);
  std::vector<int> influences(m.positions.size(), 0);
  for (const auto& s : m.skins) {
    SCOPED_TRACE(s.frame);
    const auto bone = frames.find(s.frame);
    ASSERT_NE(bone, frames.end()) << "skin names no frame";
    // The offset undoes the bone's rest placement.
    const xlight::Matrix id = xlight::Multiply(s.offset, bone->second);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(id[static_cast<std::size_t>(i)], xlight::Identity()[static_cast<std::size_t>(i)], 1e-4);
    ASSERT_EQ(s.vertices.size(), s.weights.size());
    for (std::size_t i = 0; i < s.vertices.size(); ++i) {
      EXPECT_GT(s.weights[i], 0.0);
      total[s.vertices[i]] += s.weights[i];
      ++influences[s.vertices[i]];
    }
  }
  for (std::size_t v = 0; v < total.size(); ++v) {
    ASSERT_NEAR(total[v], 1.0, 1e-4) << "vertex " << v;
    ASSERT_LE(influences[v], m.maxWeightsPerVertex);
  }

  const auto sets = xlight::FindAll(l.file, "AnimationSet");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_FALSE(sets[0].node->name.empty());
  std::set<int> kinds;
  for (const xlight::Node* a : sets[0].node->Children("Animation")) {
    ASSERT_EQ(a->references.size(), 1u);
    EXPECT_TRUE(frames.count(a->references[0])) << a->references[0];
    for (const xlight::Node* k : a->Children("AnimationKey")) {
      ASSERT_GE(k->values.size(), 2u);
      const int type = static_cast<int>(k->values[0].number);
      const std::size_t keys = static_cast<std::size_t>(k->values[1].number);
      const std::size_t per = type == 0 ? 4 : 3;
      ASSERT_EQ(k->values.size(), 2 + keys * (2 + per));
      for (std::size_t i = 0; i < keys; ++i) {
        EXPECT_EQ(k->values[2 + i * (2 + per) + 1].number, static_cast<double>(per));
        if (type == 0) {
          double len = 0;
          for (std::size_t c = 0; c < 4; ++c) len += std::pow(k->values[2 + i * (2 + per) + 2 + c].number, 2);
          EXPECT_NEAR(len, 1.0, 1e-4) << "rotation keys are unit quaternions";
        }
      }
      kinds.insert(type);
    }
  }
  EXPECT_EQ(kinds, (std::set<int>{0, 1, 2}));
}

TEST(LightReader, RejectsDamagedFiles) {
  xlight::File f;
  xlight::Mesh m;
  std::string err;
  EXPECT_FALSE(xlight::Parse("", f, &err));
  EXPECT_FALSE(xlight::Parse("xof 0303txt 0032 Mesh {", f, &err));
  EXPECT_FALSE(xlight::Parse("xof 0303txt 0032 Mesh { 1; ? }", f, &err));
  // A face that names a vertex past the end.
  ASSERT_TRUE(xlight::Parse("xof 0303txt 0032 Mesh { 1; 0.0; 0.0; 0.0;; 1; 3; 0, 1, 2;; }", f, &err)) << err;
  EXPECT_FALSE(xlight::ReadMesh(f.objects.at(0), m, &err));
  // A vertex count far beyond the data.
  ASSERT_TRUE(xlight::Parse("xof 0303txt 0032 Mesh m { 99999999; 0;0;0;; 0; }", f, &err)) << err;
  EXPECT_FALSE(xlight::ReadMesh(f.objects.at(0), m, &err));
  // A sound one.
  ASSERT_TRUE(xlight::Parse("xof 0303txt 0032 Mesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,2,1;; }", f, &err)) << err;
  ASSERT_TRUE(xlight::ReadMesh(f.objects.at(0), m, &err)) << err;
  EXPECT_EQ(m.faces.size(), 1u);
  EXPECT_EQ(f.objects.at(0).name, "m");
}

}  // namespace
}  // namespace assets_test
