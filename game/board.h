// The board screen: its resources, its drawing passes, picking, camera and rules.
#pragma once

#include <windows.h>
#include <d3dx9.h>

#include "globals.h"
#include "guielement.h"
#include "meshcontainer.h"
#include "shadowvolume.h"

struct CShadowQuadVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
#define D3DFVF_SHADOWQUAD (D3DFVF_XYZRHW | D3DFVF_DIFFUSE)

extern CMeshContainerEx* g_pSquareMeshes[NUM_SQUARES];
extern CMeshContainerEx* g_pBackgroundMesh;
extern CShadowVolume* g_pShadowVolume;
extern IDirect3DVertexBuffer9* g_pShadowVB;
extern float g_CameraDistance;
extern float g_CameraHeightFactor;
extern float g_CameraStep;
extern D3DLIGHT9 g_Light;
extern IDirect3DTexture9* g_pTexBlue;
extern IDirect3DTexture9* g_pTexRed;
extern IDirect3DTexture9* g_pTexMouseOn;
extern IDirect3DTexture9* g_pTexMouseOnChar;
extern char g_szSquareMesh[];
extern char g_szBackgroundMesh[];
extern char g_szCharacterMesh[];
extern char g_szBlueTexture[];
extern char g_szRedTexture[];
extern char g_szMouseOnTexture[];
extern char g_szMouseOnCharTexture[];

extern CGuiElement g_ExitButton;
extern CGuiElement g_ExitWindow;
extern CGuiElement g_GuiBar;
extern CGuiElement g_DescriptionBox;
extern CGuiElement g_Deck;

extern int g_BoardSide;
extern int g_SquareCounter;
extern int g_BoardRow;
extern BYTE g_bTwoSidedStencil;
// The left button was down at the last board pass; a new press of it that no board action has used.
extern BYTE g_bLeftButtonHeld;
extern BYTE g_bLeftPress;
// The board was released for a device rebuild that has not succeeded yet.
extern BYTE g_bBoardReleased;
extern HRESULT g_hrCooperative;
extern D3DPRESENT_PARAMETERS g_ResetParams;

// Fills the board light from the light position.
void BuildBoardLight(D3DLIGHT9* pLight);

void RenderGame();
bool PickMesh(CMeshContainerEx* pContainer, D3DXMATRIX* pWorld);
void UpdateCamera();
void MarkReachableSquares();
HRESULT RenderShadowVolume(D3DXMATRIX world);
HRESULT DrawShadow();

// The settings the device is rebuilt with after a failed reset.
struct BoardSettings {
    int width;
    int height;
    BOOL windowed;
};
// Reads "WinWidth", "WinHeight" and "Windowed" from a settings file into *pSettings, which
// holds the current values on entry; false when the file cannot be opened.
bool ReadSettings(const char* file, BoardSettings* pSettings);
// The card, exit-window and deck rules of one frame.
void ApplyCardRules();
void ApplyExitWindowRules();
void ApplyDeckRule();
