// Vertex shaders: vs_1_1 and vs_2_0 token streams assembled here by hand, run through the
// translation, with results checked against the instructions' definitions.
#include "shader_fixture.h"

#include "common/vs_tokens.h"

#include <cmath>

namespace drawtest {

TEST_F(Shaders, TransformsWithTheTransposedMatrixAndPassesTheColour) {
    // c0..c3 hold the columns of a matrix that halves x and moves it left: x' = 0.5x - 0.5.
    const float columns[16] = {0.5f, 0, 0, -0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(device_->SetVertexShaderConstantF(0, columns, 4), D3D_OK);
    Assembler a(1);
    a.Comment(3).Dcl(D3DDECLUSAGE_POSITION, 0, 0).Dcl(D3DDECLUSAGE_COLOR, 0, 1);
    a.I(kM4x4, {Dst(kRast, 0), Src(kInput, 0), Src(kConst, 0)});
    a.I(kMov, {Dst(kAttr, 0), Src(kInput, 1)});
    ASSERT_EQ(DrawWith(a.End(), 0xFF2060A0), D3D_OK);
    EXPECT_EQ(Pixel(10, 32), 0xFF2060A0u);
    EXPECT_EQ(Pixel(30, 5), 0xFF2060A0u);
    EXPECT_EQ(Pixel(33, 32), 0xFF000000u);
    float back[16] = {};
    device_->GetVertexShaderConstantF(0, back, 4);
    EXPECT_EQ(back[3], -0.5f);
}

std::vector<ShaderCase> Vs11Cases() {
    const float x = 0.25f, y = 0.5f, z = 0.75f, w = 1.0f;
    auto load = [=](Assembler& a) {
        a.Def(10, x, y, z, w).Def(11, 0.5f, 0.25f, 2.0f, 0.0f).Def(12, 4.0f, 0.0f, 0.0f, 0.0f);
    };
    return {
        {"add", [=](Assembler& a) { load(a); a.I(kAdd, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11)}); }, x + 0.5, y + 0.25, 1, 1},
        {"sub", [=](Assembler& a) { load(a); a.I(kSub, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11)}); }, 0, y - 0.25, 0, 1},
        {"mul", [=](Assembler& a) { load(a); a.I(kMul, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11)}); }, x * 0.5, y * 0.25, z * 2 > 1 ? 1 : z * 2, 0},
        {"mad", [=](Assembler& a) { load(a); a.I(kMad, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11), Src(kConst, 10)}); },
         x * 0.5 + x, y * 0.25 + y, 1, 1},
        {"dp3", [=](Assembler& a) { load(a); a.I(kDp3, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11)}); },
         x * 0.5 + y * 0.25 + z * 2 > 1 ? 1 : 0, 1, 1, 1},
        {"dp4 scaled", [=](Assembler& a) {
             load(a);
             a.I(kDp4, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 10)});
             a.I(kMul, {Dst(kTemp, 0), Src(kTemp, 0), Src(kConst, 11, Rep(1))});
         }, (x * x + y * y + z * z + w * w) * 0.25, (x * x + y * y + z * z + w * w) * 0.25, (x * x + y * y + z * z + w * w) * 0.25,
         (x * x + y * y + z * z + w * w) * 0.25},
        {"min max", [=](Assembler& a) {
             load(a);
             a.I(kMin, {Dst(kTemp, 0, 0x3), Src(kConst, 10), Src(kConst, 11)});
             a.I(kMax, {Dst(kTemp, 0, 0xC), Src(kConst, 10), Src(kConst, 11)});
         }, 0.25, 0.25, 1, 1},
        {"slt sge", [=](Assembler& a) {
             load(a);
             a.I(kSlt, {Dst(kTemp, 0, 0x3), Src(kConst, 10), Src(kConst, 11)});
             a.I(kSge, {Dst(kTemp, 0, 0xC), Src(kConst, 10), Src(kConst, 11)});
         }, 1, 0, 0, 1},
        {"rcp rsq", [=](Assembler& a) {
             load(a);
             a.I(kRcp, {Dst(kTemp, 0, 0x1), Src(kConst, 12, Rep(0))});                 // 1/4
             a.I(kRsq, {Dst(kTemp, 0, 0x2), Src(kConst, 12, Rep(0))});                 // 1/2
             a.I(kRcp, {Dst(kTemp, 0, 0x4), Src(kConst, 10, Rep(3))});                 // 1/1
             a.I(kRsq, {Dst(kTemp, 0, 0x8), Src(kConst, 12, Rep(0), 1)});              // 1/sqrt(|-4|)
         }, 0.25, 0.5, 1, 0.5},
        {"frc exp log", [=](Assembler& a) {
             a.Def(13, 2.75f, -1.0f, 0.5f, 0.0f);
             a.I(kFrc, {Dst(kTemp, 0, 0x3), Src(kConst, 13)});                        // .75, 0
             a.I(kExp, {Dst(kTemp, 0, 0x4), Src(kConst, 13, Rep(1))});                // 2^-1
             a.I(kLog, {Dst(kTemp, 0, 0x8), Src(kConst, 13, Rep(2), 0)});             // log2 .5 = -1
             a.I(kMul, {Dst(kTemp, 0, 0x8), Src(kTemp, 0), Src(kConst, 13, Rep(2), 1)}); // * -0.5
         }, 0.75, 0, 0.5, 0.5},
        {"lit", [=](Assembler& a) {
             a.Def(13, 0.5f, 0.5f, 0.0f, 2.0f);  // N.L, N.H, -, power
             a.I(kLit, {Dst(kTemp, 0), Src(kConst, 13)});
             a.I(kMul, {Dst(kTemp, 0, 0x1), Src(kTemp, 0), Src(kConst, 13, Rep(0))});  // 1 * .5
         }, 0.5, 0.5, 0.25, 1},
        {"dst", [=](Assembler& a) {
             a.Def(13, 0.0f, 0.25f, 0.25f, 0.0f).Def(14, 0.0f, 2.0f, 0.0f, 0.5f);
             a.I(kDst, {Dst(kTemp, 0), Src(kConst, 13), Src(kConst, 14)});
         }, 1, 0.5, 0.25, 0.5},
        {"expp", [=](Assembler& a) {
             a.Def(13, 0.0f, 0.0f, 0.0f, -0.75f);
             a.I(kExpp, {Dst(kTemp, 0), Src(kConst, 13, Rep(3))});  // (2^-1, frac .25, 2^-.75, 1)
         }, 0.5, 0.25, std::pow(2.0, -0.75), 1},
        {"swizzle negate mask", [=](Assembler& a) {
             load(a);
             a.I(kMov, {Dst(kTemp, 0), Src(kConst, 10, 0x1B)});                          // wzyx
             a.I(kAdd, {Dst(kTemp, 0, 0x2), Src(kTemp, 0), Src(kConst, 11, Rep(1), 1)});  // g - .25
         }, 1, 0.75 - 0.25, 0.5, 0.25},
    };
}

