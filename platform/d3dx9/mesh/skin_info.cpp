#include "d3dx9/mesh/skin_info.h"

#include "d3dx9/mesh/vertex_format.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::d3dx9 {

namespace {

// Row vector times matrix: as a point (with the translation) or as a direction.
void Transform(const float in[3], const D3DXMATRIX& m, bool point, double out[3]) {
    for (int c = 0; c < 3; ++c) {
        out[c] = double(in[0]) * m.m[0][c] + double(in[1]) * m.m[1][c] + double(in[2]) * m.m[2][c] +
                 (point ? m.m[3][c] : 0.0);
    }
}

}  // namespace

LPCSTR SkinInfo::GetBoneName(DWORD Bone) { return Bone < bones_.size() ? bones_[Bone].name.c_str() : nullptr; }

D3DXMATRIX* SkinInfo::GetBoneOffsetMatrix(DWORD Bone) {
    return Bone < bones_.size() ? &bones_[Bone].offset : nullptr;
}

DWORD SkinInfo::GetNumBoneInfluences(DWORD Bone) {
    return Bone < bones_.size() ? DWORD(bones_[Bone].vertices.size()) : 0;
}

HRESULT SkinInfo::GetBoneInfluence(DWORD Bone, DWORD* vertices, FLOAT* weights) {
    if (Bone >= bones_.size() || !vertices || !weights) return D3DERR_INVALIDCALL;
    const platform::d3dx9::Bone& b = bones_[Bone];
    std::copy(b.vertices.begin(), b.vertices.end(), vertices);
    std::copy(b.weights.begin(), b.weights.end(), weights);
    return D3D_OK;
}

HRESULT SkinInfo::GetMaxVertexInfluences(DWORD* maxVertexInfluences) {
    if (!maxVertexInfluences) return D3DERR_INVALIDCALL;
    try {
        std::vector<DWORD> count(numVertices_, 0);
        DWORD most = 0;
        for (const platform::d3dx9::Bone& b : bones_)
            for (DWORD v : b.vertices) most = std::max(most, ++count[v]);
        *maxVertexInfluences = most;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT SkinInfo::SetFVF(DWORD FVF) {
    VertexFormat format;
    if (!format.FromFvf(FVF) || format.Float3Offset(D3DDECLUSAGE_POSITION) != 0) return D3DERR_INVALIDCALL;
    fvf_ = FVF;
    return D3D_OK;
}

// Each influenced vertex becomes the weighted sum over its bones of its position times the
// bone's matrix (and its normal times the bone's inverse transpose, or the bone's matrix when
// none is given); the weights are used as they are. Every other byte, and every vertex that no
// bone moves, is copied from the source.
HRESULT SkinInfo::UpdateSkinnedMesh(const D3DXMATRIX* pBoneTransforms, const D3DXMATRIX* pBoneInvTransposeTransforms,
                                    LPCVOID pVerticesSrc, PVOID pVerticesDst) {
    if (!pBoneTransforms || !pVerticesSrc || !pVerticesDst) return D3DERR_INVALIDCALL;
    VertexFormat format;
    if (!format.FromFvf(fvf_)) return D3DERR_INVALIDCALL;
    const int positionOffset = format.Float3Offset(D3DDECLUSAGE_POSITION);
    const int normalOffset = format.Float3Offset(D3DDECLUSAGE_NORMAL);
    if (positionOffset < 0) return D3DERR_INVALIDCALL;
    const size_t stride = format.stride;
    const auto* src = static_cast<const uint8_t*>(pVerticesSrc);
    auto* dst = static_cast<uint8_t*>(pVerticesDst);
    try {
        std::vector<double> position(size_t(numVertices_) * 3, 0.0), normal(size_t(numVertices_) * 3, 0.0);
        std::vector<bool> moved(numVertices_, false);
        for (size_t b = 0; b < bones_.size(); ++b) {
            const Bone& bone = bones_[b];
            const D3DXMATRIX& m = pBoneTransforms[b];
            const D3DXMATRIX& n = pBoneInvTransposeTransforms ? pBoneInvTransposeTransforms[b] : m;
            for (size_t i = 0; i < bone.vertices.size(); ++i) {
                const DWORD v = bone.vertices[i];
                const double w = bone.weights[i];
                float in[3];
                double out[3];
                std::memcpy(in, src + v * stride + positionOffset, 12);
                Transform(in, m, true, out);
                for (int c = 0; c < 3; ++c) position[size_t(v) * 3 + c] += w * out[c];
                if (normalOffset >= 0) {
                    std::memcpy(in, src + v * stride + normalOffset, 12);
                    Transform(in, n, false, out);
                    for (int c = 0; c < 3; ++c) normal[size_t(v) * 3 + c] += w * out[c];
                }
                moved[v] = true;
            }
        }
        // The source is read completely before anything is written: the two may be one.
        if (src != dst) std::memmove(dst, src, size_t(numVertices_) * stride);
        for (DWORD v = 0; v < numVertices_; ++v) {
            if (!moved[v]) continue;
            float out[3];
            for (int c = 0; c < 3; ++c) out[c] = float(position[size_t(v) * 3 + c]);
            std::memcpy(dst + v * stride + positionOffset, out, 12);
            if (normalOffset >= 0) {
                for (int c = 0; c < 3; ++c) out[c] = float(normal[size_t(v) * 3 + c]);
                std::memcpy(dst + v * stride + normalOffset, out, 12);
            }
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace platform::d3dx9
