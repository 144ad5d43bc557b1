#include "d3d9/shader_glsl.h"

#include "common/vs_tokens.h"

#include <cstring>
#include <sstream>

namespace platform::d3d9 {
namespace {

using namespace platform::vs;

class Translator {
public:
    explicit Translator(const Stream& stream) : stream_(stream), major_(stream.major) {}

    bool Run();
    std::string Source(bool flat) const;
    std::vector<ShaderInput> inputs;
    std::vector<std::pair<int, std::array<float, 4>>> definitions;

private:
    // A source register token and, in vs_2_0, the relative-address token after it.
    struct SourceToken {
        DWORD token, rel = 0;
        bool hasRel = false;
    };

    bool Instruction(DWORD op, const std::vector<DWORD>& operands);
    SourceToken Take(const std::vector<DWORD>& ops, size_t& i) const;
    // Reads the source operand at ops[i] (and its relative-address token), advancing i.
    bool Operand(const std::vector<DWORD>& ops, size_t& i, std::string* out);
    bool Register(DWORD token, DWORD relToken, bool hasRelToken, std::string* out);
    bool Dest(DWORD token, std::string* name, std::string* mask, bool* saturate, int* type);
    void Assign(const std::string& dest, const std::string& mask, int type, bool saturate, const std::string& value);
    std::string MatrixRow(const SourceToken& matrix, int row);