TEST_F(Shaders, ArithmeticInstructionsOfVs11) {
    ResetTo(D3DFMT_A8R8G8B8);
    for (const ShaderCase& c : Vs11Cases()) {
        ASSERT_EQ(DrawWith(Colour(1, c.body)), D3D_OK) << c.name;
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(c.r, c.g, c.b, c.a))) << c.name;
    }
}

void RelativeBody(Assembler& a) {
    a.Def(20, 0.1f, 0.2f, 0.3f, 1.0f);  // replaces the API value while the shader runs
    a.Def(30, 2.0f, 0.0f, 0.0f, 0.0f);
    a.I(kMov, {Dst(kAddr, 0, 0x1), Src(kConst, 30, Rep(0))});
    a.I(kMov, {Dst(kTemp, 0), Src(kConst, 20 | (1 << 13))});  // c[a0.x + 20] = c22
    a.I(kAdd, {Dst(kTemp, 0, 0x1), Src(kTemp, 0), Src(kConst, 20, Rep(0), 1)});  // .9 - .1
}

TEST_F(Shaders, RelativeAddressingAndDefinitionsOverApiConstants) {
    const float api[4] = {0.9f, 0.9f, 0.9f, 0.9f};
    device_->SetVertexShaderConstantF(20, api, 1);
    device_->SetVertexShaderConstantF(22, api, 1);
    ASSERT_EQ(DrawWith(Colour(1, RelativeBody)), D3D_OK);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.8, 0.9, 0.9)));
    auto direct = [](Assembler& a) {
        a.Def(20, 0.1f, 0.2f, 0.3f, 1.0f);
        a.I(kMov, {Dst(kTemp, 0), Src(kConst, 20)});
    };
    ASSERT_EQ(DrawWith(Colour(1, direct)), D3D_OK);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.1, 0.2, 0.3)));
    // The API value is still there for the next shader.
    float back[4];
    device_->GetVertexShaderConstantF(20, back, 1);
    EXPECT_EQ(back[0], 0.9f);
}

