#include "xwriter.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>

namespace xgen {

namespace {

const char* const kTemplates = R"(template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x;
 FLOAT y;
 FLOAT z;
}

template Coords2d {
 <F6F23F44-7686-11cf-8F52-0040333594A3>
 FLOAT u;
 FLOAT v;
}

template Matrix4x4 {
 <F6F23F45-7686-11cf-8F52-0040333594A3>
 array FLOAT matrix[16];
}

template ColorRGBA {
 <35FF44E0-6C7C-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
 FLOAT alpha;
}

template ColorRGB {
 <D3E16E81-7835-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
}

template TextureFilename {
 <A42790E1-7810-11cf-8F52-0040333594A3>
 STRING filename;
}

template Material {
 <3D82AB4D-62DA-11cf-AB39-0020AF71E433>
 ColorRGBA faceColor;
 FLOAT power;
 ColorRGB specularColor;
 ColorRGB emissiveColor;
 [...]
}

template MeshFace {
 <3D82AB5F-62DA-11cf-AB39-0020AF71E433>
 DWORD nFaceVertexIndices;
 array DWORD faceVertexIndices[nFaceVertexIndices];
}

template MeshTextureCoords {
 <F6F23F40-7686-11cf-8F52-0040333594A3>
 DWORD nTextureCoords;
 array Coords2d textureCoords[nTextureCoords];
}

template MeshMaterialList {
 <F6F23F42-7686-11cf-8F52-0040333594A3>
 DWORD nMaterials;
 DWORD nFaceIndexes;
 array DWORD faceIndexes[nFaceIndexes];
 [Material <3D82AB4D-62DA-11cf-AB39-0020AF71E433>]
}

template MeshNormals {
 <F6F23F43-7686-11cf-8F52-0040333594A3>
 DWORD nNormals;
 array Vector normals[nNormals];
 DWORD nFaceNormals;
 array MeshFace faceNormals[nFaceNormals];
}

template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 DWORD nFaces;
 array MeshFace faces[nFaces];
 [...]
}

template FrameTransformMatrix {
 <F6F23F41-7686-11cf-8F52-0040333594A3>
 Matrix4x4 frameMatrix;
}

template Frame {
 <3D82AB46-62DA-11cf-AB39-0020AF71E433>
 [...]
}

template FloatKeys {
 <10DD46A9-775B-11cf-8F52-0040333594A3>
 DWORD nValues;
 array FLOAT values[nValues];
}

template TimedFloatKeys {
 <F406B180-7B3B-11cf-8F52-0040333594A3>
 DWORD time;
 FloatKeys tfkeys;
}

template AnimationKey {
 <10DD46A8-775B-11cf-8F52-0040333594A3>
 DWORD keyType;
 DWORD nKeys;
 array TimedFloatKeys keys[nKeys];
}

template Animation {
 <3D82AB4F-62DA-11cf-AB39-0020AF71E433>
 [...]
}

template AnimationSet {
 <3D82AB50-62DA-11cf-AB39-0020AF71E433>
 [Animation <3D82AB4F-62DA-11cf-AB39-0020AF71E433>]
}

template AnimTicksPerSecond {
 <9E415A43-7BA6-4a73-8743-B73D47E88476>
 DWORD AnimTicksPerSecond;
}

template XSkinMeshHeader {
 <3CF169CE-FF7C-44ab-93C0-F78F62D172E2>
 WORD nMaxSkinWeightsPerVertex;
 WORD nMaxSkinWeightsPerFace;
 WORD nBones;
}

template SkinWeights {
 <6F0D123B-BAD2-4167-A0D0-80224F25FABB>
 STRING transformNodeName;
 DWORD nWeights;
 array DWORD vertexIndices[nWeights];
 array FLOAT weights[nWeights];
 Matrix4x4 matrixOffset;
}
)";

// Array elements: ',' between them, ';' after the last.
const char* Sep(std::size_t i, std::size_t n) { return i + 1 < n ? "," : ";"; }

