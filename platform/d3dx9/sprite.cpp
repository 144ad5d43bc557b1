// ID3DXSprite: textured quads batched between Begin and End and drawn through the device's
// fixed-function pipeline.
#include <d3dx9core.h>

#include "common/com.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

using platform::ComPtr;

struct SpriteVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// The sprites one fill of the vertex buffer holds, six vertices each.
constexpr UINT kBufferSprites = 256;
constexpr UINT kBufferVertices = kBufferSprites * 6;
constexpr DWORD kVertexBlendDisable = 0;

struct RenderStateValue {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// The render states Begin sets. Blending and the alpha test follow D3DXSPRITE_ALPHABLEND.
const RenderStateValue kRenderStates[] = {
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_ALPHAFUNC, D3DCMP_GREATER},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHATESTENABLE, TRUE},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_COLORWRITEENABLE, 0x0F},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
    {D3DRS_LIGHTING, FALSE},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_SRGBWRITEENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_VERTEXBLEND, kVertexBlendDisable},
    {D3DRS_WRAP0, 0},
};

struct StageStateValue {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE type;
    DWORD value;
};

const StageStateValue kStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_MODULATE},
    {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
    {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
    {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_TEXCOORDINDEX, 0},
    {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
    {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
};

// Sampler 0. The filters are linear: every Direct3D 9 device can filter mip levels linearly, and
// this layer offers no anisotropic filtering. MAXANISOTROPY is filled in from the device's caps.
struct SamplerStateValue {
    D3DSAMPLERSTATETYPE type;
    DWORD value;
};

const SamplerStateValue kSamplerStates[] = {
    {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
    {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
    {D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
    {D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
    {D3DSAMP_MIPFILTER, D3DTEXF_LINEAR},
    {D3DSAMP_MAXMIPLEVEL, 0},
    {D3DSAMP_MAXANISOTROPY, 1},
    {D3DSAMP_MIPMAPLODBIAS, 0},
    {D3DSAMP_SRGBTEXTURE, 0},
};

constexpr size_t kRenderStateCount = sizeof kRenderStates / sizeof kRenderStates[0];
constexpr size_t kStageStateCount = sizeof kStageStates / sizeof kStageStates[0];
constexpr size_t kSamplerStateCount = sizeof kSamplerStates / sizeof kSamplerStates[0];

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

class Sprite final : public platform::ComObject<ID3DXSprite> {
public:
    explicit Sprite(IDirect3DDevice9* device) : device_(ComPtr<IDirect3DDevice9>::Share(device)) {}
    ~Sprite() override { ReleaseBatch(); }

    // The vertex buffer lives in the default pool, from creation or OnResetDevice to OnLostDevice.
    HRESULT CreateBuffer() {
        if (buffer_) return D3D_OK;
        IDirect3DVertexBuffer9* raw = nullptr;
        HRESULT hr = device_->CreateVertexBuffer(kBufferVertices * sizeof(SpriteVertex),
                                                 D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kSpriteFvf,
                                                 D3DPOOL_DEFAULT, &raw, nullptr);
        buffer_ = ComPtr<IDirect3DVertexBuffer9>(SUCCEEDED(hr) ? raw : nullptr);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = device_.Get();
        (*out)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DXMATRIX* out) override {
        if (!out) return D3DERR_INVALIDCALL;
        *out = transform_;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(const D3DXMATRIX* m) override {
        if (!m) return D3DERR_INVALIDCALL;
        transform_ = *m;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWorldViewRH(const D3DXMATRIX* world, const D3DXMATRIX* view) override {
        SetWorldView(world, view);
        rightHanded_ = true;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWorldViewLH(const D3DXMATRIX* world, const D3DXMATRIX* view) override {
        SetWorldView(world, view);
        rightHanded_ = false;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE Begin(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 texture, const RECT* srcRect, const D3DXVECTOR3* center,
                                   const D3DXVECTOR3* position, D3DCOLOR color) override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE End() override;
    HRESULT STDMETHODCALLTYPE OnLostDevice() override {
        ReleaseBatch();
        if (begun_ && !(flags_ & D3DXSPRITE_DONOTSAVESTATE)) RestoreState();
        begun_ = false;
        buffer_.Reset();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return CreateBuffer(); }

protected:
    bool Implements(REFIID riid) const override { return riid == IID_ID3DXSprite; }

private:
    struct Queued {
        IDirect3DTexture9* texture;  // a reference is held unless D3DXSPRITE_DO_NOT_ADDREF_TEXTURE
        SpriteVertex corners[4];     // top-left, top-right, bottom-left, bottom-right
        float depth;
    };
    struct SavedState {
        DWORD renderStates[kRenderStateCount];
        DWORD stageStates[kStageStateCount];
        DWORD samplerStates[kSamplerStateCount];
        D3DMATRIX world, view, projection;
        ComPtr<IDirect3DBaseTexture9> texture;
        ComPtr<IDirect3DVertexDeclaration9> declaration;
        ComPtr<IDirect3DVertexShader9> shader;
        DWORD fvf;
        ComPtr<IDirect3DVertexBuffer9> stream;
        UINT streamOffset, streamStride;
    };

    void SetWorldView(const D3DXMATRIX* world, const D3DXMATRIX* view) {
        world_ = world ? *world : Identity();
        view_ = view ? *view : Identity();
        haveWorldView_ = true;
    }
    void SaveState();
    void RestoreState();
    void SetRenderStates();
    // Transforms, vertex format and shader for drawing the batch.
    void SetDrawState();
    void ReleaseBatch();
    D3DXMATRIX ScreenProjection();

    ComPtr<IDirect3DDevice9> device_;
    D3DXMATRIX transform_ = Identity();
    D3DXMATRIX world_ = Identity(), view_ = Identity();
    bool haveWorldView_ = false;
    bool rightHanded_ = false;
    bool begun_ = false;
    DWORD flags_ = 0;
    SavedState saved_{};
    std::vector<Queued> batch_;
    ComPtr<IDirect3DVertexBuffer9> buffer_;  // null between OnLostDevice and OnResetDevice
};

HRESULT Sprite::Begin(DWORD flags) {
    if (begun_ || !buffer_) return D3DERR_INVALIDCALL;
    flags_ = flags;
    if (!(flags & D3DXSPRITE_DONOTSAVESTATE)) SaveState();
    if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) SetRenderStates();
    SetDrawState();
    begun_ = true;
    return D3D_OK;
}

void Sprite::SaveState() {
    IDirect3DDevice9* d = device_.Get();
    for (size_t i = 0; i < kRenderStateCount; ++i) d->GetRenderState(kRenderStates[i].state, &saved_.renderStates[i]);
    for (size_t i = 0; i < kStageStateCount; ++i)
        d->GetTextureStageState(kStageStates[i].stage, kStageStates[i].type, &saved_.stageStates[i]);
    for (size_t i = 0; i < kSamplerStateCount; ++i)
        d->GetSamplerState(0, kSamplerStates[i].type, &saved_.samplerStates[i]);
    d->GetTransform(D3DTS_WORLD, &saved_.world);
    d->GetTransform(D3DTS_VIEW, &saved_.view);
    d->GetTransform(D3DTS_PROJECTION, &saved_.projection);
    IDirect3DBaseTexture9* texture = nullptr;
    if (FAILED(d->GetTexture(0, &texture))) texture = nullptr;
    saved_.texture = ComPtr<IDirect3DBaseTexture9>(texture);
    IDirect3DVertexDeclaration9* declaration = nullptr;
    if (FAILED(d->GetVertexDeclaration(&declaration))) declaration = nullptr;
    saved_.declaration = ComPtr<IDirect3DVertexDeclaration9>(declaration);
    IDirect3DVertexShader9* shader = nullptr;
    if (FAILED(d->GetVertexShader(&shader))) shader = nullptr;
    saved_.shader = ComPtr<IDirect3DVertexShader9>(shader);
    if (FAILED(d->GetFVF(&saved_.fvf))) saved_.fvf = 0;
    IDirect3DVertexBuffer9* stream = nullptr;
    if (FAILED(d->GetStreamSource(0, &stream, &saved_.streamOffset, &saved_.streamStride))) stream = nullptr;
    saved_.stream = ComPtr<IDirect3DVertexBuffer9>(stream);
}

void Sprite::RestoreState() {
    IDirect3DDevice9* d = device_.Get();
    for (size_t i = 0; i < kRenderStateCount; ++i) d->SetRenderState(kRenderStates[i].state, saved_.renderStates[i]);
    for (size_t i = 0; i < kStageStateCount; ++i)
        d->SetTextureStageState(kStageStates[i].stage, kStageStates[i].type, saved_.stageStates[i]);
    for (size_t i = 0; i < kSamplerStateCount; ++i) d->SetSamplerState(0, kSamplerStates[i].type, saved_.samplerStates[i]);
    d->SetTransform(D3DTS_WORLD, &saved_.world);
    d->SetTransform(D3DTS_VIEW, &saved_.view);
    d->SetTransform(D3DTS_PROJECTION, &saved_.projection);
    d->SetTexture(0, saved_.texture.Get());
    d->SetVertexShader(saved_.shader.Get());
    // Whichever of the FVF and the declaration was in use is set last.
    if (saved_.fvf) {
        d->SetVertexDeclaration(saved_.declaration.Get());
        d->SetFVF(saved_.fvf);
    } else {
        d->SetFVF(saved_.fvf);
        d->SetVertexDeclaration(saved_.declaration.Get());
    }
    d->SetStreamSource(0, saved_.stream.Get(), saved_.streamOffset, saved_.streamStride);
    saved_.texture.Reset();
    saved_.declaration.Reset();
    saved_.shader.Reset();
    saved_.stream.Reset();
}

void Sprite::SetRenderStates() {
    IDirect3DDevice9* d = device_.Get();
    const bool blend = (flags_ & D3DXSPRITE_ALPHABLEND) != 0;
    for (const RenderStateValue& rs : kRenderStates) {
        DWORD value = rs.value;
        if (!blend && (rs.state == D3DRS_ALPHABLENDENABLE || rs.state == D3DRS_ALPHATESTENABLE)) value = FALSE;
        d->SetRenderState(rs.state, value);
    }
    for (const StageStateValue& ts : kStageStates) d->SetTextureStageState(ts.stage, ts.type, ts.value);
    D3DCAPS9 caps;
    const DWORD anisotropy = SUCCEEDED(d->GetDeviceCaps(&caps)) && caps.MaxAnisotropy ? caps.MaxAnisotropy : 1;
    for (const SamplerStateValue& ss : kSamplerStates)
        d->SetSamplerState(0, ss.type, ss.type == D3DSAMP_MAXANISOTROPY ? anisotropy : ss.value);
}

// Maps viewport pixels to clip space so that a sprite corner at pixel (x, y) lands on the
// screen position (x - 0.5, y - 0.5): pixel centres sit at integer positions in Direct3D 9, so
// texel i of a 1:1 sprite covers exactly pixel i. Depth is the sprite's z, 0 at the front.
D3DXMATRIX Sprite::ScreenProjection() {
    D3DVIEWPORT9 vp{};
    if (FAILED(device_->GetViewport(&vp)) || vp.Width == 0 || vp.Height == 0) vp.Width = vp.Height = 1;
    const float w = float(vp.Width), h = float(vp.Height);
    D3DXMATRIX p = Identity();
    p._11 = 2.0f / w;
    p._22 = -2.0f / h;
    p._41 = -1.0f - 1.0f / w;
    p._42 = 1.0f + 1.0f / h;
    return p;
}

void Sprite::SetDrawState() {
    IDirect3DDevice9* d = device_.Get();
    if (!(flags_ & D3DXSPRITE_OBJECTSPACE)) {
        const D3DXMATRIX identity = Identity(), projection = ScreenProjection();
        d->SetTransform(D3DTS_WORLD, &identity);
        d->SetTransform(D3DTS_VIEW, &identity);
        d->SetTransform(D3DTS_PROJECTION, &projection);
    } else if (flags_ & D3DXSPRITE_BILLBOARD) {
        // Billboard corners are computed in world space.
        const D3DXMATRIX identity = Identity();
        d->SetTransform(D3DTS_WORLD, &identity);
        d->SetTransform(D3DTS_VIEW, &view_);
    }
    d->SetVertexShader(nullptr);
    d->SetVertexDeclaration(nullptr);
    d->SetFVF(kSpriteFvf);
    d->SetStreamSource(0, buffer_.Get(), 0, sizeof(SpriteVertex));
}

HRESULT Sprite::Draw(LPDIRECT3DTEXTURE9 texture, const RECT* srcRect, const D3DXVECTOR3* center,
                     const D3DXVECTOR3* position, D3DCOLOR color) {
    if (!begun_ || !texture) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return D3DERR_INVALIDCALL;
    const RECT src = srcRect ? *srcRect : RECT{0, 0, LONG(desc.Width), LONG(desc.Height)};
    const D3DXVECTOR3 c = center ? *center : D3DXVECTOR3(0, 0, 0);
    const D3DXVECTOR3 p = position ? *position : D3DXVECTOR3(0, 0, 0);
    const float w = float(src.right - src.left), h = float(src.bottom - src.top);
    const float lx[2] = {-c.x, w - c.x}, ly[2] = {-c.y, h - c.y};
    const float u[2] = {float(src.left) / float(desc.Width), float(src.right) / float(desc.Width)};
    const float v[2] = {float(src.top) / float(desc.Height), float(src.bottom) / float(desc.Height)};

    Queued q;
    q.texture = texture;
    const bool billboard = (flags_ & D3DXSPRITE_OBJECTSPACE) && (flags_ & D3DXSPRITE_BILLBOARD);
    D3DXVECTOR3 anchor(p.x, p.y, p.z - c.z);
    D3DXVec3TransformCoord(&anchor, &anchor, &transform_);
    if (billboard) D3DXVec3TransformCoord(&anchor, &anchor, &world_);
    for (int i = 0; i < 4; ++i) {
        const int col = i & 1, row = i >> 1;
        D3DXVECTOR3 at;
        if (billboard) {
            // The quad spans the camera's right and up axes; sprite y runs down the screen.
            const D3DXVECTOR3 right(view_._11, view_._21, view_._31), up(view_._12, view_._22, view_._32);
            at = anchor + right * (lx[col] * transform_._11) - up * (ly[row] * transform_._22);
        } else {
            at = D3DXVECTOR3(lx[col] + p.x, ly[row] + p.y, p.z - c.z);
            D3DXVec3TransformCoord(&at, &at, &transform_);
        }
        q.corners[i] = SpriteVertex{at.x, at.y, at.z, color, u[col], v[row]};
    }
    // Depth for sorting: screen z, or view-space z when a world and view were given.
    D3DXVECTOR3 depthPoint = anchor;
    if ((flags_ & D3DXSPRITE_OBJECTSPACE) && haveWorldView_) {
        if (!billboard) D3DXVec3TransformCoord(&depthPoint, &depthPoint, &world_);
        D3DXVec3TransformCoord(&depthPoint, &depthPoint, &view_);
        if (rightHanded_) depthPoint.z = -depthPoint.z;
    }
    q.depth = depthPoint.z;
    batch_.push_back(q);
    if (!(flags_ & D3DXSPRITE_DO_NOT_ADDREF_TEXTURE)) texture->AddRef();
    return D3D_OK;
}

HRESULT Sprite::Flush() {
    if (!begun_) return D3DERR_INVALIDCALL;
    if (batch_.empty()) return D3D_OK;
    const bool byTexture = (flags_ & D3DXSPRITE_SORT_TEXTURE) != 0;
    const int byDepth = (flags_ & D3DXSPRITE_SORT_DEPTH_FRONTTOBACK)   ? 1
                        : (flags_ & D3DXSPRITE_SORT_DEPTH_BACKTOFRONT) ? -1
                                                                        : 0;
    if (byTexture || byDepth) {
        std::stable_sort(batch_.begin(), batch_.end(), [&](const Queued& a, const Queued& b) {
            if (byDepth && a.depth != b.depth) return byDepth > 0 ? a.depth < b.depth : a.depth > b.depth;
            return byTexture && a.texture < b.texture;
        });
    }
    SetDrawState();
    HRESULT result = D3D_OK;
    // Runs of one texture, at most a buffer's worth at a time.
    for (size_t first = 0; first < batch_.size();) {
        size_t last = first + 1;
        while (last < batch_.size() && last - first < kBufferSprites && batch_[last].texture == batch_[first].texture)
            ++last;
        void* data = nullptr;
        HRESULT hr = buffer_->Lock(0, UINT((last - first) * 6 * sizeof(SpriteVertex)), &data, D3DLOCK_DISCARD);
        if (SUCCEEDED(hr)) {
            auto* out = static_cast<SpriteVertex*>(data);
            for (size_t i = first; i < last; ++i) {
                const SpriteVertex* c = batch_[i].corners;
                // Two triangles, clockwise on screen.
                for (int k : {0, 1, 2, 2, 1, 3}) *out++ = c[k];
            }
            buffer_->Unlock();
            device_->SetTexture(0, batch_[first].texture);
            hr = device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, UINT((last - first) * 2));
        }
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        first = last;
    }
    ReleaseBatch();
    return result;
}

HRESULT Sprite::End() {
    if (!begun_) return D3DERR_INVALIDCALL;
    HRESULT hr = Flush();
    if (!(flags_ & D3DXSPRITE_DONOTSAVESTATE)) RestoreState();
    begun_ = false;
    return hr;
}

void Sprite::ReleaseBatch() {
    if (!(flags_ & D3DXSPRITE_DO_NOT_ADDREF_TEXTURE))
        for (Queued& q : batch_) q.texture->Release();
    batch_.clear();
}

}  // namespace

HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 pDevice, LPD3DXSPRITE* ppSprite) {
    if (!ppSprite) return D3DERR_INVALIDCALL;
    *ppSprite = nullptr;
    if (!pDevice) return D3DERR_INVALIDCALL;
    Sprite* sprite = nullptr;
    try {
        sprite = new Sprite(pDevice);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = sprite->CreateBuffer();
    if (FAILED(hr)) {
        sprite->Release();
        return hr;
    }
    *ppSprite = sprite;
    return D3D_OK;
}