std::vector<ShaderCase> Vs20Cases() {
    return {
        {"lrp abs", [](Assembler& a) {
             a.Def(10, 0.25f, 0.25f, 0.25f, 0.25f).Def(11, 1.0f, 0.0f, 0.5f, -0.5f).Def(12, 0.0f, 1.0f, 0.5f, 0.5f);
             a.I(kLrp, {Dst(kTemp, 0), Src(kConst, 10), Src(kConst, 11), Src(kConst, 12)});
             a.I(kAbs, {Dst(kTemp, 0, 0x8), Src(kTemp, 0)});
         }, 0.25, 0.75, 0.5, 0.25},
        {"nrm pow", [](Assembler& a) {
             a.Def(10, 3.0f, 0.0f, 4.0f, 0.0f).Def(11, 0.25f, 0.5f, 0.0f, 0.0f);
             a.I(kNrm, {Dst(kTemp, 0), Src(kConst, 10)});                                         // (.6, 0, .8, 0)
             a.I(kPow, {Dst(kTemp, 0, 0x2), Src(kConst, 11, Rep(0)), Src(kConst, 11, Rep(1))});  // .25^.5
         }, 0.6, 0.5, 0.8, 0},
        {"crs", [](Assembler& a) {
             a.Def(10, 1.0f, 0.0f, 0.0f, 0.0f).Def(11, 0.0f, 0.5f, 0.0f, 1.0f);
             a.I(kMov, {Dst(kTemp, 0), Src(kConst, 11)});
             a.I(kCrs, {Dst(kTemp, 0, 0x7), Src(kConst, 10), Src(kConst, 11)});  // (0, 0, .5)
         }, 0, 0, 0.5, 1},
        {"sincos", [](Assembler& a) {
             a.Def(10, 0.0f, 0.0f, 0.0f, 1.0471976f);  // 60 degrees
             a.Def(11, -1.5500992e-6f, -2.1701389e-5f, 0.0026041667f, 0.00026041668f);
             a.Def(12, -0.020833334f, -0.125f, 1.0f, 0.5f);
             a.I(kMov, {Dst(kTemp, 0), Src(kConst, 12, Rep(2))});
             a.I(kSinCos, {Dst(kTemp, 0, 0x3), Src(kConst, 10, Rep(3)), Src(kConst, 11), Src(kConst, 12)});
         }, 0.5, std::sqrt(3.0) / 2, 1, 1},
        {"rep loop", [](Assembler& a) {
             a.I(kDefI, {Dst(kInt, 0), 4, 0, 0, 0});
             a.I(kDefI, {Dst(kInt, 1), 3, 1, 2, 0});  // aL = 1, 3, 5
             a.Def(10, 0.125f, 0.0f, 0.0f, 0.0f).Def(11, 0.0f, 0.0f, 0.0f, 0.0f);
             a.Def(12, 0.0f, 0.0f, 0.0f, 0.0f).Def(13, 0.0f, 0.1f, 0.0f, 0.0f).Def(14, 0.0f, 0.0f, 0.0f, 0.0f);
             a.Def(15, 0.0f, 0.2f, 0.0f, 0.0f).Def(16, 0.0f, 0.0f, 0.0f, 0.0f).Def(17, 0.0f, 0.3f, 0.0f, 0.0f);
             a.I(kMov, {Dst(kTemp, 0), Src(kConst, 11)});
             a.I(kRep, {Src(kInt, 0)});
             a.I(kAdd, {Dst(kTemp, 0), Src(kTemp, 0), Src(kConst, 10)});  // 4 x .125
             a.I(kEndRep, {});
             a.I(kLoop, {Src(kLoopReg, 0), Src(kInt, 1)});
             // c[aL + 12]: c13, c15, c17 add .1 + .2 + .3 to green.
             a.I(kAdd, {Dst(kTemp, 0), Src(kTemp, 0), Src(kConst, 12 | (1 << 13)), Reg(kLoopReg, 0)});
             a.I(kEndLoop, {});
         }, 0.5, 0.6, 0, 0},
        {"if else call", [](Assembler& a) {
             a.I(kDefB, {Dst(kBool, 0), 1});
             a.I(kDefB, {Dst(kBool, 1), 0});
             a.Def(10, 0.25f, 0.5f, 0.75f, 1.0f);
             a.I(kMov, {Dst(kTemp, 0), Src(kConst, 10)});
             a.I(kIf, {Src(kBool, 1)});
             a.I(kMov, {Dst(kTemp, 0, 0x1), Src(kConst, 10, Rep(3))});
             a.I(kElse, {});
             a.I(kCall, {Src(kLabel, 2)});
             a.I(kEndIf, {});
         }, 0.25, 0.5, 0.0, 1},  // CaseTokens appends the label
    };
}

