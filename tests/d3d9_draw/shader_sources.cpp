#include "shader_sources.h"

#include <map>

namespace drawtest {
namespace {

// The assembly of the vertex shader tests' cases, by name.
const std::map<std::string, std::string> kVs11Sources = {
    {"add", "add r0, c10, c11"},
    {"sub", "sub r0, c10, c11"},
    {"mul", "mul r0, c10, c11"},
    {"mad", "mad r0, c10, c11, c10"},
    {"dp3", "dp3 r0, c10, c11"},
    {"dp4 scaled", "dp4 r0, c10, c10\nmul r0, r0, c11.y"},
    {"min max", "min r0.xy, c10, c11\nmax r0.zw, c10, c11"},
    {"slt sge", "slt r0.xy, c10, c11\nsge r0.zw, c10, c11"},
    {"rcp rsq", "rcp r0.x, c12.x\nrsq r0.y, c12.x\nrcp r0.z, c10.w\nrsq r0.w, -c12.x"},
    {"frc exp log", "def c13, 2.75, -1.0, 0.5, 0.0\nfrc r0.xy, c13\nexp r0.z, c13.y\nlog r0.w, c13.z\n"
                    "mul r0.w, r0, -c13.z"},
    {"lit", "def c13, 0.5, 0.5, 0.0, 2.0\nlit r0, c13\nmul r0.x, r0, c13.x"},
    {"dst", "def c13, 0, 0.25, 0.25, 0\ndef c14, 0, 2, 0, 0.5\ndst r0, c13, c14"},
    {"expp", "def c13, 0, 0, 0, -0.75\nexpp r0, c13.w"},
    {"swizzle negate mask", "mov r0, c10.abgr\nadd r0.y, r0, -c11.g"},
};
const char* const kVs11Load = "def c10, 0.25, 0.5, 0.75, 1.0\ndef c11, 0.5, 0.25, 2.0, 0.0\ndef c12, 4.0, 0, 0, 0\n";

const std::map<std::string, std::string> kVs20Sources = {
    {"lrp abs", "def c10, 0.25, 0.25, 0.25, 0.25\ndef c11, 1, 0, 0.5, -0.5\ndef c12, 0, 1, 0.5, 0.5\n"
                "lrp r0, c10, c11, c12\nabs r0.w, r0"},
    {"nrm pow", "def c10, 3, 0, 4, 0\ndef c11, 0.25, 0.5, 0, 0\nnrm r0, c10\npow r0.y, c11.x, c11.y"},
    {"crs", "def c10, 1, 0, 0, 0\ndef c11, 0, 0.5, 0, 1\nmov r0, c11\ncrs r0.xyz, c10, c11"},
    {"sincos", "def c10, 0, 0, 0, 1.0471976\ndef c11, -1.5500992e-6, -2.1701389e-5, 0.0026041667, 0.00026041668\n"
               "def c12, -0.020833334, -0.125, 1.0, 0.5\nmov r0, c12.z\nsincos r0.xy, c10.w, c11, c12"},
    {"rep loop", "defi i0, 4, 0, 0, 0\ndefi i1, 3, 1, 2, 0\ndef c10, 0.125, 0, 0, 0\ndef c11, 0, 0, 0, 0\n"
                 "def c12, 0, 0, 0, 0\ndef c13, 0, 0.1, 0, 0\ndef c14, 0, 0, 0, 0\ndef c15, 0, 0.2, 0, 0\n"
                 "def c16, 0, 0, 0, 0\ndef c17, 0, 0.3, 0, 0\nmov r0, c11\nrep i0\n  add r0, r0, c10\nendrep\n"
                 "loop aL, i1\n  add r0, r0, c[aL + 12]\nendloop"},
    {"if else call", "defb b0, true\ndefb b1, false\ndef c10, 0.25, 0.5, 0.75, 1.0\nmov r0, c10\nif b1\n"
                     "  mov r0.x, c10.w\nelse\n  call l2\nendif"},
};

}  // namespace

const char* const kVs11Encodings = "VS.1.1  /* the old version syntax */\n"
                                   "dcl_texcoord3 v7 // a comment\n"
                                   "dcl_normal v2\n"
                                   "m3x3 r1.xyz, v2, c4\n"
                                   "m3x4 oT7, -r1.yzxw, c[4 + a0.x]\n"
                                   "m3x2 r2.xy, r1, c0\n"
                                   "logp oPts, v7.w\n"
                                   "mov oFog, R1.z\n"
                                   "mov oD1.rgb, c95.bgra\n"
                                   "nop\n";

const char* const kVs20Encodings = "vs_2_0\n"
                                   "dcl_blendweight v1\n"
                                   "dcl_blendindices1 v2\n"
                                   "defb b2, TRUE\n"
                                   "mova a0.yw, v2\n"
                                   "m4x3 r1.xyz, v1, c[a0.w + 9]\n"
                                   "m4x4 r3, r1, c[a0.y]\n"
                                   "sgn r2, r1, r3, r4\n"
                                   "callnz l1, !b2\n"
                                   "mov r0, c0.wz\n"
                                   "ret\n"
                                   "label l1\n"
                                   "ret\n";

const char* const kSubroutines = "vs_2_0\ncall l1\nret\nlabel l0\nret\nlabel l1\nret\n";

const char* const kNestedCalls = "vs_2_0\n"
                                 "dcl_position v0\n"
                                 "defb b0, true\n"
                                 "def c10, 0.25, 0.5, 0.75, 1.0\n"
                                 "def c11, 0, 0, 0, -1\n"
                                 "mov oPos, v0\n"
                                 "mov r0, c10\n"
                                 "call l1\n"
                                 "mov oD0, r0\n"
                                 "ret\n"
                                 "label l1\n"
                                 "call l2\n"
                                 "if b0\n"
                                 "  ret\n"
                                 "endif\n"
                                 "mov r0.y, c10.w\n"
                                 "ret\n"
                                 "label l2\n"
                                 "mov r0.x, c10.w\n"
                                 "expp r0.z, c11.w\n"
                                 "ret\n";

const char* const kEarlyReturn = "vs_2_0\n"
                                 "dcl_position v0\n"
                                 "defi i0, 2, 0, 0, 0\n"
                                 "def c10, 0.25, 0.5, 0.75, 1.0\n"
                                 "mov oPos, v0\n"
                                 "mov oD0, c10\n"
                                 "rep i0\n"
                                 "  ret\n"
                                 "endrep\n"
                                 "mov oD0, c10.w\n";

std::string Wrap(int major, const std::string& body) {
    return std::string(major == 1 ? "vs_1_1" : "vs_2_0") +
           "\ndcl_position v0\ndcl_color v1\nmov oPos, v0\n" + body + "\nmov oD0, r0\n";
}

std::string CaseSource(int major, const std::string& name) {
    if (major == 1) {
        std::string body = kVs11Sources.at(name);
        if (body.find("c10") != std::string::npos && body.find("def c13") == std::string::npos) body = kVs11Load + body;
        return Wrap(1, body);
    }
    std::string source = Wrap(2, kVs20Sources.at(name));
    if (name == "if else call") source += "ret\nlabel l2\n  sub r0.z, r0, r0\nret\n";
    return source;
}

std::vector<std::string> ValidSources() {
    std::vector<std::string> sources = {kVs11Encodings, kVs20Encodings, kSubroutines, kNestedCalls, kEarlyReturn};
    for (const auto& [name, body] : kVs11Sources) sources.push_back(CaseSource(1, name));
    for (const auto& [name, body] : kVs20Sources) sources.push_back(CaseSource(2, name));
    return sources;
}

}  // namespace drawtest
