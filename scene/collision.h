// The collision library's object, as the scene node reaches it: through its table of
// operations, by position. The library itself lives outside the game.
#pragma once

#include <d3dx9.h>

class CCollisionObject {
public:
    virtual void Reserved() = 0;
    virtual void AddTriangle(D3DXVECTOR3 a, D3DXVECTOR3 b, D3DXVECTOR3 c) = 0;
    virtual void EndModel() = 0;
    virtual void SetWorldMatrix(D3DXMATRIX* pMatrix) = 0;
    virtual void Reserved2() = 0;
    virtual bool Collide(CCollisionObject* pOther, int nFlag) = 0;

protected:
    ~CCollisionObject() {}
};
