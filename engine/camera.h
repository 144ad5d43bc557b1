// A free camera: a position and three axes, turned and moved at every update.
#pragma once

#include <d3dx9.h>

class CCamera {
public:
    CCamera();
    CCamera(const CCamera& other);
    ~CCamera();

    void Reset();
    void Update();
    void Move(float dx, float dy, float dz);
    int NoOp();

    void SetPosition(float x, float y, float z);
    void GetPosition(float* x, float* y, float* z);
    void SetLook(float x, float y, float z);
    void GetLook(float* x, float* y, float* z);
    void SetUp(float x, float y, float z);
    void GetUp(float* x, float* y, float* z);
    void SetRight(float x, float y, float z);
    void GetRight(float* x, float* y, float* z);
    void SetMove(float right, float up, float look);
    void GetMove(float* right, float* up, float* look);
    void SetRoll(float roll);
    void GetRoll(float* roll);
    void SetPitch(float pitch);
    void GetPitch(float* pitch);
    void SetYaw(float yaw);
    void GetYaw(float* yaw);

    D3DXMATRIX m_matView;
    float m_Roll;
    float m_Pitch;
    float m_Yaw;
    float m_Extra[3];
    D3DXVECTOR3 m_Position;
    D3DXVECTOR3 m_Look;
    D3DXVECTOR3 m_Up;
    D3DXVECTOR3 m_Right;
    D3DXVECTOR3 m_Move;

private:
    CCamera& operator=(const CCamera&);
};
