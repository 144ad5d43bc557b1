// Fixed-function vertex lighting, checked against Direct3D 9's lighting equations computed here:
// ambient, diffuse, specular (local or infinite viewer), emissive, material sources, attenuation,
// range, spot cones, normal transformation, clamping, vertex alpha.
#include "draw_fixture.h"

#include <algorithm>

namespace drawtest {
namespace {

struct Vec {
    double x, y, z;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec Norm(Vec a) {
    double l = Length(a);
    return l > 0 ? a * (1 / l) : a;
}

struct Rgba {
    double r, g, b, a;
};
Rgba FromColor(D3DCOLOR c) {
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, (c >> 24) / 255.0};
}
Vec V(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

// The material colours a vertex lights with.
struct Material {
    Rgba diffuse, ambient, specular, emissive;
    double power;
};

// Direct3D 9's vertex lighting, with V and N in camera space and lights given in camera space.
struct Lit {
    Rgba diffuse, specular;
};
Lit LightVertex(Vec p, Vec n, bool hasNormal, const Material& m, D3DCOLOR globalAmbient,
                const std::vector<D3DLIGHT9>& lights, bool specularOn, bool localViewer) {
    Rgba ga = FromColor(globalAmbient);
    Vec amb{0, 0, 0}, dif{0, 0, 0}, spe{0, 0, 0};
    for (const D3DLIGHT9& l : lights) {
        Vec L;
        double atten = 1, spot = 1;
        if (l.Type == D3DLIGHT_DIRECTIONAL) {
            L = Norm(V(l.Direction)) * -1;
        } else {
            Vec toLight = V(l.Position) - p;
            double d = Length(toLight);
            if (d > l.Range) continue;  // nothing at all beyond the range
            L = Norm(toLight);
            atten = 1 / (l.Attenuation0 + l.Attenuation1 * d + l.Attenuation2 * d * d);
            if (l.Type == D3DLIGHT_SPOT) {
                double rho = Dot(Norm(V(l.Direction) * -1), L);
                double cosTheta = std::cos(l.Theta / 2), cosPhi = std::cos(l.Phi / 2);
                if (rho > cosTheta) spot = 1;
                else if (rho <= cosPhi) spot = 0;
                else spot = std::pow((rho - cosPhi) / (cosTheta - cosPhi), l.Falloff);
            }
        }
        double f = atten * spot;
        amb = amb + Vec{l.Ambient.r, l.Ambient.g, l.Ambient.b} * f;
        double ndotl = hasNormal ? Dot(n, L) : 0;
        if (ndotl > 0) {
            dif = dif + Vec{l.Diffuse.r, l.Diffuse.g, l.Diffuse.b} * (ndotl * f);
            if (specularOn) {
                // An infinitely far viewer lies toward -z, where the camera at the origin is.
                Vec h = localViewer ? Norm(Norm(p * -1) + L) : Norm(Vec{0, 0, -1} + L);
                double ndoth = Dot(n, h);
                if (ndoth > 0)
                    spe = spe + Vec{l.Specular.r, l.Specular.g, l.Specular.b} * (std::pow(ndoth, m.power) * f);
            }
        }
    }
    auto clamp = [](double v) { return std::min(1.0, std::max(0.0, v)); };
    Lit out;
    out.diffuse = {clamp(m.emissive.r + m.ambient.r * (ga.r + amb.x) + m.diffuse.r * dif.x),
                   clamp(m.emissive.g + m.ambient.g * (ga.g + amb.y) + m.diffuse.g * dif.y),
                   clamp(m.emissive.b + m.ambient.b * (ga.b + amb.z) + m.diffuse.b * dif.z), clamp(m.diffuse.a)};
    out.specular = {clamp(m.specular.r * spe.x), clamp(m.specular.g * spe.y), clamp(m.specular.b * spe.z), 1};
    return out;
}

DWORD PackLit(const Lit& lit, bool addSpecular) {
    auto c = lit.diffuse;
    if (addSpecular) {
        c.r = std::min(1.0, c.r + lit.specular.r);
        c.g = std::min(1.0, c.g + lit.specular.g);
        c.b = std::min(1.0, c.b + lit.specular.b);
    }
    return Pack(c.r, c.g, c.b);
}

D3DCOLORVALUE Cv(double r, double g, double b, double a = 1) {
    return D3DCOLORVALUE{float(r), float(g), float(b), float(a)};
}

D3DMATERIAL9 ToD3D(const Material& m) {
    D3DMATERIAL9 d = {};
    d.Diffuse = Cv(m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
    d.Ambient = Cv(m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a);
    d.Specular = Cv(m.specular.r, m.specular.g, m.specular.b, m.specular.a);
    d.Emissive = Cv(m.emissive.r, m.emissive.g, m.emissive.b, m.emissive.a);
    d.Power = float(m.power);
    return d;
}

D3DLIGHT9 PointLight(Vec pos, D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient, float range, float a0, float a1,
                     float a2) {
    D3DLIGHT9 l = {};
    l.Type = D3DLIGHT_POINT;
    l.Diffuse = diffuse;
    l.Ambient = ambient;
    l.Position = D3DVECTOR{float(pos.x), float(pos.y), float(pos.z)};
    l.Range = range;
    l.Attenuation0 = a0;
    l.Attenuation1 = a1;
    l.Attenuation2 = a2;
    return l;
}

D3DMATRIX Identity() {
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

D3DMATRIX RotationY(double a) {
    D3DMATRIX m = Identity();
    m._11 = float(std::cos(a));
    m._13 = float(-std::sin(a));
    m._31 = float(std::sin(a));
    m._33 = float(std::cos(a));
    return m;
}

Vec TransformDirection(Vec v, const D3DMATRIX& m) {
    return {v.x * m._11 + v.y * m._21 + v.z * m._31, v.x * m._12 + v.y * m._22 + v.z * m._32,
            v.x * m._13 + v.y * m._23 + v.z * m._33};
}

struct LitVertex {
    float x, y, z, nx, ny, nz;
};

class Lighting : public DrawTest {
protected:
    void SetUp() override {
        DrawTest::SetUp();
        // Identity transforms: camera space is clip space, the viewer at the origin looking along +z.
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
        material_ = {{0.9, 0.7, 0.5, 1}, {0.6, 0.5, 0.4, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0};
    }
    void SetLights(const std::vector<D3DLIGHT9>& lights) {
        for (DWORD i = 0; i < 8; ++i) device_->LightEnable(i, FALSE);
        for (DWORD i = 0; i < lights.size(); ++i) {
            ASSERT_EQ(device_->SetLight(i, &lights[i]), D3D_OK);
            ASSERT_EQ(device_->LightEnable(i, TRUE), D3D_OK);
        }
    }
    // A quad facing the viewer from (-h,-h) to (h,h) at depth z.
    void DrawQuad(float h, float z, Vec n = {0, 0, -1}) {
        LitVertex q[4] = {{-h, h, z, float(n.x), float(n.y), float(n.z)}, {h, h, z, float(n.x), float(n.y), float(n.z)},
                          {-h, -h, z, float(n.x), float(n.y), float(n.z)}, {h, -h, z, float(n.x), float(n.y), float(n.z)}};
        D3DMATERIAL9 m = ToD3D(material_);
        device_->SetMaterial(&m);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex)), D3D_OK);
    }
    // A flat-shaded triangle whose first vertex is `p`: every pixel shows that vertex's lighting.
    void DrawFlatTriangle(Vec p, Vec n) {
        device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        float x = float(p.x), y = float(p.y), z = float(p.z);
        LitVertex t[3] = {{x, y, z, float(n.x), float(n.y), float(n.z)},
                          {-0.9f, 0.9f, z, float(n.x), float(n.y), float(n.z)},
                          {-0.9f, -0.9f, z, float(n.x), float(n.y), float(n.z)}};
        D3DMATERIAL9 m = ToD3D(material_);
        device_->SetMaterial(&m);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(LitVertex)), D3D_OK);
    }
    Material material_;
};

TEST_F(Lighting, PointLightAttenuatesWithDistanceAndStopsAtItsRange) {
    const float h = 0.25f, z = 0.5f;
    for (double dz : {0.1, 0.3, 0.6, 1.0}) {
        D3DLIGHT9 light = PointLight({0, 0, z - dz}, Cv(1, 0.9, 0.8), Cv(0.3, 0.3, 0.3), 0.9f, 0.5f, 0.8f, 0.4f);
        SetLights({light});
        Clear(0xFF000000);
        Begin();
        DrawQuad(h, z);
        End();
        // The four corners are equally far from the light, so the quad is even.
        Lit corner = LightVertex({h, h, z}, {0, 0, -1}, true, material_, 0xFF404040, {light}, false, true);
        DWORD expected = PackLit(corner, false);
        EXPECT_TRUE(ColorNear(Pixel(32, 32), expected)) << "distance along the axis " << dz;
        EXPECT_TRUE(ColorNear(Pixel(26, 37), expected)) << "distance along the axis " << dz;
        EXPECT_EQ(Pixel(10, 10), 0xFF000000u);
    }
    // Beyond the range only the global ambient lights it: 0x40/255 of the material ambient.
    D3DLIGHT9 far = PointLight({0, 0, -0.5f}, Cv(1, 1, 1), Cv(1, 1, 1), 0.9f, 1, 0, 0);
    SetLights({far});
    Clear(0xFF000000);
    Begin();
    DrawQuad(h, z);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.6 * 64 / 255, 0.5 * 64 / 255, 0.4 * 64 / 255)));
}

