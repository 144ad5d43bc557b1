#include "d3d9/vertex_shader.h"

#include "d3d9/device.h"
#include "d3d9/ffp.h"
#include "d3d9/renderer.h"
#include "d3d9/shader_glsl.h"
#include "d3d9/vertex_input.h"

#include <atomic>
#include <cstring>

namespace platform::d3d9 {
namespace {

std::atomic<uint64_t> nextShaderId{1};

}  // namespace

VertexShader::VertexShader(Device* device) : device_(device) { device_->AddRef(); }

VertexShader::~VertexShader() {
    device_->ForgetPrograms(key_);
    device_->Release();
}

HRESULT VertexShader::Create(Device* device, const DWORD* tokens, VertexShader** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!tokens) return D3DERR_INVALIDCALL;
    VertexShaderGlsl t;
    if (!TranslateVertexShader(tokens, &t)) return D3DERR_INVALIDCALL;
    auto* shader = new VertexShader(device);
    shader->inputs_ = std::move(t.inputs);
    for (const auto& def : t.definitions) {
        Definition d;
        d.reg = def.first;
        std::memcpy(d.value, def.second.data(), sizeof d.value);
        shader->definitions_.push_back(d);
    }
    shader->glsl_ = std::move(t.glsl);
    shader->glslFlat_ = std::move(t.glslFlat);
    shader->key_ = "vs" + std::to_string(nextShaderId++) + ":";
    *out = shader;
    return D3D_OK;
}

HRESULT VertexShader::GetDevice(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *out = device_;
    return D3D_OK;
}

int VertexShader::InputLocation(BYTE usage, BYTE index) const {
    for (const ShaderInput& in : inputs_)
        if (in.usage == usage && in.index == index) return in.reg;
    return -1;
}

bool VertexShader::InputsBound(const VertexLayout& layout) const {
    for (const ShaderInput& in : inputs_)
        if (!layout.Find(in.usage, in.index)) return false;
    return true;
}

Program* VertexShader::ProgramFor(Renderer& renderer, const FfpDesc& desc) {
    std::string key = key_ + desc.Key();
    if (Program* p = renderer.Cached(key)) return p;
    std::string vs = desc.flat ? glslFlat_ : glsl_;
    std::string z = desc.clipControl ? "oPos.z" : "2.0 * oPos.z - oPos.w";
    vs.replace(vs.find("CLIPZ"), 5, z);
    return renderer.Store(key, BuildProgram(vs, FfpFragmentShader(desc)));
}

void VertexShader::SetConstants(const Program& program, const float* constants) const {
    float c[kMaxVertexShaderConstants][4];
    std::memcpy(c, constants, sizeof c);
    for (const Definition& d : definitions_) std::memcpy(c[d.reg], d.value, sizeof d.value);
    glUniform4fv(program.vsConstants, kMaxVertexShaderConstants, c[0]);
}

VertexShader* AsVertexShader(IDirect3DVertexShader9* shader) { return dynamic_cast<VertexShader*>(shader); }

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    VertexShader* shader = nullptr;
    HRESULT hr = VertexShader::Create(this, function, &shader);
    *out = shader;
    return hr;
}

}  // namespace platform::d3d9
