// IDirect3DDevice9 on an OpenGL context. The back buffer is a framebuffer object of the
// presentation size whose rows are stored top row first, as Direct3D addresses them; Present
// shows it in the window and keeps it as the front buffer.
#pragma once

#include <d3d9.h>

#include "common/com.h"
#include "d3d9/gl_object.h"
#include "d3d9/state.h"
#include "win32/window_system.h"

#include <epoxy/gl.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace platform::d3d9 {

class Direct3D9;
class Renderer;
struct DrawCall;
struct FfpDesc;
struct Program;
class Texture;
struct VertexLayout;

enum class DeviceCondition { Operational, Lost, NotReset };

// Records a call in the test hooks' Direct3D trace.
void TraceCall(const char* name, std::initializer_list<int64_t> args, const float* values = nullptr,
               size_t count = 0);
bool Tracing();

class Device final : public ComObject<IDirect3DDevice9> {
public:
    // Creates the context and the back buffer; null with `*result` set on failure.
    static Device* Create(Direct3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* params, HRESULT* result);
    ~Device() override;

    // Device
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) override;
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot,
                                                  IDirect3DSurface9* pCursorBitmap) override;
    void STDMETHODCALLTYPE SetCursorPosition(int X, int Y, DWORD Flags) override;
    BOOL STDMETHODCALLTYPE ShowCursor(BOOL bShow) override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect,
                                      HWND hDestWindowOverride, const void* pDirtyRegion) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iSwapChain, UINT iBackBuffer,
                                            D3DBACKBUFFER_TYPE Type,
                                            IDirect3DSurface9** ppBackBuffer) override;

    // Resources
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage,
                                            D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DTexture9** ppTexture,
                                            HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                 IDirect3DVertexBuffer9** ppVertexBuffer,
                                                 HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format,
                                                D3DPOOL Pool, IDirect3DIndexBuffer9** ppIndexBuffer,
                                                HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* pSourceSurface,
                                            const RECT* pSourceRect,
                                            IDirect3DSurface9* pDestinationSurface,
                                            const POINT* pDestPoint) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD RenderTargetIndex,
                                              IDirect3DSurface9** ppRenderTarget) override;
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT iSwapChain,
                                                 IDirect3DSurface9* pDestSurface) override;
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT Width, UINT Height,
                                                          D3DFORMAT Format, D3DPOOL Pool,
                                                          IDirect3DSurface9** ppSurface,
                                                          HANDLE* pSharedHandle) override;

    // Scene
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags,
                                    D3DCOLOR Color, float Z, DWORD Stencil) override;

    // Fixed-function state
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State,
                                           const D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE State,
                                                const D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                   DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                   DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type,
                                              DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type,
                                              DWORD Value) override;

    // Drawing
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                            UINT PrimitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType,
                                                   INT BaseVertexIndex, UINT MinVertexIndex,
                                                   UINT NumVertices, UINT startIndex,
                                                   UINT primCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                              const void* pVertexStreamZeroData,
                                              UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType,
                                                     UINT MinVertexIndex, UINT NumVertices,
                                                     UINT PrimitiveCount, const void* pIndexData,
                                                     D3DFORMAT IndexDataFormat,
                                                     const void* pVertexStreamZeroData,
                                                     UINT VertexStreamZeroStride) override;

    // Vertex input and shaders
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                      IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override;
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction,
                                                 IDirect3DVertexShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                                       UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                                       UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                              UINT OffsetInBytes, UINT Stride) override;
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                              UINT* pOffsetInBytes, UINT* pStride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

    // For the layer's own use (surfaces, D3DX, tests).
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return params_; }
    const DeviceState& State() const { return state_; }
    DeviceCondition Condition() const { return condition_; }
    // Makes the device's context current; false when it cannot be.
    bool MakeCurrent();
    // Reads the back buffer, top row first, as 0xAARRGGBB.
    std::vector<uint32_t> ReadBackBuffer(const RECT& rect);
    // Writes pixels (0xAARRGGBB, top row first) into the back buffer.
    void WriteBackBuffer(const RECT& rect, const uint32_t* pixels);

    // Test hooks: the lost-device sequence on any device, and a failing Reset.
    void ForceLost() { condition_ = DeviceCondition::Lost; }
    void ForceRegained() {
        if (condition_ == DeviceCondition::Lost) condition_ = DeviceCondition::NotReset;
    }
    void FailNextReset() { failNextReset_ = true; }
    // Resources count themselves when made and destroyed; Reset refuses while any of the
    // default pool lives.
    void CountResource(D3DPOOL pool, int change) {
        if (pool == D3DPOOL_DEFAULT) defaultResources_ += change;
    }
    // Managed textures with an OpenGL copy. Making a copy drops those not drawn for a while, as
    // Direct3D's resource manager evicts them; their next draw makes them again from memory.
    void TrackResident(Texture* texture) { resident_.push_back(texture); }
    void ForgetResident(Texture* texture);
    uint64_t FrameCount() const { return frames_; }
    // Drops the OpenGL copies of the managed textures not drawn in the last frames, but hands
    // over the first of the given size and level count.
    GlTexture EvictUnusedTextures(UINT width, UINT height, UINT levels);
    // Drops the cached programs whose key starts with `prefix` (a vertex shader going away).
    void ForgetPrograms(const std::string& prefix);

