// The GUI element: its hit test, the image of each state and where its text goes.
#include "globals.h"
#include "guielement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Records what the element asks of its sprite and font.
struct RecordingSprite : ID3DXSprite {
    std::vector<IDirect3DTexture9*> drawn;
    D3DXMATRIX transform;
    D3DXVECTOR3 position;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DXMATRIX* m) override {
        *m = transform;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(const D3DXMATRIX* m) override {
        transform = *m;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWorldViewRH(const D3DXMATRIX*, const D3DXMATRIX*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetWorldViewLH(const D3DXMATRIX*, const D3DXMATRIX*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Begin(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 t, const RECT*, const D3DXVECTOR3*,
                                   const D3DXVECTOR3* p, D3DCOLOR) override {
        drawn.push_back(t);
        position = *p;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE End() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return S_OK; }
};

struct RecordingFont : ID3DXFont {
    RECT rect = {};
    std::string text;
    DWORD format = 0;
    D3DCOLOR color = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescA(D3DXFONT_DESCA*) override { return E_NOTIMPL; }
    INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE, LPCSTR s, INT, LPRECT r, DWORD f, D3DCOLOR c) override {
        rect = *r;
        text = s;
        format = f;
        color = c;
        return 1;
    }
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return S_OK; }
};

IDirect3DTexture9* const kNormal = reinterpret_cast<IDirect3DTexture9*>(0x10);
IDirect3DTexture9* const kOver = reinterpret_cast<IDirect3DTexture9*>(0x20);
IDirect3DTexture9* const kPressed = reinterpret_cast<IDirect3DTexture9*>(0x30);

class GuiElementTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Mouse.m_State = DIMOUSESTATE{};
        element = CGuiElement(512.0f, 384.0f);
        element.fScaleX = 0.5f;
        element.descOver.Width = 256;
        element.descOver.Height = 128;
    }
    // Cursor position and button 0, then the hit test.
    void At(int x, int y, bool button = false) {
        g_Mouse.m_X = x;
        g_Mouse.m_Y = y;
        g_Mouse.m_State.rgbButtons[0] = button ? 0x80 : 0;
        element.Update();
    }
    CGuiElement element;
};

TEST_F(GuiElementTest, ConstructionSetsTheDefaultsAndNothingIsHeld) {
    CGuiElement fresh(10.0f, 20.0f);
    EXPECT_EQ(fresh.fScaleX, 1.0f);
    EXPECT_EQ(fresh.fScaleY, 0.7f);
    EXPECT_EQ(fresh.fX, 10.0f);
    EXPECT_EQ(fresh.bMouseOver, 0);
    EXPECT_EQ(fresh.pTextureOver, nullptr);
    EXPECT_EQ(fresh.pSprite, nullptr);
    EXPECT_EQ(fresh.pFont, nullptr);
    CGuiElement parent(0, 0);
    parent.AllocChildren(2);
    EXPECT_EQ(parent.pChildren[1].pTextureNormal, nullptr);
    EXPECT_EQ(parent.pChildren[1].descOver.Width, 0u);
    delete[] parent.pChildren;
}

TEST_F(GuiElementTest, HitRectangleEdgesAreOutside) {
    // Left edge scaled by fScaleX (256), right edge not (512 + 256), top by 0.72, bottom by 0.7.
    At(256, 300);
    EXPECT_EQ(element.bMouseOver, 0);
    At(257, 300);
    EXPECT_EQ(element.bMouseOver, 1);
    At(767, 300);
    EXPECT_EQ(element.bMouseOver, 1);
    At(768, 300);
    EXPECT_EQ(element.bMouseOver, 0);
    double top = 384.0 * (double)0.72f;       // 276.48...
    double bottom = (384.0 + 128.0) * (double)0.7f;  // 358.4...
    At(400, (int)top);
    EXPECT_EQ(element.bMouseOver, 0);
    At(400, (int)top + 1);
    EXPECT_EQ(element.bMouseOver, 1);
    At(400, (int)bottom);
    EXPECT_EQ(element.bMouseOver, 1);
    At(400, (int)bottom + 1);
    EXPECT_EQ(element.bMouseOver, 0);
    // Exactly on an edge that falls on a whole pixel.
    element.fX = 100;
    element.fScaleX = 1.0f;
    At(100, 300);
    EXPECT_EQ(element.bMouseOver, 0);
    At(356, 300);
    EXPECT_EQ(element.bMouseOver, 0);
}

TEST_F(GuiElementTest, EachStateDrawsItsImage) {
    RecordingSprite sprite;
    element.pSprite = &sprite;
    element.pTextureNormal = kNormal;
    element.pTextureOver = kOver;
    element.pTexturePressed = kPressed;
    g_Mouse.m_X = 10;
    g_Mouse.m_Y = 10;
    element.Draw();
    At(400, 300);
    element.Draw();
    g_Mouse.m_State.rgbButtons[3] = 0x80;  // any of the four buttons presses
    element.Draw();
    EXPECT_EQ(element.bPressed, 1);
    g_Mouse.m_X = 10;  // moving out with the button held
    element.Draw();
    EXPECT_EQ(element.bPressed, 0);
    ASSERT_EQ(sprite.drawn.size(), 4u);
    EXPECT_EQ(sprite.drawn[0], kNormal);
    EXPECT_EQ(sprite.drawn[1], kOver);
    EXPECT_EQ(sprite.drawn[2], kPressed);
    EXPECT_EQ(sprite.drawn[3], kNormal);
    // Drawn at (fX, fY) through the scaling transform.
    EXPECT_EQ(sprite.position.x, 512.0f);
    EXPECT_EQ(sprite.transform._11, 0.5f);
    EXPECT_EQ(sprite.transform._22, 0.7f);
    element.pSprite = nullptr;
    element.pTextureNormal = element.pTextureOver = element.pTexturePressed = nullptr;
    element.Draw();  // no sprite: the hit test still runs, nothing is drawn
}

TEST_F(GuiElementTest, TextStandsATwentiethInAndATenthDown) {
    RecordingSprite sprite;
    RecordingFont font;
    CGuiElement box(0.0f, 725.76f);
    box.descOver.Width = 400;
    box.descOver.Height = 300;
    box.pSprite = &sprite;
    box.pFont = &font;
    box.DrawWithText("NANO\nguerriero");
    EXPECT_EQ(font.rect.left, 20);
    EXPECT_EQ(font.rect.top, 529);
    EXPECT_EQ(font.rect.right, 0);
    EXPECT_EQ(font.format, DWORD(DT_NOCLIP));
    EXPECT_EQ(font.color, 0xFF000000u);
    EXPECT_EQ(font.text, "NANO\nguerriero");
    box.pFont = nullptr;
    box.DrawWithText("no font: image only");
    box.pSprite = nullptr;
}

}  // namespace
