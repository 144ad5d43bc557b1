#include "board.h"

#include "camera.h"
#include "display.h"
#include "input.h"
#include "log.h"
#include "screens.h"
#include "winmain.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

CMeshContainerEx* g_pSquareMeshes[NUM_SQUARES];
CMeshContainerEx* g_pBackgroundMesh = NULL;
CShadowVolume* g_pShadowVolume = NULL;
IDirect3DVertexBuffer9* g_pShadowVB = NULL;
float g_CameraDistance = 0.0f;
float g_CameraHeightFactor = 0.0f;
D3DLIGHT9 g_Light;
IDirect3DTexture9* g_pTexBlue = NULL;
IDirect3DTexture9* g_pTexRed = NULL;
IDirect3DTexture9* g_pTexMouseOn = NULL;
IDirect3DTexture9* g_pTexMouseOnChar = NULL;
char g_szSquareMesh[] = "..\\Data\\casella.x";
char g_szBackgroundMesh[] = "..\\Data\\Background\\Background.x";
char g_szCharacterMesh[] = "..\\Data\\nano_guerriero\\nano_guerriero.x";
char g_szBlueTexture[] = "..\\Data\\blue.PNG";
char g_szRedTexture[] = "..\\Data\\red.PNG";
char g_szMouseOnTexture[] = "..\\Data\\mouseOn.PNG";
char g_szMouseOnCharTexture[] = "..\\Data\\mouseOnChar.PNG";

CGuiElement g_ExitButton;
CGuiElement g_ExitWindow;
CGuiElement g_GuiBar;
CGuiElement g_DescriptionBox;
CGuiElement g_Deck;

static const char* const s_CardImages[NUM_CARDS] = {
    "..\\Immagini\\Card\\01.bmp", "..\\Immagini\\Card\\02.bmp", "..\\Immagini\\Card\\03.bmp",
    "..\\Immagini\\Card\\04.bmp", "..\\Immagini\\Card\\05.bmp"};

static const char* const s_CardTexts[NUM_CARDS] = {
    "Tipo: NANO\n\nCaratteristiche:\n\nAttacco: 3\nDifesa: 2\nMovimento: 2\n\nDescrizione:\nFANTERIA NANICA\n",
    "Tipo: Mostro\n\nCaratteristiche:\n\nAttacco: C\nDifesa: D\n\nDescrizione:\n\nE' la 2, presa dagli\nRhapsody\n",
    "Tipo: Mostro\n\nCaratteristiche:\n\nAttacco: E\nDifesa: F\n\nDescrizione:\n\nE' la 3, presa dagli\nRhapsody\n",
    "Tipo: Mostro\n\nCaratteristiche:\n\nAttacco: G\nDifesa: H\n\nDescrizione:\n\nE' la 4, presa dagli\nRhapsody\n",
    "Tipo: Mostro\n\nCaratteristiche:\n\nAttacco: I\nDifesa: L\n\nDescrizione:\n\nE' la 5, presa dagli\nRhapsody\n"};

template <class T>
static void SafeRelease(T** pp) {
    if (*pp != NULL) {
        (*pp)->Release();
        *pp = NULL;
    }
}

void BuildBoardLight(D3DLIGHT9* pLight) {
    D3DXVECTOR3 vPos(g_LightX, g_LightY, g_LightZ);
    D3DXVECTOR3 vDir;
    memset(pLight, 0, sizeof(*pLight));
    pLight->Type = D3DLIGHT_POINT;
    pLight->Diffuse.r = 1.0f;
    pLight->Diffuse.g = 1.0f;
    pLight->Diffuse.b = 1.0f;
    pLight->Diffuse.a = 0.0f;
    pLight->Position = vPos;
    D3DXVec3Normalize(&vDir, &vPos);
    pLight->Direction = vDir;
    pLight->Range = 1000.0f;
    pLight->Attenuation0 = 0.9f;
    pLight->Attenuation1 = 0.0f;
}

// Loads one GUI element at (x, y) from its three state images; false when one is missing.
static bool LoadGuiElement(CGuiElement* pElement, float x, float y, const char* over,
                           const char* normal, const char* pressed) {
    new (pElement) CGuiElement(x, y);
    pElement->LoadOver(over);
    if (pElement->pTextureOver == NULL) return TextureLoadFailed(over);
    pElement->LoadNormal(normal);
    if (pElement->pTextureNormal == NULL) return TextureLoadFailed(normal);
    pElement->LoadPressed(pressed);
    if (pElement->pTexturePressed == NULL) return TextureLoadFailed(pressed);
    return true;
}

// Loads a model the board needs; false when it cannot be loaded.
static bool LoadBoardModel(CMeshContainerEx** ppContainer, const char* file, const char* textures) {
    if (FAILED(LoadMesh(ppContainer, g_pd3dDevice, file, textures, 0, D3DXMESH_SYSTEMMEM)) || *ppContainer == NULL)
        return FileLoadFailed("Impossibile caricare il modello", file);
    return true;
}

