// Angle and path helpers and a list of ints.
#pragma once

#include <d3dx9.h>

struct CPathSegment {
    D3DXVECTOR3 vStart;
    D3DXVECTOR3 vEnd;
    D3DXVECTOR3 vControl1;
    D3DXVECTOR3 vControl2;
};

class CIntList {
public:
    CIntList* GetNext();
    void Append(int value);

    int nValue;
    CIntList* pNext;
};

extern CIntList* g_pIntListHead;

float RadiansToDegrees(float r);
D3DXVECTOR3* QuaternionToEuler(D3DXVECTOR3* pOut, D3DXQUATERNION q);
float MagnitudeDifference(float a, float b);
float AbsoluteDifference(float a, float b);
float AngleToHeading(float v);
int LinearPathPoint(CPathSegment segment, float t, D3DXVECTOR3* pOut);
int BezierPathPoint(CPathSegment segment, float t, D3DXVECTOR3* pOut);