TEST_F(Lighting, LightingIsPerVertexAndInterpolated) {
    // A light close to the middle of a large quad: bright there per pixel, dim at the corners.
    D3DLIGHT9 light = PointLight({0, 0, 0.4f}, Cv(1, 1, 1), Cv(0, 0, 0), 10, 0, 0, 4);
    SetLights({light});
    Clear(0xFF000000);
    Begin();
    DrawQuad(0.8f, 0.5f);
    End();
    Lit corner = LightVertex({0.8, 0.8, 0.5}, {0, 0, -1}, true, material_, 0xFF404040, {light}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(corner, false)));
}

TEST_F(Lighting, DirectionalLightUsesTheViewButNotTheWorld) {
    D3DLIGHT9 sun = {};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = Cv(1, 1, 1);
    sun.Ambient = Cv(0.1, 0.2, 0.3);
    sun.Direction = D3DVECTOR{0.6f, 0.0f, 0.8f};
    sun.Range = 0.01f;  // ignored by directional lights
    SetLights({sun});
    Clear(0xFF000000);
    Begin();
    DrawQuad(0.5f, 0.5f);
    End();
    Lit lit = LightVertex({0.5, 0.5, 0.5}, {0, 0, -1}, true, material_, 0xFF404040, {sun}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));

    // The same picture through a turned view and a world that turns back: the light's direction,
    // given in world space, goes through the view only.
    D3DMATRIX view = RotationY(1.2), world = RotationY(-1.2);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_WORLD, &world);
    D3DLIGHT9 turned = sun;
    Vec d = TransformDirection({0.6, 0.0, 0.8}, RotationY(-1.2));  // the inverse of the view
    turned.Direction = D3DVECTOR{float(d.x), float(d.y), float(d.z)};
    SetLights({turned});
    Clear(0xFF000000);
    Begin();
    DrawQuad(0.5f, 0.5f);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));

    // A light from behind the surface adds no diffuse light (N.L is not negative light).
    D3DMATRIX id = Identity();
    device_->SetTransform(D3DTS_VIEW, &id);
    device_->SetTransform(D3DTS_WORLD, &id);
    sun.Direction = D3DVECTOR{0, 0, -1};
    SetLights({sun});
    Clear(0xFF000000);
    Begin();
    DrawQuad(0.5f, 0.5f);
    End();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.6 * (0.251 + 0.1), 0.5 * (0.251 + 0.2), 0.4 * (0.251 + 0.3))));
}

