// Vertex shader token streams written by hand, and a fixture that draws through them.
#pragma once

#include "draw_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace drawtest {

// Register types and opcodes of the token format.
enum { kTemp = 0, kInput = 1, kConst = 2, kAddr = 3, kRast = 4, kAttr = 5, kTexOut = 6, kInt = 7, kBool = 14, kLoopReg = 15, kLabel = 18 };
enum {
    kMov = 1, kAdd = 2, kSub = 3, kMad = 4, kMul = 5, kRcp = 6, kRsq = 7, kDp3 = 8, kDp4 = 9, kMin = 10, kMax = 11,
    kSlt = 12, kSge = 13, kExp = 14, kLog = 15, kLit = 16, kDst = 17, kLrp = 18, kFrc = 19, kM4x4 = 20, kM3x3 = 23,
    kCall = 25, kLoop = 27, kRet = 28, kEndLoop = 29, kLabelOp = 30, kDcl = 31, kPow = 32, kCrs = 33, kAbs = 35,
    kNrm = 36, kSinCos = 37, kRep = 38, kEndRep = 39, kIf = 40, kElse = 42, kEndIf = 43, kMova = 46, kDefB = 47,
    kDefI = 48, kExpp = 78, kDef = 81,
};
inline constexpr DWORD kXYZW = 0xE4;  // no swizzle

inline DWORD Reg(int type, int n) { return 0x80000000u | (DWORD(type & 7) << 28) | (DWORD(type & 0x18) << 8) | DWORD(n); }
inline DWORD Dst(int type, int n, DWORD mask = 0xF) { return Reg(type, n) | (mask << 16); }
inline DWORD Src(int type, int n, DWORD swizzle = kXYZW, DWORD modifier = 0) {
    return Reg(type, n) | (swizzle << 16) | (modifier << 24);
}
// A replicate swizzle of component c (0 = x ... 3 = w).
inline DWORD Rep(int c) { return DWORD(c * 0x55); }
inline DWORD Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

// Assembles instructions: vs_1_1 tokens carry no length, vs_2_0 tokens do.
class Assembler {
public:
    explicit Assembler(int major) : major_(major) { t_.push_back(0xFFFE0000u | DWORD(major << 8) | (major == 1 ? 1u : 0u)); }
    Assembler& I(int op, std::initializer_list<DWORD> operands) {
        t_.push_back(DWORD(op) | (major_ >= 2 ? DWORD(operands.size()) << 24 : 0));
        t_.insert(t_.end(), operands);
        return *this;
    }
    Assembler& Dcl(int usage, int index, int reg) { return I(kDcl, {0x80000000u | DWORD(usage) | DWORD(index << 16), Dst(kInput, reg)}); }
    Assembler& Def(int c, float x, float y, float z, float w) {
        return I(kDef, {Dst(kConst, c), Bits(x), Bits(y), Bits(z), Bits(w)});
    }
    Assembler& Comment(int words) {
        t_.push_back(0xFFFEu | DWORD(words << 16));
        for (int i = 0; i < words; ++i) t_.push_back(0x12345678u);
        return *this;
    }
    std::vector<DWORD> End() {
        t_.push_back(0x0000FFFFu);
        return t_;
    }

private:
    int major_;
    std::vector<DWORD> t_;
};

struct CV {
    float x, y, z;
    DWORD color;
};

class Shaders : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        const D3DVERTEXELEMENT9 e[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}, D3DDECL_END()};
        ASSERT_EQ(device_->CreateVertexDeclaration(e, &decl_), D3D_OK);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override {
        if (device_) {
            device_->SetVertexShader(nullptr);
            device_->SetVertexDeclaration(nullptr);
        }
        if (decl_) decl_->Release();
        DrawTest::TearDown();
    }
    // Draws the full screen through a shader: a strip of four vertices of `decl`, their positions
    // already in clip space.
    template <class Vertex>
    HRESULT DrawQuad(const std::vector<DWORD>& tokens, IDirect3DVertexDeclaration9* decl, const Vertex (&quad)[4]) {
        IDirect3DVertexShader9* vs = nullptr;
        HRESULT hr = device_->CreateVertexShader(tokens.data(), &vs);
        EXPECT_EQ(hr, D3D_OK);
        if (FAILED(hr)) return hr;
        device_->SetVertexDeclaration(decl);
        device_->SetVertexShader(vs);
        Clear(0xFF000000);
        Begin();
        hr = device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        End();
        device_->SetVertexShader(nullptr);
        vs->Release();
        return hr;
    }
    HRESULT DrawWith(const std::vector<DWORD>& tokens, DWORD color = 0xFF808080) {
        const CV quad[4] = {{-1, 1, 0.5f, color}, {1, 1, 0.5f, color}, {-1, -1, 0.5f, color}, {1, -1, 0.5f, color}};
        return DrawQuad(tokens, decl_, quad);
    }
    IDirect3DVertexDeclaration9* decl_ = nullptr;
};

// A shader: position passed through, oD0 = r0 after `body`.
inline std::vector<DWORD> Colour(int major, const std::function<void(Assembler&)>& body) {
    Assembler a(major);
    a.Dcl(D3DDECLUSAGE_POSITION, 0, 0).Dcl(D3DDECLUSAGE_COLOR, 0, 1);
    a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
    body(a);
    a.I(kMov, {Dst(kAttr, 0), Src(kTemp, 0)});
    return a.End();
}

// A shader of the instruction tests and the colour it draws.
struct ShaderCase {
    const char* name;
    std::function<void(Assembler&)> body;
    double r, g, b, a;
};
std::vector<ShaderCase> Vs11Cases();
std::vector<ShaderCase> Vs20Cases();
// The whole stream of a case (the vs_2_0 "if else call" case ends with a subroutine).
std::vector<DWORD> CaseTokens(int major, const ShaderCase& c);
// c[a0.x + 20] read after def c20 and def c30: the relative addressing test's body.
void RelativeBody(Assembler& a);

}  // namespace drawtest
