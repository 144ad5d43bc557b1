#include "guielement.h"

#include "input.h"
#include "log.h"

#include <cstring>
#include <new>

extern IDirect3DDevice9* g_pd3dDevice;

// Creates one state image; opaque black is transparent.
static HRESULT LoadStateTexture(const char* file, IDirect3DTexture9** ppTexture) {
    if (*ppTexture != NULL) {
        (*ppTexture)->Release();
        *ppTexture = NULL;
    }
    HRESULT hr = D3DXCreateTextureFromFileExA(g_pd3dDevice, file, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                              D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                              D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f), NULL, NULL, ppTexture);
    if (FAILED(hr)) ReportError("Impossibile caricare la texture");
    return hr;
}

template <class T>
static void SafeRelease(T** pp) {
    if (*pp != NULL) {
        (*pp)->Release();
        *pp = NULL;
    }
}

// A fresh element: every field zero, no objects held.
void CGuiElement::Clear() {
    fX = fY = 0.0f;
    fScaleX = fScaleY = 0.0f;
    bMouseOver = bPressed = 0;
    nId = 0;
    pFont = NULL;
    nFontSize = 0;
    pTextureOver = NULL;
    pSprite = NULL;
    memset(&descOver, 0, sizeof(descOver));
    pTextureNormal = NULL;
    pTexturePressed = NULL;
    pChildren = NULL;
}

CGuiElement::CGuiElement() { Clear(); }

CGuiElement::CGuiElement(float x, float y) {
    Clear();
    fScaleX = 1.0f;
    fScaleY = 0.7f;
    fX = x;
    fY = y;
    bMouseOver = 0;
    bPressed = 0;
}

CGuiElement::CGuiElement(float x, float y, const char* faceName) {
    Clear();
    fScaleX = 1.0f;
    fScaleY = 0.7f;
    nFontSize = (int)(16.0 * 0.5);
    HDC hDC = GetDC(NULL);
    int nHeight = -MulDiv(nFontSize, GetDeviceCaps(hDC, LOGPIXELSY), 72);
    ReleaseDC(NULL, hDC);
    D3DXCreateFontA(g_pd3dDevice, nHeight, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, faceName, &pFont);
    fX = x;
    fY = y;
    bMouseOver = 0;
    bPressed = 0;
}

void CGuiElement::LoadOver(const char* file) {
    HRESULT hr = LoadStateTexture(file, &pTextureOver);
    SafeRelease(&pSprite);
    if (FAILED(D3DXCreateSprite(g_pd3dDevice, &pSprite))) ReportError("Impossibile inizializzare la sprite");
    if (SUCCEEDED(hr)) pTextureOver->GetLevelDesc(0, &descOver);
}

void CGuiElement::LoadNormal(const char* file) { LoadStateTexture(file, &pTextureNormal); }

void CGuiElement::LoadPressed(const char* file) { LoadStateTexture(file, &pTexturePressed); }

void CGuiElement::LoadAll(const char* file) {
    if (SUCCEEDED(LoadStateTexture(file, &pTextureOver))) pTextureOver->GetLevelDesc(0, &descOver);
    LoadStateTexture(file, &pTextureNormal);
    LoadStateTexture(file, &pTexturePressed);
    SafeRelease(&pSprite);
    if (FAILED(D3DXCreateSprite(g_pd3dDevice, &pSprite))) ReportError("Impossibile inizializzare la sprite");
}

void CGuiElement::AllocChildren(int n) {
    // Children start as fresh elements, all fields zero.
    pChildren = new CGuiElement[n];
}

void CGuiElement::Update() {
    int mx = 0, my = 0;
    g_Mouse.GetPosition(&mx, &my);
    bool bInside = (double)fX * (double)fScaleX < (double)mx &&
                   (double)mx < (double)fX + (double)descOver.Width &&
                   (double)fY * (double)0.72f < (double)my &&
                   (double)my < ((double)fY + (double)descOver.Height) * (double)0.7f;
    if (bInside) {
        bool bAnyButton = false;
        for (int i = 0; i < 4; ++i)
            if (g_Mouse.IsButtonDown(i)) bAnyButton = true;
        bMouseOver = 1;
        bPressed = bAnyButton ? 1 : 0;
    } else {
        bMouseOver = 0;
        bPressed = 0;
    }
}

void CGuiElement::DrawImage() {
    if (pSprite == NULL) return;
    D3DXVECTOR3 vPosition(fX, fY, 0.0f);
    D3DXMATRIX matIdentity, matScale;
    D3DXMatrixIdentity(&matIdentity);
    D3DXMatrixScaling(&matScale, fScaleX, fScaleY, 1.0f);
    D3DXMatrixMultiply(&matScale, &matIdentity, &matScale);
    pSprite->SetTransform(&matScale);
    pSprite->Begin(D3DXSPRITE_ALPHABLEND);
    IDirect3DTexture9* pTexture = pTextureNormal;
    if (bMouseOver && !bPressed) pTexture = pTextureOver;
    if (bMouseOver && bPressed) pTexture = pTexturePressed;
    if (pTexture != NULL) pSprite->Draw(pTexture, NULL, NULL, &vPosition, 0xFFFFFFFF);
    pSprite->End();
}

void CGuiElement::Draw() {
    Update();
    DrawImage();
}

void CGuiElement::DrawWithText(const char* text) {
    Update();
    DrawImage();
    if (pFont == NULL) return;
    RECT rc;
    rc.left = (LONG)((float)(descOver.Width / 20 + fX) * fScaleX);
    rc.top = (LONG)((float)(descOver.Height / 10 + fY) * fScaleY);
    rc.right = 0;
    rc.bottom = 0;
    pFont->DrawTextA(NULL, text, -1, &rc, DT_NOCLIP, D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f));
}

void CGuiElement::Release() {
    SafeRelease(&pFont);
    SafeRelease(&pTextureOver);
    SafeRelease(&pTextureNormal);
    SafeRelease(&pTexturePressed);
    SafeRelease(&pSprite);
}

float CGuiElement::GetY() { return fY; }
int CGuiElement::GetId() { return nId; }

void CGuiElement::SetPosition(float x, float y) {
    fX = x;
    fY = y;
}

void CGuiElement::SetId(int id) { nId = id; }
