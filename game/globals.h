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

#include "animation.h"
#include "frame.h"
#include "guielement.h"
#include "meshcontainer.h"

#define NUM_CARDS 5
#define NUM_SQUARES 64
#define HAND_SLOTS 5
// A card's hand slot when it holds none.
#define NO_HAND_SLOT (-1)

// One card of the game: its picture in the hand, its character on the board and its texts.
class CCard {
public:
    CCard();
    ~CCard();

    const char* szImageFile;
    CGuiElement Image;
    const char* szDescription;
    CFrame Character;
    CMeshContainerEx* pCharacterMesh;
    CModelAnimations Animations;
    int nSquare;
    int nMovement;

private:
    CCard(const CCard&);
    CCard& operator=(const CCard&);
};

extern CFrame g_Background;
extern CFrame g_Squares[NUM_SQUARES];
extern CCard* g_Cards;

extern int g_DeckCount;
extern int g_HandCount;
extern int g_CardDrawn[NUM_CARDS];
extern int g_CardState[NUM_CARDS];
extern int g_HandSlotOfCard[NUM_CARDS];
extern BYTE g_HandSlotFree[HAND_SLOTS];
extern float g_HandSlotX[HAND_SLOTS];
extern int g_DrawnCard;
extern DWORD g_LastDeckClick;
extern DWORD g_DeckClickDelta;
extern int g_SquareOccupied[NUM_SQUARES];
extern int g_TargetSquare;
extern int g_MovingCard;
extern int g_HoveredCard;
extern BYTE g_bPlacing;
extern BYTE g_bMoving;
extern BYTE g_bExitWindowShown;
extern BYTE g_bShowDescription;
extern float g_LightX, g_LightY, g_LightZ;
extern int g_MouseX, g_MouseY;
extern char g_TextBuffer[256];
extern float g_PosX, g_PosY, g_PosZ;
extern float g_CharPosX, g_CharPosY, g_CharPosZ;
