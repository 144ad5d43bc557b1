// The DirectInput mouse, with a cursor of its own, and the keyboard.
#pragma once

#include <windows.h>
#include <d3dx9.h>
#include <dinput.h>

class CMouse {
public:
    CMouse();
    ~CMouse();

    HRESULT Init();
    HRESULT Update();
    void UpdatePosition();
    void GetPosition(int* x, int* y);
    void SetPosition(int x, int y);
    void MoveBy(int dx, int dy);
    bool IsButtonDown(int button);
    POINT GetMovement();
    bool ShowSystemCursor();
    void DrawCursor();
    // The cursor image and sprite hold device resources: released before a device reset and
    // made again after it.
    HRESULT CreateCursor();
    void ReleaseCursor();

    IDirectInputDevice8A* m_pDevice;
    IUnknown* m_pAuxiliary;
    IDirect3DTexture9* m_pCursorTexture;
    ID3DXSprite* m_pSprite;
    int m_bInitialised;
    int m_bSystemCursor;
    DIMOUSESTATE m_State;
    int m_X;
    int m_Y;
};

class CKeyboard {
public:
    CKeyboard();
    ~CKeyboard();

    HRESULT Init();
    bool IsKeyDown(int key);

    IDirectInputDevice8A* m_pDevice;
    BYTE m_Keys[256];
    int m_bInitialised;
};

extern IDirectInput8A* g_pDI;
extern CMouse g_Mouse;
extern CKeyboard g_Keyboard;

HRESULT InitDirectInput();
void ShutdownDirectInput();
