#include <string.h>
#include <windows.h>

#include <rmxfguid.h>

#include "animation.h"

// AnimationKey types and the number of floats that each key of the type holds.
#define ANIMKEY_ROTATION 0
#define ANIMKEY_SCALE 1
#define ANIMKEY_POSITION 2
#define ANIMKEY_MATRIX 4

// ---- records

CAnimation::CAnimation() {
    FrameName = NULL;
    Frame = NULL;
    Next = NULL;
    NumTranslationKeys = 0;
    TranslationKeys = NULL;
    NumScaleKeys = 0;
    ScaleKeys = NULL;
    NumRotationKeys = 0;
    RotationKeys = NULL;
    NumMatrixKeys = 0;
    MatrixKeys = NULL;
}

CAnimation::~CAnimation() {
    delete[] FrameName;
    FrameName = NULL;

    CAnimation* pNext = Next;
    Next = NULL;
    while (pNext != NULL) {
        CAnimation* pAfter = pNext->Next;
        pNext->Next = NULL;
        delete pNext;
        pNext = pAfter;
    }

    delete[] TranslationKeys;
    TranslationKeys = NULL;
    delete[] ScaleKeys;
    ScaleKeys = NULL;
    delete[] RotationKeys;
    RotationKeys = NULL;
    delete[] MatrixKeys;
    MatrixKeys = NULL;
}

CAnimationSet::CAnimationSet() {
    Name = NULL;
    Length = 0;
    Next = NULL;
    NumAnimations = 0;
    Animations = NULL;
}

CAnimationSet::~CAnimationSet() {
    delete[] Name;
    Name = NULL;

    CAnimationSet* pNext = Next;
    Next = NULL;
    while (pNext != NULL) {
        CAnimationSet* pAfter = pNext->Next;
        pNext->Next = NULL;
        delete pNext;
        pNext = pAfter;
    }

    delete Animations;
    Animations = NULL;
}

// ---- collection

CAnimationCollection::CAnimationCollection() {
    NumSets = 0;
    Sets = NULL;
}

CAnimationCollection::~CAnimationCollection() { Free(); }

CModelAnimations::CModelAnimations() {}

CModelAnimations::~CModelAnimations() {}

BOOL CAnimationCollection::Load(const char* file) {
    Free();
    return Parse(file, NULL);
}

void CAnimationCollection::Free() {
    NumSets = 0;
    delete Sets;
    Sets = NULL;
}

void CAnimationCollection::Map(CHierarchyFrame* pRootFrame) {
    for (CAnimationSet* pSet = Sets; pSet != NULL; pSet = pSet->Next) {
        for (CAnimation* pAnim = pSet->Animations; pAnim != NULL; pAnim = pAnim->Next) {
            pAnim->Frame = pRootFrame != NULL ? pRootFrame->Find(pAnim->FrameName) : NULL;
        }
    }
}

// Reads a DWORD or a float out of key data at a byte offset.
static DWORD ReadDword(const BYTE* pData, DWORD offset) {
    DWORD value;
    memcpy(&value, pData + offset, sizeof(value));
    return value;
}

static float ReadFloat(const BYTE* pData, DWORD offset) {
    float value;
    memcpy(&value, pData + offset, sizeof(value));
    return value;
}

// Checks the keys of an AnimationKey block: every key must be inside the data and hold exactly
// `numValues` floats.
static bool CheckKeys(const BYTE* pData, DWORD size, DWORD numKeys, DWORD numValues) {
    DWORD keySize = 2 * sizeof(DWORD) + numValues * sizeof(float);
    if (numKeys > (size - 2 * sizeof(DWORD)) / keySize) return false;
    for (DWORD k = 0; k < numKeys; k++) {
        DWORD offset = 2 * sizeof(DWORD) + k * keySize;
        if (ReadDword(pData, offset + sizeof(DWORD)) != numValues) return false;
    }
    return true;
}

