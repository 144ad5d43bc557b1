#include "input.h"

#include "log.h"

#include <cstring>

extern HWND g_hWnd;
extern HINSTANCE g_hInstance;
extern IDirect3DDevice9* g_pd3dDevice;

IDirectInput8A* g_pDI = NULL;

static const int kMaxX = 1279;
static const int kMaxY = 1023;
// Acquiring again after a loss is tried this many times at the most.
static const int kMaxAcquireTries = 16;

// Acquires a device again after its input was lost.
static HRESULT Reacquire(IDirectInputDevice8A* pDevice) {
    HRESULT hr = pDevice->Acquire();
    for (int i = 1; hr == DIERR_INPUTLOST && i < kMaxAcquireTries; ++i) hr = pDevice->Acquire();
    return hr;
}

HRESULT InitDirectInput() {
    if (g_pDI != NULL) g_pDI->Release();
    if (FAILED(DirectInput8Create(g_hInstance, 0x0800, IID_IDirectInput8A, (void**)&g_pDI, NULL))) {
        ReportError("Failed to create DirectInput");
        return E_FAIL;
    }
    if (FAILED(g_Keyboard.Init())) {
        ReportError("Failed to initialize keyboard");
        return E_FAIL;
    }
    if (FAILED(g_Mouse.Init())) {
        ReportError("Unable to initialize mouse");
        return E_FAIL;
    }
    return S_OK;
}

void ShutdownDirectInput() {
    if (g_pDI != NULL) {
        g_pDI->Release();
        g_pDI = NULL;
    }
}

CMouse::CMouse()
    : m_pDevice(NULL), m_pAuxiliary(NULL), m_pCursorTexture(NULL), m_pSprite(NULL),
      m_bInitialised(0), m_bSystemCursor(0), m_X(0), m_Y(0) {
    memset(&m_State, 0, sizeof(m_State));
}

CMouse::~CMouse() {
    if (m_pAuxiliary != NULL) m_pAuxiliary->Release();
    if (m_pDevice != NULL) {
        m_pDevice->Unacquire();
        m_pDevice->Release();
    }
}

HRESULT CMouse::Init() {
    if (g_pDI == NULL) return E_FAIL;
    if (m_pDevice != NULL) {
        m_pDevice->Release();
        m_pDevice = NULL;
    }
    if (FAILED(g_pDI->CreateDevice(GUID_SysMouse, &m_pDevice, NULL))) {
        ReportError("Unable to create mouse device");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->SetDataFormat(&c_dfDIMouse))) {
        ReportError("Unable to set the mouse data format");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->SetCooperativeLevel(g_hWnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND))) {
        ReportError("Unable to set the cooperative level for the mouse");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->Acquire())) {
        ReportError("Unable to acquire mouse");
        return E_FAIL;
    }
    m_bInitialised = 1;
    CreateCursor();
    return S_OK;
}

HRESULT CMouse::CreateCursor() {
    HRESULT hr = D3DXCreateTextureFromFileExA(g_pd3dDevice, "..\\Immagini\\Mouse\\cursore.bmp", 0, 0, 0, 0,
                                              D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                              0xFF000000, NULL, NULL, &m_pCursorTexture);
    if (FAILED(hr)) ReportError("Impossibile caricare la texture");
    if (FAILED(D3DXCreateSprite(g_pd3dDevice, &m_pSprite))) {
        ReportError("Impossibile inizializzare la sprite");
        hr = E_FAIL;
    }
    return hr;
}

void CMouse::ReleaseCursor() {
    if (m_pSprite != NULL) {
        m_pSprite->Release();
        m_pSprite = NULL;
    }
    if (m_pCursorTexture != NULL) {
        m_pCursorTexture->Release();
        m_pCursorTexture = NULL;
    }
}

HRESULT CMouse::Update() {
    if (!m_bInitialised) return E_FAIL;
    HRESULT hr = m_pDevice->GetDeviceState(sizeof(DIMOUSESTATE), &m_State);
    if (SUCCEEDED(hr)) return S_OK;
    // Nothing polled, nothing moved or held: a stale state would drift the cursor.
    memset(&m_State, 0, sizeof(m_State));
    // A device that stayed unacquired after a loss is tried again too, or it would never return.
    if (hr != DIERR_INPUTLOST && hr != DIERR_NOTACQUIRED) return E_FAIL;
    if (FAILED(Reacquire(m_pDevice))) return S_OK;
    if (FAILED(m_pDevice->GetDeviceState(sizeof(DIMOUSESTATE), &m_State)))
        memset(&m_State, 0, sizeof(m_State));
    return S_OK;
}

