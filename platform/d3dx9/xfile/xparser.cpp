// The .x parser: templates, data objects laid out as their templates say, references.
#include "d3dx9/xfile/xparser.h"

#include "d3dx9/xfile/xlexer.h"
#include "d3dx9/xfile/xmszip.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <unordered_map>

namespace xfile {

namespace {

bool iequals(std::string_view a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != b[i]) return false;
    }
    return true;
}

// The primitive type a text keyword names (keywords are not case sensitive).
bool primFromName(std::string_view name, Prim& out) {
    static const struct {
        const char* word;
        Prim prim;
    } table[] = {{"WORD", Prim::Word},       {"DWORD", Prim::Dword},   {"FLOAT", Prim::Float},
                 {"DOUBLE", Prim::Double},   {"CHAR", Prim::Char},     {"UCHAR", Prim::Uchar},
                 {"BYTE", Prim::Uchar},      {"SWORD", Prim::Sword},   {"SDWORD", Prim::Sdword},
                 {"STRING", Prim::String},   {"LPSTR", Prim::String},  {"CSTRING", Prim::Cstring},
                 {"UNICODE", Prim::Unicode}};
    for (const auto& k : table) {
        if (iequals(name, k.word)) {
            out = k.prim;
            return true;
        }
    }
    return false;
}

bool isTemplateKeyword(const Token& t) {
    return t.kind == Tok::Template || (t.kind == Tok::Name && iequals(t.text, "TEMPLATE"));
}

bool isArrayKeyword(const Token& t) {
    return t.kind == Tok::Array || (t.kind == Tok::Name && iequals(t.text, "ARRAY"));
}

uint64_t mulSat(uint64_t a, uint64_t b) {
    constexpr uint64_t kHuge = uint64_t(1) << 62;
    if (a == 0 || b == 0) return 0;
    if (a > kHuge / b) return kHuge;
    return a * b;
}

std::string nameFrom(std::string_view s) {
    // Names are C strings to the caller: keep them short of any embedded NUL.
    const size_t nul = s.find('\0');
    return std::string(nul == std::string_view::npos ? s : s.substr(0, nul));
}

struct PendingRef {
    Node* parent;
    size_t slot;
    std::string_view name;
    bool hasGuid;
    GUID guid;
};

template <class Lexer>
class Parser {
public:
    Parser(Lexer& lex, TemplateSet& templates, Document& doc)
        : lex_(lex), templates_(templates), doc_(doc) {}

    void run() {
        for (;;) {
            const Token t = lex_.next();
            if (t.kind == Tok::End) break;
            if (isTemplateKeyword(t)) {
                parseTemplate();
            } else if (t.kind == Tok::Name) {
                doc_.top.push_back(parseObject(t, 0));
            } else {
                fail(D3DXFERR_PARSEERROR);
            }
        }
        resolveReferences();
        checkCycles();
    }

private:
    void expect(Tok kind) {
        if (lex_.next().kind != kind) fail(D3DXFERR_PARSEERROR);
    }

    uint32_t tokenInteger(const Token& t) {
        if (t.kind != Tok::Integer) fail(D3DXFERR_PARSEERROR);
        if (t.text.empty()) return t.integer;  // binary form
        uint32_t v = 0;
        const auto r = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
        if (r.ec != std::errc() || r.ptr != t.text.data() + t.text.size()) fail(D3DXFERR_PARSEERROR);
        return v;
    }

    // ---- templates

    void memberType(const Token& t, Member& m) {
        if (t.kind == Tok::Type) {
            m.prim = t.prim;
            return;
        }
        if (t.kind != Tok::Name) fail(D3DXFERR_PARSEERROR);
        if (primFromName(t.text, m.prim)) return;
        m.type = templates_.findShared(t.text);
        if (!m.type) fail(D3DXFERR_NOTFOUND);
        m.prim = Prim::Struct;
    }

    void parseRestriction(Template& t) {
        Token tk = lex_.next();
        if (tk.kind == Tok::Dot) {
            expect(Tok::Dot);
            expect(Tok::Dot);
            expect(Tok::CBracket);
            t.restriction = Restriction::Open;
            return;
        }
        t.restriction = Restriction::Restricted;
        for (;;) {
            if (tk.kind != Tok::Name) fail(D3DXFERR_PARSEERROR);
            AllowedChild a;
            a.name = std::string(tk.text);
            if (lex_.peek().kind == Tok::Guid) {
                a.hasGuid = true;
                a.guid = lex_.next().guid;
            }
            t.allowed.push_back(std::move(a));
            tk = lex_.next();
            if (tk.kind == Tok::Comma) tk = lex_.next();
            if (tk.kind == Tok::CBracket) return;
        }
    }

