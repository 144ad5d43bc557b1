#include "common/vs_tokens.h"

#include "common/vertex_usage.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace platform::vs {
namespace {

constexpr DWORD kCommentOpcode = 0xFFFE;
constexpr size_t kMaxTokens = 65536;

struct OpcodeInfo {
    DWORD opcode;
    const char* name;
    int operands;     // the tokens after a vs_1_x instruction token
    bool arithmetic;  // a destination, then sources
};

constexpr OpcodeInfo kOpcodes[] = {
    {kNop, "nop", 0, false},        {kMov, "mov", 2, true},         {kAdd, "add", 3, true},
    {kSub, "sub", 3, true},         {kMad, "mad", 4, true},         {kMul, "mul", 3, true},
    {kRcp, "rcp", 2, true},         {kRsq, "rsq", 2, true},         {kDp3, "dp3", 3, true},
    {kDp4, "dp4", 3, true},         {kMin, "min", 3, true},         {kMax, "max", 3, true},
    {kSlt, "slt", 3, true},         {kSge, "sge", 3, true},         {kExp, "exp", 2, true},
    {kLog, "log", 2, true},         {kLit, "lit", 2, true},         {kDst, "dst", 3, true},
    {kLrp, "lrp", 4, true},         {kFrc, "frc", 2, true},         {kM4x4, "m4x4", 3, true},
    {kM4x3, "m4x3", 3, true},       {kM3x4, "m3x4", 3, true},       {kM3x3, "m3x3", 3, true},
    {kM3x2, "m3x2", 3, true},       {kCall, "call", 1, false},      {kCallNz, "callnz", 2, false},
    {kLoopOp, "loop", 2, false},    {kRet, "ret", 0, false},        {kEndLoop, "endloop", 0, false},
    {kLabelOp, "label", 1, false},  {kDcl, "dcl", 2, false},        {kPow, "pow", 3, true},
    {kCrs, "crs", 3, true},         {kSgn, "sgn", 4, true},         {kAbs, "abs", 2, true},
    {kNrm, "nrm", 2, true},         {kSinCos, "sincos", 4, true},   {kRep, "rep", 1, false},
    {kEndRep, "endrep", 0, false},  {kIf, "if", 1, false},          {kElse, "else", 0, false},
    {kEndIf, "endif", 0, false},    {kMova, "mova", 2, true},       {kDefB, "defb", 2, false},
    {kDefI, "defi", 5, false},      {kExpp, "expp", 2, true},       {kLogp, "logp", 2, true},
    {kDef, "def", 5, false},
};

const OpcodeInfo* Find(DWORD opcode) {
    auto it = std::find_if(std::begin(kOpcodes), std::end(kOpcodes), [&](const OpcodeInfo& o) { return o.opcode == opcode; });
    return it == std::end(kOpcodes) ? nullptr : it;
}

std::string RegisterName(int type, int n) {
    static const char* const kRastNames[] = {"oPos", "oFog", "oPts"};
    std::string number = std::to_string(n);
    switch (type) {
    case kTemp: return "r" + number;
    case kInput: return "v" + number;
    case kConst: return "c" + number;
    case kAddr: return "a" + number;
    case kRastOut: return n < 3 ? kRastNames[n] : "o" + number;
    case kAttrOut: return "oD" + number;
    case kTexCrdOut: return "oT" + number;
    case kConstInt: return "i" + number;
    case kConstBool: return "b" + number;
    case kLoop: return "aL";
    case kLabel: return "l" + number;
    default: return "register type " + std::to_string(type) + " #" + number;
    }
}

std::string RegisterName(DWORD token) { return RegisterName(RegisterType(token), RegisterNumber(token)); }

class Checker {
public:
    explicit Checker(const DWORD* tokens) : tokens_(tokens) {}
    bool Run(Stream& stream);
    Refusal refusal;

private:
    bool Fail(std::string message) { return Fail(item_, std::move(message)); }
    bool Fail(size_t item, std::string message) {
        refusal = Refusal{item, std::move(message)};
        return false;
    }
    bool Next(DWORD* token);
    bool Instruction(const vs::Instruction& in);
    bool Operands(const vs::Instruction& in, size_t count);
    bool Miscounted(DWORD opcode, size_t count);
    bool Recursion();
    bool Unclosed();
    bool Block(DWORD op);
    bool Range(int type, int number, int count);
    bool Destination(DWORD token);
    bool Source(const std::vector<DWORD>& ops, size_t& i, int rows);
    bool Readable(DWORD token, int number, DWORD relToken, bool hasRelToken);

