// vs_1_x and vs_2_0 token streams: their layout, and the one check of a stream that both
// CreateVertexShader and D3DXAssembleShader apply.
#pragma once

#include <wintypes.h>

#include <optional>
#include <string>
#include <vector>

namespace platform::vs {

enum RegType : int {
    kTemp = 0, kInput = 1, kConst = 2, kAddr = 3, kRastOut = 4, kAttrOut = 5, kTexCrdOut = 6,
    kConstInt = 7, kConstBool = 14, kLoop = 15, kLabel = 18,
};

enum Opcode : DWORD {
    kNop = 0, kMov = 1, kAdd = 2, kSub = 3, kMad = 4, kMul = 5, kRcp = 6, kRsq = 7, kDp3 = 8, kDp4 = 9,
    kMin = 10, kMax = 11, kSlt = 12, kSge = 13, kExp = 14, kLog = 15, kLit = 16, kDst = 17, kLrp = 18,
    kFrc = 19, kM4x4 = 20, kM4x3 = 21, kM3x4 = 22, kM3x3 = 23, kM3x2 = 24, kCall = 25, kCallNz = 26,
    kLoopOp = 27, kRet = 28, kEndLoop = 29, kLabelOp = 30, kDcl = 31, kPow = 32, kCrs = 33, kSgn = 34,
    kAbs = 35, kNrm = 36, kSinCos = 37, kRep = 38, kEndRep = 39, kIf = 40, kElse = 42, kEndIf = 43,
    kMova = 46, kDefB = 47, kDefI = 48, kExpp = 78, kLogp = 79, kDef = 81,
};

constexpr DWORD kEndToken = 0x0000FFFF;

inline int RegisterType(DWORD t) { return int(((t >> 28) & 7) | ((t >> 8) & 0x18)); }
inline int RegisterNumber(DWORD t) { return int(t & 0x7FF); }
inline bool Relative(DWORD t) { return (t & (1u << 13)) != 0; }
inline DWORD RegisterToken(int type, int number) {
    return 0x80000000u | (DWORD(type & 7) << 28) | (DWORD(type & 0x18) << 8) | DWORD(number);
}
// The components a destination token writes.
inline DWORD WriteMask(DWORD t) { return (t >> 16) & 0xF; }
// The usage and usage index that a dcl's first operand names.
inline DWORD DclUsage(DWORD t) { return t & 0x1F; }
inline DWORD DclUsageIndex(DWORD t) { return (t >> 16) & 0xF; }

// The mnemonic of an opcode, null for one not known.
const char* OpcodeName(DWORD opcode);
// The sources of an arithmetic instruction; -1 for the others.
int SourceCount(DWORD opcode);
// The registers, one a row, that the second source of m4x4 ... m3x2 stands for; 0 for the others.
int MatrixRows(DWORD opcode);

struct Instruction {
    DWORD opcode;
    std::vector<DWORD> operands;
};

// A stream that passed the check: its version and instructions, comments left out.
struct Stream {
    int major = 0;
    std::vector<Instruction> instructions;
};

struct Refusal {
    // The item at fault: 0 is the version token, then each instruction or comment in turn.
    // Checks of the whole shader name the block opener or the call concerned.
    size_t item;
    std::string message;
};

// Checks a stream as CreateVertexShader takes it: the version, the encoding of every instruction
// (each holding exactly its operands), the registers and write masks, the inputs (each declared
// once, with a usage a vertex declaration can name, before it is read), the nesting of blocks and
// the labels and calls (none recursive). Fills `stream`, when given, for a stream that passes.
std::optional<Refusal> Check(const DWORD* tokens, Stream* stream = nullptr);

}  // namespace platform::vs
