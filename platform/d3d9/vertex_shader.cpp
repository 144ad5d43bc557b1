#include "d3d9/vertex_shader.h"

#include "d3d9/device.h"
#include "d3d9/ffp.h"
#include "d3d9/renderer.h"
#include "d3d9/vertex_input.h"

#include <array>
#include <atomic>
#include <cstring>
#include <sstream>

namespace platform::d3d9 {
namespace {

// Token layout of shader byte code.
constexpr DWORD kEnd = 0x0000FFFF;
constexpr DWORD kCommentOpcode = 0xFFFE;
constexpr size_t kMaxTokens = 65536;

enum RegType {
    kTemp = 0, kInput = 1, kConst = 2, kAddr = 3, kRastOut = 4, kAttrOut = 5, kTexCrdOut = 6,
    kConstInt = 7, kConstBool = 14, kLoop = 15, kLabel = 18,
};

enum Opcode {
    kNop = 0, kMov = 1, kAdd = 2, kSub = 3, kMad = 4, kMul = 5, kRcp = 6, kRsq = 7, kDp3 = 8, kDp4 = 9,
    kMin = 10, kMax = 11, kSlt = 12, kSge = 13, kExp = 14, kLog = 15, kLit = 16, kDst = 17, kLrp = 18,
    kFrc = 19, kM4x4 = 20, kM4x3 = 21, kM3x4 = 22, kM3x3 = 23, kM3x2 = 24, kCall = 25, kCallNz = 26,
    kLoopOp = 27, kRet = 28, kEndLoop = 29, kLabelOp = 30, kDcl = 31, kPow = 32, kCrs = 33, kSgn = 34,
    kAbs = 35, kNrm = 36, kSinCos = 37, kRep = 38, kEndRep = 39, kIf = 40, kElse = 42, kEndIf = 43,
    kMova = 46, kDefB = 47, kDefI = 48, kExpp = 78, kLogp = 79, kDef = 81,
};

// Tokens after the instruction token, for vs_1_x whose instructions carry no length.
int OperandCount(DWORD op) {
    switch (op) {
    case kNop: case kRet: case kEndLoop: case kEndRep: case kElse: case kEndIf: return 0;
    case kCall: case kLabelOp: case kRep: case kIf: return 1;
    case kMov: case kRcp: case kRsq: case kExp: case kLog: case kLit: case kFrc: case kAbs: case kNrm:
    case kMova: case kExpp: case kLogp: case kCallNz: case kLoopOp: case kDcl: case kDefB: return 2;
    case kAdd: case kSub: case kMul: case kDp3: case kDp4: case kMin: case kMax: case kSlt: case kSge:
    case kDst: case kM4x4: case kM4x3: case kM3x4: case kM3x3: case kM3x2: case kPow: case kCrs: return 3;
    case kMad: case kLrp: case kSgn: case kSinCos: return 4;
    case kDefI: case kDef: return 5;
    default: return -1;
    }
}

int RegisterType(DWORD t) { return int(((t >> 28) & 7) | ((t >> 8) & 0x18)); }
int RegisterNumber(DWORD t) { return int(t & 0x7FF); }
bool Relative(DWORD t) { return (t & (1u << 13)) != 0; }

class Translator {
public:
    explicit Translator(const DWORD* tokens) : tokens_(tokens) {}

    bool Run();
    std::string Source(bool flat) const;
    std::vector<std::pair<DWORD, int>> inputs;  // (usage | index << 8, register)
    std::vector<std::pair<int, std::array<float, 4>>> definitions;

private:
    DWORD Token() { return pos_ < kMaxTokens ? tokens_[pos_++] : kEnd; }
    bool Instruction(DWORD op, const std::vector<DWORD>& operands);
    // Reads the source operand at ops[i] (and its relative-address token), advancing i.
    bool Operand(const std::vector<DWORD>& ops, size_t& i, std::string* out);
    bool Register(DWORD token, DWORD relToken, bool hasRelToken, std::string* out);
    bool Dest(DWORD token, std::string* name, std::string* mask, bool* saturate, int* type);
    void Assign(const std::string& dest, const std::string& mask, int type, bool saturate, const std::string& value);
    std::string MatrixRow(DWORD token, DWORD rel, bool hasRel, int row);