TEST_F(Lighting, SpecularHighlightWithLocalAndInfiniteViewer) {
    material_ = {{0.2, 0.2, 0.2, 1}, {0, 0, 0, 1}, {0.5, 0.6, 0.7, 1}, {0, 0, 0, 1}, 10};
    D3DLIGHT9 light = PointLight({0.1, 0.3, 0.1}, Cv(1, 1, 1), Cv(0, 0, 0), 100, 1, 0, 0);
    light.Specular = Cv(1, 1, 1);
    SetLights({light});
    device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    const Vec p{0.2, 0.1, 0.5}, n{0, 0, -1};
    for (BOOL local : {TRUE, FALSE}) {
        device_->SetRenderState(D3DRS_LOCALVIEWER, local);
        Clear(0xFF000000);
        Begin();
        DrawFlatTriangle(p, n);
        End();
        Lit lit = LightVertex(p, n, true, material_, 0xFF404040, {light}, true, local != FALSE);
        EXPECT_GT(lit.specular.r, 0.05);
        EXPECT_TRUE(ColorNear(Pixel(5, 30), PackLit(lit, true))) << "local viewer " << local;
    }
    // Without SPECULARENABLE there is no highlight.
    device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    Clear(0xFF000000);
    Begin();
    DrawFlatTriangle(p, n);
    End();
    Lit lit = LightVertex(p, n, true, material_, 0xFF404040, {light}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(5, 30), PackLit(lit, false)));
}

