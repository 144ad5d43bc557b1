#include "camera.h"

extern IDirect3DDevice9* g_pd3dDevice;

CCamera::CCamera()
    : m_Roll(0.0f), m_Pitch(0.0f), m_Yaw(0.0f), m_Position(0.0f, 0.0f, -1.0f),
      m_Look(0.0f, 0.0f, -1.0f), m_Up(0.0f, 1.0f, 0.0f), m_Right(1.0f, 0.0f, 0.0f),
      m_Move(0.0f, 0.0f, 0.0f) {
    m_Extra[0] = m_Extra[1] = m_Extra[2] = 5.0f;
    D3DXMatrixIdentity(&m_matView);
}

CCamera::CCamera(const CCamera& other)
    : m_Roll(other.m_Roll), m_Pitch(other.m_Pitch), m_Yaw(other.m_Yaw),
      m_Position(other.m_Position), m_Look(other.m_Look), m_Up(other.m_Up),
      m_Right(other.m_Right), m_Move(other.m_Move) {
    m_Extra[0] = m_Extra[1] = m_Extra[2] = 0.0f;
    D3DXMatrixIdentity(&m_matView);
}

CCamera::~CCamera() {}

void CCamera::Reset() {
    m_Position = D3DXVECTOR3(0.0f, 0.0f, -1.0f);
    m_Look = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    m_Up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    m_Right = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    m_Roll = m_Pitch = m_Yaw = 0.0f;
}

void CCamera::Update() {
    m_Position += m_Move.x * m_Right;
    m_Position += m_Move.y * m_Up;
    m_Position += m_Move.z * m_Look;

    D3DXVec3Normalize(&m_Look, &m_Look);
    D3DXVec3Cross(&m_Right, &m_Up, &m_Look);
    D3DXVec3Normalize(&m_Right, &m_Right);
    D3DXVec3Cross(&m_Up, &m_Look, &m_Right);
    D3DXVec3Normalize(&m_Up, &m_Up);

    D3DXMATRIX matRotation;
    D3DXMatrixRotationAxis(&matRotation, &m_Up, m_Yaw);
    D3DXVec3TransformCoord(&m_Look, &m_Look, &matRotation);
    D3DXVec3TransformCoord(&m_Right, &m_Right, &matRotation);

    D3DXMatrixRotationAxis(&matRotation, &m_Right, m_Pitch);
    D3DXVec3TransformCoord(&m_Look, &m_Look, &matRotation);
    D3DXVec3TransformCoord(&m_Up, &m_Up, &matRotation);

    D3DXMatrixRotationAxis(&matRotation, &m_Look, m_Roll);
    D3DXVec3TransformCoord(&m_Right, &m_Right, &matRotation);
    D3DXVec3TransformCoord(&m_Up, &m_Up, &matRotation);

    D3DXMatrixIdentity(&m_matView);
    m_matView._11 = m_Right.x;
    m_matView._21 = m_Right.y;
    m_matView._31 = m_Right.z;
    m_matView._12 = m_Up.x;
    m_matView._22 = m_Up.y;
    m_matView._32 = m_Up.z;
    m_matView._13 = m_Look.x;
    m_matView._23 = m_Look.y;
    m_matView._33 = m_Look.z;
    m_matView._41 = -D3DXVec3Dot(&m_Position, &m_Right);
    m_matView._42 = -D3DXVec3Dot(&m_Position, &m_Up);
    m_matView._43 = -D3DXVec3Dot(&m_Position, &m_Look);

    if (g_pd3dDevice != NULL) g_pd3dDevice->SetTransform(D3DTS_VIEW, &m_matView);
}

void CCamera::Move(float dx, float dy, float dz) {
    m_Position.x += dx;
    m_Position.y += dy;
    m_Position.z += dz;
}

int CCamera::NoOp() { return 0; }

void CCamera::SetPosition(float x, float y, float z) { m_Position = D3DXVECTOR3(x, y, z); }
void CCamera::GetPosition(float* x, float* y, float* z) {
    *x = m_Position.x;
    *y = m_Position.y;
    *z = m_Position.z;
}
void CCamera::SetLook(float x, float y, float z) { m_Look = D3DXVECTOR3(x, y, z); }
void CCamera::GetLook(float* x, float* y, float* z) {
    *x = m_Look.x;
    *y = m_Look.y;
    *z = m_Look.z;
}
void CCamera::SetUp(float x, float y, float z) { m_Up = D3DXVECTOR3(x, y, z); }
void CCamera::GetUp(float* x, float* y, float* z) {
    *x = m_Up.x;
    *y = m_Up.y;
    *z = m_Up.z;
}
void CCamera::SetRight(float x, float y, float z) { m_Right = D3DXVECTOR3(x, y, z); }
void CCamera::GetRight(float* x, float* y, float* z) {
    *x = m_Right.x;
    *y = m_Right.y;
    *z = m_Right.z;
}
void CCamera::SetMove(float right, float up, float look) { m_Move = D3DXVECTOR3(right, up, look); }
void CCamera::GetMove(float* right, float* up, float* look) {
    *right = m_Move.x;
    *up = m_Move.y;
    *look = m_Move.z;
}
void CCamera::SetRoll(float roll) { m_Roll = roll; }
void CCamera::GetRoll(float* roll) { *roll = m_Roll; }
void CCamera::SetPitch(float pitch) { m_Pitch = pitch; }
void CCamera::GetPitch(float* pitch) { *pitch = m_Pitch; }
void CCamera::SetYaw(float yaw) { m_Yaw = yaw; }
void CCamera::GetYaw(float* yaw) { *yaw = m_Yaw; }
