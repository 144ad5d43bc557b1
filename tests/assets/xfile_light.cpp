#include "xfile_light.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace xlight {

namespace {

enum class Tok { End, Open, Close, Semi, Comma, Number, String, Guid, Ident, Other, Bad };

struct Token {
  Tok kind = Tok::End;
  std::string text;
  double number = 0;
};

class Lexer {
 public:
  explicit Lexer(const std::string& s, std::size_t start) : s_(s), i_(start) {}

  Token Next() {
    Skip();
    Token t;
    if (i_ >= s_.size()) return t;
    const char c = s_[i_];
    if (c == '{') return Single(Tok::Open);
    if (c == '}') return Single(Tok::Close);
    if (c == ';') return Single(Tok::Semi);
    if (c == ',') return Single(Tok::Comma);
    if (c == '"') {
      const std::size_t end = s_.find('"', i_ + 1);
      if (end == std::string::npos) return Bad();
      t.kind = Tok::String;
      t.text = s_.substr(i_ + 1, end - i_ - 1);
      i_ = end + 1;
      return t;
    }
    if (c == '<') {
      const std::size_t end = s_.find('>', i_ + 1);
      if (end == std::string::npos) return Bad();
      t.kind = Tok::Guid;
      t.text = s_.substr(i_ + 1, end - i_ - 1);
      i_ = end + 1;
      return t;
    }
    // Brackets and dots only occur in template declarations ("[...]").
    const bool digitNext = i_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_ + 1]));
    if (c == '[' || c == ']' || (c == '.' && !digitNext)) return Single(Tok::Other);
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      const char* begin = s_.c_str() + i_;
      char* end = nullptr;
      t.number = std::strtod(begin, &end);
      if (end == begin) return Bad();
      t.kind = Tok::Number;
      i_ += static_cast<std::size_t>(end - begin);
      return t;
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const std::size_t start = i_;
      while (i_ < s_.size() &&
             (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' || s_[i_] == '-' || s_[i_] == '.'))
        ++i_;
      t.kind = Tok::Ident;
      t.text = s_.substr(start, i_ - start);
      return t;
    }
    return Bad();
  }

  Token Peek() {
    const std::size_t save = i_;
    Token t = Next();
    i_ = save;
    return t;
  }

 private:
  Token Single(Tok k) {
    ++i_;
    Token t;
    t.kind = k;
    return t;
  }
  Token Bad() {
    Token t;
    t.kind = Tok::Bad;
    return t;
  }
  void Skip() {
    while (i_ < s_.size()) {
      if (std::isspace(static_cast<unsigned char>(s_[i_]))) {
        ++i_;
      } else if (s_[i_] == '#' || (s_[i_] == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '/')) {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else {
        break;
      }
    }
  }
  const std::string& s_;
  std::size_t i_;
};

constexpr int kMaxDepth = 64;

bool ParseBody(Lexer& lx, Node& node, int depth, std::string* err);

bool ParseObject(Lexer& lx, const std::string& type, Node& node, int depth, std::string* err) {
  if (depth > kMaxDepth) {
    if (err) *err = "objects nested too deeply";
    return false;
  }
  node.type = type;
  Token t = lx.Next();
  if (t.kind == Tok::Ident) {
    node.name = t.text;
    t = lx.Next();
  }
  if (t.kind != Tok::Open) {
    if (err) *err = "expected '{' after " + type;
    return false;
  }
  if (lx.Peek().kind == Tok::Guid) lx.Next();
  return ParseBody(lx, node, depth, err);
}

bool ParseBody(Lexer& lx, Node& node, int depth, std::string* err) {
  for (;;) {
    Token t = lx.Next();
    switch (t.kind) {
      case Tok::Close: return true;
      case Tok::Semi:
      case Tok::Comma: break;
      case Tok::Number: node.values.push_back({false, t.number, {}}); break;
      case Tok::String: node.values.push_back({true, 0, t.text}); break;
      case Tok::Open: {
        Token r = lx.Next();
        if (r.kind != Tok::Ident && r.kind != Tok::Guid) {
          if (err) *err = "bad reference in " + node.type;
          return false;
        }
        if (lx.Peek().kind == Tok::Guid) lx.Next();
        if (lx.Next().kind != Tok::Close) {
          if (err) *err = "unclosed reference in " + node.type;
          return false;
        }
        node.references.push_back(r.text);
        break;
      }
      case Tok::Ident: {
        Node child;
        if (!ParseObject(lx, t.text, child, depth + 1, err)) return false;
        node.children.push_back(std::move(child));
        break;
      }
      default:
        if (err) *err = "unexpected token in " + node.type;
        return false;
    }
  }
}

