#include "board.h"

#include "d3dinit.h"
#include "display.h"
#include "input.h"
#include "log.h"
#include "screens.h"
#include "winmain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

HRESULT g_hrCooperative = D3D_OK;
D3DPRESENT_PARAMETERS g_ResetParams;

bool ReadSettings(const char* file, BoardSettings* pSettings) {
    FILE* f = fopen(file, "r");
    if (f == NULL) return false;
    char word[1004];
    char value[32];
    for (;;) {
        if (fscanf(f, "%1003s", word) != 1 || feof(f)) break;
        if (strcmp(word, "WinWidth") == 0) {
            if (fscanf(f, "%31s", value) != 1) break;
            if (!strcmp(value, "640") || !strcmp(value, "800") || !strcmp(value, "1024") || !strcmp(value, "1280"))
                pSettings->width = atoi(value);
        } else if (strcmp(word, "WinHeight") == 0) {
            if (fscanf(f, "%31s", value) != 1) break;
            if (!strcmp(value, "480") || !strcmp(value, "600") || !strcmp(value, "768") || !strcmp(value, "1024"))
                pSettings->height = atoi(value);
        } else if (strcmp(word, "Windowed") == 0) {
            if (fscanf(f, "%31s", value) != 1) break;
            pSettings->windowed = strcmp(value, "TRUE") == 0 ? TRUE : FALSE;
        }
    }
    fclose(f);
    return true;
}

// What a board reload must not lose: the cards drawn, their states and the hand's slots.
struct CardPlay {
    int drawn[NUM_CARDS];
    int state[NUM_CARDS];
    int slotOfCard[NUM_CARDS];
    BYTE slotFree[HAND_SLOTS];
};

BYTE g_bBoardReleased = 0;
static CardPlay s_SavedPlay;

// The device states of the board, which a reset takes back to their defaults.
static void SetBoardStates() {
    SetDefaultStates(g_pd3dDevice, &g_d3dpp);
    g_pd3dDevice->SetLight(0, &g_Light);
    g_pd3dDevice->LightEnable(0, TRUE);
    g_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0xFFFAE6E6);
}

// Releases everything that holds device resources, keeping the game's state for the reload.
static void ReleaseForRebuild() {
    memcpy(s_SavedPlay.drawn, g_CardDrawn, sizeof(g_CardDrawn));
    memcpy(s_SavedPlay.state, g_CardState, sizeof(g_CardState));
    memcpy(s_SavedPlay.slotOfCard, g_HandSlotOfCard, sizeof(g_HandSlotOfCard));
    memcpy(s_SavedPlay.slotFree, g_HandSlotFree, sizeof(g_HandSlotFree));
    ReleaseBoard();
    ReleaseMenu();
    g_Mouse.ReleaseCursor();
    g_bBoardReleased = 1;
}

// Loads the board again on the reset device and gives the cards back their states and places.
static bool ReloadAfterRebuild() {
    g_Mouse.CreateCursor();
    g_bBoardReleased = 0;
    // The reset took the states back to their defaults; the load sets the board's own.
    SetDefaultStates(g_pd3dDevice, &g_d3dpp);
    if (!LoadBoard(g_hWnd)) return false;
    // The board release took the text font with it; the input devices live on in g_Mouse and g_Keyboard.
    CreateTextFont("Typewriter");
    memcpy(g_CardDrawn, s_SavedPlay.drawn, sizeof(g_CardDrawn));
    memcpy(g_CardState, s_SavedPlay.state, sizeof(g_CardState));
    memcpy(g_HandSlotOfCard, s_SavedPlay.slotOfCard, sizeof(g_HandSlotOfCard));
    memcpy(g_HandSlotFree, s_SavedPlay.slotFree, sizeof(g_HandSlotFree));
    for (int i = 0; i < NUM_CARDS; i++) {
        const int slot = g_HandSlotOfCard[i];
        if (slot >= 0 && slot < HAND_SLOTS)
            g_Cards[i].Image.SetPosition(g_HandSlotX[slot], g_GuiBar.GetY() + 0.5f);
    }
    return true;
}

// Rebuilds the device from the settings file and loads the board again; false while the device
// cannot be reset yet (the next frame tries again after a pause) or when the board cannot be loaded.
static bool RebuildDevice() {
    if (!g_bBoardReleased) ReleaseForRebuild();

    BoardSettings settings;
    settings.width = g_WinWidth;
    settings.height = g_WinHeight;
    // Without a "Windowed" key the device keeps its mode.
    settings.windowed = g_d3dpp.Windowed;
    ReadSettings("options.txt", &settings);

    D3DPRESENT_PARAMETERS pp;
    memset(&pp, 0, sizeof(pp));
    pp.BackBufferWidth = (UINT)settings.width;
    pp.BackBufferHeight = (UINT)settings.height;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.Windowed = settings.windowed ? TRUE : FALSE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    pp.FullScreen_RefreshRateInHz = 0;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (FAILED(g_pd3dDevice->Reset(&pp))) {
        // Not yet: wait before the next frame tries again, as for a lost device.
        Sleep(500);
        return false;
    }
    g_d3dpp = pp;
    g_WinWidth = settings.width;
    g_WinHeight = settings.height;

    if (ReloadAfterRebuild()) return true;
    PostQuitMessage(1);
    return false;
}

