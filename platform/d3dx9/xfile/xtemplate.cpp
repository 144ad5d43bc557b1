// Template layout facts and the template store.
#include "d3dx9/xfile/xtypes.h"

#include <algorithm>
#include <cstring>

namespace xfile {

namespace {

constexpr uint64_t kHuge = uint64_t(1) << 62;

uint64_t mulSat(uint64_t a, uint64_t b) {
    if (a == 0 || b == 0) return 0;
    if (a > kHuge / b) return kHuge;
    return a * b;
}

uint64_t addSat(uint64_t a, uint64_t b) { return std::min(kHuge, a + b); }

}  // namespace

void Bytes::reserve(size_t n) {
    if (n <= capacity_) return;
    std::unique_ptr<uint8_t[]> bigger(new uint8_t[n]);
    if (size_) std::memcpy(bigger.get(), bytes_.get(), size_);
    bytes_ = std::move(bigger);
    capacity_ = n;
}

size_t GuidHash::operator()(const GUID& g) const {
    uint64_t a, b;
    std::memcpy(&a, &g, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
    return std::hash<uint64_t>()(a ^ (b * 0x9E3779B97F4A7C15ull));
}

size_t primSize(Prim p) {
    switch (p) {
    case Prim::Char:
    case Prim::Uchar: return 1;
    case Prim::Word:
    case Prim::Sword: return 2;
    case Prim::Dword:
    case Prim::Sdword:
    case Prim::Float: return 4;
    case Prim::Double: return 8;
    case Prim::String:
    case Prim::Cstring:
    case Prim::Unicode: return sizeof(char*);
    case Prim::Struct: return 0;
    }
    return 0;
}

bool primIsInteger(Prim p) {
    switch (p) {
    case Prim::Word:
    case Prim::Dword:
    case Prim::Char:
    case Prim::Uchar:
    case Prim::Sword:
    case Prim::Sdword: return true;
    default: return false;
    }
}

void Template::finish() {
    depth = 1;
    minValues = 0;
    fixedSize = true;
    fixedBytes = 0;
    for (const Member& m : members) {
        uint64_t count = 1;
        bool constantCount = true;
        for (const Dim& d : m.dims) {
            if (d.fromMember)
                constantCount = false;
            else
                count = mulSat(count, d.value);
        }
        uint64_t elemValues = 1;
        uint64_t elemBytes = primSize(m.prim);
        bool elemFixed = true;
        if (m.prim == Prim::Struct) {
            depth = std::max(depth, m.type->depth + 1);
            elemValues = m.type->minValues;
            elemBytes = m.type->fixedBytes;
            elemFixed = m.type->fixedSize;
        }
        if (constantCount) {
            minValues = addSat(minValues, mulSat(count, elemValues));
            fixedBytes = addSat(fixedBytes, mulSat(count, elemBytes));
            fixedSize = fixedSize && elemFixed;
        } else {
            fixedSize = false;
        }
    }
    if (!fixedSize) fixedBytes = 0;
    const Prim first = members.empty() ? Prim::Struct : members.front().prim;
    const bool flatMembers = std::all_of(members.begin(), members.end(), [&](const Member& m) {
        return m.prim == first && m.dims.empty();
    });
    flat = (first == Prim::Float || first == Prim::Dword) && flatMembers ? first : Prim::Struct;
    if (depth > kMaxTemplateDepth) fail(D3DXFERR_PARSEERROR);
    allowedNames.clear();
    allowedIds.clear();
    for (const AllowedChild& a : allowed) {
        if (a.hasGuid)
            allowedIds.insert(a.guid);
        else
            allowedNames.insert(a.name);
    }
}

bool Template::allows(const Template& child) const {
    switch (restriction) {
    case Restriction::Open: return true;
    case Restriction::Closed: return false;
    case Restriction::Restricted:
        return allowedIds.count(child.guid) != 0 || allowedNames.count(child.name) != 0;
    }
    return false;
}

void TemplateSet::add(TemplatePtr t) {
    auto [it, inserted] = byName_.try_emplace(t->name, ordered_.size());
    if (inserted)
        ordered_.push_back(std::move(t));
    else
        ordered_[it->second] = std::move(t);
}

const Template* TemplateSet::find(std::string_view name) const {
    auto it = byName_.find(std::string(name));
    return it == byName_.end() ? nullptr : ordered_[it->second].get();
}

TemplatePtr TemplateSet::findShared(std::string_view name) const {
    auto it = byName_.find(std::string(name));
    return it == byName_.end() ? nullptr : ordered_[it->second];
}

}  // namespace xfile