    void parseTemplate() {
        const Token name = lex_.next();
        if (name.kind != Tok::Name) fail(D3DXFERR_PARSEERROR);
        auto t = std::make_shared<Template>();
        t->name = nameFrom(name.text);
        memberIndex_.clear();
        expect(Tok::OBrace);
        const Token guid = lex_.next();
        if (guid.kind != Tok::Guid) fail(D3DXFERR_PARSEERROR);
        t->guid = guid.guid;

        for (;;) {
            Token tk = lex_.next();
            if (tk.kind == Tok::CBrace) break;
            if (tk.kind == Tok::OBracket) {
                parseRestriction(*t);
                expect(Tok::CBrace);
                break;
            }
            const bool isArray = isArrayKeyword(tk);
            if (isArray) tk = lex_.next();
            Member m;
            memberType(tk, m);
            if (lex_.peek().kind == Tok::Name) m.name = nameFrom(lex_.next().text);
            if (isArray) {
                if (m.name.empty()) fail(D3DXFERR_PARSEERROR);
                while (lex_.peek().kind == Tok::OBracket) {
                    lex_.next();
                    const Token d = lex_.next();
                    if (d.kind == Tok::Name) {
                        m.dims.push_back(Dim{true, sizingMember(*t, d.text)});
                    } else {
                        m.dims.push_back(Dim{false, tokenInteger(d)});
                    }
                    expect(Tok::CBracket);
                }
                if (m.dims.empty()) fail(D3DXFERR_PARSEERROR);
            }
            expect(Tok::Semicolon);
            if (!m.name.empty()) memberIndex_[m.name] = uint32_t(t->members.size());
            t->members.push_back(std::move(m));
        }
        t->finish();
        templates_.add(t);
        doc_.declared.push_back(std::move(t));
    }

    // The index of the earlier member that gives an array its size: a single integer.
    uint32_t sizingMember(const Template& t, std::string_view name) {
        const auto it = memberIndex_.find(std::string(name));
        if (it == memberIndex_.end()) fail(D3DXFERR_PARSEERROR);
        const Member& m = t.members[it->second];
        if (!primIsInteger(m.prim) || !m.dims.empty()) fail(D3DXFERR_PARSEERROR);
        return it->second;
    }

    // ---- data objects

    Node* parseObject(const Token& typeToken, unsigned depth) {
        if (depth >= kMaxObjectDepth) fail(D3DXFERR_PARSEERROR);
        TemplatePtr type = templates_.findShared(typeToken.text);
        if (!type) fail(D3DXFERR_NOTFOUND);

        doc_.nodes.push_back(std::make_unique<Node>());
        Node* node = doc_.nodes.back().get();
        node->index = doc_.nodes.size() - 1;
        node->type = type;

        Token tk = lex_.next();
        if (tk.kind == Tok::Name) {
            node->name = nameFrom(tk.text);
            tk = lex_.next();
        }
        if (tk.kind != Tok::OBrace) fail(D3DXFERR_PARSEERROR);
        if (lex_.peek().kind == Tok::Guid) node->id = lex_.next().guid;

        readStruct(*type, *node);
        if (lex_.valuesPending()) fail(D3DXFERR_PARSEERROR);

        for (;;) {
            const Token c = lex_.next();
            switch (c.kind) {
            case Tok::CBrace: return node;
            case Tok::Comma:
            case Tok::Semicolon: break;
            case Tok::OBrace: parseReference(*node); break;
            case Tok::Name: {
                Node* child = parseObject(c, depth + 1);
                if (!type->allows(*child->type)) fail(D3DXFERR_BADOBJECT);
                node->children.push_back(Child{child, false});
                break;
            }
            default: fail(D3DXFERR_PARSEERROR);
            }
        }
    }

    // "{ name }", "{ name guid }" or "{ guid }"; the opening brace is read.
    void parseReference(Node& parent) {
        PendingRef ref{&parent, parent.children.size(), {}, false, {}};
        Token tk = lex_.next();
        if (tk.kind == Tok::Name) {
            ref.name = tk.text;
            tk = lex_.next();
        }
        if (tk.kind == Tok::Guid) {
            ref.hasGuid = true;
            ref.guid = tk.guid;
            tk = lex_.next();
        }
        if (tk.kind != Tok::CBrace || (ref.name.empty() && !ref.hasGuid)) fail(D3DXFERR_PARSEERROR);
        parent.children.push_back(Child{nullptr, true});
        refs_.push_back(ref);
    }

