// The device's fixed-function state: what the setters store and the getters and the draw calls read.
#pragma once

#include <d3d9.h>

#include <map>

namespace platform::d3d9 {

constexpr int kMaxStages = 8;
constexpr int kMaxSamplers = 16;
constexpr int kMaxStreams = 16;
constexpr int kMaxVertexShaderConstants = 256;

struct LightSlot {
    D3DLIGHT9 light;
    bool enabled = false;
};

struct StreamSource {
    IDirect3DVertexBuffer9* buffer = nullptr;  // holds a reference
    UINT offset = 0;
    UINT stride = 0;
};

struct DeviceState {
    DWORD renderStates[D3DRS_COUNT];
    DWORD stageStates[kMaxStages][D3DTSS_COUNT];
    DWORD samplerStates[kMaxSamplers][D3DSAMP_COUNT];
    D3DMATRIX view;
    D3DMATRIX projection;
    D3DMATRIX world[256];
    D3DMATRIX textureTransform[kMaxStages];
    D3DVIEWPORT9 viewport;
    D3DMATERIAL9 material;
    std::map<DWORD, LightSlot> lights;
    DWORD fvf = 0;

    // Fills in a new device's values for a back buffer of the given size.
    void SetDefaults(UINT width, UINT height, bool autoDepthStencil);
};

// Identity matrix.
D3DMATRIX IdentityMatrix();

}  // namespace platform::d3d9