// The device check at the start of a frame; false when the board cannot be drawn this frame.
static bool CheckDevice() {
    g_hrCooperative = g_pd3dDevice->TestCooperativeLevel();
    if (g_hrCooperative == D3DERR_DEVICELOST) {
        Sleep(500);
    } else if (g_hrCooperative == D3DERR_DEVICENOTRESET) {
        if (g_bBoardReleased) return RebuildDevice();
        // First try the parameters the device was created with; a plain reset keeps the
        // resources but not the device's states.
        g_ResetParams = g_d3dpp;
        if (SUCCEEDED(g_pd3dDevice->Reset(&g_ResetParams)))
            SetBoardStates();
        else
            return RebuildDevice();
    }
    return !g_bBoardReleased;
}

void ApplyCardRules() {
    for (int i = 0; i < NUM_CARDS; i++) {
        CCard& card = g_Cards[i];
        if (card.Image.bMouseOver) {
            g_bShowDescription = 1;
            g_HoveredCard = card.Image.GetId();
        }
        if (card.Image.bMouseOver && card.Image.bPressed && card.pCharacterMesh != NULL && g_CardState[i] < 1) {
            card.Image.bPressed = 0;
            g_CardState[i] = 1;
            g_bPlacing = 1;
        }
        if (g_CardState[i] > 1 && g_HandSlotOfCard[i] >= 0 && g_HandSlotOfCard[i] < HAND_SLOTS) {
            const int slot = g_HandSlotOfCard[i];
            g_HandCount -= 1;
            g_HandSlotFree[slot] = 1;
            snprintf(g_TextBuffer, sizeof(g_TextBuffer), "Libero la posizione: %d\t", slot);
            WriteToLog(g_TextBuffer);
            g_HandSlotOfCard[i] = NO_HAND_SLOT;
        }
        if (card.Character.bSelectedForMove && !g_bMoving && g_TargetSquare >= 0 &&
            g_TargetSquare < NUM_SQUARES) {
            if (card.nSquare >= 0 && card.nSquare < NUM_SQUARES) g_SquareOccupied[card.nSquare] = 0;
            g_Squares[g_TargetSquare].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
            card.Character.GetPosition(&g_CharPosX, &g_CharPosY, &g_CharPosZ);
            card.Character.SetPosition(g_PosX, g_CharPosY, g_PosZ);
            card.nSquare = g_TargetSquare;
            // The target is used up: a later placement waits for a click of its own.
            g_TargetSquare = -1;
            card.Character.bSelectedForMove = 0;
        }
    }
}

void ApplyExitWindowRules() {
    if (g_ExitButton.bMouseOver && g_ExitButton.bPressed) {
        g_ExitButton.bPressed = 0;
        g_bExitWindowShown = 1;
    }
    if (g_ExitWindow.pChildren == NULL) return;
    CGuiElement& yes = g_ExitWindow.pChildren[0];
    CGuiElement& no = g_ExitWindow.pChildren[1];
    if (yes.bMouseOver && yes.bPressed) {
        yes.bPressed = 0;
        exit(0);
    }
    if (no.bMouseOver && no.bPressed) {
        no.bPressed = 0;
        g_bExitWindowShown = 0;
    }
}

void ApplyDeckRule() {
    g_DeckClickDelta = timeGetTime() - g_LastDeckClick;
    if (!(g_Deck.bMouseOver && g_Deck.bPressed && g_DeckClickDelta > 100)) return;
    g_Deck.bPressed = 0;
    g_LastDeckClick = timeGetTime();
    if (g_HandCount >= HAND_SLOTS || g_DeckCount <= 0) return;

    // A card is taken only when the hand has a free slot for it and one is left to draw.
    int slot = 0;
    while (slot < HAND_SLOTS && !g_HandSlotFree[slot]) slot++;
    if (slot == HAND_SLOTS) return;
    int nUndrawn = 0;
    for (int k = 0; k < NUM_CARDS; k++)
        if (g_CardDrawn[k] == 0) nUndrawn++;
    if (nUndrawn == 0) return;

    g_DeckCount -= 1;
    do {
        float fRand = 5.0f * ((float)rand() / 32767.0f);
        // The sum stays below 2^33; its whole part is taken modulo 2^32, as an unsigned 32-bit number.
        const double sum = (double)timeGetTime() + (double)fRand;
        g_DrawnCard = (int)((DWORD)(unsigned long long)sum % NUM_CARDS);
    } while (g_CardDrawn[g_DrawnCard] != 0);

    snprintf(g_TextBuffer, sizeof(g_TextBuffer), "carta pescata: %d\t", g_DrawnCard);
    WriteToLog(g_TextBuffer);
    g_CardDrawn[g_DrawnCard] = 1;
    snprintf(g_TextBuffer, sizeof(g_TextBuffer), "messa in posizione - %d\n", g_HandCount);
    WriteToLog(g_TextBuffer);

    g_Cards[g_DrawnCard].Image.SetPosition(g_HandSlotX[slot], g_GuiBar.GetY() + 0.5f);
    g_HandSlotFree[slot] = 0;
    g_HandSlotOfCard[g_DrawnCard] = slot;
    g_HandCount += 1;
}

int GameFrame() {
    if (!CheckDevice()) return 0;

    g_Mouse.Update();
    g_Mouse.UpdatePosition();
    g_Mouse.GetPosition(&g_MouseX, &g_MouseY);

    const float w = g_Squares[0].fWidth;
    const float d = g_Squares[0].fDepth;
    g_LightX = (float)(80.0 - w * sqrt(64.0) / 2);
    g_LightY = 100.0f;
    g_LightZ = (float)(350.0 - d * sqrt(64.0) / 2);

    g_FrameTime = timeGetTime();
    RenderGame();
    g_FrameEndTime = timeGetTime();
    g_FrameMs = g_FrameEndTime - g_FrameTime;

    ApplyCardRules();
    ApplyExitWindowRules();
    ApplyDeckRule();
    return 0;
}
