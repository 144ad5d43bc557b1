// D3DXAssembleShader: the assembly of the vertex shader tests' hand-written streams, the
// encodings, the preprocessor, files and errors, and a triangle drawn through an assembled shader.
#include "shader_fixture.h"
#include "shader_sources.h"
#include "temp_dir.h"

#include <d3dx9.h>

#include <fstream>
#include <map>

namespace drawtest {
namespace {

struct Result {
    HRESULT hr;
    std::vector<DWORD> tokens;
    std::string errors;
};

Result Take(HRESULT hr, ID3DXBuffer* shader, ID3DXBuffer* errors) {
    Result r{hr, {}, {}};
    if (shader) {
        const DWORD* t = static_cast<const DWORD*>(shader->GetBufferPointer());
        r.tokens.assign(t, t + shader->GetBufferSize() / 4);
        EXPECT_EQ(shader->Release(), 0u);
    }
    if (errors) {
        r.errors = static_cast<const char*>(errors->GetBufferPointer());
        EXPECT_EQ(errors->Release(), 0u);
    }
    return r;
}

Result AssembleFile(const char* name) {
    ID3DXBuffer *shader = nullptr, *errors = nullptr;
    HRESULT hr = D3DXAssembleShaderFromFileA(name, nullptr, nullptr, 0, &shader, &errors);
    return Take(hr, shader, errors);
}

Result Assemble(const std::string& source, const D3DXMACRO* defines = nullptr, ID3DXInclude* include = nullptr) {
    ID3DXBuffer *shader = nullptr, *errors = nullptr;
    HRESULT hr = D3DXAssembleShader(source.c_str(), UINT(source.size()), defines, include, 0, &shader, &errors);
    return Take(hr, shader, errors);
}

TEST(ShaderAssembler, ReproducesTheHandWrittenStreams) {
    for (int major : {1, 2}) {
        for (const ShaderCase& c : major == 1 ? Vs11Cases() : Vs20Cases()) {
            Result r = Assemble(CaseSource(major, c.name));
            ASSERT_EQ(r.hr, D3D_OK) << c.name << ": " << r.errors;
            EXPECT_EQ(r.tokens, CaseTokens(major, c)) << c.name;
        }
    }
    Result r = Assemble(Wrap(1, "def c20, 0.1, 0.2, 0.3, 1.0\ndef c30, 2.0, 0, 0, 0\nmov a0.x, c30.x\n"
                                "mov r0, c[a0.x + 20]\nadd r0.x, r0, -c20.x"));
    EXPECT_EQ(r.tokens, Colour(1, RelativeBody));
}

TEST(ShaderAssembler, EncodesTheOtherInstructionsRegistersAndModifiers) {
    Result r = Assemble(kVs11Encodings);
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    std::vector<DWORD> expected = Assembler(1)
        .Dcl(D3DDECLUSAGE_TEXCOORD, 3, 7).Dcl(D3DDECLUSAGE_NORMAL, 0, 2)
        .I(kM3x3, {Dst(kTemp, 1, 0x7), Src(kInput, 2), Src(kConst, 4)})
        .I(22, {Dst(kTexOut, 7), Src(kTemp, 1, 0xC9, 1), Src(kConst, 4 | (1 << 13))})
        .I(24, {Dst(kTemp, 2, 0x3), Src(kTemp, 1), Src(kConst, 0)})
        .I(79, {Dst(kRast, 2, 0x1), Src(kInput, 7, Rep(3))})
        .I(kMov, {Dst(kRast, 1, 0x1), Src(kTemp, 1, Rep(2))})
        .I(kMov, {Dst(kAttr, 1, 0x7), Src(kConst, 95, 0xC6)})
        .I(0, {}).End();
    EXPECT_EQ(r.tokens, expected);

    r = Assemble(kVs20Encodings);
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    DWORD a0w = Reg(kAddr, 0) | (Rep(3) << 16), a0y = Reg(kAddr, 0) | (Rep(1) << 16);
    expected = Assembler(2)
        .Dcl(D3DDECLUSAGE_BLENDWEIGHT, 0, 1).Dcl(D3DDECLUSAGE_BLENDINDICES, 1, 2)
        .I(kDefB, {Dst(kBool, 2), 1})
        .I(kMova, {Dst(kAddr, 0, 0xA), Src(kInput, 2)})
        .I(21, {Dst(kTemp, 1, 0x7), Src(kInput, 1), Src(kConst, 9 | (1 << 13)), a0w})
        .I(kM4x4, {Dst(kTemp, 3), Src(kTemp, 1), Src(kConst, 0 | (1 << 13)), a0y})
        .I(34, {Dst(kTemp, 2), Src(kTemp, 1), Src(kTemp, 3), Src(kTemp, 4)})
        .I(26, {Src(kLabel, 1), Src(kBool, 2, kXYZW, 0xD)})
        .I(kMov, {Dst(kTemp, 0), Src(kConst, 0, 0xAB)})
        .I(kRet, {}).I(kLabelOp, {Src(kLabel, 1)}).I(kRet, {}).End();
    EXPECT_EQ(r.tokens, expected);
}

// An include handler over named strings that records its calls.
class Includes : public ID3DXInclude {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> opened;
    std::vector<LPCVOID> parents, closed;
    HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data,
                                   UINT* bytes) override {
        auto it = files.find(name);
        if (it == files.end()) return E_FAIL;
        opened.push_back((type == D3DXINC_SYSTEM ? "<" : "\"") + it->first);
        parents.push_back(parent);
        *data = it->second.data();
        *bytes = UINT(it->second.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(LPCVOID data) override {
        closed.push_back(data);
        return S_OK;
    }
};

TEST(ShaderAssembler, MacrosConditionsAndIncludes) {
    Includes inc;
    inc.files["outputs.vsh"] = "#include <colour.vsh>\nmov oPos, POSITION\n";
    inc.files["colour.vsh"] = "#ifdef RED\nmov oD0, c1\n#else\nmov oD0, c2\n#endif\n";
    const D3DXMACRO defines[] = {{"POSITION", "v0"}, {"RED", nullptr}, {nullptr, nullptr}};
    std::string source = "vs_1_1\n#define SCALE c[a0.x + BASE]\n#define BASE 8\ndcl_position v0\n"
                         "mov a0.x, c0.x\n#include \"outputs.vsh\"\nmul r0, v0, SCALE\n";
    Result r = Assemble(source, defines, &inc);
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    EXPECT_EQ(r.tokens, Assembler(1)
                            .Dcl(D3DDECLUSAGE_POSITION, 0, 0)
                            .I(kMov, {Dst(kAddr, 0, 0x1), Src(kConst, 0, Rep(0))})
                            .I(kMov, {Dst(kAttr, 0), Src(kConst, 1)})
                            .I(kMov, {Dst(kRast, 0), Src(kInput, 0)})
                            .I(kMul, {Dst(kTemp, 0), Src(kInput, 0), Src(kConst, 8 | (1 << 13))})
                            .End());
    ASSERT_EQ(inc.opened, (std::vector<std::string>{"\"outputs.vsh", "<colour.vsh"}));
    EXPECT_EQ(inc.parents[0], nullptr);
    EXPECT_EQ(inc.parents[1], inc.files["outputs.vsh"].data());
    EXPECT_EQ(inc.closed, (std::vector<LPCVOID>{inc.files["colour.vsh"].data(), inc.files["outputs.vsh"].data()}));

    // Without RED the #else part is taken; an error inside an include names that file and line.
    const D3DXMACRO plain[] = {{"POSITION", "v0"}, {nullptr, nullptr}};
    r = Assemble(source, plain, &inc);
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    EXPECT_EQ(r.tokens[9], Src(kConst, 2));  // mov oD0, c2
    inc.files["colour.vsh"] = "\n\nmov oD0, r12\n";
    r = Assemble(source, plain, &inc);
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_NE(r.errors.find("colour.vsh(3): error: register 'r12'"), std::string::npos) << r.errors;
    EXPECT_EQ(inc.closed.size(), 6u) << "every opened include is closed, also after an error";
    // From memory an include needs a handler.
    r = Assemble(source, plain);
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_NE(r.errors.find("memory(6)"), std::string::npos) << r.errors;

    // Macros naming macros nest to a bound: a longer chain is a located error.
    auto chain = [](int n) {
        std::string text = "vs_1_1\ndcl_position v0\n#define M0 v0\n";
        for (int i = 1; i < n; ++i) text += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + "\n";
        return text + "mov oPos, M" + std::to_string(n - 1) + "\n";
    };
    r = Assemble(chain(64));
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    EXPECT_EQ(r.tokens, Assemble("vs_1_1\ndcl_position v0\nmov oPos, v0").tokens);
    r = Assemble(chain(40000));
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_NE(r.errors.find("memory(40003): error: macro expansion nested too deeply"), std::string::npos) << r.errors;
}

TEST(ShaderAssembler, ErrorsNameTheLine) {
    struct Case {
        const char* source;
        const char* message;
    } cases[] = {
        {"vs_1_1\nmov oPos, c0\nfoo r0, v0", "memory(3): error: unknown instruction 'foo'"},
        {"vs_1_1\n\nmov r0, q1", "memory(3): error: bad register 'q1'"},
        {"vs_1_1\nmov r12, v0", "memory(2): error: register 'r12' is beyond the last one, r11"},
        {"vs_1_1\nmov oT8, v0", "memory(2): error: register 'oT8' is beyond the last one, oT7"},
        {"vs_1_1\nmov r0, c[a0.x + 300]", "memory(2): error: register 'c300' is beyond the last one, c255"},
        {"vs_1_1\nmov a1.x, v0", "register 'a1'"},
        {"vs_1_1\nmov r0, b0", "bad register 'b0'"},
        {"vs_1_1\nnrm r0, v0", "memory(2): error: 'nrm' is not available in vs_1_1"},
        {"vs_2_0\nmov_sat r0, v0", "memory(2): error: instruction modifier '_sat' is not available in vs_2_0"},
        {"mov r0, v0", "memory(1): error: the shader must start with a version"},
        {"vs_3_0\nmov r0, v0", "memory(1): error: unsupported version 'vs_3_0'"},
        {"vs_1_1\nmov r0, v0.xq", "memory(2): error: bad swizzle"},
        {"vs_1_1\nmov r0.yx, v0", "memory(2): error: bad write mask"},
        {"vs_1_1\nadd r0, v0", "memory(2): error: 'add' takes 3 operands"},
        {"vs_1_1\nmov r0, c0\ndcl_normal v1", "memory(3): error: declarations must come before"},
        {"vs_1_1\ndcl_colour v1", "memory(2): error: unknown usage 'dcl_colour'"},
        {"vs_1_1\nmov v0, r0", "memory(2): error: 'v0' cannot be written"},
        {"vs_1_1\nmov r0, oPos", "memory(2): error: 'oPos' cannot be a source"},
        {"vs_1_1\nmov oFog.y, v0", "memory(2): error: 'oFog.y' takes the x component only"},
        {"vs_1_1\nadd a0.x, v0, v0", "memory(2): error: bad destination 'a0.x' for 'add'"},
        {"vs_2_0\nmov a0.x, v0", "memory(2): error: bad destination 'a0.x' for 'mov'"},
        {"vs_1_1\ndcl_position v0\nm4x4 oPos, v0, -c0", "memory(3): error: no modifier or swizzle is allowed on '-c0'"},
        {"vs_1_1\nmov r0, c[a0.y + 2]", "memory(2): error: bad relative address"},
        {"vs_1_1\nmov r0, c[1 + a0.x + 2]", "memory(2): error: bad relative address"},
        {"vs_1_1\ndef c0, 1, 2, x, 4", "memory(2): error: bad number 'x'"},
        {"vs_2_0\nif i0\nendif", "memory(2): error: bad operand 'i0'"},
        {"vs_1_1\n#if 1\n", "memory(2): error: unsupported directive '#if'"},
        {"vs_1_1\n#ifdef A\nmov r0, v0\n", "error: #if without #endif"},
        {"vs_1_1\n#define F(x) x\n", "memory(2): error: macros with arguments are not supported"},
        // Shaders that could never draw.
        {"vs_1_1\ndcl_position v0\nmov oPos, v0\nadd oD0, v0, -v1", "memory(4): error: input register 'v1' is read but not declared"},
        {"vs_2_0\ndcl_normal v1\ndcl_position v2\nm4x3 r0.xyz, c0, v1", "memory(4): error: input register 'v3' is read but not declared"},
        {"vs_2_0\ndefb b0, true\nrep i0\nif b0\nendif\nelse\nendrep", "memory(6): error: 'else' without 'if'"},
        {"vs_2_0\ndefb b0, true\nif b0\nelse\nelse\nendif", "memory(5): error: 'else' without 'if'"},
        {"vs_2_0\nrep i0\nendif", "memory(3): error: 'endif' without 'if'"},
        {"vs_2_0\nmov oPos, c0\nloop aL, i0\nret", "memory(3): error: 'loop' without 'endloop'"},
        {"vs_2_0\ncall l1\nret\nlabel l1\nret\nlabel l1\nret", "memory(6): error: label 'l1' is defined twice"},
        {"vs_2_0\ncall l1\ncallnz l4, b0\nret\nlabel l1\nret", "memory(3): error: label 'l4' is called but never defined"},
        {"vs_2_0\ncall l1\nret\nlabel l0\nlabel l1\nret", "memory(5): error: label 'l1' follows subroutine 'l0', which has no 'ret'"},
        {"vs_2_0\nloop aL, i0\nrep i1\nendrep\nendloop", "memory(3): error: 'rep' inside 'loop' nests too deeply"},
        {"vs_1_1\ndcl_position v0\nm4x4 oPos, v0, c254", "memory(3): error: register 'c256' is beyond the last one, c255"},
        {"vs_1_1\ndcl_position v0\ndcl_normal v0", "memory(3): error: input register 'v0' is declared twice"},
        {"vs_2_0\ncall l1\nret\nlabel l1\nif b0\ncall l1\nendif\nret", "memory(6): error: subroutine 'l1' calls itself"},
        {"vs_2_0\ncall l1\nret\nlabel l1\ncall l2\nret\nlabel l2\ncall l3\nret\nlabel l3\ncallnz l1, b0\nret",
         "memory(5): error: subroutine 'l1' calls 'l2', which leads back to it"},
    };
    for (const Case& c : cases) {
        ID3DXBuffer *shader = reinterpret_cast<ID3DXBuffer*>(1), *errors = nullptr;
        HRESULT hr = D3DXAssembleShader(c.source, UINT(std::strlen(c.source)), nullptr, nullptr, 0, &shader, &errors);
        Result r = Take(hr, shader, errors);
        EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA) << c.source;
        EXPECT_TRUE(r.tokens.empty()) << c.source;
        EXPECT_NE(r.errors.find(c.message), std::string::npos) << c.source << " gave " << r.errors;
    }
    EXPECT_EQ(Assemble(kSubroutines).hr, D3D_OK);
    // 10923 definitions of six tokens each take the stream past the 65536 tokens the device reads.
    std::string longest = "vs_1_1\n";
    for (int i = 0; i < 10923; ++i) longest += "def c0, 0, 0, 0, 0\n";
    EXPECT_NE(Assemble(longest).errors.find("memory(10924): error: the shader is longer than 65536 tokens"),
              std::string::npos);
    // No error buffer on success; null required arguments.
    ID3DXBuffer *shader = nullptr, *errors = reinterpret_cast<ID3DXBuffer*>(1);
    EXPECT_EQ(D3DXAssembleShader("vs_1_1", 7, nullptr, nullptr, 0, &shader, &errors), D3D_OK);  // the NUL counted
    EXPECT_EQ(errors, nullptr);
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->GetBufferSize(), 8u);
    shader->Release();
    EXPECT_EQ(D3DXAssembleShader("vs_1_1", 6, nullptr, nullptr, 0, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXAssembleShader(nullptr, 6, nullptr, nullptr, 0, &shader, nullptr), D3DERR_INVALIDCALL);
}

class ShaderFiles : public testsupport::InTempDir {};

TEST_F(ShaderFiles, FilesAndTheirIncludesAreReadRelativeToTheIncludingFile) {
    std::filesystem::create_directories("Shaders/Common");
    std::ofstream("Shaders/Skin.vsh") << "vs_1_1\ndcl_position v0\n#include \"common\\out.inc\"\n";
    std::ofstream("Shaders/Common/out.inc") << "mov oPos, v0\n#include \"../colour.inc\"\n";
    std::ofstream("Shaders/colour.inc") << "mov oD0, c3\n";
    Result r = AssembleFile("shaders\\skin.vsh");
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    EXPECT_EQ(r.tokens, Assemble("vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c3").tokens);

    std::ofstream("Shaders/Bad.vsh") << "vs_1_1\n\nmov oPos, v99\n";
    r = AssembleFile("Shaders\\Bad.vsh");
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_NE(r.errors.find("Shaders\\Bad.vsh(3): error: register 'v99'"), std::string::npos) << r.errors;
    r = AssembleFile("Shaders\\Missing.vsh");
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_TRUE(r.tokens.empty());
    EXPECT_NE(r.errors.find("Missing.vsh"), std::string::npos);
}

TEST_F(Shaders, AnAssembledShaderDrawsATriangle) {
    // c0..c3: the columns of a matrix that halves x and moves it left; the colour is defined.
    const float columns[16] = {0.5f, 0, 0, -0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(device_->SetVertexShaderConstantF(0, columns, 4), D3D_OK);
    Result r = Assemble("vs_1_1\ndcl_position v0\ndef c8, 0.25, 0.5, 1.0, 1.0\nm4x4 oPos, v0, c0\nmov oD0, c8\n");
    ASSERT_EQ(r.hr, D3D_OK) << r.errors;
    IDirect3DVertexShader9* vs = nullptr;
    ASSERT_EQ(device_->CreateVertexShader(r.tokens.data(), &vs), D3D_OK);
    // The upper left half of the screen, squeezed into its left half.
    CV tri[3] = {{-1, 1, 0.5f, 0}, {1, 1, 0.5f, 0}, {-1, -1, 0.5f, 0}};
    device_->SetVertexDeclaration(decl_);
    device_->SetVertexShader(vs);
    Clear(0xFF000000);
    Begin();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(CV)), D3D_OK);
    End();
    EXPECT_TRUE(ColorNear(Pixel(4, 4), Pack(0.25, 0.5, 1.0)));
    EXPECT_TRUE(ColorNear(Pixel(2, 50), Pack(0.25, 0.5, 1.0)));
    EXPECT_EQ(Pixel(28, 30), 0xFF000000u);  // beyond the diagonal
    EXPECT_EQ(Pixel(40, 4), 0xFF000000u);   // right of the squeezed triangle
    device_->SetVertexShader(nullptr);
    vs->Release();
}

// Whatever CreateVertexShader takes draws: every instruction, register and modifier that the
// translation writes, nested calls and returns from inside blocks.
TEST_F(Shaders, EveryShaderTheDeviceTakesDraws) {
    ResetTo(D3DFMT_A8R8G8B8);
    // Every input the sources declare.
    struct Vertex {
        float position[3];
        D3DCOLOR color;
        float more[4][4];
    };
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_NORMAL, 0}, {0, 32, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 3},
        {0, 48, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_BLENDWEIGHT, 0},
        {0, 64, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_BLENDINDICES, 1}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* wide = nullptr;
    ASSERT_EQ(device_->CreateVertexDeclaration(elements, &wide), D3D_OK);
    const Vertex quad[4] = {{{-1, 1, 0.5f}, 0, {}}, {{1, 1, 0.5f}, 0, {}}, {{-1, -1, 0.5f}, 0, {}}, {{1, -1, 0.5f}, 0, {}}};
    // The colour at the screen's centre, 0 when the draw fails.
    auto draw = [&](const std::vector<DWORD>& tokens, const std::string& what) -> DWORD {
        SCOPED_TRACE(what);
        HRESULT hr = DrawQuad(tokens, wide, quad);
        EXPECT_EQ(hr, D3D_OK);
        return SUCCEEDED(hr) ? Pixel(32, 32) : 0;
    };
    for (const std::string& source : ValidSources()) {
        Result r = Assemble(source);
        ASSERT_EQ(r.hr, D3D_OK) << source << r.errors;
        draw(r.tokens, source);
    }
    EXPECT_TRUE(ColorNear(draw(Assemble(kNestedCalls).tokens, kNestedCalls), Pack(1, 0.5, 0.5, 1)));
    EXPECT_TRUE(ColorNear(draw(Assemble(kEarlyReturn).tokens, kEarlyReturn), Pack(0.25, 0.5, 0.75, 1)));