    template <class T>
    static void put(Node& node, const T& v) {
        std::memcpy(node.data.grow(sizeof v), &v, sizeof v);
    }

    // Reads one value of a primitive member; gives back integers for array sizes.
    uint32_t readValue(Prim prim, Node& node) {
        switch (prim) {
        case Prim::Word:
        case Prim::Sword: {
            const uint16_t v = uint16_t(lex_.readInt());
            put(node, v);
            return v;
        }
        case Prim::Char:
        case Prim::Uchar: {
            const uint8_t v = uint8_t(lex_.readInt());
            put(node, v);
            return v;
        }
        case Prim::Dword:
        case Prim::Sdword: {
            const uint32_t v = lex_.readInt();
            put(node, v);
            return v;
        }
        case Prim::Float: put(node, toFloat(lex_.readFloat())); return 0;
        case Prim::Double: put(node, lex_.readFloat()); return 0;
        case Prim::String:
        case Prim::Cstring: {
            const std::string_view s = lex_.readString();
            auto copy = std::make_unique<char[]>(s.size() + 1);
            std::memcpy(copy.get(), s.data(), s.size());
            copy[s.size()] = '\0';
            const char* ptr = copy.get();
            node.strings.push_back(std::move(copy));
            put(node, ptr);
            return 0;
        }
        case Prim::Unicode:
        case Prim::Struct: break;
        }
        fail(D3DXFERR_BADTYPE);
    }

    void readStruct(const Template& t, Node& node) {
        // Values of the members read so far, for arrays sized by them.
        constexpr size_t kLocal = 16;
        uint32_t local[kLocal];
        std::vector<uint32_t> heap;
        uint32_t* ints = local;
        if (t.members.size() > kLocal) {
            heap.resize(t.members.size());
            ints = heap.data();
        }
        for (size_t i = 0; i < t.members.size(); ++i) {
            const Member& m = t.members[i];
            ints[i] = 0;
            if (m.dims.empty()) {
                if (m.prim == Prim::Struct)
                    readStruct(*m.type, node);
                else
                    ints[i] = readValue(m.prim, node);
                continue;
            }
            uint64_t count = 1;
            for (const Dim& d : m.dims) count = mulSat(count, d.fromMember ? ints[d.value] : d.value);
            readArray(m, count, node);
        }
    }

    void readArray(const Member& m, uint64_t count, Node& node) {
        const bool isStruct = m.prim == Prim::Struct;
        const uint64_t perElement = isStruct ? m.type->minValues : 1;
        if (count == 0 || perElement == 0) return;  // nothing to read, nothing to hold
        // Every value takes at least a byte of the file: more elements than that is a bad count.
        if (count > lex_.remaining() / perElement) fail(D3DXFERR_BADARRAYSIZE);

        const uint64_t elementBytes =
            isStruct ? (m.type->fixedSize ? m.type->fixedBytes : 0) : primSize(m.prim);
        const size_t want = node.data.size() + size_t(count * elementBytes);
        if (want > node.data.capacity()) node.data.reserve(std::max(want, node.data.capacity() * 2));

        // Arrays of FLOATs or DWORDs (or of structures of nothing else) are read in one go.
        const Prim flat = isStruct ? m.type->flat : m.prim;
        const uint64_t values = count * perElement;
        if (flat == Prim::Float) {
            lex_.readFloats(node.data.grow(size_t(values) * 4), size_t(values));
        } else if (flat == Prim::Dword) {
            lex_.readInts(node.data.grow(size_t(values) * 4), size_t(values));
        } else if (isStruct) {
            // Elements are mostly alike (faces of one mesh): room for the rest at the first one's
            // size, never more than the rest of the file could hold.
            const size_t before = node.data.size();
            readStruct(*m.type, node);
            const uint64_t rest = std::min(mulSat(count - 1, node.data.size() - before),
                                           mulSat(lex_.remaining(), 4));
            node.data.reserve(node.data.size() + size_t(rest));
            for (uint64_t i = 1; i < count; ++i) readStruct(*m.type, node);
        } else {
            for (uint64_t i = 0; i < count; ++i) readValue(m.prim, node);
        }
    }

