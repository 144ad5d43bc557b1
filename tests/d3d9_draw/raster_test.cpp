// Rasterisation: pixel centres of pre-transformed vertices, the viewport, primitive types and
// their vertex order, flat shading's first vertex, culling by winding on screen.
#include "draw_fixture.h"

namespace drawtest {
namespace {

using Raster = DrawTest;

constexpr D3DCOLOR kBack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

// The pixels of colour `c` as a sorted list of (x, y) in a region.
std::vector<std::pair<int, int>> Covered(const std::vector<DWORD>& px, DWORD c, int x0 = 0, int y0 = 0,
                                         int x1 = kSize, int y1 = kSize) {
    std::vector<std::pair<int, int>> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (px[size_t(y) * kSize + x] == c) out.push_back({x, y});
    return out;
}

std::vector<std::pair<int, int>> Box(int x0, int y0, int x1, int y1) {
    std::vector<std::pair<int, int>> out;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) out.push_back({x, y});
    return out;
}

TEST_F(Raster, PretransformedPixelCentresAreOnIntegers) {
    Clear(kBack);
    Begin();
    // Edges through pixel centres: the top and left ones are inside, the others outside.
    DrawRect(0, 0, 4, 4, kRed);
    // Edges between centres cover the centres within.
    DrawRect(10.5f, 20.5f, 14.5f, 22.5f, kGreen);
    // A 1 x 1 rectangle on a centre-to-centre span covers exactly one pixel.
    DrawRect(30, 30, 31, 31, kBlue);
    End();
    auto px = Pixels();
    EXPECT_EQ(Covered(px, kRed), Box(0, 0, 4, 4));
    EXPECT_EQ(Covered(px, kGreen), Box(11, 21, 15, 23));
    EXPECT_EQ(Covered(px, kBlue), Box(30, 30, 31, 31));
}

TEST_F(Raster, ATextureMapsTexelsToPixelsHalfAPixelUpAndLeft) {
    // 4 x 4 texels of distinct colours, point sampled on a quad from -0.5 to 3.5.
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0xFF000000u | DWORD(x * 60 << 16) | DWORD(y * 60 << 8) | 0x11;
    tex->UnlockRect(0);
    struct V {
        float x, y, z, rhw, u, v;
    } q[4] = {{7.5f, 7.5f, 0, 1, 0, 0}, {11.5f, 7.5f, 0, 1, 1, 0}, {7.5f, 11.5f, 0, 1, 0, 1}, {11.5f, 11.5f, 0, 1, 1, 1}};
    Clear(kBack);
    Begin();
    device_->SetTexture(0, tex);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
    End();
    auto px = Pixels();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(px[size_t(8 + y) * kSize + 8 + x], 0xFF000000u | DWORD(x * 60 << 16) | DWORD(y * 60 << 8) | 0x11)
                << x << "," << y;
    EXPECT_EQ(Covered(px, kBack).size(), size_t(kSize * kSize - 16));
    device_->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(Raster, PretransformedVerticesAreRenderTargetPixelsClippedToTheViewport) {
    Clear(kBack);
    D3DVIEWPORT9 vp = {16, 8, 32, 24, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    Begin();
    DrawRect(0, 0, 20, 12, kRed);     // straddles the viewport's corner
    DrawRect(40, 20, 44, 24, kGreen);  // inside
    End();
    auto px = Pixels();
    // Not moved by the viewport's origin, but clipped to its rectangle.
    EXPECT_EQ(Covered(px, kRed), Box(16, 8, 20, 12));
    EXPECT_EQ(Covered(px, kGreen), Box(40, 20, 44, 24));
    // Clears reach only the viewport too.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Covered(Pixels(), kBlue), Box(16, 8, 48, 32));
}

TEST_F(Raster, TransformedGeometryFollowsTheViewportMapping) {
    Clear(kBack);
    // A viewport in the lower right quarter; identity transforms, so clip space = object space.
    D3DVIEWPORT9 vp = {32, 32, 32, 32, 0.0f, 1.0f};
    device_->SetViewport(&vp);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    struct V {
        float x, y, z;
        DWORD c;
    };
    // x from -1 to 0 and y from 0 to 1 (up): the viewport's top-left quarter on screen.
    V q[4] = {{-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, 0, 0.5f, kRed}, {0, 0, 0.5f, kRed}};
    Begin();
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
    End();
    // Xs = X + (1 + x) W/2, Ys = Y + (1 - y) H/2: x 32..48, y 32..48.
    EXPECT_EQ(Covered(Pixels(), kRed), Box(32, 32, 48, 48));
}

TEST_F(Raster, StripsAndFansKeepOneWindingAndFlatShadingTakesTheFirstVertex) {
    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    // Default culling removes counter-clockwise triangles: each of these must survive.
    const D3DCOLOR c[6] = {kRed, kGreen, kBlue, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    // A strip along x: 0 (0,0) 1 (0,10)?  Vertices alternate top and bottom rows.
    TLVertex strip[5] = {{0, 0, 0, 1, c[0]}, {10, 0, 0, 1, c[1]}, {0, 10, 0, 1, c[2]},
                         {10, 10, 0, 1, c[3]}, {0, 20, 0, 1, c[4]}};
    Clear(kBack);
    Begin();
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 3, strip, sizeof(TLVertex)), D3D_OK);
    End();
    // Triangle i takes vertex i's colour: (0,1,2) red, (1,3,2) green, (2,3,4) blue.
    EXPECT_EQ(Pixel(2, 2), kRed);
    EXPECT_EQ(Pixel(8, 7), kGreen);
    EXPECT_EQ(Pixel(2, 12), kBlue);

    // A fan around (30,30): triangles (v1,v2,v0), (v2,v3,v0), ...; triangle i takes vertex i+1.
    TLVertex fan[5] = {{30, 30, 0, 1, c[0]}, {20, 20, 0, 1, c[1]}, {40, 20, 0, 1, c[2]},
                       {40, 40, 0, 1, c[3]}, {20, 40, 0, 1, c[4]}};
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 3, fan, sizeof(TLVertex)), D3D_OK);
    End();
    EXPECT_EQ(Pixel(30, 24), kGreen);       // top triangle: vertex 1
    EXPECT_EQ(Pixel(36, 30), kBlue);        // right: vertex 2
    EXPECT_EQ(Pixel(30, 36), 0xFFFFFF00u);  // bottom: vertex 3
    EXPECT_EQ(Pixel(24, 30), kBack);        // a fourth triangle was not asked for