    const DWORD* tokens_;
    size_t pos_ = 0;
    int major_ = 1;
    std::ostringstream body_;
    std::ostringstream functions_;
    std::ostringstream* out_ = &body_;
    int indent_ = 1;
    int loopDepth_ = 0;
    int loopCounter_ = 0;
    bool inLabel_ = false;
    std::vector<int> labels_;
    DWORD declared_ = 0;                 // v# registers with a dcl
    DWORD defined_ = 0, called_ = 0;     // label numbers
    std::vector<DWORD> blocks_;          // the open if (or else), loop and rep
    int ints_[16][4] = {};
    bool bools_[16] = {};
};

bool Translator::Register(DWORD token, DWORD relToken, bool hasRelToken, std::string* out) {
    int type = RegisterType(token), n = RegisterNumber(token);
    switch (type) {
    case kTemp:
        if (n >= 12) return false;
        *out = "r" + std::to_string(n);
        return true;
    case kInput:
        if (n >= 16 || !(declared_ & (1u << n))) return false;  // read without a dcl
        *out = "v" + std::to_string(n);
        return true;
    case kConst:
        if (n >= 256) return false;
        if (Relative(token)) {
            std::string index = "a0.x";
            if (hasRelToken) {
                int relType = RegisterType(relToken);
                int comp = int((relToken >> 16) & 3);
                if (relType == kLoop) index = "aL";
                else if (relType == kAddr) index = std::string("a0.") + "xyzw"[comp];
                else return false;
            }
            *out = "C(" + index + " + " + std::to_string(n) + ")";
        } else {
            *out = "c[" + std::to_string(n) + "]";
        }
        return true;
    case kAddr:
        if (n != 0) return false;
        *out = "vec4(a0)";
        return true;
    case kLoop:
        *out = "vec4(float(aL))";
        return true;
    default: return false;
    }
}

bool Translator::Operand(const std::vector<DWORD>& ops, size_t& i, std::string* out) {
    if (i >= ops.size()) return false;
    DWORD t = ops[i++];
    DWORD rel = 0;
    bool hasRel = false;
    if (Relative(t) && major_ >= 2) {
        if (i >= ops.size()) return false;
        rel = ops[i++];
        hasRel = true;
    }
    std::string reg;
    if (!Register(t, rel, hasRel, &reg)) return false;
    DWORD swizzle = (t >> 16) & 0xFF;
    if (swizzle != 0xE4) {
        reg += ".";
        for (int c = 0; c < 4; ++c) reg += "xyzw"[(swizzle >> (2 * c)) & 3];
    }
    switch ((t >> 24) & 0xF) {
    case 0: break;
    case 1: reg = "(-" + reg + ")"; break;
    case 0xB: reg = "abs(" + reg + ")"; break;
    case 0xC: reg = "(-abs(" + reg + "))"; break;
    default: return false;
    }
    *out = reg;
    return true;
}

bool Translator::Dest(DWORD t, std::string* name, std::string* mask, bool* saturate, int* type) {
    int n = RegisterNumber(t);
    *type = RegisterType(t);
    switch (*type) {
    case kTemp:
        if (n >= 12) return false;
        *name = "r" + std::to_string(n);
        break;
    case kAddr:
        if (n != 0) return false;
        *name = "a0";
        break;
    case kRastOut:
        if (n == 0) *name = "oPos";
        else if (n == 1) *name = "oFog";
        else if (n == 2) *name = "oPts";
        else return false;
        break;
    case kAttrOut:
        if (n >= 2) return false;
        *name = "oD" + std::to_string(n);
        break;
    case kTexCrdOut:
        if (n >= 8) return false;
        *name = "oT" + std::to_string(n);
        break;
    default: return false;
    }
    if (Relative(t)) return false;
    DWORD m = (t >> 16) & 0xF;
    mask->clear();
    if (m != 0xF) {
        *mask = ".";
        for (int c = 0; c < 4; ++c)
            if (m & (1u << c)) *mask += "xyzw"[c];
    }
    *saturate = ((t >> 20) & 1) != 0;
    return true;
}

void Translator::Assign(const std::string& dest, const std::string& mask, int type, bool saturate,
                        const std::string& value) {
    std::string v = saturate ? "clamp(" + value + ", 0.0, 1.0)" : "(" + value + ")";
    std::string pad(size_t(indent_) * 4, ' ');
    if (type == kAddr) {
        // The address register takes the value rounded to the nearest integer.
        *out_ << pad << "a0" << mask << " = ivec4(floor(" << v << " + 0.5))" << (mask.empty() ? "" : mask) << ";\n";
        return;
    }
    if (dest == "oFog" || dest == "oPts") {
        *out_ << pad << dest << " = " << v << ".x;\n";
        return;
    }
    *out_ << pad << dest << mask << " = " << v << (mask.empty() ? "" : mask) << ";\n";
}

std::string Translator::MatrixRow(DWORD t, DWORD rel, bool hasRel, int row) {
    DWORD shifted = (t & ~0x7FFu) | DWORD(RegisterNumber(t) + row);
    std::string reg;
    if (!Register(shifted, rel, hasRel, &reg)) return std::string();
    return reg;
}

bool Translator::Instruction(DWORD op, const std::vector<DWORD>& ops) {
    std::string pad(size_t(indent_) * 4, ' ');
    switch (op) {
    case kNop: return true;
    case kDcl: {
        if (ops.size() != 2) return false;
        DWORD usage = ops[0] & 0x1F, index = (ops[0] >> 16) & 0xF;
        if (RegisterType(ops[1]) != kInput || RegisterNumber(ops[1]) >= 16) return false;
        inputs.push_back({usage | (index << 8), RegisterNumber(ops[1])});
        declared_ |= 1u << RegisterNumber(ops[1]);
        return true;
    }
    case kDef: {
        if (ops.size() != 5 || RegisterType(ops[0]) != kConst || RegisterNumber(ops[0]) >= 256) return false;
        std::array<float, 4> v;
        std::memcpy(v.data(), &ops[1], sizeof v);
        definitions.push_back({RegisterNumber(ops[0]), v});
        return true;
    }
    case kDefI: {
        if (ops.size() != 5 || RegisterType(ops[0]) != kConstInt || RegisterNumber(ops[0]) >= 16) return false;
        for (int c = 0; c < 4; ++c) ints_[RegisterNumber(ops[0])][c] = int(ops[1 + c]);
        return true;
    }
    case kDefB: {
        if (ops.size() != 2 || RegisterType(ops[0]) != kConstBool || RegisterNumber(ops[0]) >= 16) return false;
        bools_[RegisterNumber(ops[0])] = ops[1] != 0;
        return true;
    }
    case kRet:
        if (inLabel_) {
            *out_ << "}\n";
            out_ = &body_;
            inLabel_ = false;
        } else {
            *out_ << pad << "return;\n";
        }
        return true;
    case kLabelOp: {
        if (ops.size() != 1 || RegisterType(ops[0]) != kLabel || RegisterNumber(ops[0]) >= 16 || inLabel_)
            return false;
        int l = RegisterNumber(ops[0]);
        if ((defined_ & (1u << l)) || !blocks_.empty()) return false;
        defined_ |= 1u << l;
        labels_.push_back(l);
        out_ = &functions_;
        inLabel_ = true;
        indent_ = 1;
        *out_ << "void label" << l << "() {\n";
        return true;
    }
    case kCall:
        if (ops.size() != 1 || RegisterType(ops[0]) != kLabel || RegisterNumber(ops[0]) >= 16) return false;
        called_ |= 1u << RegisterNumber(ops[0]);
        *out_ << pad << "label" << RegisterNumber(ops[0]) << "();\n";
        return true;
    case kCallNz: {
        if (ops.size() != 2 || RegisterType(ops[0]) != kLabel || RegisterNumber(ops[0]) >= 16 ||
            RegisterType(ops[1]) != kConstBool)
            return false;
        called_ |= 1u << RegisterNumber(ops[0]);
        bool value = bools_[RegisterNumber(ops[1]) & 15];
        if (((ops[1] >> 24) & 0xF) == 0xD) value = !value;  // the "not" modifier
        if (value) *out_ << pad << "label" << RegisterNumber(ops[0]) << "();\n";
        return true;
    }
    case kIf: {
        if (ops.size() != 1 || RegisterType(ops[0]) != kConstBool || RegisterNumber(ops[0]) >= 16) return false;
        *out_ << pad << "if (" << (bools_[RegisterNumber(ops[0])] ? "true" : "false") << ") {\n";
        ++indent_;
        blocks_.push_back(kIf);
        return true;
    }
    case kElse:
        if (blocks_.empty() || blocks_.back() != kIf) return false;
        blocks_.back() = kElse;
        *out_ << std::string(size_t(indent_ - 1) * 4, ' ') << "} else {\n";
        return true;
    case kEndIf:
    case kEndLoop:
    case kEndRep: {
        DWORD opener = op == kEndLoop ? kLoopOp : op == kEndRep ? kRep : kIf;
        if (blocks_.empty() || !(blocks_.back() == opener || (op == kEndIf && blocks_.back() == kElse))) return false;
        blocks_.pop_back();
        --indent_;
        if (op != kEndIf) --loopDepth_;
        *out_ << std::string(size_t(indent_) * 4, ' ') << "}\n";
        return true;
    }
    case kLoopOp:
    case kRep: {
        size_t i = op == kLoopOp ? 1 : 0;
        if (ops.size() != i + 1 || RegisterType(ops[i]) != kConstInt || RegisterNumber(ops[i]) >= 16) return false;
        if (loopDepth_ >= 1) return false;  // vs_2_0 nests one loop
        const int* v = ints_[RegisterNumber(ops[i])];
        int n = loopCounter_++;
        std::string count = "n" + std::to_string(n);
        if (op == kLoopOp)
            *out_ << pad << "aL = " << v[1] << ";\n"
                  << pad << "for (int " << count << " = 0; " << count << " < " << v[0] << "; ++" << count
                  << ", aL += " << v[2] << ") {\n";
        else
            *out_ << pad << "for (int " << count << " = 0; " << count << " < " << v[0] << "; ++" << count << ") {\n";
        ++indent_;
        ++loopDepth_;
        blocks_.push_back(op);
        return true;
    }
    default: break;
    }

    // Arithmetic: a destination, then sources.
    if (ops.empty()) return false;
    std::string dest, mask;
    bool sat = false;
    int type = 0;
    if (!Dest(ops[0], &dest, &mask, &sat, &type)) return false;
    size_t i = 1;
    std::string s[3];
    auto sources = [&](int n) {
        for (int k = 0; k < n; ++k)
            if (!Operand(ops, i, &s[k])) return false;
        return i == ops.size();
    };
    std::string v;
    switch (op) {
    case kMov:
    case kMova:
        if (!sources(1)) return false;
        v = s[0];
        break;
    case kAdd: if (!sources(2)) return false; v = s[0] + " + " + s[1]; break;
    case kSub: if (!sources(2)) return false; v = s[0] + " - " + s[1]; break;
    case kMul: if (!sources(2)) return false; v = s[0] + " * " + s[1]; break;
    case kMad: if (!sources(3)) return false; v = s[0] + " * " + s[1] + " + " + s[2]; break;
    case kMin: if (!sources(2)) return false; v = "min(" + s[0] + ", " + s[1] + ")"; break;
    case kMax: if (!sources(2)) return false; v = "max(" + s[0] + ", " + s[1] + ")"; break;
    case kSlt: if (!sources(2)) return false; v = "vec4(lessThan(" + s[0] + ", " + s[1] + "))"; break;
    case kSge: if (!sources(2)) return false; v = "vec4(greaterThanEqual(" + s[0] + ", " + s[1] + "))"; break;
    case kDp3: if (!sources(2)) return false; v = "vec4(dot(" + s[0] + ".xyz, " + s[1] + ".xyz))"; break;
    case kDp4: if (!sources(2)) return false; v = "vec4(dot(" + s[0] + ", " + s[1] + "))"; break;
    case kRcp: if (!sources(1)) return false; v = "vec4(Rcp(" + s[0] + ".w))"; break;
    case kRsq: if (!sources(1)) return false; v = "vec4(Rsq(" + s[0] + ".w))"; break;
    case kExp: if (!sources(1)) return false; v = "vec4(exp2(" + s[0] + ".w))"; break;
    case kLog:
    case kLogp: if (!sources(1)) return false; v = "vec4(Log(" + s[0] + ".w))"; break;
    case kExpp:
        if (!sources(1)) return false;
        v = major_ >= 2 ? "vec4(exp2(" + s[0] + ".w))" : "Expp(" + s[0] + ".w)";
        break;
    case kFrc: if (!sources(1)) return false; v = "fract(" + s[0] + ")"; break;
    case kAbs: if (!sources(1)) return false; v = "abs(" + s[0] + ")"; break;
    case kSgn: if (!sources(3)) return false; v = "sign(" + s[0] + ")"; break;
    case kNrm: if (!sources(1)) return false; v = "Nrm(" + s[0] + ")"; break;
    case kLit: if (!sources(1)) return false; v = "Lit(" + s[0] + ")"; break;
    case kDst: if (!sources(2)) return false; v = "vec4(1.0, " + s[0] + ".y * " + s[1] + ".y, " + s[0] + ".z, " + s[1] + ".w)"; break;
    case kLrp: if (!sources(3)) return false; v = "mix(" + s[2] + ", " + s[1] + ", " + s[0] + ")"; break;
    case kPow: if (!sources(2)) return false; v = "vec4(Pow(" + s[0] + ".w, " + s[1] + ".w))"; break;
    case kCrs: if (!sources(2)) return false; v = "vec4(cross(" + s[0] + ".xyz, " + s[1] + ".xyz), 0.0)"; break;
    case kSinCos: {
        int n = major_ >= 3 ? 1 : 3;
        if (!sources(n)) return false;
        v = "vec4(cos(" + s[0] + ".w), sin(" + s[0] + ".w), 0.0, 0.0)";
        break;
    }
    case kM4x4: case kM4x3: case kM3x4: case kM3x3: case kM3x2: {
        if (!Operand(ops, i, &s[0])) return false;
        if (i >= ops.size()) return false;
        DWORD m = ops[i++];
        DWORD rel = 0;
        bool hasRel = false;
        if (Relative(m) && major_ >= 2) {
            if (i >= ops.size()) return false;
            rel = ops[i++];
            hasRel = true;
        }
        if (i != ops.size() || ((m >> 16) & 0xFF) != 0xE4 || ((m >> 24) & 0xF) != 0) return false;
        int rows = op == kM4x4 || op == kM3x4 ? 4 : op == kM3x2 ? 2 : 3;
        bool three = op == kM3x4 || op == kM3x3 || op == kM3x2;
        v = "vec4(";
        for (int row = 0; row < 4; ++row) {
            if (row) v += ", ";
            if (row >= rows) {
                v += "0.0";
                continue;
            }
            std::string reg = MatrixRow(m, rel, hasRel, row);
            if (reg.empty()) return false;
            v += three ? "dot(" + s[0] + ".xyz, " + reg + ".xyz)" : "dot(" + s[0] + ", " + reg + ")";
        }
        v += ")";
        // Unwritten components stay as they were.
        if (mask.empty()) mask = rows == 4 ? "" : rows == 3 ? ".xyz" : ".xy";
        break;
    }
    default: return false;
    }
    if (type == kAddr && op != kMov && op != kMova) return false;
    Assign(dest, mask, type, sat, v);
    return true;
}

bool Translator::Run() {
    DWORD version = Token();
    if ((version & 0xFFFF0000) != 0xFFFE0000) return false;
    major_ = int((version >> 8) & 0xFF);
    int minor = int(version & 0xFF);
    if (!((major_ == 1 && (minor == 0 || minor == 1)) || (major_ == 2 && minor == 0))) return false;
    for (;;) {
        if (pos_ >= kMaxTokens) return false;
        DWORD t = Token();
        if (t == kEnd) break;
        DWORD op = t & 0xFFFF;
        if (op == kCommentOpcode) {
            size_t length = (t >> 16) & 0x7FFF;
            if (pos_ + length >= kMaxTokens) return false;
            pos_ += length;
            continue;
        }
        if (t & 0x80000000u) return false;  // a parameter where an instruction belongs
        if (t & (1u << 28)) return false;    // predication is vs_2_x
        std::vector<DWORD> operands;
        if (major_ >= 2) {
            size_t length = (t >> 24) & 0xF;
            for (size_t k = 0; k < length; ++k) operands.push_back(Token());
        } else {
            int n = OperandCount(op);
            if (n < 0) return false;
            for (int k = 0; k < n; ++k) operands.push_back(Token());
        }
        // Every operand is a parameter token, except the values a definition carries.
        bool definition = op == kDef || op == kDefI || op == kDefB;
        for (size_t k = 0; k < operands.size(); ++k)
            if (!(operands[k] & 0x80000000u) && !(definition && k > 0)) return false;
        if (!Instruction(op, operands)) return false;
    }
    if (inLabel_) {
        functions_ << "}\n";
        inLabel_ = false;
    }
    // Every block closed and every called label defined.
    return blocks_.empty() && (called_ & ~defined_) == 0;
}

std::string Translator::Source(bool flat) const {
    std::ostringstream s;
    const char* q = flat ? "flat " : "";
    s << "#version 330 core\n";
    for (const auto& in : inputs)
        s << "layout(location = " << in.second << ") in vec4 v" << in.second << ";\n";
    s << "uniform vec4 c[256];\n"
      << "uniform vec4 uPixelFix;\n"
      << "uniform vec3 uPointSize;\n"
      << q << "out vec4 vDiffuse;\n"
      << q << "out vec4 vSpecular;\n";
    for (int t = 0; t < 8; ++t) s << "out vec4 vTex" << t << ";\n";
    s << "vec4 r0, r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11;\n"
      << "ivec4 a0;\n"
      << "int aL;\n"
      << "vec4 oPos, oD0, oD1, oT0, oT1, oT2, oT3, oT4, oT5, oT6, oT7;\n"
      << "float oFog, oPts;\n"
      << "const float MAXF = 3.402823e38;\n"
      << "vec4 C(int i) { return i >= 0 && i < 256 ? c[i] : vec4(0.0); }\n"
      << "float Rcp(float x) { return x == 0.0 ? MAXF : 1.0 / x; }\n"
      << "float Rsq(float x) { return x == 0.0 ? MAXF : inversesqrt(abs(x)); }\n"
      << "float Log(float x) { return x == 0.0 ? -MAXF : log2(abs(x)); }\n"
      << "float Pow(float x, float y) { return pow(abs(x), y); }\n"
      << "vec4 Expp(float x) { return vec4(exp2(floor(x)), fract(x), exp2(x), 1.0); }\n"
      << "vec4 Nrm(vec4 v) { float l = dot(v.xyz, v.xyz); return v * (l == 0.0 ? MAXF : inversesqrt(l)); }\n"
      << "vec4 Lit(vec4 s) {\n"
      << "    vec4 d = vec4(1.0, 0.0, 0.0, 1.0);\n"
      << "    float p = clamp(s.w, -127.9961, 127.9961);\n"
      << "    if (s.x > 0.0) { d.y = s.x; if (s.y > 0.0) d.z = pow(s.y, p); }\n"
      << "    return d;\n"
      << "}\n";
    for (int l : labels_) s << "void label" << l << "();\n";
    s << "void shader() {\n" << body_.str() << "}\n" << functions_.str();
    s << "void main() {\n"
      << "    r0 = r1 = r2 = r3 = r4 = r5 = r6 = r7 = r8 = r9 = r10 = r11 = vec4(0.0);\n"
      << "    a0 = ivec4(0);\n"
      << "    aL = 0;\n"
      << "    oPos = vec4(0.0, 0.0, 0.0, 1.0);\n"
      // Unwritten: a white diffuse colour and no specular colour to add.
      << "    oD0 = vec4(1.0);\n"
      << "    oD1 = vec4(0.0);\n"
      << "    oT0 = oT1 = oT2 = oT3 = oT4 = oT5 = oT6 = oT7 = vec4(0.0, 0.0, 0.0, 1.0);\n"
      << "    oFog = 1.0;\n"
      << "    oPts = uPointSize.x;\n"
      << "    shader();\n"
      << "    gl_Position = vec4(oPos.x + uPixelFix.x * oPos.w, -oPos.y + uPixelFix.y * oPos.w, "
      << "CLIPZ, oPos.w);\n"
      << "    gl_PointSize = clamp(oPts, uPointSize.y, uPointSize.z);\n"
      << "    vDiffuse = clamp(oD0, 0.0, 1.0);\n"
      << "    vSpecular = clamp(oD1, 0.0, 1.0);\n";
    for (int t = 0; t < 8; ++t) s << "    vTex" << t << " = oT" << t << ";\n";
    s << "}\n";
    return s.str();
}

std::atomic<uint64_t> nextShaderId{1};

}  // namespace

VertexShader::VertexShader(Device* device) : device_(device) { device_->AddRef(); }

VertexShader::~VertexShader() {
    device_->ForgetPrograms(key_);
    device_->Release();
}

HRESULT VertexShader::Create(Device* device, const DWORD* tokens, VertexShader** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!tokens) return D3DERR_INVALIDCALL;
    Translator t(tokens);
    if (!t.Run()) return D3DERR_INVALIDCALL;
    auto* shader = new VertexShader(device);
    for (const auto& in : t.inputs)
        shader->inputs_.push_back(Input{BYTE(in.first & 0xFF), BYTE(in.first >> 8), in.second});
    for (const auto& def : t.definitions) {
        Definition d;
        d.reg = def.first;
        std::memcpy(d.value, def.second.data(), sizeof d.value);
        shader->definitions_.push_back(d);
    }
    shader->glsl_ = t.Source(false);
    shader->glslFlat_ = t.Source(true);
    shader->key_ = "vs" + std::to_string(nextShaderId++) + ":";
    *out = shader;
    return D3D_OK;
}