    // ---- references

    void resolveReferences() {
        if (refs_.empty()) return;
        std::unordered_map<std::string_view, Node*> byName;
        std::unordered_map<GUID, Node*, GuidHash> byId;
        const GUID none{};
        for (const auto& n : doc_.nodes) {
            if (!n->name.empty()) byName.try_emplace(n->name, n.get());
            if (n->id != none) byId.try_emplace(n->id, n.get());
        }
        for (const PendingRef& r : refs_) {
            Node* target = nullptr;
            if (r.hasGuid) {
                auto it = byId.find(r.guid);
                if (it != byId.end()) target = it->second;
            }
            if (!target && !r.name.empty()) {
                auto it = byName.find(r.name);
                if (it != byName.end()) target = it->second;
            }
            if (!target) fail(D3DXFERR_BADDATAREFERENCE);
            if (!r.parent->type->allows(*target->type)) fail(D3DXFERR_BADOBJECT);
            r.parent->children[r.slot].node = target;
        }
    }

    // A reference that leads back into an object it is reached from would make the object tree
    // endless: refuse the file.
    void checkCycles() {
        if (refs_.empty()) return;
        enum : uint8_t { kNew, kOpen, kDone };
        std::vector<uint8_t> state(doc_.nodes.size(), kNew);
        std::vector<std::pair<const Node*, size_t>> stack;
        for (const auto& root : doc_.nodes) {
            if (state[root->index] != kNew) continue;
            state[root->index] = kOpen;
            stack.emplace_back(root.get(), 0);
            while (!stack.empty()) {
                const Node* n = stack.back().first;
                const size_t i = stack.back().second;
                if (i == n->children.size()) {
                    state[n->index] = kDone;
                    stack.pop_back();
                    continue;
                }
                ++stack.back().second;
                const Node* c = n->children[i].node;
                if (state[c->index] == kOpen) fail(D3DXFERR_BADDATAREFERENCE);
                if (state[c->index] == kNew) {
                    state[c->index] = kOpen;
                    stack.emplace_back(c, 0);
                }
            }
        }
    }

    Lexer& lex_;
    TemplateSet& templates_;
    Document& doc_;
    std::vector<PendingRef> refs_;
    std::unordered_map<std::string, uint32_t> memberIndex_;  // of the template being read
};

enum class Format { Text, Binary };

}  // namespace

std::shared_ptr<Document> parseFile(const uint8_t* data, size_t size, TemplateSet& templates) {
    if (!data || size < 4 || std::memcmp(data, "xof ", 4) != 0) fail(D3DXFERR_BADFILETYPE);
    if (size < 16) fail(D3DXFERR_BADFILE);
    if (std::memcmp(data + 4, "0302", 4) != 0 && std::memcmp(data + 4, "0303", 4) != 0)
        fail(D3DXFERR_BADFILEVERSION);

    Format format;
    bool compressed = false;
    if (std::memcmp(data + 8, "txt ", 4) == 0) {
        format = Format::Text;
    } else if (std::memcmp(data + 8, "bin ", 4) == 0) {
        format = Format::Binary;
    } else if (std::memcmp(data + 8, "tzip", 4) == 0) {
        format = Format::Text;
        compressed = true;
    } else if (std::memcmp(data + 8, "bzip", 4) == 0) {
        format = Format::Binary;
        compressed = true;
    } else {
        fail(D3DXFERR_BADFILETYPE);
    }

    unsigned floatBytes;
    if (std::memcmp(data + 12, "0032", 4) == 0)
        floatBytes = 4;
    else if (std::memcmp(data + 12, "0064", 4) == 0)
        floatBytes = 8;
    else
        fail(D3DXFERR_BADFILEFLOATSIZE);

    const uint8_t* body = data + 16;
    size_t bodySize = size - 16;
    std::vector<uint8_t> inflated;
    if (compressed) {
        inflated = inflateMszip(body, bodySize);
        body = inflated.data();
        bodySize = inflated.size();
    }

    auto doc = std::make_shared<Document>();
    if (format == Format::Text) {
        TextLexer lex(body, bodySize);
        Parser<TextLexer>(lex, templates, *doc).run();
    } else {
        BinaryLexer lex(body, bodySize, floatBytes);
        Parser<BinaryLexer>(lex, templates, *doc).run();
    }
    return doc;
}

}  // namespace xfile