    const DWORD* tokens_;
    size_t pos_ = 0;
    size_t item_ = 0;
    int major_ = 0;
    bool executed_ = false;  // an instruction other than dcl and def has been seen
    DWORD declared_ = 0;     // v# registers with a dcl
    DWORD defined_ = 0;      // label numbers
    int subroutine_ = -1;    // the label whose ret is still to come, -1 in the main program
    int loops_ = 0;          // open loop and rep
    std::vector<std::pair<DWORD, size_t>> blocks_;  // the open if (or else), loop and rep, and where
    struct Call {
        int label;
        size_t item;
        int caller;  // the subroutine the call stands in, -1 for the main program
    };
    std::vector<Call> calls_;
};

bool Checker::Next(DWORD* token) {
    if (pos_ >= kMaxTokens) return Fail("the shader is longer than " + std::to_string(kMaxTokens) + " tokens");
    *token = tokens_[pos_++];
    return true;
}

bool Checker::Operands(const vs::Instruction& in, size_t count) {
    return in.operands.size() == count || Miscounted(in.opcode, count);
}

bool Checker::Miscounted(DWORD opcode, size_t count) {
    return Fail("'" + std::string(OpcodeName(opcode)) + "' takes " + std::to_string(count) + " operand" +
                (count == 1 ? "" : "s"));
}

// Fails at the first call that can lead back to the subroutine it stands in: the translation
// has no recursion.
bool Checker::Recursion() {
    DWORD reach[16] = {};  // the labels each subroutine can call, directly or not
    for (const Call& c : calls_)
        if (c.caller >= 0) reach[c.caller] |= 1u << c.label;
    for (int pass = 0; pass < 16; ++pass)
        for (DWORD& r : reach)
            for (int l = 0; l < 16; ++l)
                if (r & (1u << l)) r |= reach[l];
    for (const Call& c : calls_) {
        if (c.caller < 0 || !(c.label == c.caller || (reach[c.label] & (1u << c.caller)))) continue;
        std::string caller = "l" + std::to_string(c.caller);
        if (c.label == c.caller) return Fail(c.item, "subroutine '" + caller + "' calls itself");
        return Fail(c.item, "subroutine '" + caller + "' calls 'l" + std::to_string(c.label) + "', which leads back to it");
    }
    return true;
}

// Fails for the innermost open block, at its opener.
bool Checker::Unclosed() {
    std::string opener = OpcodeName(blocks_.back().first == kElse ? kIf : blocks_.back().first);
    return Fail(blocks_.back().second, "'" + opener + "' without 'end" + opener + "'");
}

// else, endif, endloop and endrep against the open blocks.
bool Checker::Block(DWORD op) {
    DWORD opener = op == kEndLoop ? kLoopOp : op == kEndRep ? kRep : kIf;
    bool open = !blocks_.empty() && (blocks_.back().first == opener || (op == kEndIf && blocks_.back().first == kElse));
    if (!open) return Fail("'" + std::string(OpcodeName(op)) + "' without '" + OpcodeName(opener) + "'");
    if (op == kElse) {
        blocks_.back().first = kElse;
    } else {
        blocks_.pop_back();
        if (op != kEndIf) --loops_;
    }
    return true;
}

bool Checker::Range(int type, int number, int count) {
    if (number < count) return true;
    return Fail("register '" + RegisterName(type, number) + "' is beyond the last one, " +
                RegisterName(type, count - 1));
}

bool Checker::Destination(DWORD t) {
    int type = RegisterType(t), n = RegisterNumber(t);
    if (Relative(t)) return Fail("bad destination '" + RegisterName(t) + "'");
    if (WriteMask(t) == 0) return Fail("the destination '" + RegisterName(t) + "' has an empty write mask");
    switch (type) {
    case kTemp: return Range(type, n, 12);
    case kAddr: return Range(type, n, 1);
    case kRastOut: return Range(type, n, 3);
    case kAttrOut: return Range(type, n, 2);
    case kTexCrdOut: return Range(type, n, 8);
    default: return Fail("'" + RegisterName(t) + "' cannot be written");
    }
}

// A source register, `number` being the row of a matrix operand.
bool Checker::Readable(DWORD t, int number, DWORD relToken, bool hasRelToken) {
    int type = RegisterType(t);
    switch (type) {
    case kTemp: return Range(type, number, 12);
    case kInput:
        if (number < 16 && (declared_ & (1u << number))) return true;
        return Fail("input register 'v" + std::to_string(number) + "' is read but not declared");
    case kConst:
        if (!Range(type, number, 256)) return false;
        if (Relative(t) && hasRelToken && RegisterType(relToken) != kLoop && RegisterType(relToken) != kAddr)
            return Fail("bad relative address on '" + RegisterName(type, number) + "'");
        return true;
    case kAddr: return Range(type, number, 1);
    case kLoop: return true;
    default: return Fail("'" + RegisterName(t) + "' cannot be a source");
    }
}

// Reads the source at ops[i] (and its relative-address token), advancing i; a matrix operand
// stands for `rows` registers.
bool Checker::Source(const std::vector<DWORD>& ops, size_t& i, int rows) {
    DWORD t = ops[i++];
    DWORD rel = 0;
    bool hasRel = false;
    if (Relative(t) && major_ >= 2) {
        if (i >= ops.size()) return Fail("the relative address of '" + RegisterName(t) + "' is missing");
        rel = ops[i++];
        hasRel = true;
    }
    for (int row = 0; row < rows; ++row)
        if (!Readable(t, RegisterNumber(t) + row, rel, hasRel)) return false;
    DWORD modifier = (t >> 24) & 0xF;
    if (rows > 1 ? modifier != 0 || ((t >> 16) & 0xFF) != 0xE4 : modifier != 0 && modifier != 1 && modifier != 0xB && modifier != 0xC)
        return Fail("bad modifier or swizzle on '" + RegisterName(t) + "'");
    return true;
}

bool Checker::Instruction(const vs::Instruction& in) {
    const std::vector<DWORD>& ops = in.operands;
    DWORD op = in.opcode;
    if (op == kDcl && executed_) return Fail("declarations must come before the instructions");
    if (op != kDcl && op != kDef && op != kDefI && op != kDefB) executed_ = true;
    auto is = [&](DWORD token, int type, int count) {
        return RegisterType(token) == type && RegisterNumber(token) < count;
    };
    switch (op) {
    case kNop: return true;
    case kRet:
        // Inside a block it returns early; outside one it ends the subroutine.
        if (blocks_.empty()) subroutine_ = -1;
        return true;
    case kDcl:
        if (!Operands(in, 2)) return false;
        if (!is(ops[1], kInput, 16)) return Fail("declarations take an input register v#");
        if (!ValidVertexUsage(DclUsage(ops[0]), DclUsageIndex(ops[0])))
            return Fail("input register '" + RegisterName(ops[1]) + "' has usage " + std::to_string(DclUsage(ops[0])) +
                        ", which no vertex declaration can name");
        if (declared_ & (1u << RegisterNumber(ops[1])))
            return Fail("input register '" + RegisterName(ops[1]) + "' is declared twice");
        declared_ |= 1u << RegisterNumber(ops[1]);
        return true;
    case kDef:
    case kDefI:
    case kDefB: {
        int type = op == kDef ? kConst : op == kDefI ? kConstInt : kConstBool;
        if (!Operands(in, op == kDefB ? 2 : 5)) return false;
        if (!is(ops[0], type, type == kConst ? 256 : 16))
            return Fail("'" + std::string(OpcodeName(op)) + "' cannot define '" + RegisterName(ops[0]) + "'");
        return true;
    }
    case kLabelOp: {
        if (!Operands(in, 1)) return false;
        if (!is(ops[0], kLabel, 16)) return Fail("bad label '" + RegisterName(ops[0]) + "'");
        int label = RegisterNumber(ops[0]);
        if (!blocks_.empty()) return Unclosed();
        if (subroutine_ >= 0)
            return Fail("label 'l" + std::to_string(label) + "' follows subroutine 'l" + std::to_string(subroutine_) +
                        "', which has no 'ret'");
        if (defined_ & (1u << label)) return Fail("label 'l" + std::to_string(label) + "' is defined twice");
        defined_ |= 1u << label;
        subroutine_ = label;
        return true;
    }
    case kCall:
    case kCallNz:
        if (!Operands(in, op == kCall ? 1 : 2)) return false;
        if (!is(ops[0], kLabel, 16)) return Fail("bad label '" + RegisterName(ops[0]) + "'");
        if (op == kCallNz && !is(ops[1], kConstBool, 16)) return Fail("bad condition '" + RegisterName(ops[1]) + "'");
        calls_.push_back({RegisterNumber(ops[0]), item_, subroutine_});
        return true;
    case kIf:
        if (!Operands(in, 1)) return false;
        if (!is(ops[0], kConstBool, 16)) return Fail("bad condition '" + RegisterName(ops[0]) + "'");
        blocks_.push_back({op, item_});
        return true;
    case kLoopOp:
    case kRep: {
        size_t i = op == kLoopOp ? 1 : 0;
        if (!Operands(in, i + 1)) return false;
        bool counter = op != kLoopOp || is(ops[0], kLoop, 1);
        if (!counter || !is(ops[i], kConstInt, 16))
            return Fail("bad operand '" + RegisterName(ops[counter ? i : 0]) + "' for '" + OpcodeName(op) + "'");
        // vs_2_0 nests no loop in another.
        if (loops_ >= 1) {
            auto outer = std::find_if(blocks_.rbegin(), blocks_.rend(), [](auto& b) { return b.first == kLoopOp || b.first == kRep; });
            return Fail("'" + std::string(OpcodeName(op)) + "' inside '" + OpcodeName(outer->first) + "' nests too deeply");
        }
        ++loops_;
        blocks_.push_back({op, item_});
        return true;
    }
    case kElse:
    case kEndIf:
    case kEndLoop:
    case kEndRep: return Block(op);
    default: break;
    }

    int sources = SourceCount(op);
    if (sources < 0) return Fail("unknown opcode " + std::to_string(op));
    // Exactly a destination and the sources, a relative-address token counted with its source.
    if (ops.empty()) return Miscounted(op, size_t(sources) + 1);
    if (!Destination(ops[0])) return false;
    int rows = MatrixRows(op);
    size_t i = 1;
    for (int k = 0; k < sources; ++k) {
        if (i >= ops.size()) return Miscounted(op, size_t(sources) + 1);
        if (!Source(ops, i, rows && k == 1 ? rows : 1)) return false;
    }
    if (i != ops.size()) return Miscounted(op, size_t(sources) + 1);
    if (RegisterType(ops[0]) == kAddr && op != kMov && op != kMova)
        return Fail("bad destination 'a0' for '" + std::string(OpcodeName(op)) + "'");
    return true;
}

bool Checker::Run(Stream& stream) {
    DWORD version = tokens_[pos_++];
    major_ = int((version >> 8) & 0xFF);
    int minor = int(version & 0xFF);
    if ((version & 0xFFFF0000) != 0xFFFE0000 || !((major_ == 1 && minor <= 1) || (major_ == 2 && minor == 0)))
        return Fail("the version is not vs_1_0, vs_1_1 or vs_2_0");
    stream.major = major_;
    for (;;) {
        ++item_;
        DWORD t;
        if (!Next(&t)) return false;
        if (t == kEndToken) break;
        DWORD op = t & 0xFFFF;
        if (op == kCommentOpcode) {
            size_t length = (t >> 16) & 0x7FFF;
            if (pos_ + length >= kMaxTokens) return Fail("the comment runs past the end of the shader");
            pos_ += length;
            continue;
        }
        if (t & 0x80000000u) return Fail("a parameter token stands where an instruction belongs");
        if (t & (1u << 28)) return Fail("predication needs vs_2_x");
        size_t count;
        if (major_ >= 2) {
            count = (t >> 24) & 0xF;
        } else {
            const OpcodeInfo* info = Find(op);
            if (!info) return Fail("unknown opcode " + std::to_string(op));
            count = size_t(info->operands);
        }
        vs::Instruction in{op, std::vector<DWORD>(count)};
        for (DWORD& operand : in.operands)
            if (!Next(&operand)) return false;
        // Every operand is a parameter token, except the values a definition carries.
        bool definition = op == kDef || op == kDefI || op == kDefB;
        for (size_t k = 0; k < count; ++k)
            if (!(in.operands[k] & 0x80000000u) && !(definition && k > 0))
                return Fail("operand " + std::to_string(k + 1) + " is not a parameter token");
        if (!Instruction(in)) return false;
        stream.instructions.push_back(std::move(in));
    }
    // Every block closed and every called label defined.
    if (!blocks_.empty()) return Unclosed();
    for (const Call& c : calls_)
        if (!(defined_ & (1u << c.label)))
            return Fail(c.item, "label 'l" + std::to_string(c.label) + "' is called but never defined");
    return Recursion();
}

}  // namespace

const char* OpcodeName(DWORD opcode) {
    const OpcodeInfo* info = Find(opcode);
    return info ? info->name : nullptr;
}

int SourceCount(DWORD opcode) {
    const OpcodeInfo* info = Find(opcode);
    return info && info->arithmetic ? info->operands - 1 : -1;
}

int MatrixRows(DWORD opcode) {
    switch (opcode) {
    case kM4x4: case kM3x4: return 4;
    case kM4x3: case kM3x3: return 3;
    case kM3x2: return 2;
    default: return 0;
    }
}

std::optional<Refusal> Check(const DWORD* tokens, Stream* stream) {
    Checker checker(tokens);
    Stream parsed;
    if (!checker.Run(parsed)) return checker.refusal;
    if (stream) *stream = std::move(parsed);
    return std::nullopt;
}

}  // namespace platform::vs