// Fills the front animation's keys of one kind from an AnimationKey block.
static void ReadKeys(CAnimationSet* pSet, CAnimation* pAnim, const BYTE* pData, DWORD size) {
    if (pData == NULL || size < 2 * sizeof(DWORD)) return;
    DWORD keyType = ReadDword(pData, 0);
    DWORD numKeys = ReadDword(pData, sizeof(DWORD));

    DWORD numValues;
    switch (keyType) {
    case ANIMKEY_ROTATION: numValues = 4; break;
    case ANIMKEY_SCALE:
    case ANIMKEY_POSITION: numValues = 3; break;
    case ANIMKEY_MATRIX: numValues = 16; break;
    default: return;
    }
    if (!CheckKeys(pData, size, numKeys, numValues)) return;

    DWORD keySize = 2 * sizeof(DWORD) + numValues * sizeof(float);
    for (DWORD k = 0; k < numKeys; k++) {
        DWORD time = ReadDword(pData, 2 * sizeof(DWORD) + k * keySize);
        if (time > pSet->Length) pSet->Length = time;
    }

    switch (keyType) {
    case ANIMKEY_ROTATION:
        delete[] pAnim->RotationKeys;
        pAnim->RotationKeys = new CQuaternionKey[numKeys];
        pAnim->NumRotationKeys = numKeys;
        for (DWORD k = 0; k < numKeys; k++) {
            DWORD offset = 2 * sizeof(DWORD) + k * keySize;
            CQuaternionKey& key = pAnim->RotationKeys[k];
            key.Time = ReadDword(pData, offset);
            key.Value.w = ReadFloat(pData, offset + 8);
            key.Value.x = ReadFloat(pData, offset + 12);
            key.Value.y = ReadFloat(pData, offset + 16);
            key.Value.z = ReadFloat(pData, offset + 20);
        }
        break;
    case ANIMKEY_SCALE:
    case ANIMKEY_POSITION: {
        CVectorKey* pKeys = new CVectorKey[numKeys];
        for (DWORD k = 0; k < numKeys; k++) {
            DWORD offset = 2 * sizeof(DWORD) + k * keySize;
            pKeys[k].Time = ReadDword(pData, offset);
            pKeys[k].Value.x = ReadFloat(pData, offset + 8);
            pKeys[k].Value.y = ReadFloat(pData, offset + 12);
            pKeys[k].Value.z = ReadFloat(pData, offset + 16);
        }
        if (keyType == ANIMKEY_SCALE) {
            delete[] pAnim->ScaleKeys;
            pAnim->ScaleKeys = pKeys;
            pAnim->NumScaleKeys = numKeys;
        } else {
            delete[] pAnim->TranslationKeys;
            pAnim->TranslationKeys = pKeys;
            pAnim->NumTranslationKeys = numKeys;
        }
        break;
    }
    case ANIMKEY_MATRIX:
        delete[] pAnim->MatrixKeys;
        pAnim->MatrixKeys = new CMatrixKey[numKeys];
        pAnim->NumMatrixKeys = numKeys;
        for (DWORD k = 0; k < numKeys; k++) {
            DWORD offset = 2 * sizeof(DWORD) + k * keySize;
            pAnim->MatrixKeys[k].Time = ReadDword(pData, offset);
            memcpy(&pAnim->MatrixKeys[k].Value, pData + offset + 8, 16 * sizeof(float));
        }
        break;
    }
}

BOOL CAnimationCollection::ParseObject(ID3DXFileData* pData, ID3DXFileData* pParent, DWORD depth,
                                       void* pUserData, BOOL bReference) {
    GUID type = GetObjectGUID(pData);

    if (type == TID_D3DRMAnimationSet) {
        CAnimationSet* pSet = new CAnimationSet();
        pSet->Next = Sets;
        Sets = pSet;
        NumSets++;
        pSet->Name = GetObjectName(pData);
    } else if (type == TID_D3DRMAnimation) {
        if (Sets != NULL) {
            CAnimation* pAnim = new CAnimation();
            pAnim->Next = Sets->Animations;
            Sets->Animations = pAnim;
            Sets->NumAnimations++;
        }
    } else if (type == TID_D3DRMFrame && bReference == TRUE && Sets != NULL && Sets->Animations != NULL) {
        if (pParent != NULL && GetObjectGUID(pParent) == TID_D3DRMAnimation) {
            delete[] Sets->Animations->FrameName;
            Sets->Animations->FrameName = GetObjectName(pData);
        }
        return TRUE;
    } else if (type == TID_D3DRMAnimationKey && Sets != NULL && Sets->Animations != NULL) {
        DWORD size = 0;
        BYTE* pKeyData = GetObjectData(pData, &size);
        ReadKeys(Sets, Sets->Animations, pKeyData, size);
        delete[] pKeyData;
    }

    return ParseChildObjects(pData, depth, pUserData, bReference);
}

// ---- evaluation

// The two keys around time t and how far t lies between them. Before the first key the first
// key holds; at and after the last key the last one does.
template <class Key>
static void FindKeys(const Key* keys, DWORD numKeys, DWORD t, DWORD* pK1, DWORD* pK2, float* pS) {
    DWORD k1 = 0;
    bool found = false;
    for (DWORD i = 0; i < numKeys; i++) {
        if (keys[i].Time <= t) {
            k1 = i;
            found = true;
        }
    }
    DWORD k2 = (found && k1 + 1 < numKeys) ? k1 + 1 : k1;
    float s = 0.0f;
    if (k2 != k1) {
        DWORD d = keys[k2].Time - keys[k1].Time;
        if (d == 0) d = 1;
        s = (float)(t - keys[k1].Time) / (float)d;
    }
    *pK1 = k1;
    *pK2 = k2;
    *pS = s;
}