std::vector<DWORD> CaseTokens(int major, const ShaderCase& c) {
    std::vector<DWORD> tokens = Colour(major, c.body);
    if (std::string(c.name) == "if else call") {
        // main ends with ret; label 2, called from the else branch, sets blue to 0.
        tokens.pop_back();
        std::vector<DWORD> tail = {DWORD(kRet), DWORD(kLabelOp) | (1u << 24), Src(kLabel, 2),
                                   DWORD(kSub) | (3u << 24), Dst(kTemp, 0, 0x4), Src(kTemp, 0), Src(kTemp, 0),
                                   DWORD(kRet), 0x0000FFFFu};
        tokens.insert(tokens.end(), tail.begin(), tail.end());
    }
    return tokens;
}

TEST_F(Shaders, Vs20InstructionsAndStaticFlowControl) {
    ResetTo(D3DFMT_A8R8G8B8);
    for (const ShaderCase& c : Vs20Cases()) {
        ASSERT_EQ(DrawWith(CaseTokens(2, c)), D3D_OK) << c.name;
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(c.r, c.g, c.b, c.a), 3)) << c.name;
    }
}

TEST_F(Shaders, SubroutinesRunBeforeTheOutputsAreWritten) {
    ResetTo(D3DFMT_A8R8G8B8);
    Assembler a(2);
    a.Dcl(D3DDECLUSAGE_POSITION, 0, 0);
    a.Def(10, 0.25f, 0.5f, 0.75f, 1.0f);
    a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
    a.I(kMov, {Dst(kTemp, 0), Src(kConst, 10)});
    a.I(kCall, {Src(kLabel, 3)});
    a.I(kMov, {Dst(kAttr, 0), Src(kTemp, 0)});
    a.I(kRet, {});
    a.I(kLabelOp, {Src(kLabel, 3)});
    a.I(kSub, {Dst(kTemp, 0, 0x4), Src(kTemp, 0), Src(kTemp, 0)});
    a.I(kRet, {});
    ASSERT_EQ(DrawWith(a.End()), D3D_OK);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.25, 0.5, 0.0, 1.0)));
}