// Consumes a template declaration, whose body is not data.
bool SkipTemplate(Lexer& lx, std::string& name, std::string* err) {
  Token t = lx.Next();
  if (t.kind != Tok::Ident || lx.Next().kind != Tok::Open) {
    if (err) *err = "bad template declaration";
    return false;
  }
  name = t.text;
  for (;;) {
    t = lx.Next();
    if (t.kind == Tok::Close) return true;
    if (t.kind == Tok::End || t.kind == Tok::Bad || t.kind == Tok::Open) {
      if (err) *err = "unterminated template " + name;
      return false;
    }
  }
}

void Collect(const Node& n, const Matrix& parent, const std::string& type, std::vector<Found>& out) {
  Matrix own = parent;
  if (n.type == "Frame") {
    if (const Node* ftm = n.Child("FrameTransformMatrix"); ftm && ftm->values.size() >= 16) {
      Matrix local;
      for (int i = 0; i < 16; ++i) local[static_cast<std::size_t>(i)] = ftm->values[static_cast<std::size_t>(i)].number;
      own = Multiply(local, parent);
    }
  }
  if (n.type == type) out.push_back({&n, own});
  for (const Node& c : n.children) Collect(c, own, type, out);
}

// Reads numbers in order from a node's values, failing past the end.
class Cursor {
 public:
  explicit Cursor(const Node& n) : v_(n.values) {}
  bool Number(double& out) {
    if (i_ >= v_.size() || v_[i_].isString) return false;
    out = v_[i_++].number;
    return true;
  }
  bool Count(std::size_t& out, std::size_t limit) {
    double d;
    if (!Number(d) || d < 0 || d > static_cast<double>(limit) || d != static_cast<double>(static_cast<std::size_t>(d)))
      return false;
    out = static_cast<std::size_t>(d);
    return true;
  }
  bool Text(std::string& out) {
    if (i_ >= v_.size() || !v_[i_].isString) return false;
    out = v_[i_++].text;
    return true;
  }
  std::size_t Left() const { return v_.size() - i_; }

 private:
  const std::vector<Value>& v_;
  std::size_t i_ = 0;
};

bool Fail(std::string* err, const std::string& why) {
  if (err) *err = why;
  return false;
}

bool ReadFaces(Cursor& c, std::size_t limit, std::size_t indexLimit, std::vector<std::array<std::uint32_t, 3>>& out,
               std::string* err) {
  std::size_t n;
  if (!c.Count(n, limit)) return Fail(err, "bad face count");
  out.clear();
  for (std::size_t f = 0; f < n; ++f) {
    std::size_t k;
    if (!c.Count(k, 64) || k != 3) return Fail(err, "face " + std::to_string(f) + " is not a triangle");
    std::array<std::uint32_t, 3> tri{};
    for (std::size_t j = 0; j < 3; ++j) {
      std::size_t idx;
      if (!c.Count(idx, indexLimit) || idx >= indexLimit) return Fail(err, "face index out of range");
      tri[j] = static_cast<std::uint32_t>(idx);
    }
    out.push_back(tri);
  }
  return true;
}

}  // namespace

const Node* Node::Child(const std::string& t) const {
  for (const Node& c : children)
    if (c.type == t) return &c;
  return nullptr;
}

std::vector<const Node*> Node::Children(const std::string& t) const {
  std::vector<const Node*> out;
  for (const Node& c : children)
    if (c.type == t) out.push_back(&c);
  return out;
}

bool Parse(const std::string& text, File& out, std::string* err) {
  out = File();
  if (text.size() < 16 || text.compare(0, 4, "xof ") != 0) return Fail(err, "no xof header");
  out.header = text.substr(0, 16);
  Lexer lx(text, 16);
  for (;;) {
    Token t = lx.Next();
    if (t.kind == Tok::End) return true;
    if (t.kind != Tok::Ident) return Fail(err, "expected an object or a template at top level");
    if (t.text == "template") {
      std::string name;
      if (!SkipTemplate(lx, name, err)) return false;
      out.templates.push_back(name);
      continue;
    }
    Node n;
    if (!ParseObject(lx, t.text, n, 0, err)) return false;
    out.objects.push_back(std::move(n));
  }
}

bool ParseFile(const std::string& path, File& out, std::string* err) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return Fail(err, "cannot open " + path);
  std::stringstream ss;
  ss << f.rdbuf();
  return Parse(ss.str(), out, err);
}

Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[static_cast<std::size_t>(i * 4 + k)] * b[static_cast<std::size_t>(k * 4 + j)];
      r[static_cast<std::size_t>(i * 4 + j)] = s;
    }
  return r;
}