// Loads one of the square textures; false when it cannot be loaded.
static bool LoadSquareTexture(const char* file, IDirect3DTexture9** ppTexture) {
    if (FAILED(D3DXCreateTextureFromFileA(g_pd3dDevice, file, ppTexture)))
        return TextureLoadFailed(file);
    return true;
}

int LoadBoard(HWND) {
    const int W = g_WinWidth;
    const int H = g_WinHeight;

    for (int i = 0; i < NUM_SQUARES; i++) {
        if (!LoadBoardModel(&g_pSquareMeshes[i], g_szSquareMesh, "..\\Data\\")) return 0;
        g_Squares[i].AddMesh(g_pSquareMeshes[i]);
        g_Squares[i].ComputeBounds(g_pSquareMeshes[i]);
    }

    // Row by row: x falls by one width per column, z by one depth per row.
    for (int i = 1; i < NUM_SQUARES; i++) {
        if (i % 8 == 0) {
            g_Squares[i - 8].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
            g_Squares[i].SetPosition(g_PosX, g_PosY, g_PosZ - g_Squares[i - 1].fDepth);
        } else {
            g_Squares[i - 1].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
            g_Squares[i].SetPosition(g_PosX - g_Squares[i - 1].fWidth, g_PosY, g_PosZ);
        }
    }

    const float w0 = g_Squares[0].fWidth;
    const float d0 = g_Squares[0].fDepth;
    const double side = sqrt(64.0);

    if (!LoadBoardModel(&g_pBackgroundMesh, g_szBackgroundMesh, "..\\Data\\BackGround\\")) return 0;
    g_Background.AddMesh(g_pBackgroundMesh);
    g_Background.ScaleMesh(g_pBackgroundMesh, 0.1f);
    g_Background.SetPosition((float)(-w0 * side / 2), -1.0f, (float)(-d0 * side / 2));

    g_pShadowVolume = new CShadowVolume();

    // The full-screen quad that darkens the counted stencil pixels.
    if (SUCCEEDED(g_pd3dDevice->CreateVertexBuffer(4 * sizeof(CShadowQuadVertex), D3DUSAGE_WRITEONLY,
                                                   D3DFVF_SHADOWQUAD, D3DPOOL_MANAGED, &g_pShadowVB,
                                                   NULL))) {
        CShadowQuadVertex* v = NULL;
        if (SUCCEEDED(g_pShadowVB->Lock(0, 0, (void**)&v, 0)) && v != NULL) {
            const float fw = (float)W, fh = (float)H;
            const float xs[4] = {0.0f, 0.0f, fw, fw};
            const float ys[4] = {fh, 0.0f, fh, 0.0f};
            for (int k = 0; k < 4; k++) {
                v[k].x = xs[k];
                v[k].y = ys[k];
                v[k].z = 0.0f;
                v[k].rhw = 1.0f;
                v[k].color = 0x7F000000;
            }
            g_pShadowVB->Unlock();
        }
    }

    g_CameraDistance = 150.0f;
    g_CameraHeightFactor = 2.0f;
    g_Camera.SetPosition((float)(-w0 * side / 2 + 50.0), (float)(4.0 * g_CameraDistance),
                         (float)(-d0 + 2.0 * g_CameraDistance));

    g_Mouse.MoveBy(W / 2, H / 2);

    if (!LoadGuiElement(&g_ExitButton, (float)(W * 87 / 100), (float)(H / 100), "..\\Immagini\\Exit\\EXIT_ON.bmp",
                        "..\\Immagini\\Exit\\EXIT.bmp", "..\\Immagini\\Exit\\EXIT_ON.bmp"))
        return 0;
    // The window always opens at a quarter of the screen, on a reload too.
    if (!LoadGuiElement(&g_ExitWindow, (float)(W / 4), (float)(H / 4), "..\\Immagini\\Window\\window.png",
                        "..\\Immagini\\Window\\window.png", "..\\Immagini\\Window\\window.png"))
        return 0;
    g_ExitWindow.AllocChildren(2);
    if (!LoadGuiElement(&g_ExitWindow.pChildren[0], (float)(W * 44 / 100), (float)(H / 2 - 40),
                        "..\\Immagini\\Window\\YES_ON.bmp", "..\\Immagini\\Window\\YES.bmp",
                        "..\\Immagini\\Window\\YES_ON.bmp") ||
        !LoadGuiElement(&g_ExitWindow.pChildren[1], (float)(W * 44 / 100), (float)(H / 2 + 80),
                        "..\\Immagini\\Window\\NO_ON.bmp", "..\\Immagini\\Window\\NO.bmp",
                        "..\\Immagini\\Window\\NO_ON.bmp"))
        return 0;
    new (&g_GuiBar) CGuiElement(0.0f, (float)(H * 127 / 100));
    if (!LoadAllStates(&g_GuiBar, "..\\Immagini\\GUI\\Barra_inf.jpg")) return 0;
    new (&g_DescriptionBox) CGuiElement(0.0f, (float)H * 94.5f / 100.0f, "Eras Demi ITC");
    if (!LoadAllStates(&g_DescriptionBox, "..\\Immagini\\GUI\\description_box.png")) return 0;
    new (&g_Deck) CGuiElement((float)(W * 87 / 100), (float)(H * 110 / 100));
    if (!LoadAllStates(&g_Deck, "..\\Immagini\\GUI\\mazzo.png")) return 0;

    const float fW = (float)W;
    g_HandSlotX[0] = fW * 10.2f / 100.0f;
    g_HandSlotX[1] = fW * 19.6f / 100.0f;
    g_HandSlotX[2] = fW * 29.1f / 100.0f;
    g_HandSlotX[3] = fW * 38.7f / 100.0f;
    g_HandSlotX[4] = fW * 48.1f / 100.0f;
    for (int j = 0; j < HAND_SLOTS; j++) g_HandSlotFree[j] = 1;

    for (int i = 0; i < NUM_CARDS; i++) {
        g_Cards[i].szImageFile = s_CardImages[i];
        g_Cards[i].szDescription = s_CardTexts[i];
    }
    for (int i = 0; i < NUM_CARDS; i++) {
        new (&g_Cards[i].Image) CGuiElement(0.0f, 0.0f);
        if (!LoadAllStates(&g_Cards[i].Image, g_Cards[i].szImageFile)) return 0;
        g_Cards[i].Image.SetId(i);
        g_CardDrawn[i] = 0;
        g_CardState[i] = 0;
        g_HandSlotOfCard[i] = NO_HAND_SLOT;
        g_Cards[i].pCharacterMesh = NULL;
    }

    CCard& dwarf = g_Cards[0];
    if (!LoadBoardModel(&dwarf.pCharacterMesh, g_szCharacterMesh, "..\\Data\\nano_guerriero\\")) return 0;
    dwarf.Character.AddMesh(dwarf.pCharacterMesh);
    dwarf.Character.ScaleMesh(dwarf.pCharacterMesh, 4.0f);
    dwarf.Character.ComputeBounds(dwarf.pCharacterMesh);
    dwarf.nMovement = 2;

    BuildBoardLight(&g_Light);
    g_pd3dDevice->SetLight(0, &g_Light);
    g_pd3dDevice->LightEnable(0, TRUE);

    if (!LoadSquareTexture(g_szBlueTexture, &g_pTexBlue) || !LoadSquareTexture(g_szRedTexture, &g_pTexRed) ||
        !LoadSquareTexture(g_szMouseOnTexture, &g_pTexMouseOn) ||
        !LoadSquareTexture(g_szMouseOnCharTexture, &g_pTexMouseOnChar))
        return 0;

    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFAE6E6);
    return 1;
}

