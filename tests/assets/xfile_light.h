// A light reader for the text .x files the art build writes: enough to check
// their structure and to draw them in the contact sheet. Not the game's reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xlight {

struct Value {
  bool isString = false;
  double number = 0;
  std::string text;
};

struct Node {
  std::string type;
  std::string name;
  std::vector<Value> values;           // the object's data, in order
  std::vector<Node> children;          // nested objects
  std::vector<std::string> references;  // { name } references
  const Node* Child(const std::string& type) const;
  std::vector<const Node*> Children(const std::string& type) const;
};

struct File {
  std::string header;
  std::vector<std::string> templates;  // names of the templates declared in the file
  std::vector<Node> objects;           // top-level data objects
};

// False (with a reason) on any syntax error.
bool Parse(const std::string& text, File& out, std::string* err);
bool ParseFile(const std::string& path, File& out, std::string* err);

// Every node of a type, depth first, with the product of the frame matrices
// above it (row-vector order, the node's own frame first).
using Matrix = std::array<double, 16>;
Matrix Identity();
Matrix Multiply(const Matrix& a, const Matrix& b);
struct Found {
  const Node* node;
  Matrix toRoot;
};
std::vector<Found> FindAll(const File& f, const std::string& type);

struct Material {
  std::string name;
  double rgba[4] = {1, 1, 1, 1};
  double power = 0;
  double specular[3] = {0, 0, 0};
  double emissive[3] = {0, 0, 0};
  std::string texture;
};

struct Mesh {
  std::vector<std::array<double, 3>> positions;
  std::vector<std::array<std::uint32_t, 3>> faces;  // triangles only
  std::vector<std::array<double, 3>> normals;
  std::vector<std::array<std::uint32_t, 3>> faceNormals;
  std::vector<std::array<double, 2>> uvs;
  std::vector<std::uint32_t> faceMaterials;
  std::vector<Material> materials;
  struct Skin {
    std::string frame;
    std::vector<std::uint32_t> vertices;
    std::vector<double> weights;
    Matrix offset;
  };
  bool hasSkinHeader = false;
  int maxWeightsPerVertex = 0, maxWeightsPerFace = 0, boneCount = 0;
  std::vector<Skin> skins;
};

// Reads a Mesh node and its children; false (with a reason) when a count or an
// index does not fit the data.
bool ReadMesh(const Node& node, Mesh& out, std::string* err);

}  // namespace xlight