    const Stream& stream_;
    int major_;
    std::ostringstream body_;
    std::ostringstream functions_;
    std::ostringstream* out_ = &body_;
    int indent_ = 1;
    int loopCounter_ = 0;
    bool inLabel_ = false;
    std::vector<int> labels_;
    int ints_[16][4] = {};
    bool bools_[16] = {};
};

bool Translator::Register(DWORD token, DWORD relToken, bool hasRelToken, std::string* out) {
    int type = RegisterType(token), n = RegisterNumber(token);
    switch (type) {
    case kTemp:
        *out = "r" + std::to_string(n);
        return true;
    case kInput:
        *out = "v" + std::to_string(n);
        return true;
    case kConst:
        if (Relative(token)) {
            std::string index = "a0.x";
            if (hasRelToken) {
                int comp = int((relToken >> 16) & 3);
                index = RegisterType(relToken) == kLoop ? "aL" : std::string("a0.") + "xyzw"[comp];
            }
            *out = "C(" + index + " + " + std::to_string(n) + ")";
        } else {
            *out = "c[" + std::to_string(n) + "]";
        }
        return true;
    case kAddr:
        *out = "vec4(a0)";
        return true;
    case kLoop:
        *out = "vec4(float(aL))";
        return true;
    default: return false;
    }
}

Translator::SourceToken Translator::Take(const std::vector<DWORD>& ops, size_t& i) const {
    SourceToken source{ops[i++]};
    if (Relative(source.token) && major_ >= 2) {
        source.rel = ops[i++];
        source.hasRel = true;
    }
    return source;
}

bool Translator::Operand(const std::vector<DWORD>& ops, size_t& i, std::string* out) {
    SourceToken source = Take(ops, i);
    DWORD t = source.token;
    std::string reg;
    if (!Register(t, source.rel, source.hasRel, &reg)) return false;
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
    case kTemp: *name = "r" + std::to_string(n); break;
    case kAddr: *name = "a0"; break;
    case kRastOut: *name = n == 0 ? "oPos" : n == 1 ? "oFog" : "oPts"; break;
    case kAttrOut: *name = "oD" + std::to_string(n); break;
    case kTexCrdOut: *name = "oT" + std::to_string(n); break;
    default: return false;
    }
    DWORD m = WriteMask(t);
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

std::string Translator::MatrixRow(const SourceToken& matrix, int row) {
    DWORD t = matrix.token;
    DWORD shifted = (t & ~0x7FFu) | DWORD(RegisterNumber(t) + row);
    std::string reg;
    if (!Register(shifted, matrix.rel, matrix.hasRel, &reg)) return std::string();
    return reg;
}

bool Translator::Instruction(DWORD op, const std::vector<DWORD>& ops) {
    std::string pad(size_t(indent_) * 4, ' ');
    switch (op) {
    case kNop: return true;
    case kDcl: {
        inputs.push_back({BYTE(DclUsage(ops[0])), BYTE(DclUsageIndex(ops[0])), RegisterNumber(ops[1])});
        return true;
    }
    case kDef: {
        std::array<float, 4> v;
        std::memcpy(v.data(), &ops[1], sizeof v);
        definitions.push_back({RegisterNumber(ops[0]), v});
        return true;
    }
    case kDefI: {
        for (int c = 0; c < 4; ++c) ints_[RegisterNumber(ops[0])][c] = int(ops[1 + c]);
        return true;
    }
    case kDefB: {
        bools_[RegisterNumber(ops[0])] = ops[1] != 0;
        return true;
    }
    case kRet:
        // A subroutine ends at a ret outside its blocks; any other ret returns early.
        if (inLabel_ && indent_ == 1) {
            *out_ << "}\n";
            out_ = &body_;
            inLabel_ = false;
        } else {
            *out_ << pad << "return;\n";
        }
        return true;
    case kLabelOp: {
        int l = RegisterNumber(ops[0]);
        labels_.push_back(l);
        out_ = &functions_;
        inLabel_ = true;
        indent_ = 1;
        *out_ << "void label" << l << "() {\n";
        return true;
    }
    case kCall:
        *out_ << pad << "label" << RegisterNumber(ops[0]) << "();\n";
        return true;
    case kCallNz: {
        bool value = bools_[RegisterNumber(ops[1])];
        if (((ops[1] >> 24) & 0xF) == 0xD) value = !value;  // the "not" modifier
        if (value) *out_ << pad << "label" << RegisterNumber(ops[0]) << "();\n";
        return true;
    }
    case kIf: {
        *out_ << pad << "if (" << (bools_[RegisterNumber(ops[0])] ? "true" : "false") << ") {\n";
        ++indent_;
        return true;
    }
    case kElse:
        *out_ << std::string(size_t(indent_ - 1) * 4, ' ') << "} else {\n";
        return true;
    case kEndIf:
    case kEndLoop:
    case kEndRep: {
        --indent_;
        *out_ << std::string(size_t(indent_) * 4, ' ') << "}\n";
        return true;
    }
    case kLoopOp:
    case kRep: {
        const int* v = ints_[RegisterNumber(ops[op == kLoopOp ? 1 : 0])];
        int n = loopCounter_++;
        std::string count = "n" + std::to_string(n);
        if (op == kLoopOp)
            *out_ << pad << "aL = " << v[1] << ";\n"
                  << pad << "for (int " << count << " = 0; " << count << " < " << v[0] << "; ++" << count
                  << ", aL += " << v[2] << ") {\n";
        else
            *out_ << pad << "for (int " << count << " = 0; " << count << " < " << v[0] << "; ++" << count << ") {\n";
        ++indent_;
        return true;
    }
    default: break;
    }

    // Arithmetic: a destination, then sources; a matrix's second source is read by rows below.
    std::string dest, mask;
    bool sat = false;
    int type = 0;
    if (!Dest(ops[0], &dest, &mask, &sat, &type)) return false;
    int rows = MatrixRows(op);
    size_t i = 1;
    std::string s[3];
    for (int k = 0; k < (rows ? 1 : SourceCount(op)); ++k)
        if (!Operand(ops, i, &s[k])) return false;
    std::string v;
    switch (op) {
    case kMov:
    case kMova: v = s[0]; break;
    case kAdd: v = s[0] + " + " + s[1]; break;
    case kSub: v = s[0] + " - " + s[1]; break;
    case kMul: v = s[0] + " * " + s[1]; break;
    case kMad: v = s[0] + " * " + s[1] + " + " + s[2]; break;
    case kMin: v = "min(" + s[0] + ", " + s[1] + ")"; break;
    case kMax: v = "max(" + s[0] + ", " + s[1] + ")"; break;
    case kSlt: v = "vec4(lessThan(" + s[0] + ", " + s[1] + "))"; break;
    case kSge: v = "vec4(greaterThanEqual(" + s[0] + ", " + s[1] + "))"; break;
    case kDp3: v = "vec4(dot(" + s[0] + ".xyz, " + s[1] + ".xyz))"; break;
    case kDp4: v = "vec4(dot(" + s[0] + ", " + s[1] + "))"; break;
    case kRcp: v = "vec4(Rcp(" + s[0] + ".w))"; break;
    case kRsq: v = "vec4(Rsq(" + s[0] + ".w))"; break;
    case kExp: v = "vec4(exp2(" + s[0] + ".w))"; break;
    case kLog:
    case kLogp: v = "vec4(Log(" + s[0] + ".w))"; break;
    case kExpp: v = major_ >= 2 ? "vec4(exp2(" + s[0] + ".w))" : "Expp(" + s[0] + ".w)"; break;
    case kFrc: v = "fract(" + s[0] + ")"; break;
    case kAbs: v = "abs(" + s[0] + ")"; break;
    case kSgn: v = "sign(" + s[0] + ")"; break;
    case kNrm: v = "Nrm(" + s[0] + ")"; break;
    case kLit: v = "Lit(" + s[0] + ")"; break;
    case kDst: v = "vec4(1.0, " + s[0] + ".y * " + s[1] + ".y, " + s[0] + ".z, " + s[1] + ".w)"; break;
    case kLrp: v = "mix(" + s[2] + ", " + s[1] + ", " + s[0] + ")"; break;
    case kPow: v = "vec4(Pow(" + s[0] + ".w, " + s[1] + ".w))"; break;
    case kCrs: v = "vec4(cross(" + s[0] + ".xyz, " + s[1] + ".xyz), 0.0)"; break;
    case kSinCos: v = "vec4(cos(" + s[0] + ".w), sin(" + s[0] + ".w), 0.0, 0.0)"; break;
    case kM4x4: case kM4x3: case kM3x4: case kM3x3: case kM3x2: {
        SourceToken matrix = Take(ops, i);
        bool three = op == kM3x4 || op == kM3x3 || op == kM3x2;
        v = "vec4(";
        for (int row = 0; row < 4; ++row) {
            if (row) v += ", ";
            if (row >= rows) {
                v += "0.0";
                continue;
            }
            std::string reg = MatrixRow(matrix, row);
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
    Assign(dest, mask, type, sat, v);
    return true;
}

bool Translator::Run() {
    for (const vs::Instruction& in : stream_.instructions)
        if (!Instruction(in.opcode, in.operands)) return false;
    if (inLabel_) {
        functions_ << "}\n";
        inLabel_ = false;
    }
    return true;
}

std::string Translator::Source(bool flat) const {
    std::ostringstream s;
    const char* q = flat ? "flat " : "";
    s << "#version 330 core\n";
    for (const auto& in : inputs)
        s << "layout(location = " << in.reg << ") in vec4 v" << in.reg << ";\n";
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

}  // namespace

bool TranslateVertexShader(const DWORD* tokens, VertexShaderGlsl* out) {
    Stream stream;
    if (Check(tokens, &stream)) return false;
    Translator t(stream);
    if (!t.Run()) return false;
    out->glsl = t.Source(false);
    out->glslFlat = t.Source(true);
    out->inputs = std::move(t.inputs);
    out->definitions = std::move(t.definitions);
    return true;
}

}  // namespace platform::d3d9