// Releases one element and, when it has them, its children.
static void ReleaseGuiElement(CGuiElement* pElement) {
    pElement->Release();
}

void ReleaseBoard() {
    SafeRelease(&g_pShadowVB);
    if (g_pShadowVolume != NULL) {
        delete g_pShadowVolume;
        g_pShadowVolume = NULL;
    }
    // The nodes let go of their containers before these are deleted.
    for (int i = 0; i < NUM_SQUARES; i++) {
        g_Squares[i].RemoveMeshes();
        if (g_pSquareMeshes[i] != NULL) {
            delete g_pSquareMeshes[i];
            g_pSquareMeshes[i] = NULL;
        }
    }
    g_Background.RemoveMeshes();
    if (g_pBackgroundMesh != NULL) {
        delete g_pBackgroundMesh;
        g_pBackgroundMesh = NULL;
    }
    for (int i = 0; i < NUM_CARDS; i++) {
        g_Cards[i].Character.RemoveMeshes();
        if (g_Cards[i].pCharacterMesh != NULL) {
            delete g_Cards[i].pCharacterMesh;
            g_Cards[i].pCharacterMesh = NULL;
        }
    }
    for (int i = 0; i < NUM_CARDS; i++) g_Cards[i].Animations.Free();
    SafeRelease(&g_pFont);

    ReleaseGuiElement(&g_ExitButton);
    ReleaseGuiElement(&g_ExitWindow);
    if (g_ExitWindow.pChildren != NULL) {
        ReleaseGuiElement(&g_ExitWindow.pChildren[0]);
        ReleaseGuiElement(&g_ExitWindow.pChildren[1]);
        delete[] g_ExitWindow.pChildren;
        g_ExitWindow.pChildren = NULL;
    }
    ReleaseGuiElement(&g_GuiBar);
    ReleaseGuiElement(&g_DescriptionBox);
    ReleaseGuiElement(&g_Deck);
    for (int i = 0; i < NUM_CARDS; i++) ReleaseGuiElement(&g_Cards[i].Image);
    SafeRelease(&g_pTexBlue);
    SafeRelease(&g_pTexRed);
    SafeRelease(&g_pTexMouseOn);
    SafeRelease(&g_pTexMouseOnChar);

    ShutdownDirectInput();
}