    // Forms only a token stream holds: saturation, abs and -abs, a0 and aL read.
    Assembler a(2);
    a.Dcl(D3DDECLUSAGE_POSITION, 0, 0);
    a.I(kDefI, {Dst(kInt, 0), 1, 3, 0, 0});  // one pass, aL = 3
    a.Def(10, -0.25f, 2.0f, -0.5f, 1.0f).Def(11, 1.2f, 0.25f, 0.0f, 0.0f);
    a.I(kMov, {Dst(kRast, 0), Src(kInput, 0)});
    a.I(kMov, {Dst(kTemp, 0) | (1u << 20), Src(kConst, 10)});                              // (0, 1, 0, 1)
    a.I(kMov, {Dst(kTemp, 0, 0x1), Src(kConst, 10, Rep(0), 0xB)});                          // .25
    a.I(kAdd, {Dst(kTemp, 0, 0x4), Src(kConst, 10, Rep(3)), Src(kConst, 10, Rep(2), 0xC)});  // 1 - .5
    a.I(kMova, {Dst(kAddr, 0, 0x1), Src(kConst, 11, Rep(0))});                              // a0.x = 1
    a.I(kMul, {Dst(kTemp, 0, 0x8), Src(kAddr, 0, Rep(0)), Src(kConst, 11, Rep(1))});        // 1 * .25
    a.I(kLoop, {Src(kLoopReg, 0), Src(kInt, 0)});
    a.I(kMul, {Dst(kTemp, 0, 0x2), Src(kLoopReg, 0), Src(kConst, 11, Rep(1))});             // 3 * .25
    a.I(kEndLoop, {});
    a.I(kMov, {Dst(kAttr, 0), Src(kTemp, 0)});
    EXPECT_TRUE(ColorNear(draw(a.End(), "token forms"), Pack(0.25, 0.75, 0.5, 0.25)));
    device_->SetVertexDeclaration(nullptr);
    wide->Release();
}

}  // namespace
}  // namespace drawtest