HRESULT VertexShader::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

int VertexShader::InputLocation(BYTE usage, BYTE index) const {
    for (const Input& in : inputs_)
        if (in.usage == usage && in.index == index) return in.reg;
    return -1;
}

bool VertexShader::InputsBound(const VertexLayout& layout) const {
    for (const Input& in : inputs_)
        if (!layout.Find(in.usage, in.index)) return false;
    return true;
}

Program* VertexShader::ProgramFor(Renderer& renderer, const FfpDesc& desc) {
    std::string key = key_ + desc.Key();
    if (Program* p = renderer.Cached(key)) return p;
    std::string vs = desc.flat ? glslFlat_ : glsl_;
    std::string z = desc.clipControl ? "oPos.z" : "2.0 * oPos.z - oPos.w";
    vs.replace(vs.find("CLIPZ"), 5, z);
    return renderer.Store(key, BuildProgram(vs, FfpFragmentShader(desc)));
}

void VertexShader::SetConstants(const Program& program, const float* constants) const {
    float c[kMaxVertexShaderConstants][4];
    std::memcpy(c, constants, sizeof c);
    for (const Definition& d : definitions_) std::memcpy(c[d.reg], d.value, sizeof d.value);
    glUniform4fv(program.vsConstants, kMaxVertexShaderConstants, c[0]);
}

VertexShader* AsVertexShader(IDirect3DVertexShader9* shader) { return dynamic_cast<VertexShader*>(shader); }

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    VertexShader* shader = nullptr;
    HRESULT hr = VertexShader::Create(this, function, &shader);
    *out = shader;
    return hr;
}

}  // namespace platform::d3d9
