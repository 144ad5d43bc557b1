#include "globals.h"

// Built before WinMain, in this order; destroyed at exit in the reverse order.
D3DXVECTOR3 g_CameraTarget;
D3DXVECTOR3 g_CameraEye;
D3DXVECTOR3 g_CameraLook(0.0f, 0.0f, -1.0f);
D3DXVECTOR3 g_CameraRight(1.0f, 0.0f, 0.0f);
D3DXVECTOR3 g_CameraUp(0.0f, 1.0f, 0.0f);
CKeyboard g_Keyboard;
CMouse g_Mouse;
CIntList* g_pIntListHead = new CIntList();
D3DXMATRIX g_matView;
D3DXMATRIX g_matSplash;
D3DXMATRIX g_matProj;
CCamera g_Camera;

DWORD g_FrameTime = 0;
DWORD g_FrameEndTime = 0;
DWORD g_FrameMs = 0;