std::string MatrixText(const Matrix& m) {
  std::string s;
  for (int i = 0; i < 16; ++i) s += F(m[static_cast<std::size_t>(i)]) + (i < 15 ? "," : ";;");
  return s;
}

}  // namespace

std::string F(float v) {
  char buf[32];
  if (v == 0.0f) v = 0.0f;  // no "-0.000000"
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
  if (std::string(buf) == "-0.000000") return "0.000000";
  return buf;
}

Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Translation(Vec3 t) {
  Matrix m = Identity();
  m[12] = t.x;
  m[13] = t.y;
  m[14] = t.z;
  return m;
}

XWriter::XWriter() { out_ << "xof 0303txt 0032\n" << kTemplates << "\n"; }

void XWriter::BeginFrame(const std::string& name, const Matrix& m) {
  Line("Frame " + name + " {");
  ++depth_;
  Line("FrameTransformMatrix {");
  Line(" " + MatrixText(m));
  Line("}");
}

void XWriter::EndFrame() {
  --depth_;
  Line("}");
}

void XWriter::WriteMesh(const std::string& name, const Mesh& mesh, const std::vector<Material>& materials,
                        const std::vector<SkinBone>& bones) {
  const std::size_t nv = mesh.positions.size(), nf = mesh.triangles.size();
  Line("Mesh " + name + " {");
  ++depth_;
  Line(std::to_string(nv) + ";");
  for (std::size_t i = 0; i < nv; ++i) {
    const Vec3 p = mesh.positions[i];
    Line(F(p.x) + ";" + F(p.y) + ";" + F(p.z) + ";" + Sep(i, nv));
  }
  Line(std::to_string(nf) + ";");
  auto faceLines = [&]() {
    for (std::size_t i = 0; i < nf; ++i) {
      const Triangle& t = mesh.triangles[i];
      Line("3;" + std::to_string(t.a) + "," + std::to_string(t.b) + "," + std::to_string(t.c) + ";" + Sep(i, nf));
    }
  };
  faceLines();
  Line("");

  Line("MeshNormals {");
  ++depth_;
  Line(std::to_string(nv) + ";");
  for (std::size_t i = 0; i < nv; ++i) {
    const Vec3 n = mesh.normals[i];
    Line(F(n.x) + ";" + F(n.y) + ";" + F(n.z) + ";" + Sep(i, nv));
  }
  Line(std::to_string(nf) + ";");
  faceLines();
  --depth_;
  Line("}");
  Line("");

  Line("MeshTextureCoords {");
  ++depth_;
  Line(std::to_string(nv) + ";");
  for (std::size_t i = 0; i < nv; ++i) Line(F(mesh.uvs[i].u) + ";" + F(mesh.uvs[i].v) + ";" + Sep(i, nv));
  --depth_;
  Line("}");
  Line("");

  Line("MeshMaterialList {");
  ++depth_;
  Line(std::to_string(materials.size()) + ";");
  Line(std::to_string(nf) + ";");
  for (std::size_t i = 0; i < nf; ++i) Line(std::to_string(mesh.triangles[i].material) + Sep(i, nf));
  for (const Material& m : materials) {
    Line("Material " + m.name + " {");
    ++depth_;
    Line(F(m.r) + ";" + F(m.g) + ";" + F(m.b) + ";" + F(m.a) + ";;");
    Line(F(m.power) + ";");
    Line(F(m.specular.x) + ";" + F(m.specular.y) + ";" + F(m.specular.z) + ";;");
    Line(F(m.emissive.x) + ";" + F(m.emissive.y) + ";" + F(m.emissive.z) + ";;");
    if (!m.texture.empty()) Line("TextureFilename { \"" + m.texture + "\"; }");
    --depth_;
    Line("}");
  }
  --depth_;
  Line("}");

  if (!bones.empty()) {
    std::size_t perVertex = 0, perFace = 0;
    auto bonesOf = [&](std::uint32_t v) {
      std::set<int> s;
      for (const Influence& inf : mesh.weights[v])
        if (inf.bone >= 0 && inf.weight > 0) s.insert(inf.bone);
      return s;
    };
    for (std::uint32_t v = 0; v < nv; ++v) perVertex = std::max(perVertex, bonesOf(v).size());
    for (const Triangle& t : mesh.triangles) {
      std::set<int> s = bonesOf(t.a);
      for (int b : bonesOf(t.b)) s.insert(b);
      for (int b : bonesOf(t.c)) s.insert(b);
      perFace = std::max(perFace, s.size());
    }
    Line("");
    Line("XSkinMeshHeader {");
    Line(" " + std::to_string(perVertex) + ";");
    Line(" " + std::to_string(perFace) + ";");
    Line(" " + std::to_string(bones.size()) + ";");
    Line("}");
    for (std::size_t b = 0; b < bones.size(); ++b) {
      std::vector<std::uint32_t> idx;
      std::vector<float> w;
      for (std::uint32_t v = 0; v < nv; ++v)
        for (const Influence& inf : mesh.weights[v])
          if (inf.bone == static_cast<int>(b) && inf.weight > 0) {
            idx.push_back(v);
            w.push_back(inf.weight);
          }
      Line("");
      Line("SkinWeights {");
      ++depth_;
      Line("\"" + bones[b].frame + "\";");
      Line(std::to_string(idx.size()) + ";");
      for (std::size_t i = 0; i < idx.size(); ++i) Line(std::to_string(idx[i]) + Sep(i, idx.size()));
      for (std::size_t i = 0; i < w.size(); ++i) Line(F(w[i]) + Sep(i, w.size()));
      Line(MatrixText(bones[b].offset));
      --depth_;
      Line("}");
    }
  }
  --depth_;
  Line("}");
}

