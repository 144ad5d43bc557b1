// IDirect3DVertexShader9: vs_1_1 and vs_2_0 token streams translated to GLSL.
#pragma once

#include <d3d9.h>

#include "common/com.h"
#include "d3d9/shader_glsl.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::d3d9 {

class Device;
class Renderer;
struct FfpDesc;
struct Program;
struct VertexLayout;

class VertexShader final : public ComObject<IDirect3DVertexShader9> {
public:
    // Parses and translates a token stream; fails with D3DERR_INVALIDCALL for a malformed one
    // or one using what the translation lacks.
    static HRESULT Create(Device* device, const DWORD* tokens, VertexShader** out);
    ~VertexShader() override;

    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;

    // The attribute location (the v# register) a declaration element feeds, -1 for none.
    int InputLocation(BYTE usage, BYTE index) const;
    // True when the layout supplies every input the shader declares.
    bool InputsBound(const VertexLayout& layout) const;
    // The program of this shader with the pixel stages of `desc`.
    Program* ProgramFor(Renderer& renderer, const FfpDesc& desc);
    // Uploads the constant registers, those the shader defines itself taking precedence.
    void SetConstants(const Program& program, const float* constants) const;

    // The GLSL translation (for tests and diagnostics).
    const std::string& Glsl(bool flat) const { return flat ? glslFlat_ : glsl_; }

private:
    explicit VertexShader(Device* device);

    struct Definition {
        int reg;
        float value[4];
    };

    Device* device_;  // holds a reference
    std::vector<ShaderInput> inputs_;
    std::vector<Definition> definitions_;
    std::string glsl_, glslFlat_;
    std::string key_;
};

VertexShader* AsVertexShader(IDirect3DVertexShader9* shader);

}  // namespace platform::d3d9