// The local matrix of one animation at time t, applied onto pMatrix from the right.
static void ApplyKeys(CAnimation* pAnim, DWORD t, bool invertRotation, D3DXMATRIX* pMatrix) {
    DWORD k1, k2;
    float s;
    D3DXMATRIX m;

    if (pAnim->NumScaleKeys != 0 && pAnim->ScaleKeys != NULL) {
        FindKeys(pAnim->ScaleKeys, pAnim->NumScaleKeys, t, &k1, &k2, &s);
        const D3DXVECTOR3& a = pAnim->ScaleKeys[k1].Value;
        const D3DXVECTOR3& b = pAnim->ScaleKeys[k2].Value;
        D3DXVECTOR3 v = a + (b - a) * s;
        D3DXMatrixScaling(&m, v.x, v.y, v.z);
        D3DXMatrixMultiply(pMatrix, pMatrix, &m);
    }
    if (pAnim->NumRotationKeys != 0 && pAnim->RotationKeys != NULL) {
        FindKeys(pAnim->RotationKeys, pAnim->NumRotationKeys, t, &k1, &k2, &s);
        D3DXQUATERNION q;
        D3DXQuaternionSlerp(&q, &pAnim->RotationKeys[k1].Value, &pAnim->RotationKeys[k2].Value, s);
        if (invertRotation) D3DXQuaternionInverse(&q, &q);
        D3DXMatrixRotationQuaternion(&m, &q);
        D3DXMatrixMultiply(pMatrix, pMatrix, &m);
    }
    if (pAnim->NumTranslationKeys != 0 && pAnim->TranslationKeys != NULL) {
        FindKeys(pAnim->TranslationKeys, pAnim->NumTranslationKeys, t, &k1, &k2, &s);
        const D3DXVECTOR3& a = pAnim->TranslationKeys[k1].Value;
        const D3DXVECTOR3& b = pAnim->TranslationKeys[k2].Value;
        D3DXVECTOR3 v = a + (b - a) * s;
        D3DXMatrixTranslation(&m, v.x, v.y, v.z);
        D3DXMatrixMultiply(pMatrix, pMatrix, &m);
    }
    if (pAnim->NumMatrixKeys != 0 && pAnim->MatrixKeys != NULL) {
        FindKeys(pAnim->MatrixKeys, pAnim->NumMatrixKeys, t, &k1, &k2, &s);
        const D3DXMATRIX& a = pAnim->MatrixKeys[k1].Value;
        const D3DXMATRIX& b = pAnim->MatrixKeys[k2].Value;
        m = a + (b - a) * s;
        D3DXMatrixMultiply(pMatrix, pMatrix, &m);
    }
}

// The set to play and the time within it.
static CAnimationSet* FindSet(CAnimationSet* pSets, const char* setName, DWORD* pTime, DWORD loop) {
    CAnimationSet* pSet = pSets;
    if (setName != NULL) {
        for (pSet = pSets; pSet != NULL; pSet = pSet->Next) {
            if (pSet->Name != NULL && _stricmp(pSet->Name, setName) == 0) break;
        }
    }
    if (pSet == NULL) return NULL;

    if (*pTime > pSet->Length) {
        if (loop == 1 && pSet->Length + 1 != 0)
            *pTime = *pTime % (pSet->Length + 1);
        else
            *pTime = pSet->Length;
    }
    return pSet;
}

void CAnimationCollection::Update(const char* setName, DWORD time, DWORD loop, bool invertRotation) {
    CAnimationSet* pSet = FindSet(Sets, setName, &time, loop);
    if (pSet == NULL) return;

    for (CAnimation* pAnim = pSet->Animations; pAnim != NULL; pAnim = pAnim->Next) {
        if (pAnim->Frame == NULL) continue;
        D3DXMATRIX* pMatrix = &pAnim->Frame->TransformationMatrix;
        D3DXMatrixIdentity(pMatrix);
        ApplyKeys(pAnim, time, invertRotation, pMatrix);
    }
}

void CAnimationCollection::UpdateBlended(const char* setName, DWORD time, DWORD loop, float weight,
                                         bool invertRotation) {
    CAnimationSet* pSet = FindSet(Sets, setName, &time, loop);
    if (pSet == NULL) return;

    for (CAnimation* pAnim = pSet->Animations; pAnim != NULL; pAnim = pAnim->Next) {
        if (pAnim->Frame == NULL) continue;
        D3DXMATRIX local;
        D3DXMatrixIdentity(&local);
        ApplyKeys(pAnim, time, invertRotation, &local);
        pAnim->Frame->TransformationMatrix += (local - pAnim->Frame->matOriginal) * weight;
    }
}
