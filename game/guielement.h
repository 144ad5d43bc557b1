// The game's 2D widget: an image in three states, a hit test and an optional text.
#pragma once

#include <windows.h>
#include <d3dx9.h>

class CGuiElement {
public:
    CGuiElement();
    CGuiElement(float x, float y);
    CGuiElement(float x, float y, const char* faceName);

    void LoadOver(const char* file);
    void LoadNormal(const char* file);
    void LoadPressed(const char* file);
    void LoadAll(const char* file);
    void AllocChildren(int n);
    void Update();
    void Draw();
    void DrawWithText(const char* text);
    void Release();

    float GetY();
    int GetId();
    void SetPosition(float x, float y);
    void SetId(int id);

    float fX;
    float fY;
    float fScaleX;
    float fScaleY;
    BYTE bMouseOver;
    BYTE bPressed;
    int nId;
    ID3DXFont* pFont;
    int nFontSize;
    IDirect3DTexture9* pTextureOver;
    ID3DXSprite* pSprite;
    D3DSURFACE_DESC descOver;
    IDirect3DTexture9* pTextureNormal;
    IDirect3DTexture9* pTexturePressed;
    CGuiElement* pChildren;

private:
    void Clear();
    void DrawImage();
};
