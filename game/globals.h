// The game's global objects and the state the game screen's parts share.
#pragma once

#include <windows.h>
#include <d3dx9.h>

#include "camera.h"
#include "input.h"
#include "toolbox.h"

extern D3DXVECTOR3 g_CameraTarget;
extern D3DXVECTOR3 g_CameraEye;
extern D3DXVECTOR3 g_CameraLook;
extern D3DXVECTOR3 g_CameraRight;
extern D3DXVECTOR3 g_CameraUp;
extern D3DXMATRIX g_matView;
extern D3DXMATRIX g_matSplash;
extern D3DXMATRIX g_matProj;
extern CCamera g_Camera;

extern DWORD g_FrameTime;
extern DWORD g_FrameEndTime;
extern DWORD g_FrameMs;