std::vector<Found> FindAll(const File& f, const std::string& type) {
  std::vector<Found> out;
  for (const Node& n : f.objects) Collect(n, Identity(), type, out);
  return out;
}

bool ReadMesh(const Node& node, Mesh& m, std::string* err) {
  constexpr std::size_t kLimit = 1u << 22;
  m = Mesh();
  Cursor c(node);
  std::size_t nv;
  if (!c.Count(nv, kLimit) || c.Left() < nv * 3) return Fail(err, "bad vertex count");
  for (std::size_t i = 0; i < nv; ++i) {
    std::array<double, 3> p{};
    for (double& x : p) c.Number(x);
    m.positions.push_back(p);
  }
  if (!ReadFaces(c, kLimit, nv, m.faces, err)) return false;
  if (c.Left() != 0) return Fail(err, "data left over after the faces");

  if (const Node* n = node.Child("MeshNormals")) {
    Cursor nc(*n);
    std::size_t nn;
    if (!nc.Count(nn, kLimit) || nc.Left() < nn * 3) return Fail(err, "bad normal count");
    for (std::size_t i = 0; i < nn; ++i) {
      std::array<double, 3> v{};
      for (double& x : v) nc.Number(x);
      m.normals.push_back(v);
    }
    if (!ReadFaces(nc, kLimit, nn, m.faceNormals, err)) return false;
  }
  if (const Node* t = node.Child("MeshTextureCoords")) {
    Cursor tc(*t);
    std::size_t nt;
    if (!tc.Count(nt, kLimit) || tc.Left() != nt * 2) return Fail(err, "bad texture coordinate count");
    for (std::size_t i = 0; i < nt; ++i) {
      std::array<double, 2> uv{};
      tc.Number(uv[0]);
      tc.Number(uv[1]);
      m.uvs.push_back(uv);
    }
  }
  if (const Node* l = node.Child("MeshMaterialList")) {
    Cursor lc(*l);
    std::size_t nm, ni;
    if (!lc.Count(nm, 4096) || !lc.Count(ni, kLimit) || lc.Left() != ni) return Fail(err, "bad material list");
    for (std::size_t i = 0; i < ni; ++i) {
      std::size_t idx;
      if (!lc.Count(idx, nm) || idx >= nm) return Fail(err, "material index out of range");
      m.faceMaterials.push_back(static_cast<std::uint32_t>(idx));
    }
    for (const Node* mat : l->Children("Material")) {
      Cursor mc(*mat);
      Material out;
      out.name = mat->name;
      bool ok = true;
      for (double& x : out.rgba) ok = ok && mc.Number(x);
      ok = ok && mc.Number(out.power);
      for (double& x : out.specular) ok = ok && mc.Number(x);
      for (double& x : out.emissive) ok = ok && mc.Number(x);
      if (!ok || mc.Left() != 0) return Fail(err, "bad material " + mat->name);
      if (const Node* tf = mat->Child("TextureFilename")) {
        Cursor fc(*tf);
        if (!fc.Text(out.texture)) return Fail(err, "bad texture name");
      }
      m.materials.push_back(out);
    }
    if (m.materials.size() != nm) return Fail(err, "material count differs from the materials given");
  }
  if (const Node* h = node.Child("XSkinMeshHeader")) {
    Cursor hc(*h);
    std::size_t a, b, n;
    if (!hc.Count(a, 65535) || !hc.Count(b, 65535) || !hc.Count(n, 65535)) return Fail(err, "bad skin header");
    m.hasSkinHeader = true;
    m.maxWeightsPerVertex = static_cast<int>(a);
    m.maxWeightsPerFace = static_cast<int>(b);
    m.boneCount = static_cast<int>(n);
  }
  for (const Node* s : node.Children("SkinWeights")) {
    Cursor sc(*s);
    Mesh::Skin skin;
    std::size_t n;
    if (!sc.Text(skin.frame) || !sc.Count(n, nv) || sc.Left() != n * 2 + 16) return Fail(err, "bad skin weights");
    for (std::size_t i = 0; i < n; ++i) {
      std::size_t v;
      if (!sc.Count(v, nv) || v >= nv) return Fail(err, "skin vertex out of range");
      skin.vertices.push_back(static_cast<std::uint32_t>(v));
    }
    for (std::size_t i = 0; i < n; ++i) {
      double w;
      sc.Number(w);
      skin.weights.push_back(w);
    }
    for (double& x : skin.offset) sc.Number(x);
    m.skins.push_back(std::move(skin));
  }
  return true;
}

}  // namespace xlight