TEST_F(Shaders, TextureCoordinateOutputsFeedTheirStages) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(2, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    tex->LockRect(0, &lr, nullptr, 0);
    static_cast<DWORD*>(lr.pBits)[0] = 0x00FF0000;
    static_cast<DWORD*>(lr.pBits)[1] = 0x0000FF00;
    tex->UnlockRect(0);
    device_->SetTexture(0, tex);
    // The coordinates ignore TEXCOORDINDEX: stage 0 reads oT0.
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 3);
    for (float u : {0.25f, 0.75f}) {
        Assembler a(1);
        a.Dcl(D3DDECLUSAGE_POSITION, 0, 0);
        a.Def(10, u, 0.5f, 0.0f, 1.0f);
        a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
        a.I(kMov, {Dst(kTexOut, 0), Src(kConst, 10)});
        a.I(kMov, {Dst(kAttr, 0), Src(kConst, 10, Rep(3))});
        ASSERT_EQ(DrawWith(a.End()), D3D_OK);
        EXPECT_EQ(Pixel(32, 32), u < 0.5f ? 0xFFFF0000u : 0xFF00FF00u);
    }
    device_->SetTexture(0, nullptr);
    tex->Release();
}

// A shader and a declaration agree on which usages an input may have: each of D3DDECLUSAGE's
// feeds a shader, at the first and the last index, and the values beyond it are refused by both.
TEST_F(Shaders, InputsTakeTheUsagesADeclarationCanName) {
    struct Vertex {
        float x, y, z;
    };
    const Vertex quad[4] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, -1, 0.5f}};
    for (int major : {1, 2}) {
        for (DWORD usage = 0; usage < 32; ++usage) {
            for (BYTE index : {0, 15}) {
                SCOPED_TRACE("vs_" + std::to_string(major) + " usage " + std::to_string(usage) + " index " +
                             std::to_string(index));
                Assembler a(major);
                a.Dcl(int(usage), index, 0).Def(0, 0.25f, 0.5f, 0.75f, 1.0f);
                a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
                a.I(kMov, {Dst(kAttr, 0), Src(kConst, 0)});
                const D3DVERTEXELEMENT9 e[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, BYTE(usage), index}, D3DDECL_END()};
                IDirect3DVertexDeclaration9* decl = nullptr;
                HRESULT declared = device_->CreateVertexDeclaration(e, &decl);
                if (usage > D3DDECLUSAGE_SAMPLE) {
                    IDirect3DVertexShader9* vs = nullptr;
                    EXPECT_EQ(device_->CreateVertexShader(a.End().data(), &vs), D3DERR_INVALIDCALL);
                    EXPECT_EQ(vs, nullptr);
                    if (vs) vs->Release();
                    EXPECT_EQ(declared, D3DERR_INVALIDCALL);
                    continue;
                }
                ASSERT_EQ(declared, D3D_OK);
                EXPECT_EQ(DrawQuad(a.End(), decl, quad), D3D_OK);
                EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.25, 0.5, 0.75)));
                decl->Release();
            }
        }
    }
    // The refusal names the register and its usage.
    const DWORD tokens[] = {0xFFFE0101u, 0x1Fu, 0x80000000u, 0x900F0000u, 0x1Fu, 0x80000016u, 0x900F0001u,
                            0x01u, 0xC00F0000u, 0x90E40000u, 0x01u, 0xD00F0000u, 0xA0E40000u, 0x0000FFFFu};
    auto refusal = platform::vs::Check(tokens);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->message.find("'v1' has usage 22"), std::string::npos) << refusal->message;
}

