// D3DXAssembleShader: vs_1_1 and vs_2_0 assembly into the shader token stream.
#include <d3dx9shader.h>

#include "common/paths.h"
#include "common/vs_tokens.h"
#include "d3dx9/buffer.h"
#include "d3dx9/xfile/xfileio.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace platform::vs;

// A source error: the message is complete, location included.
struct AsmError {
    std::string message;
};

[[noreturn]] void FailAt(const std::string& file, int line, const std::string& what) {
    throw AsmError{file + "(" + std::to_string(line) + "): error: " + what};
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\f\v");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\f\v") - b + 1);
}

bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// ---------------------------------------------------------------------------------------------
// Preprocessing: comments, object-like macros, #ifdef/#ifndef/#else/#endif and #include.

// Macros expanding into macros nest at most this deep.
constexpr size_t kMaxMacroDepth = 64;

struct Line {
    std::string text;
    size_t file;  // index into the file names
    int number;
};

struct Source {
    std::string name;  // as errors name it
    std::string path;  // the Windows path of a file read by the default handler, else empty
    LPCVOID data;      // what ID3DXInclude::Open returned, else null
};

class Preprocessor {
public:
    Preprocessor(const D3DXMACRO* defines, ID3DXInclude* include, bool filesByDefault)
        : include_(include), filesByDefault_(filesByDefault) {
        for (; defines && defines->Name; ++defines)
            macros_[defines->Name] = defines->Definition ? defines->Definition : "";
    }

    void Run(const Source& source, const std::string& text, int depth = 0);
    std::vector<Line> lines;
    std::vector<std::string> files;

private:
    [[noreturn]] void Fail(int line, const std::string& what) const { FailAt(files[current_], line, what); }
    std::string Expand(const std::string& text, std::set<std::string>& active, int line) const;
    void Directive(const Source& source, const std::string& text, int line, int depth,
                   std::vector<std::pair<bool, bool>>& conditions);
    void Include(const Source& parent, const std::string& argument, int line, int depth);

    ID3DXInclude* include_;
    bool filesByDefault_;
    std::map<std::string, std::string> macros_;
    size_t current_ = 0;
};