void XWriter::WriteAnimTicksPerSecond(std::uint32_t ticks) {
  Line("AnimTicksPerSecond {");
  Line(" " + std::to_string(ticks) + ";");
  Line("}");
}

void XWriter::WriteAnimationSet(const std::string& name, const std::vector<FrameAnimation>& animations) {
  Line("AnimationSet " + name + " {");
  ++depth_;
  for (const FrameAnimation& a : animations) {
    Line("Animation Anim_" + a.frame + " {");
    ++depth_;
    Line("{ " + a.frame + " }");
    const std::size_t n = a.times.size();
    auto key = [&](int type, const std::vector<std::vector<float>>& values) {
      Line("AnimationKey {");
      ++depth_;
      Line(std::to_string(type) + ";");
      Line(std::to_string(n) + ";");
      for (std::size_t i = 0; i < n; ++i) {
        std::string s = std::to_string(a.times[i]) + ";" + std::to_string(values[i].size()) + ";";
        for (std::size_t k = 0; k < values[i].size(); ++k) s += F(values[i][k]) + (k + 1 < values[i].size() ? "," : "");
        s += i + 1 < n ? ";;," : ";;;";
        Line(s);
      }
      --depth_;
      Line("}");
    };
    std::vector<std::vector<float>> rot, scl, pos;
    for (std::size_t i = 0; i < n; ++i) {
      rot.push_back({a.rotations[i].w, a.rotations[i].x, a.rotations[i].y, a.rotations[i].z});
      scl.push_back({a.scales[i].x, a.scales[i].y, a.scales[i].z});
      pos.push_back({a.positions[i].x, a.positions[i].y, a.positions[i].z});
    }
    key(0, rot);
    key(1, scl);
    key(2, pos);
    --depth_;
    Line("}");
  }
  --depth_;
  Line("}");
}

bool XWriter::Save(const std::string& path) const {
  std::ofstream f(path, std::ios::binary);
  f << out_.str();
  return static_cast<bool>(f);
}

}  // namespace xgen