TEST_F(Lighting, SpotLightConesAndFalloff) {
    D3DLIGHT9 spot = {};
    spot.Type = D3DLIGHT_SPOT;
    spot.Diffuse = Cv(1, 1, 1);
    spot.Position = D3DVECTOR{0, 0, 0};
    spot.Direction = D3DVECTOR{0, 0, 1};
    spot.Range = 100;
    spot.Attenuation0 = 1;
    spot.Theta = 0.4f;
    spot.Phi = 1.0f;
    spot.Falloff = 2.0f;
    SetLights({spot});
    material_.ambient = {0, 0, 0, 1};
    // Points on the plane z = 0.5 at growing angles from the axis: inside, between, outside.
    for (double x : {0.05, 0.18, 0.24, 0.4}) {
        Vec p{x, 0, 0.5};
        Clear(0xFF000000);
        Begin();
        DrawFlatTriangle(p, {0, 0, -1});
        End();
        Lit lit = LightVertex(p, {0, 0, -1}, true, material_, 0xFF404040, {spot}, false, true);
        EXPECT_TRUE(ColorNear(Pixel(5, 30), PackLit(lit, false))) << "x " << x;
    }
}

TEST_F(Lighting, MaterialSourcesFollowColorVertex) {
    struct CV {
        float x, y, z, nx, ny, nz;
        DWORD diffuse;
    };
    const DWORD vertexColor = 0x80306090;
    D3DLIGHT9 sun = {};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = Cv(0.5, 0.5, 0.5);
    sun.Direction = D3DVECTOR{0, 0, 1};
    SetLights({sun});
    D3DMATERIAL9 m = ToD3D(material_);
    device_->SetMaterial(&m);
    CV q[4] = {{-0.5f, 0.5f, 0.5f, 0, 0, -1, vertexColor}, {0.5f, 0.5f, 0.5f, 0, 0, -1, vertexColor},
               {-0.5f, -0.5f, 0.5f, 0, 0, -1, vertexColor}, {0.5f, -0.5f, 0.5f, 0, 0, -1, vertexColor}};
    auto draw = [&] {
        Clear(0xFF000000);
        Begin();
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(CV)), D3D_OK);
        End();
    };
    Rgba vc = FromColor(vertexColor);
    // Defaults: diffuse from the vertex colour, ambient from the material.
    draw();
    Material expected = material_;
    expected.diffuse = vc;
    Lit lit = LightVertex({0, 0, 0.5}, {0, 0, -1}, true, expected, 0xFF404040, {sun}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));
    // Ambient and emissive from the vertex colour too.
    device_->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
    device_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
    draw();
    expected.ambient = vc;
    expected.emissive = vc;
    lit = LightVertex({0, 0, 0.5}, {0, 0, -1}, true, expected, 0xFF404040, {sun}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));
    // COLORVERTEX off: the material everywhere.
    device_->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    draw();
    lit = LightVertex({0, 0, 0.5}, {0, 0, -1}, true, material_, 0xFF404040, {sun}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));
    // A source naming the specular colour, which the vertex lacks, falls back to the material.
    device_->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR2);
    device_->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    device_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    draw();
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));
}