// Blanks out `;`, `//` and `/* */` comments, keeping the line breaks.
std::string StripComments(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ';' || text.compare(i, 2, "//") == 0) {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            end = end == std::string::npos ? text.size() : end + 2;
            for (; i < end; ++i)
                if (text[i] == '\n') out += '\n';
            out += ' ';
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string Preprocessor::Expand(const std::string& text, std::set<std::string>& active, int line) const {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
            // A number such as 1.5e-3f is one token.
            size_t j = i + 1;
            while (j < text.size() && (IdentChar(text[j]) || text[j] == '.' ||
                                       ((text[j] == '+' || text[j] == '-') && (text[j - 1] == 'e' || text[j - 1] == 'E'))))
                ++j;
            out.append(text, i, j - i);
            i = j;
        } else if (IdentStart(c)) {
            size_t j = i;
            while (j < text.size() && IdentChar(text[j])) ++j;
            std::string name = text.substr(i, j - i);
            auto m = macros_.find(name);
            if (m != macros_.end() && !active.count(name)) {
                if (active.size() >= kMaxMacroDepth) Fail(line, "macro expansion nested too deeply at '" + name + "'");
                active.insert(name);
                out += Expand(m->second, active, line);
                active.erase(name);
                if (out.size() > 65536) Fail(line, "macro expansion too long");
            } else {
                out += name;
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

void Preprocessor::Run(const Source& source, const std::string& text, int depth) {
    size_t file = files.size();
    files.push_back(source.name);
    std::string stripped = StripComments(text.substr(0, text.find('\0')));  // a terminating NUL may be counted
    std::vector<std::pair<bool, bool>> conditions;  // (taken, in the else part)
    int number = 0;
    for (size_t pos = 0; pos <= stripped.size();) {
        size_t end = stripped.find('\n', pos);
        if (end == std::string::npos) end = stripped.size();
        std::string raw = Trim(stripped.substr(pos, end - pos));
        pos = end + 1;
        ++number;
        current_ = file;
        if (!raw.empty() && raw[0] == '#') {
            Directive(source, raw.substr(1), number, depth, conditions);
            continue;
        }
        bool active = std::all_of(conditions.begin(), conditions.end(), [](auto& c) { return c.first; });
        if (!active || raw.empty()) continue;
        std::set<std::string> expanding;
        lines.push_back(Line{Expand(raw, expanding, number), file, number});
    }
    current_ = file;
    if (!conditions.empty()) Fail(number, "#if without #endif");
}

void Preprocessor::Directive(const Source& source, const std::string& text, int line, int depth,
                             std::vector<std::pair<bool, bool>>& conditions) {
    std::string body = Trim(text);
    size_t n = 0;
    while (n < body.size() && IdentChar(body[n])) ++n;
    std::string name = body.substr(0, n), rest = Trim(body.substr(n));
    bool active = std::all_of(conditions.begin(), conditions.end(), [](auto& c) { return c.first; });
    auto identifier = [&]() {
        size_t k = 0;
        while (k < rest.size() && IdentChar(rest[k])) ++k;
        if (k == 0 || !IdentStart(rest[0])) Fail(line, "#" + name + " needs a macro name");
        return rest.substr(0, k);
    };
    if (name == "ifdef" || name == "ifndef") {
        bool defined = macros_.count(identifier()) != 0;
        conditions.push_back({defined == (name == "ifdef"), false});
    } else if (name == "else") {
        if (conditions.empty() || conditions.back().second) Fail(line, "#else without #if");
        conditions.back() = {!conditions.back().first, true};
    } else if (name == "endif") {
        if (conditions.empty()) Fail(line, "#endif without #if");
        conditions.pop_back();
    } else if (!active) {
        // Other directives in a skipped part are not looked at.
    } else if (name == "define") {
        std::string macro = identifier();
        std::string value = Trim(rest.substr(macro.size()));
        if (rest.size() > macro.size() && rest[macro.size()] == '(')
            Fail(line, "macros with arguments are not supported");
        macros_[macro] = value;
    } else if (name == "undef") {
        macros_.erase(identifier());
    } else if (name == "include") {
        Include(source, rest, line, depth);
    } else {
        Fail(line, "unsupported directive '#" + name + "'");
    }
}

void Preprocessor::Include(const Source& parent, const std::string& argument, int line, int depth) {
    if (argument.size() < 2 || !((argument.front() == '"' && argument.back() == '"') ||
                                 (argument.front() == '<' && argument.back() == '>')))
        Fail(line, "#include needs \"file\" or <file>");
    if (depth >= 32) Fail(line, "#include nested too deeply");
    std::string name = argument.substr(1, argument.size() - 2);
    D3DXINCLUDE_TYPE type = argument.front() == '"' ? D3DXINC_LOCAL : D3DXINC_SYSTEM;
    if (include_) {
        LPCVOID data = nullptr;
        UINT bytes = 0;
        if (FAILED(include_->Open(type, name.c_str(), parent.data, &data, &bytes)) || (!data && bytes))
            Fail(line, "cannot open include file '" + name + "'");
        struct Closer {
            ID3DXInclude* handler;
            LPCVOID data;
            ~Closer() { handler->Close(data); }
        } closer{include_, data};
        Run(Source{name, {}, data}, data ? std::string(static_cast<const char*>(data), bytes) : std::string(),
            depth + 1);
        return;
    }
    if (!filesByDefault_) Fail(line, "#include needs an include handler when assembling from memory");
    // Relative names are looked up in the folder of the including file.
    std::string path = name;
    bool absolute = !name.empty() && (name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos);
    size_t slash = parent.path.find_last_of("\\/");
    if (!absolute && slash != std::string::npos) path = parent.path.substr(0, slash + 1) + name;
    xfile::FileBytes contents;
    if (!xfile::readWholeFile(platform::MapPath(path.c_str()), contents))
        Fail(line, "cannot open include file '" + name + "'");
    Run(Source{name, path, nullptr}, std::string(reinterpret_cast<const char*>(contents.data.get()), contents.size),
        depth + 1);
}

// ---------------------------------------------------------------------------------------------
// Assembly.

enum class Shape { kArith, kDef, kDefI, kDefB, kNone, kLabelArg, kCallNz, kLoopArgs, kRep, kIf };

struct OpInfo {
    Opcode opcode;
    int major;  // the first version that has it
    Shape shape;
};

// The mnemonics are the opcodes' names; dcl has a form of its own.
constexpr OpInfo kOps[] = {
    {kNop, 1, Shape::kNone},          {kMov, 1, Shape::kArith},       {kAdd, 1, Shape::kArith},
    {kSub, 1, Shape::kArith},         {kMad, 1, Shape::kArith},       {kMul, 1, Shape::kArith},
    {kRcp, 1, Shape::kArith},         {kRsq, 1, Shape::kArith},       {kDp3, 1, Shape::kArith},
    {kDp4, 1, Shape::kArith},         {kMin, 1, Shape::kArith},       {kMax, 1, Shape::kArith},
    {kSlt, 1, Shape::kArith},         {kSge, 1, Shape::kArith},       {kExp, 1, Shape::kArith},
    {kLog, 1, Shape::kArith},         {kLit, 1, Shape::kArith},       {kDst, 1, Shape::kArith},
    {kLrp, 2, Shape::kArith},         {kFrc, 1, Shape::kArith},       {kM4x4, 1, Shape::kArith},
    {kM4x3, 1, Shape::kArith},        {kM3x4, 1, Shape::kArith},      {kM3x3, 1, Shape::kArith},
    {kM3x2, 1, Shape::kArith},        {kCall, 2, Shape::kLabelArg},   {kCallNz, 2, Shape::kCallNz},
    {kLoopOp, 2, Shape::kLoopArgs},   {kRet, 2, Shape::kNone},        {kEndLoop, 2, Shape::kNone},
    {kLabelOp, 2, Shape::kLabelArg},  {kPow, 2, Shape::kArith},       {kCrs, 2, Shape::kArith},
    {kSgn, 2, Shape::kArith},         {kAbs, 2, Shape::kArith},       {kNrm, 2, Shape::kArith},
    {kSinCos, 2, Shape::kArith},      {kRep, 2, Shape::kRep},         {kEndRep, 2, Shape::kNone},
    {kIf, 2, Shape::kIf},             {kElse, 2, Shape::kNone},       {kEndIf, 2, Shape::kNone},
    {kMova, 2, Shape::kArith},        {kDefB, 2, Shape::kDefB},       {kDefI, 2, Shape::kDefI},
    {kExpp, 1, Shape::kArith},        {kLogp, 1, Shape::kArith},      {kDef, 1, Shape::kDef},
};

constexpr const char* kUsages[] = {"position", "blendweight", "blendindices", "normal", "psize",
                                   "texcoord", "tangent", "binormal", "tessfactor", "positiont",
                                   "color", "fog", "depth", "sample"};

// An operand as written, before it is checked against its place.
struct Operand {
    int type = -1;
    int number = 0;
    bool negate = false, logicalNot = false;
    bool relative = false;
    int relType = kAddr, relComponent = 0;
    std::string suffix;  // the letters after the dot
    bool hasSuffix = false;
    std::string text;
};

class Assembler {
public:
    explicit Assembler(const Preprocessor& pre) : pre_(pre) {}
    std::vector<DWORD> Run();

private:
    [[noreturn]] void Fail(const std::string& what) const { FailAt(pre_.files[line_->file], line_->number, what); }
    void Instruction(const std::string& mnemonic, const std::vector<std::string>& args);
    Operand Parse(const std::string& text) const;
    void Register(const std::string& name, Operand* op) const;
    DWORD Swizzle(const Operand& op) const;
    DWORD Mask(const Operand& op) const;
    void Source(const Operand& op, std::vector<DWORD>& out, bool allowModifiers = true) const;
    DWORD Destination(const Operand& op) const;
    DWORD Special(const std::string& text, int type, bool allowNot = false) const;
    float Float(const std::string& text) const;
    int Int(const std::string& text) const;

    const Preprocessor& pre_;
    const Line* line_ = nullptr;
    int major_ = 0;
    std::vector<DWORD> tokens_;
    std::vector<const Line*> items_;  // where the version and each instruction come from
};

void Assembler::Register(const std::string& name, Operand* op) const {
    std::string lower = Lower(name);
    static const std::map<std::string, std::pair<int, int>> kNamed = {
        {"opos", {kRastOut, 0}}, {"ofog", {kRastOut, 1}}, {"opts", {kRastOut, 2}}, {"al", {kLoop, 0}}};
    if (auto it = kNamed.find(lower); it != kNamed.end()) {
        if (it->second.first == kLoop && major_ < 2) Fail("bad register '" + name + "'");
        op->type = it->second.first;
        op->number = it->second.second;
        return;
    }
    size_t digits = lower.find_first_of("0123456789");
    if (digits == std::string::npos || digits == 0 ||
        lower.find_first_not_of("0123456789", digits) != std::string::npos || lower.size() - digits > 4)
        Fail("bad register '" + name + "'");
    struct Kind {
        const char* prefix;
        int type, count, major;
    };
    static const Kind kKinds[] = {{"r", kTemp, 12, 1},      {"v", kInput, 16, 1},       {"c", kConst, 256, 1},
                                  {"a", kAddr, 1, 1},       {"od", kAttrOut, 2, 1},     {"ot", kTexCrdOut, 8, 1},
                                  {"i", kConstInt, 16, 2},  {"b", kConstBool, 16, 2},   {"l", kLabel, 16, 2}};
    std::string prefix = lower.substr(0, digits);
    int number = std::stoi(lower.substr(digits));
    for (const Kind& k : kKinds) {
        if (prefix != k.prefix) continue;
        if (major_ < k.major) break;
        if (number >= k.count)
            Fail("register '" + name + "' is beyond the last one, " + name.substr(0, digits) +
                 std::to_string(k.count - 1));
        op->type = k.type;
        op->number = number;
        return;
    }
    Fail("bad register '" + name + "'");
}

Operand Assembler::Parse(const std::string& text) const {
    Operand op;
    op.text = text;
    std::string s = Trim(text);
    if (!s.empty() && s[0] == '-') {
        op.negate = true;
        s = Trim(s.substr(1));
    } else if (!s.empty() && s[0] == '!') {
        op.logicalNot = true;
        s = Trim(s.substr(1));
    }
    size_t n = 0;
    while (n < s.size() && IdentChar(s[n])) ++n;
    if (n == 0) Fail("bad operand '" + text + "'");
    std::string name = s.substr(0, n);
    s = Trim(s.substr(n));
    if (!s.empty() && s[0] == '[') {
        // c[a0.x + n], c[n + a0.x], c[aL + n] or c[a0.x]
        size_t close = s.find(']');
        if (Lower(name) != "c" || close == std::string::npos) Fail("bad relative address in '" + text + "'");
        std::string inside = s.substr(1, close - 1);
        s = Trim(s.substr(close + 1));
        op.type = kConst;
        op.relative = true;
        bool haveIndex = false, haveOffset = false;
        for (size_t start = 0; start <= inside.size();) {
            size_t plus = inside.find('+', start);
            if (plus == std::string::npos) plus = inside.size();
            std::string term = Lower(Trim(inside.substr(start, plus - start)));
            start = plus + 1;
            if (!term.empty() && std::isdigit(static_cast<unsigned char>(term[0])) && !haveOffset) {
                haveOffset = true;
                op.number = Int(term);
                if (op.number < 0 || op.number >= 256)
                    Fail("register 'c" + term + "' is beyond the last one, c255");
            } else if (term == "al" && major_ >= 2 && !haveIndex) {
                op.relType = kLoop;
                haveIndex = true;
            } else if (term.size() == 4 && term.compare(0, 3, "a0.") == 0 && !haveIndex &&
                       std::strchr(major_ >= 2 ? "xyzw" : "x", term[3])) {
                op.relComponent = int(std::strchr("xyzw", term[3]) - "xyzw");
                haveIndex = true;
            } else {
                Fail("bad relative address in '" + text + "'");
            }
        }
        if (!haveIndex) Fail("bad relative address in '" + text + "'");
    } else {
        Register(name, &op);
    }
    if (!s.empty()) {
        if (s[0] != '.') Fail("bad operand '" + text + "'");
        op.suffix = Lower(Trim(s.substr(1)));
        op.hasSuffix = true;
    }
    return op;
}

int ComponentIndex(char c) {
    const char* xyzw = std::strchr("xyzw", c);
    const char* rgba = std::strchr("rgba", c);
    if (c && xyzw) return int(xyzw - "xyzw");
    if (c && rgba) return int(rgba - "rgba");
    return -1;
}

DWORD Assembler::Swizzle(const Operand& op) const {
    if (!op.hasSuffix) return 0xE4;
    if (op.suffix.empty() || op.suffix.size() > 4) Fail("bad swizzle in '" + op.text + "'");
    DWORD swizzle = 0;
    for (size_t c = 0; c < 4; ++c) {
        int index = ComponentIndex(op.suffix[std::min(c, op.suffix.size() - 1)]);
        if (index < 0) Fail("bad swizzle in '" + op.text + "'");
        swizzle |= DWORD(index) << (2 * c);
    }
    return swizzle;
}

DWORD Assembler::Mask(const Operand& op) const {
    if (!op.hasSuffix) return 0xF;
    DWORD mask = 0;
    int last = -1;
    for (char c : op.suffix) {
        int index = ComponentIndex(c);
        if (index <= last) Fail("bad write mask in '" + op.text + "'");
        mask |= 1u << index;
        last = index;
    }
    if (!mask) Fail("bad write mask in '" + op.text + "'");
    return mask;
}

void Assembler::Source(const Operand& op, std::vector<DWORD>& out, bool allowModifiers) const {
    if (op.type != kTemp && op.type != kInput && op.type != kConst)
        Fail("'" + Trim(op.text) + "' cannot be a source");
    if (op.logicalNot || (!allowModifiers && (op.negate || op.hasSuffix)))
        Fail("no modifier or swizzle is allowed on '" + Trim(op.text) + "'");
    DWORD token = RegisterToken(op.type, op.number) | (Swizzle(op) << 16) | (op.negate ? 1u << 24 : 0);
    if (op.relative) token |= 1u << 13;
    out.push_back(token);
    if (op.relative && major_ >= 2)
        out.push_back(RegisterToken(op.relType, 0) | (DWORD(op.relComponent) * 0x55u << 16));
}

DWORD Assembler::Destination(const Operand& op) const {
    if (op.negate || op.logicalNot || op.relative) Fail("bad destination '" + Trim(op.text) + "'");
    DWORD mask = Mask(op);
    if (op.type == kRastOut && op.number > 0) {  // oFog and oPts are scalars
        if (!op.hasSuffix) mask = 1;
        if (mask != 1) Fail("'" + Trim(op.text) + "' takes the x component only");
    }
    return RegisterToken(op.type, op.number) | (mask << 16);
}

// A flow-control operand: a register of the given kind, with no modifier or swizzle.
DWORD Assembler::Special(const std::string& text, int type, bool allowNot) const {
    Operand op = Parse(text);
    if (op.type != type || op.relative || op.negate || op.hasSuffix || (op.logicalNot && !allowNot))
        Fail("bad operand '" + Trim(text) + "'");
    return RegisterToken(type, op.number) | (0xE4u << 16) | (op.logicalNot ? 0xDu << 24 : 0);
}

float Assembler::Float(const std::string& text) const {
    std::string s = Trim(text);
    if (!s.empty() && (s.back() == 'f' || s.back() == 'F')) s.pop_back();
    const char* begin = s.c_str();
    if (*begin == '+') ++begin;
    float value = 0;
    auto [end, ec] = std::from_chars(begin, s.c_str() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.c_str() + s.size()) Fail("bad number '" + Trim(text) + "'");
    return value;
}

int Assembler::Int(const std::string& text) const {
    std::string s = Trim(text);
    int value = 0;
    auto [end, ec] = std::from_chars(s.c_str(), s.c_str() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.c_str() + s.size()) Fail("bad integer '" + Trim(text) + "'");
    return value;
}

void Assembler::Instruction(const std::string& mnemonic, const std::vector<std::string>& args) {
    std::string name = Lower(mnemonic);
    std::vector<DWORD> operands;
    DWORD opcode;
    auto expect = [&](size_t n) {
        if (args.size() != n)
            Fail("'" + mnemonic + "' takes " + std::to_string(n) + " operand" + (n == 1 ? "" : "s"));
    };
    if (name.compare(0, 4, "dcl_") == 0) {
        // dcl_usage[index] v#
        std::string usage = name.substr(4);
        size_t digits = usage.find_first_of("0123456789");
        int index = digits == std::string::npos ? 0 : Int(usage.substr(digits));
        usage = usage.substr(0, digits);
        auto it = std::find_if(std::begin(kUsages), std::end(kUsages), [&](const char* u) { return usage == u; });
        if (it == std::end(kUsages) || index > 15) Fail("unknown usage '" + mnemonic + "'");
        expect(1);
        Operand reg = Parse(args[0]);
        if (reg.type != kInput || reg.hasSuffix || reg.negate || reg.logicalNot)
            Fail("declarations take an input register v#");
        opcode = kDcl;
        operands = {0x80000000u | DWORD(it - std::begin(kUsages)) | (DWORD(index) << 16), Destination(reg)};
    } else {
        auto op = std::find_if(std::begin(kOps), std::end(kOps), [&](const OpInfo& o) { return name == OpcodeName(o.opcode); });
        std::string version = major_ == 1 ? "vs_1_1" : "vs_2_0";
        if (op == std::end(kOps)) {
            std::string base = name.substr(0, name.find('_'));
            if (std::any_of(std::begin(kOps), std::end(kOps), [&](const OpInfo& o) { return base == OpcodeName(o.opcode); }))
                Fail("instruction modifier '" + mnemonic.substr(base.size()) + "' is not available in " + version);
            Fail("unknown instruction '" + mnemonic + "'");
        }
        if (op->major > major_) Fail("'" + mnemonic + "' is not available in " + version);
        opcode = op->opcode;
        switch (op->shape) {
        case Shape::kNone: expect(0); break;
        case Shape::kLabelArg: expect(1); operands = {Special(args[0], kLabel)}; break;
        case Shape::kCallNz:
            expect(2);
            operands = {Special(args[0], kLabel), Special(args[1], kConstBool, true)};
            break;
        case Shape::kLoopArgs: expect(2); operands = {Special(args[0], kLoop), Special(args[1], kConstInt)}; break;
        case Shape::kRep: expect(1); operands = {Special(args[0], kConstInt)}; break;
        case Shape::kIf: expect(1); operands = {Special(args[0], kConstBool)}; break;
        case Shape::kDef:
        case Shape::kDefI:
        case Shape::kDefB: {
            int type = op->shape == Shape::kDef ? kConst : op->shape == Shape::kDefI ? kConstInt : kConstBool;
            expect(op->shape == Shape::kDefB ? 2 : 5);
            Operand reg = Parse(args[0]);
            if (reg.type != type || reg.relative || reg.hasSuffix || reg.negate || reg.logicalNot)
                Fail("'" + mnemonic + "' cannot define '" + Trim(args[0]) + "'");
            operands.push_back(Destination(reg));
            for (size_t k = 1; k < args.size(); ++k) {
                if (op->shape == Shape::kDef) {
                    float f = Float(args[k]);
                    DWORD bits;
                    std::memcpy(&bits, &f, sizeof bits);
                    operands.push_back(bits);
                } else if (op->shape == Shape::kDefI) {
                    operands.push_back(DWORD(Int(args[k])));
                } else {
                    std::string b = Lower(Trim(args[k]));
                    if (b != "true" && b != "false") Fail("bad boolean '" + Trim(args[k]) + "'");
                    operands.push_back(b == "true" ? 1 : 0);
                }
            }
            break;
        }
        case Shape::kArith: {
            int sources = SourceCount(op->opcode);
            expect(size_t(sources) + 1);
            Operand dest = Parse(args[0]);
            bool address = dest.type == kAddr;
            bool writesAddress = major_ >= 2 ? name == "mova" : name == "mov";
            if (address ? !writesAddress : name == "mova")
                Fail("bad destination '" + Trim(args[0]) + "' for '" + mnemonic + "'");
            if (address && major_ < 2 && dest.hasSuffix && dest.suffix != "x")
                Fail("a0 takes the x component only in vs_1_1");
            if (dest.type == kInput || dest.type == kConst || dest.type > kTexCrdOut)
                Fail("'" + Trim(args[0]) + "' cannot be written");
            DWORD token = Destination(dest);
            if (address && major_ < 2) token = (token & ~0xF0000u) | 0x10000u;
            operands.push_back(token);
            for (int k = 0; k < sources; ++k)
                Source(Parse(args[size_t(k) + 1]), operands, !(MatrixRows(op->opcode) && k == 1));
            break;
        }
        }
    }
    items_.push_back(line_);
    DWORD length = major_ >= 2 ? DWORD(operands.size()) << 24 : 0;
    tokens_.push_back(opcode | length);
    tokens_.insert(tokens_.end(), operands.begin(), operands.end());
}

std::vector<DWORD> Assembler::Run() {
    for (const Line& line : pre_.lines) {
        line_ = &line;
        size_t n = 0;
        while (n < line.text.size() && (IdentChar(line.text[n]) || line.text[n] == '.')) ++n;
        std::string mnemonic = line.text.substr(0, n);
        std::string rest = Trim(line.text.substr(n));
        if (mnemonic.empty()) Fail("syntax error");
        if (major_ == 0) {
            std::string v = Lower(mnemonic);
            if (v == "vs_1_1" || v == "vs.1.1") major_ = 1;
            else if (v == "vs_2_0" || v == "vs.2.0") major_ = 2;
            else if (v.compare(0, 3, "vs_") == 0 || v.compare(0, 3, "ps_") == 0) Fail("unsupported version '" + mnemonic + "'");
            else Fail("the shader must start with a version, vs_1_1 or vs_2_0");
            if (!rest.empty()) Fail("syntax error after '" + mnemonic + "'");
            tokens_.push_back(major_ == 1 ? 0xFFFE0101u : 0xFFFE0200u);
            items_.push_back(line_);
            continue;
        }
        std::vector<std::string> args;
        for (size_t start = 0; !rest.empty() && start <= rest.size();) {
            size_t comma = rest.find(',', start);
            if (comma == std::string::npos) comma = rest.size();
            args.push_back(Trim(rest.substr(start, comma - start)));
            if (args.back().empty()) Fail("missing operand");
            start = comma + 1;
        }
        Instruction(mnemonic, args);
    }
    if (major_ == 0) throw AsmError{pre_.files[0] + ": error: the shader has no version, vs_1_1 or vs_2_0"};
    tokens_.push_back(kEndToken);
    // The checks CreateVertexShader makes, at the line of the instruction they name.
    if (auto refusal = Check(tokens_.data())) {
        line_ = items_[std::min(refusal->item, items_.size() - 1)];
        Fail(refusal->message);
    }
    return tokens_;
}

HRESULT Assemble(const Source& source, const std::string& text, const D3DXMACRO* defines, ID3DXInclude* include,
                 bool filesByDefault, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs) {
    std::string message;
    try {
        Preprocessor pre(defines, include, filesByDefault);
        pre.Run(source, text);
        std::vector<DWORD> tokens = Assembler(pre).Run();
        return platform::d3dx::CopyToBuffer(tokens.data(), tokens.size() * sizeof(DWORD), ppShader);
    } catch (const AsmError& e) {
        message = e.message + "\n";
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (ppErrorMsgs) platform::d3dx::CopyToBuffer(message.c_str(), message.size() + 1, ppErrorMsgs);
    return D3DXERR_INVALIDDATA;
}

}  // namespace

HRESULT WINAPI D3DXAssembleShader(LPCSTR pSrcData, UINT SrcDataLen, CONST D3DXMACRO* pDefines,
                                  LPD3DXINCLUDE pInclude, DWORD, LPD3DXBUFFER* ppShader,
                                  LPD3DXBUFFER* ppErrorMsgs) {
    if (ppErrorMsgs) *ppErrorMsgs = nullptr;
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (!pSrcData) return D3DERR_INVALIDCALL;
    return Assemble(Source{"memory", {}, nullptr}, std::string(pSrcData, SrcDataLen), pDefines, pInclude, false,
                    ppShader, ppErrorMsgs);
}

HRESULT WINAPI D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, CONST D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                           DWORD, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs) {
    if (ppErrorMsgs) *ppErrorMsgs = nullptr;
    if (!ppShader) return D3DERR_INVALIDCALL;
    *ppShader = nullptr;
    if (!pSrcFile) return D3DERR_INVALIDCALL;
    xfile::FileBytes contents;
    if (!xfile::readWholeFile(platform::MapPath(pSrcFile), contents)) {
        if (ppErrorMsgs) {
            std::string message = std::string(pSrcFile) + ": error: cannot open the file\n";
            platform::d3dx::CopyToBuffer(message.c_str(), message.size() + 1, ppErrorMsgs);
        }
        return D3DXERR_INVALIDDATA;
    }
    return Assemble(Source{pSrcFile, pSrcFile, nullptr},
                    std::string(reinterpret_cast<const char*>(contents.data.get()), contents.size), pDefines,
                    pInclude, true, ppShader, ppErrorMsgs);
}