protected:
    bool Implements(REFIID riid) const override { return riid == IID_IDirect3DDevice9; }

private:
    Device() = default;

    // A colour image with its framebuffer.
    struct ColorTarget {
        GlFramebuffer fbo;
        GlTexture color;
        void Reset() {
            fbo.Reset();
            color.Reset();
        }
        void Abandon() {
            fbo.Abandon();
            color.Abandon();
        }
    };

    HRESULT Init(Direct3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                 D3DPRESENT_PARAMETERS* params);
    HRESULT ApplyPresentParameters(D3DPRESENT_PARAMETERS* params);
    // Drops the textures, streams, indices, declaration and shader the device holds.
    void ReleaseBindings();
    bool CreateBackBuffer(UINT width, UINT height);
    void DestroyBackBuffer();
    void AbandonBackBuffer();
    // Brings the back buffer's content back from the presented image before it is drawn on.
    void RestoreBackBuffer();
    // The framebuffer that holds the back buffer's content.
    GLuint BackContent() const { return backInSpare_ ? spare_.fbo.Get() : back_.fbo.Get(); }
    void OnEvent(const SDL_Event& event);
    // Draws what `call` describes with the current state.
    HRESULT Submit(const DrawCall& call);
    // The part of the state that shapes the generated shaders.
    void BuildDesc(const VertexLayout& layout, bool shaderVertices, FfpDesc* desc);
    void SetUniforms(const Program& program, const FfpDesc& desc, bool pretransformed);
    // Framebuffer, viewport, rasteriser, depth, stencil, colour mask and blending.
    void ApplyOutputState(bool pretransformed);
    // The image to show when the back buffer fills the client area: the back buffer itself.
    const ColorTarget& PresentBackBuffer();
    // The image to show otherwise: the client area with the back buffer (or `src` of it) in it.
    const ColorTarget& ComposeClientImage(const RECT& src, const RECT* dst, int clientW, int clientH);

    Direct3D9* d3d_ = nullptr;  // holds a reference
    D3DDEVTYPE type_ = D3DDEVTYPE_HAL;
    HWND focusWindow_ = nullptr;
    DWORD behaviorFlags_ = 0;
    std::shared_ptr<win32::Window> window_;
    SDL_GLContext context_ = nullptr;
    int listener_ = 0;
    D3DPRESENT_PARAMETERS params_ = {};
    DeviceState state_;
    DeviceCondition condition_ = DeviceCondition::Operational;
    bool inScene_ = false;
    // The back buffer and a spare of its size, both on the one depth-stencil buffer. Present swaps
    // them: the spare then holds the front buffer, and the back buffer's content until it is drawn on.
    ColorTarget back_, spare_;
    GlRenderbuffer depth_;
    bool backInSpare_ = false;
    // The client area's image when the back buffer does not fill it, or with a source rectangle.
    ColorTarget clientImage_;
    int clientW_ = 0, clientH_ = 0;
    enum class Front { None, Spare, ClientImage } front_ = Front::None;
    ComPtr<IDirect3DBaseTexture9> textures_[kMaxStages];
    ComPtr<IDirect3DVertexBuffer9> streams_[kMaxStreams];
    UINT streamOffsets_[kMaxStreams] = {};
    UINT streamStrides_[kMaxStreams] = {};
    ComPtr<IDirect3DIndexBuffer9> indices_;
    ComPtr<IDirect3DVertexDeclaration9> declaration_;
    ComPtr<IDirect3DVertexShader9> vertexShader_;
    float vsConstants_[kMaxVertexShaderConstants][4] = {};
    bool cursorVisible_ = false;
    int cursorX_ = 0, cursorY_ = 0;
    UINT cursorHotX_ = 0, cursorHotY_ = 0;
    UINT cursorW_ = 0, cursorH_ = 0;
    GlTexture cursorTexture_;
    bool failNextReset_ = false;
    std::vector<Texture*> resident_;
    uint64_t frames_ = 0;  // presents so far
    int defaultResources_ = 0;
    std::unique_ptr<Renderer> renderer_;
};

}  // namespace platform::d3d9
