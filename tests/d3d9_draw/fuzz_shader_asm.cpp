// libFuzzer target: what D3DXAssembleShader assembles, CreateVertexShader takes. The input is
// assembly source; the tokens of a shader that assembles must pass the device's check and translate.
#include <d3dx9shader.h>

#include "common/vs_tokens.h"
#include "d3d9/shader_glsl.h"

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    ID3DXBuffer *shader = nullptr, *errors = nullptr;
    HRESULT hr = D3DXAssembleShader(reinterpret_cast<const char*>(bytes), UINT(size), nullptr, nullptr, 0, &shader,
                                    &errors);
    if (errors) errors->Release();
    if (FAILED(hr)) return 0;
    const DWORD* tokens = static_cast<const DWORD*>(shader->GetBufferPointer());
    if (auto refusal = platform::vs::Check(tokens)) {
        std::fprintf(stderr, "assembled, refused at item %zu: %s\n", refusal->item, refusal->message.c_str());
        __builtin_trap();
    }
    platform::d3d9::VertexShaderGlsl glsl;
    if (!platform::d3d9::TranslateVertexShader(tokens, &glsl)) {
        std::fprintf(stderr, "assembled and checked, not translated\n");
        __builtin_trap();
    }
    shader->Release();
    return 0;
}