    // A list: triangle i takes vertex 3i.
    TLVertex list[6] = {{0, 40, 0, 1, c[5]}, {10, 40, 0, 1, c[0]}, {0, 50, 0, 1, c[1]},
                        {20, 40, 0, 1, c[2]}, {30, 40, 0, 1, c[3]}, {20, 50, 0, 1, c[4]}};
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, list, sizeof(TLVertex)), D3D_OK);
    End();
    EXPECT_EQ(Pixel(2, 42), 0xFFFF00FFu);
    EXPECT_EQ(Pixel(22, 42), kBlue);

    // Gouraud shading blends the three colours instead.
    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    TLVertex tri[3] = {{0, 0, 0, 1, 0xFFFF0000}, {60, 0, 0, 1, 0xFF00FF00}, {0, 60, 0, 1, 0xFF0000FF}};
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TLVertex)), D3D_OK);
    End();
    // At (15, 15) the barycentric weights are 1/2, 1/4, 1/4.
    EXPECT_TRUE(ColorNear(Pixel(15, 15), Pack(0.5, 0.25, 0.25), 3));
}

TEST_F(Raster, LinesAndPointsLandOnPixelCentres) {
    Clear(kBack);
    TLVertex line[2] = {{4, 10, 0, 1, kRed}, {20, 10, 0, 1, kRed}};
    TLVertex points[2] = {{40, 40, 0, 1, kGreen}, {50, 45, 0, 1, kBlue}};
    device_->SetRenderState(D3DRS_POINTSIZE, F2D(1.0f));
    Begin();
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(TLVertex)), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points, sizeof(TLVertex)), D3D_OK);
    End();
    auto px = Pixels();
    auto red = Covered(px, kRed);
    ASSERT_GE(red.size(), 15u);
    for (auto& p : red) EXPECT_EQ(p.second, 10);
    EXPECT_EQ(Covered(px, kGreen), Box(40, 40, 41, 41));
    EXPECT_EQ(Covered(px, kBlue), Box(50, 45, 51, 46));
}

