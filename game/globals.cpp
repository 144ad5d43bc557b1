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
CFrame g_Background;
CFrame g_Squares[NUM_SQUARES];
// Never freed: the process's end reclaims it.
CCard* g_Cards = new CCard[NUM_CARDS];

CCard::CCard()
    : szImageFile(NULL), szDescription(NULL), pCharacterMesh(NULL), nSquare(0), nMovement(0) {}

CCard::~CCard() {}

int g_DeckCount = 5;
int g_HandCount = 0;
int g_CardDrawn[NUM_CARDS] = {0, 0, 0, 0, 0};
int g_CardState[NUM_CARDS] = {0, 0, 0, 0, 0};
int g_HandSlotOfCard[NUM_CARDS] = {NO_HAND_SLOT, NO_HAND_SLOT, NO_HAND_SLOT, NO_HAND_SLOT, NO_HAND_SLOT};
BYTE g_HandSlotFree[HAND_SLOTS] = {0, 0, 0, 0, 0};
float g_HandSlotX[HAND_SLOTS] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
int g_DrawnCard = -1;
DWORD g_LastDeckClick = 0;
DWORD g_DeckClickDelta = 0;
int g_SquareOccupied[NUM_SQUARES] = {0};
int g_TargetSquare = -1;
int g_MovingCard = -1;
int g_HoveredCard = 0;
BYTE g_bPlacing = 0;
BYTE g_bMoving = 0;
BYTE g_bExitWindowShown = 0;
BYTE g_bShowDescription = 0;
float g_LightX = 0.0f, g_LightY = 20.0f, g_LightZ = 10.0f;
int g_MouseX = 0, g_MouseY = 0;
DWORD g_FrameTime = 0;
DWORD g_FrameEndTime = 0;
DWORD g_FrameMs = 0;
char g_TextBuffer[256] = "";
float g_PosX = 0.0f, g_PosY = 0.0f, g_PosZ = 0.0f;
float g_CharPosX = 0.0f, g_CharPosY = 0.0f, g_CharPosZ = 0.0f;
