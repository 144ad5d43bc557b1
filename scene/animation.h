// Key-frame animation read from .x files and played onto a frame hierarchy.
#pragma once

#include "xparser.h"

class CVectorKey {
public:
    DWORD Time;
    D3DXVECTOR3 Value;
};

class CQuaternionKey {
public:
    DWORD Time;
    D3DXQUATERNION Value;
};

class CMatrixKey {
public:
    DWORD Time;
    D3DXMATRIX Value;
};

// The keys that drive one frame.
class CAnimation {
public:
    CAnimation();
    ~CAnimation();

    char* FrameName;
    CHierarchyFrame* Frame;
    CAnimation* Next;
    DWORD NumTranslationKeys;
    CVectorKey* TranslationKeys;
    DWORD NumScaleKeys;
    CVectorKey* ScaleKeys;
    DWORD NumRotationKeys;
    CQuaternionKey* RotationKeys;
    DWORD NumMatrixKeys;
    CMatrixKey* MatrixKeys;

private:
    CAnimation(const CAnimation&);
    CAnimation& operator=(const CAnimation&);
};

class CAnimationSet {
public:
    CAnimationSet();
    ~CAnimationSet();

    char* Name;
    DWORD Length;
    CAnimationSet* Next;
    DWORD NumAnimations;
    CAnimation* Animations;

private:
    CAnimationSet(const CAnimationSet&);
    CAnimationSet& operator=(const CAnimationSet&);
};

class CAnimationCollection : public CXFileParser {
public:
    CAnimationCollection();
    ~CAnimationCollection();

    BOOL Load(const char* file);
    void Free();
    void Map(CHierarchyFrame* pRootFrame);
    void Update(const char* setName, DWORD time, DWORD loop, bool invertRotation);
    void UpdateBlended(const char* setName, DWORD time, DWORD loop, float weight, bool invertRotation);

    BOOL ParseObject(ID3DXFileData* pData, ID3DXFileData* pParent, DWORD depth, void* pUserData,
                     BOOL bReference) override;

    DWORD NumSets;
    CAnimationSet* Sets;

private:
    CAnimationCollection(const CAnimationCollection&);
    CAnimationCollection& operator=(const CAnimationCollection&);
};

class CModelAnimations : public CAnimationCollection {
public:
    CModelAnimations();
    ~CModelAnimations();
};
