// The standard template block and template registration.
#include "xsamples.h"

#include "d3dx9/xfile/xparser.h"

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <gtest/gtest.h>

#include <map>

using namespace xtest;

namespace {

const char* primName(xfile::Prim p) {
    using xfile::Prim;
    switch (p) {
    case Prim::Word: return "WORD";
    case Prim::Dword: return "DWORD";
    case Prim::Float: return "FLOAT";
    case Prim::Double: return "DOUBLE";
    case Prim::Char: return "CHAR";
    case Prim::Uchar: return "UCHAR";
    case Prim::Sword: return "SWORD";
    case Prim::Sdword: return "SDWORD";
    case Prim::String: return "STRING";
    case Prim::Cstring: return "CSTRING";
    case Prim::Unicode: return "UNICODE";
    case Prim::Struct: return "?";
    }
    return "?";
}

// "DWORD n; array Vector v[n]; [...]" for a parsed template.
std::string describe(const xfile::Template& t) {
    std::string s;
    for (const xfile::Member& m : t.members) {
        if (!s.empty()) s += " ";
        if (!m.dims.empty()) s += "array ";
        s += m.prim == xfile::Prim::Struct ? m.type->name : primName(m.prim);
        s += " " + m.name;
        for (const xfile::Dim& d : m.dims)
            s += "[" + (d.fromMember ? t.members[d.value].name : std::to_string(d.value)) + "]";
        s += ";";
    }
    switch (t.restriction) {
    case xfile::Restriction::Closed: break;
    case xfile::Restriction::Open: s += " [...]"; break;
    case xfile::Restriction::Restricted:
        s += " [";
        for (size_t i = 0; i < t.allowed.size(); ++i) {
            s += (i ? ", " : "") + t.allowed[i].name;
            if (t.allowed[i].hasGuid) s += " <" + guidText(t.allowed[i].guid) + ">";
        }
        s += "]";
        break;
    }
    return s;
}

struct Expected {
    const char* name;
    GUID guid;
    const char* members;
};

const Expected kStandard[] = {
    {"Header", TID_DXFILEHeader, "WORD major; WORD minor; DWORD flags;"},
    {"Vector", TID_D3DRMVector, "FLOAT x; FLOAT y; FLOAT z;"},
    {"Coords2d", TID_D3DRMCoords2d, "FLOAT u; FLOAT v;"},
    {"Quaternion", TID_D3DRMQuaternion, "FLOAT s; Vector v;"},
    {"Matrix4x4", TID_D3DRMMatrix4x4, "array FLOAT matrix[16];"},
    {"ColorRGBA", TID_D3DRMColorRGBA, "FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha;"},
    {"ColorRGB", TID_D3DRMColorRGB, "FLOAT red; FLOAT green; FLOAT blue;"},
    {"IndexedColor", TID_D3DRMIndexedColor, "DWORD index; ColorRGBA indexColor;"},
    {"Boolean", TID_D3DRMBoolean, "DWORD truefalse;"},
    {"Boolean2d", TID_D3DRMBoolean2d, "Boolean u; Boolean v;"},
    {"MaterialWrap", TID_D3DRMMaterialWrap, "Boolean u; Boolean v;"},
    {"TextureFilename", TID_D3DRMTextureFilename, "STRING filename;"},
    {"Material", TID_D3DRMMaterial,
     "ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; ColorRGB emissiveColor; [...]"},
    {"MeshFace", TID_D3DRMMeshFace, "DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices];"},
    {"MeshFaceWraps", TID_D3DRMMeshFaceWraps, "DWORD nFaceWrapValues; array Boolean2d faceWrapValues[nFaceWrapValues];"},
    {"MeshTextureCoords", TID_D3DRMMeshTextureCoords, "DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords];"},
    {"MeshMaterialList", TID_D3DRMMeshMaterialList,
     "DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes]; "
     "[Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>]"},
    {"MeshNormals", TID_D3DRMMeshNormals,
     "DWORD nNormals; array Vector normals[nNormals]; DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals];"},
    {"MeshVertexColors", TID_D3DRMMeshVertexColors, "DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors];"},
    {"Mesh", TID_D3DRMMesh,
     "DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; array MeshFace faces[nFaces]; [...]"},
    {"FrameTransformMatrix", TID_D3DRMFrameTransformMatrix, "Matrix4x4 frameMatrix;"},
    {"Frame", TID_D3DRMFrame, " [...]"},
    {"FloatKeys", TID_D3DRMFloatKeys, "DWORD nValues; array FLOAT values[nValues];"},
    {"TimedFloatKeys", TID_D3DRMTimedFloatKeys, "DWORD time; FloatKeys tfkeys;"},
    {"AnimationKey", TID_D3DRMAnimationKey, "DWORD keyType; DWORD nKeys; array TimedFloatKeys keys[nKeys];"},
    {"AnimationOptions", TID_D3DRMAnimationOptions, "DWORD openclosed; DWORD positionquality;"},
    {"Animation", TID_D3DRMAnimation, " [...]"},
    {"AnimationSet", TID_D3DRMAnimationSet, " [Animation <3D82AB4F-62DA-11CF-AB39-0020AF71E433>]"},
    {"AnimTicksPerSecond", DXFILEOBJ_AnimTicksPerSecond, "DWORD AnimTicksPerSecond;"},
    {"CompressedAnimationSet", DXFILEOBJ_CompressedAnimationSet,
     "DWORD CompressedBlockSize; FLOAT TicksPerSec; DWORD PlaybackType; DWORD BufferLength; "
     "array DWORD CompressedData[BufferLength];"},
    {"Guid", TID_D3DRMGuid, "DWORD data1; WORD data2; WORD data3; array UCHAR data4[8];"},
    {"Url", TID_D3DRMUrl, "DWORD nUrls; array STRING urls[nUrls];"},
    {"StringProperty", TID_D3DRMStringProperty, "STRING key; STRING value;"},
    {"PropertyBag", TID_D3DRMPropertyBag, " [StringProperty <7F0F21E0-BFE1-11D1-82C0-00A0C9697271>]"},
    {"ExternalVisual", TID_D3DRMExternalVisual, "Guid guidExternalVisual; [...]"},
    {"RightHanded", TID_D3DRMRightHanded, "DWORD bRightHanded;"},
    {"XSkinMeshHeader", DXFILEOBJ_XSkinMeshHeader,
     "WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace; WORD nBones;"},
    {"VertexDuplicationIndices", DXFILEOBJ_VertexDuplicationIndices,
     "DWORD nIndices; DWORD nOriginalVertices; array DWORD indices[nIndices];"},
    {"FaceAdjacency", DXFILEOBJ_FaceAdjacency, "DWORD nIndices; array DWORD indices[nIndices];"},
    {"SkinWeights", DXFILEOBJ_SkinWeights,
     "STRING transformNodeName; DWORD nWeights; array DWORD vertexIndices[nWeights]; "
     "array FLOAT weights[nWeights]; Matrix4x4 matrixOffset;"},
    {"FVFData", DXFILEOBJ_FVFData, "DWORD dwFVF; DWORD nDWords; array DWORD data[nDWords];"},
    {"VertexElement", DXFILEOBJ_VertexElement, "DWORD Type; DWORD Method; DWORD Usage; DWORD UsageIndex;"},
    {"DeclData", DXFILEOBJ_DeclData,
     "DWORD nElements; array VertexElement Elements[nElements]; DWORD nDWords; array DWORD data[nDWords];"},
    {"EffectInstance", DXFILEOBJ_EffectInstance, "STRING EffectFilename; [...]"},
    {"EffectParamString", DXFILEOBJ_EffectParamString, "STRING ParamName; STRING Value;"},
    {"EffectParamFloats", DXFILEOBJ_EffectParamFloats, "STRING ParamName; DWORD nFloats; array FLOAT Floats[nFloats];"},
    {"EffectParamDWord", DXFILEOBJ_EffectParamDWord, "STRING ParamName; DWORD Value;"},
    {"EffectString", DXFILEOBJ_EffectString, "STRING Value;"},
    {"EffectFloats", DXFILEOBJ_EffectFloats, "DWORD nFloats; array FLOAT Floats[nFloats];"},
    {"EffectDWord", DXFILEOBJ_EffectDWord, "DWORD Value;"},
    {"Patch", DXFILEOBJ_Patch, "DWORD nControlIndices; array DWORD controlIndices[nControlIndices];"},
    {"PatchMesh", DXFILEOBJ_PatchMesh,
     "DWORD nVertices; array Vector vertices[nVertices]; DWORD nPatches; array Patch patches[nPatches]; [...]"},
    {"PatchMesh9", DXFILEOBJ_PatchMesh9,
     "DWORD Type; DWORD Degree; DWORD Basis; DWORD nVertices; array Vector vertices[nVertices]; "
     "DWORD nPatches; array Patch patches[nPatches]; [...]"},
    {"PMAttributeRange", DXFILEOBJ_PMAttributeRange,
     "DWORD iFaceOffset; DWORD nFacesMin; DWORD nFacesMax; DWORD iVertexOffset; DWORD nVerticesMin; DWORD nVerticesMax;"},
    {"PMVSplitRecord", DXFILEOBJ_PMVSplitRecord, "DWORD iFaceCLW; DWORD iVlrOffset; DWORD iCode;"},
    {"PMInfo", DXFILEOBJ_PMInfo,
     "DWORD nAttributes; array PMAttributeRange attributeRanges[nAttributes]; DWORD nMaxValence; "
     "DWORD nMinLogicalVertices; DWORD nMaxLogicalVertices; DWORD nVSplits; "
     "array PMVSplitRecord splitRecords[nVSplits]; DWORD nAttributeMispredicts; "
     "array DWORD attributeMispredicts[nAttributeMispredicts];"},
};

TEST(StandardTemplates, BlockIsABinaryTemplateFile) {
    const std::string head(reinterpret_cast<const char*>(D3DRM_XTEMPLATES), 16);
    EXPECT_EQ("xof 0303bin 0032", head);
    EXPECT_EQ(sizeof(D3DRM_XTEMPLATES), size_t(D3DRM_XTEMPLATE_BYTES));
    Ref<ID3DXFile> file;
    ASSERT_EQ(S_OK, D3DXFileCreate(file.out()));
    EXPECT_EQ(S_OK, file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES));
    // The block declares templates only.
    D3DXF_FILELOADMEMORY mem{D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES};
    Ref<ID3DXFileEnumObject> e;
    ASSERT_EQ(S_OK, file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, e.out()));
    SIZE_T n = 99;
    ASSERT_EQ(S_OK, e->GetChildren(&n));
    EXPECT_EQ(0u, n);
}

