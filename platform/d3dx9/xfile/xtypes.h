// The .x reader's model: templates, the data objects of one file, and the reader's error.
#pragma once

#include <d3dx9xof.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace xfile {

// A failure while reading a file; carries the D3DXFERR_* code to hand back.
struct Error {
    HRESULT hr;
};
[[noreturn]] inline void fail(HRESULT hr) { throw Error{hr}; }

// Limits that keep a damaged or hostile file from exhausting the stack.
constexpr unsigned kMaxObjectDepth = 256;   // data objects inside data objects
constexpr unsigned kMaxTemplateDepth = 32;  // templates used as members of templates

enum class Prim : uint8_t {
    Word,
    Dword,
    Float,
    Double,
    Char,
    Uchar,
    Sword,
    Sdword,
    String,   // STRING / LPSTR: a char* slot in the locked data
    Cstring,  // read like STRING
    Unicode,  // declared by some files, never readable
    Struct,   // a member whose type is a template
};

// Size of a primitive in the locked data; 0 for Struct.
size_t primSize(Prim p);
// True for the primitives that can size an array.
bool primIsInteger(Prim p);

struct GuidHash {
    size_t operator()(const GUID& g) const;
};

struct Template;
using TemplatePtr = std::shared_ptr<const Template>;

struct Dim {
    bool fromMember;  // false: value is a constant; true: value is the index of an earlier member
    uint32_t value;
};

struct Member {
    std::string name;
    Prim prim = Prim::Dword;
    TemplatePtr type;  // set when prim is Struct
    std::vector<Dim> dims;
};

enum class Restriction : uint8_t { Closed, Open, Restricted };

struct AllowedChild {
    std::string name;
    bool hasGuid = false;
    GUID guid{};
};

struct Template {
    std::string name;
    GUID guid{};
    std::vector<Member> members;
    Restriction restriction = Restriction::Closed;
    std::vector<AllowedChild> allowed;  // in file order

    // Filled by finish():
    unsigned depth = 1;          // 1 + the deepest template member
    uint64_t minValues = 0;      // fewest file values one instance consumes; an instance that
                                 // needs none holds no data at all
    bool fixedSize = true;       // no member-sized arrays anywhere inside
    uint64_t fixedBytes = 0;     // locked size of one instance when fixedSize
    Prim flat = Prim::Struct;    // Float or Dword when every member is one value of that type
    std::unordered_set<std::string> allowedNames;   // restricted entries given by name only
    std::unordered_set<GUID, GuidHash> allowedIds;  // restricted entries given with a GUID

    // Computes the derived fields; fails when the template nests too deeply.
    void finish();
    // Whether an object of template `child` may appear inside an object of this template.
    bool allows(const Template& child) const;
};

// Templates by name; a later definition of a name replaces the earlier one.
class TemplateSet {
public:
    void add(TemplatePtr t);
    const Template* find(std::string_view name) const;
    TemplatePtr findShared(std::string_view name) const;
    const std::vector<TemplatePtr>& all() const { return ordered_; }
    size_t size() const { return byName_.size(); }

private:
    std::unordered_map<std::string, size_t> byName_;  // index into ordered_
    std::vector<TemplatePtr> ordered_;                // in order of first registration
};

// The locked data of one object: bytes that grow by appending, without clearing them first.
class Bytes {
public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* data() const { return bytes_.get(); }
    size_t capacity() const { return capacity_; }
    void reserve(size_t n);
    // Room for n more bytes at the end; the caller fills them.
    uint8_t* grow(size_t n) {
        if (capacity_ - size_ < n) reserve(std::max(size_ + n, capacity_ * 2));
        uint8_t* at = bytes_.get() + size_;
        size_ += n;
        return at;
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0, capacity_ = 0;
};

struct Node;

struct Child {
    Node* node = nullptr;
    bool reference = false;
};

// One data object: its template, name, instance GUID, locked data and children.
struct Node {
    TemplatePtr type;
    std::string name;  // empty: unnamed
    GUID id{};
    size_t index = 0;  // position in Document::nodes
    Bytes data;
    std::vector<std::unique_ptr<char[]>> strings;  // targets of the char* slots in data
    std::vector<Child> children;
};

// Everything read from one file.
struct Document {
    std::vector<std::unique_ptr<Node>> nodes;  // every object, in file order
    std::vector<Node*> top;                    // the top-level objects
    std::vector<TemplatePtr> declared;         // templates declared by the file
};

}  // namespace xfile