TEST_F(Shaders, MalformedStreamsAndMissingInputsAreRefused) {
    IDirect3DVertexShader9* vs = nullptr;
    auto create = [&](const std::vector<DWORD>& t) {
        HRESULT hr = device_->CreateVertexShader(t.data(), &vs);
        if (vs) vs->Release();
        vs = nullptr;
        return hr;
    };
    EXPECT_EQ(create({0xFFFF0200u, 0x0000FFFFu}), D3DERR_INVALIDCALL);  // a pixel shader version
    EXPECT_EQ(create({0xFFFE0300u, 0x0000FFFFu}), D3DERR_INVALIDCALL);  // vs_3_0 is not offered
    EXPECT_EQ(create({0xFFFE0101u, 77u, 0x0000FFFFu}), D3DERR_INVALIDCALL);  // an unknown opcode
    EXPECT_EQ(create(Assembler(1).I(kMov, {Dst(kTemp, 12), Src(kConst, 0)}).End()), D3DERR_INVALIDCALL);  // r12
    EXPECT_EQ(create(Assembler(1).I(kMov, {Dst(kTexOut, 8), Src(kConst, 0)}).End()), D3DERR_INVALIDCALL);  // oT8
    EXPECT_EQ(create(Assembler(1).I(kMov, {Dst(kTemp, 0), Src(kConst, 256)}).End()), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(Assembler(2).I(kEndLoop, {}).End()), D3DERR_INVALIDCALL);  // unbalanced
    // The checks of the whole shader (inputs, blocks, labels and calls) are shared with the
    // assembler and tested there, line by line; here, that the device applies them.
    auto reads = [](int major, std::initializer_list<DWORD> mov) {
        return Assembler(major).Dcl(D3DDECLUSAGE_POSITION, 0, 0).I(kMov, {Dst(kRast, 0), Src(kInput, 0)}).I(kMov, mov).End();
    };
    EXPECT_EQ(create(reads(1, {Dst(kAttr, 0), Src(kInput, 0)})), D3D_OK);
    EXPECT_EQ(create(reads(1, {Dst(kAttr, 0), Src(kInput, 1)})), D3DERR_INVALIDCALL);
    // Only a token stream holds these: a destination that writes no component, and an instruction
    // short of a source.
    EXPECT_EQ(create(Assembler(2).I(kMov, {Dst(kTemp, 0, 0), Src(kConst, 0)}).End()), D3DERR_INVALIDCALL);
    // A relative address is counted with its source: the address token of c0[a0.x] does not pass
    // for a missing last source.
    for (int op : {kMin, kAdd, kMad, kDp4, kLrp, kM4x4}) {
        size_t sources = op == kMad || op == kLrp ? 3 : 2;
        std::vector<DWORD> whole = {0xFFFE0200u, 0, Dst(kTemp, 0), Src(kConst, 0 | (1 << 13)), Reg(kAddr, 0)};
        for (size_t k = 1; k < sources; ++k) whole.push_back(Src(kConst, 4));
        whole.push_back(0x0000FFFFu);
        whole[1] = DWORD(op) | DWORD(whole.size() - 3) << 24;
        EXPECT_EQ(create(whole), D3D_OK) << op;
        std::vector<DWORD> shortened = whole;
        shortened.erase(shortened.end() - 2);
        shortened[1] -= 1u << 24;
        EXPECT_EQ(create(shortened), D3DERR_INVALIDCALL) << op;
    }
    EXPECT_EQ(device_->CreateVertexShader(nullptr, &vs), D3DERR_INVALIDCALL);
    EXPECT_EQ(create(Assembler(1).Comment(2).End()), D3D_OK);

    // vs_1_1 needs every declared input in the declaration: a normal is missing here.
    Assembler a(1);
    a.Dcl(D3DDECLUSAGE_POSITION, 0, 0).Dcl(D3DDECLUSAGE_NORMAL, 0, 2);
    a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
    IDirect3DVertexShader9* shader = nullptr;
    auto tokens = a.End();
    ASSERT_EQ(device_->CreateVertexShader(tokens.data(), &shader), D3D_OK);
    CV q[3] = {{-1, 1, 0.5f, 0}, {1, 1, 0.5f, 0}, {-1, -1, 0.5f, 0}};
    device_->SetVertexDeclaration(decl_);
    device_->SetVertexShader(shader);
    IDirect3DVertexShader9* current = nullptr;
    device_->GetVertexShader(&current);
    EXPECT_EQ(current, shader);
    current->Release();
    Begin();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, q, sizeof(CV)), D3DERR_INVALIDCALL);
    End();
    device_->SetVertexShader(nullptr);
    shader->Release();
}

}  // namespace drawtest