TEST_F(Lighting, EmissiveAndVerticesWithoutNormals) {
    material_.emissive = {0.2, 0.1, 0.0, 1};
    D3DLIGHT9 light = PointLight({0, 0, 0.3f}, Cv(1, 1, 1), Cv(0.2, 0.2, 0.2), 10, 1, 0, 0);
    SetLights({light});
    // Positions only: no normal, so only emissive and ambient light.
    struct P {
        float x, y, z;
    } q[4] = {{-0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}};
    D3DMATERIAL9 m = ToD3D(material_);
    device_->SetMaterial(&m);
    Clear(0xFF000000);
    Begin();
    device_->SetFVF(D3DFVF_XYZ);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(P)), D3D_OK);
    End();
    Lit lit = LightVertex({0.5, 0.5, 0.5}, {0, 0, 0}, false, material_, 0xFF404040, {light}, false, true);
    EXPECT_TRUE(ColorNear(Pixel(32, 32), PackLit(lit, false)));
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.2 + 0.6 * (0.251 + 0.2), 0.1 + 0.5 * 0.451, 0.4 * 0.451)));
}

TEST_F(Lighting, ScaledWorldsScaleNormalsUnlessNormalised) {
    D3DLIGHT9 sun = {};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = Cv(0.4, 0.4, 0.4);
    sun.Direction = D3DVECTOR{0, 0, 1};
    SetLights({sun});
    material_.ambient = {0, 0, 0, 1};
    // World scaled by 1/2: normals go through the inverse transpose and come out twice as long.
    D3DMATRIX world = Identity();
    world._11 = world._22 = world._33 = 0.5f;
    device_->SetTransform(D3DTS_WORLD, &world);
    for (BOOL normalise : {FALSE, TRUE}) {
        device_->SetRenderState(D3DRS_NORMALIZENORMALS, normalise);
        Clear(0xFF000000);
        Begin();
        DrawQuad(1.0f, 1.0f);  // at depth 0.5 after the scale
        End();
        double ndotl = normalise ? 1.0 : 2.0;
        EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(0.9 * 0.4 * ndotl, 0.7 * 0.4 * ndotl, 0.5 * 0.4 * ndotl)))
            << "normalise " << normalise;
    }
}

TEST_F(Lighting, ColoursClampBeforeTexturingAndAlphaComesFromTheDiffuseMaterial) {
    // An over-bright light saturates the lit colour at 1 before stage 0 halves it.
    D3DLIGHT9 sun = {};
    sun.Type = D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = Cv(3, 3, 3);
    sun.Direction = D3DVECTOR{0, 0, 1};
    SetLights({sun});
    material_ = {{0.9, 0.7, 0.5, 0.25}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0};
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    // The vertex alpha (the material's diffuse alpha, 0.25) blends over the background.
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Clear(0xFF0000FF);
    Begin();
    DrawQuad(0.5f, 0.5f);
    End();
    double half = 128.0 / 255.0;
    EXPECT_TRUE(ColorNear(Pixel(32, 32), Pack(half * 0.25, half * 0.25, half * 0.25 + 0.75)));
}

}  // namespace
}  // namespace drawtest