TEST(StandardTemplates, EveryTemplateWithItsGuidAndMembers) {
    xfile::TemplateSet set;
    const auto doc = xfile::parseFile(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES, set);
    std::map<std::string, const xfile::Template*> declared;
    for (const auto& t : doc->declared) {
        EXPECT_TRUE(declared.emplace(t->name, t.get()).second) << "declared twice: " << t->name;
    }
    EXPECT_EQ(std::size(kStandard), declared.size());
    for (const Expected& want : kStandard) {
        SCOPED_TRACE(want.name);
        auto it = declared.find(want.name);
        ASSERT_NE(declared.end(), it);
        EXPECT_EQ(guidText(want.guid), guidText(it->second->guid));
        EXPECT_EQ(want.members, describe(*it->second));
    }
}

TEST(StandardTemplates, ObjectsReportTheirTemplateGuids) {
    const std::string text = std::string(kHeader) +
                             "Header { 1; 0; 1; }\n"
                             "Boolean2d { 1;; 0;; }\n"
                             "IndexedColor { 3; 0.5; 0.5; 0.5; 1.0;; }\n"
                             "MeshVertexColors { 1; 0; 1.0; 0.0; 0.0; 1.0;;; }\n"
                             "MeshFaceWraps { 1; 1;; 1;;; }\n"
                             "XSkinMeshHeader { 2; 4; 3; }\n"
                             "SkinWeights { \"Bone\"; 2; 0, 1; 0.25, 0.75; "
                             "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;; }\n"
                             "VertexDuplicationIndices { 2; 2; 0, 1; }\n"
                             "DeclData { 1; 2; 0; 3; 0;; 2; 7, 8; }\n";
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        const Loaded l = load(encode(text, e));
        ASSERT_EQ(S_OK, l.hr);
        const GUID types[] = {TID_DXFILEHeader, TID_D3DRMBoolean2d, TID_D3DRMIndexedColor,
                              TID_D3DRMMeshVertexColors, TID_D3DRMMeshFaceWraps, DXFILEOBJ_XSkinMeshHeader,
                              DXFILEOBJ_SkinWeights, DXFILEOBJ_VertexDuplicationIndices, DXFILEOBJ_DeclData};
        ASSERT_EQ(std::size(types), topCount(l));
        for (size_t i = 0; i < std::size(types); ++i) EXPECT_EQ(guidText(types[i]), guidText(typeOf(top(l, i).get()))) << i;
        Layout().w(1).w(0).dw(1).expectMatches(top(l, 0).get());
        Layout().dw(1).dw(0).expectMatches(top(l, 1).get());
        Layout().w(2).w(4).w(3).expectMatches(top(l, 5).get());
        Layout skin;
        skin.str("Bone").dw(2).dw(0).dw(1).floats({0.25f, 0.75f});
        skin.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        skin.expectMatches(top(l, 6).get());
        Layout().dw(1).dw(2).dw(0).dw(3).dw(0).dw(2).dw(7).dw(8).expectMatches(top(l, 8).get());
    }
}

