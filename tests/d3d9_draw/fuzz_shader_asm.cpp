// libFuzzer target: what D3DXAssembleShader assembles, CreateVertexShader takes and can draw. The
// input is assembly source.
#include <d3dx9shader.h>

#include "common/vs_tokens.h"
#include "shader_fuzz_property.h"

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
    ExpectDrawable(tokens);
    shader->Release();
    return 0;
}