// Keeps a cursor coordinate inside the cursor's range.
static void ClampPosition(int* x, int* y) {
    if (*x < 0) *x = 0;
    if (*y < 0) *y = 0;
    if (*x > kMaxX) *x = kMaxX;
    if (*y > kMaxY) *y = kMaxY;
}

void CMouse::UpdatePosition() {
    m_X += m_State.lX;
    m_Y += m_State.lY;
    ClampPosition(&m_X, &m_Y);
    if (g_pd3dDevice != NULL) g_pd3dDevice->SetCursorPosition(m_X, m_Y, 0);
}

void CMouse::GetPosition(int* x, int* y) {
    *x = m_X;
    *y = m_Y;
}

void CMouse::SetPosition(int x, int y) {
    ClampPosition(&x, &y);
    m_X = x;
    m_Y = y;
    if (g_pd3dDevice != NULL) g_pd3dDevice->SetCursorPosition(m_X, m_Y, 0);
}

void CMouse::MoveBy(int dx, int dy) {
    m_X += dx;
    m_Y += dy;
    if (g_pd3dDevice != NULL) g_pd3dDevice->SetCursorPosition(m_X, m_Y, 0);
}

bool CMouse::IsButtonDown(int button) {
    if (button < 0 || button > 3) return false;
    return (m_State.rgbButtons[button] & 0x80) != 0;
}

POINT CMouse::GetMovement() {
    POINT movement;
    movement.x = m_State.lX;
    movement.y = m_State.lY;
    return movement;
}

bool CMouse::ShowSystemCursor() {
    if (!m_bInitialised || !m_bSystemCursor) return false;
    SetCursor(NULL);
    g_pd3dDevice->ShowCursor(TRUE);
    return true;
}

void CMouse::DrawCursor() {
    if (m_pSprite == NULL || m_pCursorTexture == NULL) return;
    D3DXVECTOR3 vPosition((float)m_X, (float)m_Y, 0.0f);
    g_pd3dDevice->BeginScene();
    m_pSprite->Begin(D3DXSPRITE_ALPHABLEND);
    m_pSprite->Draw(m_pCursorTexture, NULL, NULL, &vPosition, 0xFFFFFFFF);
    m_pSprite->End();
    g_pd3dDevice->EndScene();
}

CKeyboard::CKeyboard() : m_pDevice(NULL), m_bInitialised(0) { memset(m_Keys, 0, sizeof(m_Keys)); }

CKeyboard::~CKeyboard() {
    if (m_pDevice != NULL) {
        m_pDevice->Unacquire();
        m_pDevice->Release();
    }
}

HRESULT CKeyboard::Init() {
    if (g_pDI == NULL) return E_FAIL;
    if (m_pDevice != NULL) {
        m_pDevice->Unacquire();
        m_pDevice->Release();
        m_pDevice = NULL;
    }
    if (FAILED(g_pDI->CreateDevice(GUID_SysKeyboard, &m_pDevice, NULL))) {
        ReportError("Failed to create key device");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->SetDataFormat(&c_dfDIKeyboard))) {
        ReportError("Unable to set the keyboard data format");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->SetCooperativeLevel(g_hWnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) {
        ReportError("Unable to set keyboard cooperative level");
        return E_FAIL;
    }
    if (FAILED(m_pDevice->Acquire())) {
        ReportError("Unable to acquire the keyboard");
        return E_FAIL;
    }
    m_bInitialised = 1;
    return S_OK;
}

bool CKeyboard::IsKeyDown(int key) {
    if (!m_bInitialised) return false;
    if (key < 0 || key > 255) return false;
    HRESULT hr = m_pDevice->GetDeviceState(sizeof(m_Keys), m_Keys);
    if (FAILED(hr)) {
        if (hr != DIERR_INPUTLOST && hr != DIERR_NOTACQUIRED) return false;
        if (FAILED(Reacquire(m_pDevice))) return false;
        if (FAILED(m_pDevice->GetDeviceState(sizeof(m_Keys), m_Keys))) return false;
    }
    return (m_Keys[key] & 0x80) != 0;
}
