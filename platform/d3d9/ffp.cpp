#include "d3d9/ffp.h"

#include <d3d9.h>

#include <sstream>

namespace platform::d3d9 {
namespace {

const char* Qualifier(const FfpDesc& d) { return d.flat ? "flat " : ""; }

// The vertex's texture coordinate set `i` of `size` components, the missing ones as D3D pads
// them for a transform: the component after the last is 1, the others 0.
std::string PaddedCoord(int i, int size) {
    std::ostringstream s;
    switch (size) {
    case 1: s << "vec4(inTex" << i << ".x, 1.0, 0.0, 0.0)"; break;
    case 2: s << "vec4(inTex" << i << ".xy, 1.0, 0.0)"; break;
    case 3: s << "vec4(inTex" << i << ".xyz, 1.0)"; break;
    default: s << "inTex" << i; break;
    }
    return s.str();
}

void EmitLight(std::ostringstream& s, const FfpDesc& d, int i) {
    uint8_t type = d.lightType[i];
    s << "    {\n";
    if (type == D3DLIGHT_DIRECTIONAL) {
        s << "        vec3 L = uLightDirection[" << i << "];\n"
          << "        float f = 1.0;\n"
          << "        {\n";
    } else {
        s << "        vec3 toLight = uLightPosition[" << i << "] - cam.xyz;\n"
          << "        float dist = length(toLight);\n"
          << "        vec3 L = dist > 0.0 ? toLight / dist : vec3(0.0);\n"
          << "        vec4 att = uLightAttenuation[" << i << "];\n"
          << "        float den = att.x + att.y * dist + att.z * dist * dist;\n"
          << "        float f = den > 0.0 ? 1.0 / den : 1.0;\n";
        if (type == D3DLIGHT_SPOT) {
            s << "        vec3 spot = uLightSpot[" << i << "];\n"
              << "        float rho = dot(uLightDirection[" << i << "], L);\n"
              << "        if (rho <= spot.y) f = 0.0;\n"
              << "        else if (rho <= spot.x) f *= pow(clamp((rho - spot.y) / (spot.x - spot.y), 0.0, 1.0), spot.z);\n";
        }
        // Beyond its range the light gives nothing at all, ambient included.
        s << "        if (dist <= att.w) {\n";
    }
    s << "            ambientSum += uLightAmbient[" << i << "].rgb * f;\n";
    if (d.hasNormal) {
        s << "            float NdotL = dot(N, L);\n"
          << "            if (NdotL > 0.0) {\n"
          << "                diffuseSum += uLightDiffuse[" << i << "].rgb * (NdotL * f);\n";
        if (d.specularLighting) {
            if (d.localViewer)
                s << "                vec3 H = normalize(normalize(-cam.xyz) + L);\n";
            else  // the viewer infinitely far away, toward -z of camera space
                s << "                vec3 H = normalize(vec3(0.0, 0.0, -1.0) + L);\n";
            s << "                float NdotH = dot(N, H);\n"
              << "                if (NdotH > 0.0)\n"
              << "                    specularSum += uLightSpecular[" << i << "].rgb * (power(NdotH) * f);\n";
        }
        s << "            }\n";
    }
    s << "        }\n"
      << "    }\n";
}

const char* MaterialColor(uint8_t source, const char* material) {
    switch (source) {
    case D3DMCS_COLOR1: return "inDiffuse";
    case D3DMCS_COLOR2: return "inSpecular";
    default: return material;
    }
}

// A stage argument as a vec4 with its modifiers applied.
std::string Arg(const FfpDesc& d, int stage, uint8_t arg) {
    const FfpDesc::Stage& st = d.stages[stage];
    std::string base;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: base = "diffuse"; break;
    case D3DTA_CURRENT: base = "current"; break;
    case D3DTA_TEXTURE: base = st.texture ? "tex" : "vec4(1.0)"; break;
    case D3DTA_TFACTOR: base = "uTextureFactor"; break;
    case D3DTA_SPECULAR: base = "specular"; break;
    case D3DTA_TEMP: base = "temp"; break;
    case D3DTA_CONSTANT: base = "uStageConstant[" + std::to_string(stage) + "]"; break;
    default: base = "vec4(1.0)"; break;
    }
    if (arg & D3DTA_ALPHAREPLICATE) base = base + ".aaaa";
    if (arg & D3DTA_COMPLEMENT) base = "(vec4(1.0) - " + base + ")";
    return base;
}

// The value of a texture op on arguments a1, a2, a0 (swizzled with `sw`: ".rgb" or ".a").
std::string Op(uint8_t op, const std::string& a1, const std::string& a2, const std::string& a0,
               const char* sw, bool colour) {
    auto c = [&](const std::string& a) { return a + sw; };
    std::string one = colour ? "vec3(1.0)" : "1.0";
    switch (op) {
    case D3DTOP_SELECTARG1: return c(a1);
    case D3DTOP_SELECTARG2: return c(a2);
    case D3DTOP_MODULATE: return c(a1) + " * " + c(a2);
    case D3DTOP_MODULATE2X: return c(a1) + " * " + c(a2) + " * 2.0";
    case D3DTOP_MODULATE4X: return c(a1) + " * " + c(a2) + " * 4.0";
    case D3DTOP_ADD: return c(a1) + " + " + c(a2);
    case D3DTOP_ADDSIGNED: return c(a1) + " + " + c(a2) + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "(" + c(a1) + " + " + c(a2) + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT: return c(a1) + " - " + c(a2);
    case D3DTOP_ADDSMOOTH: return c(a1) + " + " + c(a2) + " - " + c(a1) + " * " + c(a2);
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + c(a2) + ", " + c(a1) + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + c(a2) + ", " + c(a1) + ", tex.a)";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + c(a2) + ", " + c(a1) + ", uTextureFactor.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM: return c(a1) + " + " + c(a2) + " * (1.0 - tex.a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + c(a2) + ", " + c(a1) + ", current.a)";
    case D3DTOP_PREMODULATE: return c(a1);
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        return colour ? a1 + ".rgb + " + a1 + ".a * " + a2 + ".rgb" : c(a1);
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        return colour ? a1 + ".rgb * " + a2 + ".rgb + " + a1 + ".a" : c(a1);
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        return colour ? "(1.0 - " + a1 + ".a) * " + a2 + ".rgb + " + a1 + ".rgb" : c(a1);
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        return colour ? "(vec3(1.0) - " + a1 + ".rgb) * " + a2 + ".rgb + " + a1 + ".a" : c(a1);
    case D3DTOP_DOTPRODUCT3: {
        // Signed arguments: each channel 0..1 stands for -1..1.
        std::string dot = "dot(" + a1 + ".rgb * 2.0 - 1.0, " + a2 + ".rgb * 2.0 - 1.0)";
        return colour ? "vec3(" + dot + ")" : dot;
    }
    case D3DTOP_MULTIPLYADD: return c(a1) + " + " + c(a2) + " * " + c(a0);
    case D3DTOP_LERP: return c(a1) + " * " + c(a2) + " + (" + one + " - " + c(a1) + ") * " + c(a0);
    default:  // bump mapping is not available: the stage passes CURRENT on
        return std::string("current") + sw;
    }
}

}  // namespace

std::string FfpVertexShader(const FfpDesc& d) {
    std::ostringstream s;
    s << "#version 330 core\n"
      << "layout(location = " << kLocPosition << ") in vec4 inPosition;\n"
      << "layout(location = " << kLocBlendWeight << ") in vec4 inBlendWeight;\n"
      << "layout(location = " << kLocNormal << ") in vec3 inNormal;\n"
      << "layout(location = " << kLocPointSize << ") in float inPointSize;\n"
      << "layout(location = " << kLocDiffuse << ") in vec4 inDiffuse;\n"
      << "layout(location = " << kLocSpecular << ") in vec4 inSpecular;\n";
    for (int i = 0; i < 8; ++i)
        s << "layout(location = " << kLocTexCoord0 + i << ") in vec4 inTex" << i << ";\n";
    s << "uniform mat4 uWorldView[" << kMaxBlendMatrices << "];\n"
      << "uniform mat3 uNormalMatrix[" << kMaxBlendMatrices << "];\n"
      << "uniform mat4 uProjection;\n"
      << "uniform vec4 uViewport;\n"   // x, y, width, height in pixels
      << "uniform vec4 uPixelFix;\n"   // xy: clip-space shift per w; zw: pixel shift
      << "uniform vec3 uPointSize;\n"  // size, minimum, maximum
      << "uniform vec4 uMaterial[4];\n"  // diffuse, ambient, specular, emissive
      << "uniform float uMaterialPower;\n"
      << "uniform vec4 uAmbient;\n"
      << "uniform vec4 uLightDiffuse[" << kMaxActiveLights << "];\n"
      << "uniform vec4 uLightSpecular[" << kMaxActiveLights << "];\n"
      << "uniform vec4 uLightAmbient[" << kMaxActiveLights << "];\n"
      << "uniform vec3 uLightPosition[" << kMaxActiveLights << "];\n"
      << "uniform vec3 uLightDirection[" << kMaxActiveLights << "];\n"
      << "uniform vec4 uLightAttenuation[" << kMaxActiveLights << "];\n"  // a0, a1, a2, range
      << "uniform vec3 uLightSpot[" << kMaxActiveLights << "];\n"  // cos(theta/2), cos(phi/2), falloff
      << "uniform mat4 uTexMatrix[8];\n"
      << Qualifier(d) << "out vec4 vDiffuse;\n"
      << Qualifier(d) << "out vec4 vSpecular;\n";
    for (int st = 0; st < d.stageCount; ++st)
        if (d.stages[st].texture) s << "out vec4 vTex" << st << ";\n";
    s << "float power(float x) { return uMaterialPower > 0.0 ? pow(x, uMaterialPower) : 1.0; }\n"
      << "void main() {\n"
      << "    gl_PointSize = clamp(" << (d.hasPointSize ? "inPointSize" : "uPointSize.x")
      << ", uPointSize.y, uPointSize.z);\n";

    if (d.pretransformed) {
        // x and y are render-target pixels with centres on integers, z is the depth, w is 1/w.
        s << "    float w = inPosition.w != 0.0 ? 1.0 / inPosition.w : 1.0;\n"
          << "    vec2 ndc = (inPosition.xy + uPixelFix.zw - uViewport.xy) / uViewport.zw * 2.0 - 1.0;\n"
          << "    float z = " << (d.clipControl ? "inPosition.z" : "inPosition.z * 2.0 - 1.0") << ";\n"
          << "    gl_Position = vec4(ndc, z, 1.0) * w;\n"
          << "    vec4 cam = vec4(0.0, 0.0, 0.0, 1.0);\n"
          << "    vec3 N = vec3(0.0);\n";
    } else {
        if (d.blendMatrices > 1) {
            s << "    float weights[" << int(d.blendMatrices) << "];\n"
              << "    float weightSum = 0.0;\n";
            for (int i = 0; i + 1 < d.blendMatrices; ++i) {
                if (i < d.blendWeights)
                    s << "    weights[" << i << "] = inBlendWeight[" << i << "];\n";
                else
                    s << "    weights[" << i << "] = 0.0;\n";
                s << "    weightSum += weights[" << i << "];\n";
            }
            s << "    weights[" << d.blendMatrices - 1 << "] = 1.0 - weightSum;\n"
              << "    vec4 cam = vec4(0.0);\n"
              << "    vec3 N = vec3(0.0);\n"
              << "    for (int i = 0; i < " << int(d.blendMatrices) << "; ++i) {\n"
              << "        cam += weights[i] * (uWorldView[i] * inPosition);\n"
              << "        N += weights[i] * (uNormalMatrix[i] * inNormal);\n"
              << "    }\n";
        } else {
            s << "    vec4 cam = uWorldView[0] * inPosition;\n"
              << "    vec3 N = uNormalMatrix[0] * inNormal;\n";
        }
        if (d.normalizeNormals) s << "    if (dot(N, N) > 0.0) N = normalize(N);\n";
        s << "    vec4 clip = uProjection * cam;\n"
          // D3D's y runs down the render target, which OpenGL stores top row first.
          << "    gl_Position = vec4(clip.x + uPixelFix.x * clip.w, -clip.y + uPixelFix.y * clip.w, "
          << (d.clipControl ? "clip.z" : "2.0 * clip.z - clip.w") << ", clip.w);\n";
    }

    if (d.lighting) {
        s << "    vec3 ambientSum = vec3(0.0), diffuseSum = vec3(0.0), specularSum = vec3(0.0);\n";
        for (int i = 0; i < d.lightCount; ++i) EmitLight(s, d, i);
        s << "    vec4 Cd = " << MaterialColor(d.diffuseSource, "uMaterial[0]") << ";\n"
          << "    vec4 Ca = " << MaterialColor(d.ambientSource, "uMaterial[1]") << ";\n"
          << "    vec4 Cs = " << MaterialColor(d.specularSource, "uMaterial[2]") << ";\n"
          << "    vec4 Ce = " << MaterialColor(d.emissiveSource, "uMaterial[3]") << ";\n"
          << "    vDiffuse = clamp(vec4(Ce.rgb + Ca.rgb * (uAmbient.rgb + ambientSum) + Cd.rgb * diffuseSum, Cd.a), 0.0, 1.0);\n"
          << "    vSpecular = clamp(vec4(Cs.rgb * specularSum, 1.0), 0.0, 1.0);\n";
    } else {
        // Colours the vertex lacks read as opaque white.
        s << "    vDiffuse = " << (d.hasDiffuse ? "inDiffuse" : "vec4(1.0)") << ";\n"
          << "    vSpecular = " << (d.hasSpecular ? "inSpecular" : "vec4(1.0)") << ";\n";
    }

    for (int st = 0; st < d.stageCount; ++st) {
        const FfpDesc::Stage& stage = d.stages[st];
        if (!stage.texture) continue;
        std::string coord;
        int size = stage.coordSize;
        switch (stage.texGen) {
        case 1: coord = "vec4(N, 1.0)"; size = 3; break;
        case 2: coord = "vec4(cam.xyz, 1.0)"; size = 3; break;
        case 3: coord = "vec4(reflect(normalize(cam.xyz), N), 1.0)"; size = 3; break;
        default:
            if (stage.coordSource >= 8) {
                coord = "vec4(0.0, 0.0, 0.0, 1.0)";
                size = 2;
            } else {
                coord = stage.transformCount ? PaddedCoord(stage.coordSource, size)
                                             : "inTex" + std::to_string(stage.coordSource);
            }
            break;
        }
        if (stage.transformCount)
            s << "    vTex" << st << " = uTexMatrix[" << st << "] * " << coord << ";\n";
        else
            s << "    vTex" << st << " = " << coord << ";\n";
    }
    s << "}\n";
    return s.str();
}

std::string FfpFragmentShader(const FfpDesc& d) {
    std::ostringstream s;
    s << "#version 330 core\n"
      << Qualifier(d) << "in vec4 vDiffuse;\n"
      << Qualifier(d) << "in vec4 vSpecular;\n";
    for (int st = 0; st < d.stageCount; ++st)
        if (d.stages[st].texture)
            s << "in vec4 vTex" << st << ";\n"
              << "uniform sampler2D uSampler" << st << ";\n";
    s << "uniform vec4 uTextureFactor;\n"
      << "uniform vec4 uStageConstant[8];\n"
      << "uniform float uAlphaRef;\n"
      << "layout(location = 0) out vec4 outColor;\n"
      << "void main() {\n"
      << "    vec4 diffuse = vDiffuse;\n"
      << "    vec4 specular = vSpecular;\n"
      << "    vec4 current = diffuse;\n"
      << "    vec4 temp = vec4(0.0);\n"
      << "    vec4 tex = vec4(1.0);\n"
      << "    vec4 result;\n";
    for (int st = 0; st < d.stageCount; ++st) {
        const FfpDesc::Stage& stage = d.stages[st];
        s << "    // stage " << st << "\n";
        if (stage.texture) {
            std::string v = "vTex" + std::to_string(st);
            if (stage.projected) {
                int divisor = stage.transformCount > 1 ? stage.transformCount - 1 : 3;
                s << "    tex = texture(uSampler" << st << ", " << v << ".xy / " << v << "["
                  << divisor << "]);\n";
            } else {
                s << "    tex = texture(uSampler" << st << ", " << v << ".xy);\n";
            }
            if (stage.premodulate) s << "    current *= tex;\n";
        } else {
            s << "    tex = vec4(1.0);\n";
        }
        std::string c1 = Arg(d, st, stage.colorArg[1]), c2 = Arg(d, st, stage.colorArg[2]),
                    c0 = Arg(d, st, stage.colorArg[0]);
        // With no texture, the first alpha argument reads the diffuse colour instead.
        uint8_t alpha1 = stage.alphaArg[1];
        if (!stage.texture && (alpha1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE)
            alpha1 = uint8_t((alpha1 & ~D3DTA_SELECTMASK) | D3DTA_DIFFUSE);
        std::string a1 = Arg(d, st, alpha1), a2 = Arg(d, st, stage.alphaArg[2]),
                    a0 = Arg(d, st, stage.alphaArg[0]);
        s << "    result.rgb = " << Op(stage.colorOp, c1, c2, c0, ".rgb", true) << ";\n";
        if (stage.colorOp == D3DTOP_DOTPRODUCT3)
            s << "    result.a = result.r;\n";
        else if (stage.alphaOp == D3DTOP_DISABLE)
            s << "    result.a = current.a;\n";
        else
            s << "    result.a = " << Op(stage.alphaOp, a1, a2, a0, ".a", false) << ";\n";
        s << "    " << (stage.resultTemp ? "temp" : "current") << " = clamp(result, 0.0, 1.0);\n";
    }
    if (d.specularAdd) s << "    current.rgb = min(current.rgb + specular.rgb, vec3(1.0));\n";
    if (d.alphaFunc && d.alphaFunc != D3DCMP_ALWAYS) {
        const char* test = "false";
        switch (d.alphaFunc) {
        case D3DCMP_NEVER: test = "false"; break;
        case D3DCMP_LESS: test = "a < uAlphaRef"; break;
        case D3DCMP_EQUAL: test = "a == uAlphaRef"; break;
        case D3DCMP_LESSEQUAL: test = "a <= uAlphaRef"; break;
        case D3DCMP_GREATER: test = "a > uAlphaRef"; break;
        case D3DCMP_NOTEQUAL: test = "a != uAlphaRef"; break;
        case D3DCMP_GREATEREQUAL: test = "a >= uAlphaRef"; break;
        }
        // The test compares the 8-bit alpha with ALPHAREF.
        s << "    float a = floor(clamp(current.a, 0.0, 1.0) * 255.0 + 0.5);\n"
          << "    if (!(" << test << ")) discard;\n";
    }
    s << "    outColor = current;\n"
      << "}\n";
    return s.str();
}

}  // namespace platform::d3d9