TEST(Registration, TemplatesBelongToTheirFileObject) {
    const std::string decl = std::string(kHeader) + "template Pair { <00000000-0000-0000-0000-0000000000AA> DWORD a; DWORD b; }\n";
    const std::string use = std::string(kHeader) + "Pair { 1; 2; }\n";
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        Ref<ID3DXFile> file, other;
        ASSERT_EQ(S_OK, D3DXFileCreate(file.out()));
        ASSERT_EQ(S_OK, D3DXFileCreate(other.out()));
        const std::string declBytes = encode(decl, e);
        const std::string useBytes = encode(use, e);
        D3DXF_FILELOADMEMORY useMem{useBytes.data(), useBytes.size()};
        Ref<ID3DXFileEnumObject> objects;
        EXPECT_EQ(D3DXFERR_NOTFOUND, file->CreateEnumObject(&useMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));

        // A file's own templates serve that file only...
        const std::string both = encode(decl + "Pair { 3; 4; }\n", e);
        D3DXF_FILELOADMEMORY bothMem{both.data(), both.size()};
        ASSERT_EQ(S_OK, file->CreateEnumObject(&bothMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
        EXPECT_EQ(D3DXFERR_NOTFOUND, file->CreateEnumObject(&useMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
        // ...until the enumerator's templates are registered.
        ASSERT_EQ(S_OK, file->CreateEnumObject(&bothMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
        ASSERT_EQ(S_OK, file->RegisterEnumTemplates(objects.get()));
        ASSERT_EQ(S_OK, file->CreateEnumObject(&useMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
        Ref<ID3DXFileData> pair;
        ASSERT_EQ(S_OK, objects->GetChild(0, pair.out()));
        Layout().dw(1).dw(2).expectMatches(pair.get());

        // Another file object knows nothing of them until it registers them itself.
        EXPECT_EQ(D3DXFERR_NOTFOUND, other->CreateEnumObject(&useMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
        ASSERT_EQ(S_OK, other->RegisterTemplates(declBytes.data(), declBytes.size()));
        EXPECT_EQ(S_OK, other->CreateEnumObject(&useMem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
    }
}

TEST(Registration, FailedRegistrationAddsNothingAndRedefinitionsWin) {
    Ref<ID3DXFile> file;
    ASSERT_EQ(S_OK, D3DXFileCreate(file.out()));
    // The first template is fine, the second is not: neither is kept.
    const std::string broken = std::string(kHeader) +
                               "template A { <00000000-0000-0000-0000-0000000000A1> DWORD a; }\n"
                               "template B { <00000000-0000-0000-0000-0000000000B1> Missing m; }\n";
    EXPECT_EQ(D3DXFERR_NOTFOUND, file->RegisterTemplates(broken.data(), broken.size()));
    const std::string useA = std::string(kHeader) + "A { 1; }\n";
    D3DXF_FILELOADMEMORY mem{useA.data(), useA.size()};
    Ref<ID3DXFileEnumObject> objects;
    EXPECT_EQ(D3DXFERR_NOTFOUND, file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));

    // A file that declares a template already registered uses its own declaration.
    ASSERT_EQ(S_OK, file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES));
    const std::string redefined = std::string(kHeader) +
                                  "template Vector { <3D82AB5E-62DA-11cf-AB39-0020AF71E433> DOUBLE x; }\n"
                                  "Vector { 0.5; }\n";
    D3DXF_FILELOADMEMORY rmem{redefined.data(), redefined.size()};
    ASSERT_EQ(S_OK, file->CreateEnumObject(&rmem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
    Ref<ID3DXFileData> v;
    ASSERT_EQ(S_OK, objects->GetChild(0, v.out()));
    Layout().d(0.5).expectMatches(v.get());
    // The registered one is untouched.
    const std::string plain = std::string(kHeader) + "Vector { 0.5; 1.0; 2.0; }\n";
    D3DXF_FILELOADMEMORY pmem{plain.data(), plain.size()};
    ASSERT_EQ(S_OK, file->CreateEnumObject(&pmem, D3DXF_FILELOAD_FROMMEMORY, objects.out()));
    ASSERT_EQ(S_OK, objects->GetChild(0, v.out()));
    Layout().floats({0.5f, 1.0f, 2.0f}).expectMatches(v.get());
}

}  // namespace