// Two triangles: the left one clockwise on screen, the right one counter-clockwise.
void DrawBothWindings(IDirect3DDevice9* device) {
    using V = TLVertex;
    V cw[3] = {{0, 0, 0, 1, kRed}, {20, 0, 0, 1, kRed}, {0, 20, 0, 1, kRed}};
    V ccw[3] = {{40, 0, 0, 1, kGreen}, {40, 20, 0, 1, kGreen}, {60, 0, 0, 1, kGreen}};
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(V));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(V));
}

TEST_F(Raster, CullModesRemoveTrianglesByTheirWindingOnScreen) {
    struct Case {
        DWORD mode;
        bool cwDrawn, ccwDrawn;
    } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
    for (const Case& c : cases) {
        Clear(kBack);
        device_->SetRenderState(D3DRS_CULLMODE, c.mode);
        Begin();
        DrawBothWindings(device_);
        End();
        EXPECT_EQ(Pixel(4, 4), c.cwDrawn ? kRed : kBack) << "cull mode " << c.mode;
        EXPECT_EQ(Pixel(44, 4), c.ccwDrawn ? kGreen : kBack) << "cull mode " << c.mode;
    }
}

TEST_F(Raster, CullingOfTransformedTrianglesUsesTheirWindingAfterProjection) {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    struct V {
        float x, y, z;
        DWORD c;
    };
    // In clip space y runs up: (-1,1) (0,1) (-1,0) is top-left, top-middle, middle-left on
    // screen, clockwise there.
    V cw[3] = {{-1, 1, 0.5f, kRed}, {0, 1, 0.5f, kRed}, {-1, 0, 0.5f, kRed}};
    V ccw[3] = {{0, 0, 0.5f, kGreen}, {0, -1, 0.5f, kGreen}, {1, 0, 0.5f, kGreen}};
    // A view that looks at the triangles from behind (rotated half a turn about y) mirrors x,
    // and with it the winding.
    D3DMATRIX behind = {};
    behind._11 = -1;
    behind._22 = 1;
    behind._33 = -1;
    behind._43 = 1;
    behind._44 = 1;
    D3DMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (int view = 0; view < 2; ++view) {
        device_->SetTransform(D3DTS_VIEW, view ? &behind : &identity);
        Clear(kBack);
        Begin();
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(V)), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(V)), D3D_OK);
        End();
        auto px = Pixels();

        // Default cull mode CCW: only the triangle clockwise on screen stays.
        int redLeft = int(Covered(px, kRed, 0, 0, 32, 32).size()), redRight = int(Covered(px, kRed, 32, 0, 64, 32).size());
        int green = int(Covered(px, kGreen).size());
        if (view == 0) {
            EXPECT_GT(redLeft, 100);
            EXPECT_EQ(green, 0);
        } else {
            // Seen from behind: the red triangle lands on the right, counter-clockwise, and is
            // culled; the green one turns clockwise and stays.
            EXPECT_EQ(redLeft + redRight, 0);
            EXPECT_GT(green, 100);
        }
    }
}

TEST_F(Raster, DrawsNeedAScene) {
    Clear(kBack);
    TLVertex v[3] = {{0, 0, 0, 1, kRed}, {20, 0, 0, 1, kRed}, {0, 20, 0, 1, kRed}};
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(Pixel(2, 2), kBack);
    Begin();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPRIMITIVETYPE(9), 1, v, sizeof(TLVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(TLVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, v, sizeof(TLVertex)), D3D_OK);
    // Present refuses to run inside a scene.
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    End();
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

}  // namespace
}  // namespace drawtest
