// The collision library: triangle models placed by a world matrix and tested against each other.
// Callers reach an object only through its table of operations, by position.
#pragma once

#include <d3dx9math.h>

#if defined(_WIN32)
#define CD_API __declspec(dllimport)
#else
#define CD_API __attribute__((visibility("default")))
#endif

class CCollisionObject {
public:
    // Destroys the object.
    virtual void Destroy() = 0;
    // Adds a triangle in model space.
    virtual void AddTriangle(D3DXVECTOR3 a, D3DXVECTOR3 b, D3DXVECTOR3 c) = 0;
    // Builds the model from the triangles added so far.
    virtual void EndModel() = 0;
    // Places the model: the matrix is copied.
    virtual void SetWorldMatrix(D3DXMATRIX* pMatrix) = 0;
    // Kept for the table's layout; does nothing.
    virtual void Reserved() = 0;
    // True when the two placed models touch. The flag is not used.
    virtual bool Collide(CCollisionObject* pOther, int nFlag) = 0;

protected:
    ~CCollisionObject() {}
};

CD_API CCollisionObject* newCollisionObject();
