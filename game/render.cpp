#include "board.h"

#include "camera.h"
#include "display.h"
#include "input.h"
#include "screens.h"
#include "winmain.h"

#include <cmath>
#include <cstdio>
#include <cstring>

float g_CameraStep = 0.0f;
int g_BoardSide = 8;
int g_SquareCounter = 0;
int g_BoardRow = 0;
BYTE g_bTwoSidedStencil = 0;
BYTE g_bLeftButtonHeld = 0;
BYTE g_bLeftPress = 0;

// Whether this frame's left button is a new press that no board action has used yet; an
// action uses it up, so one click acts once.
static bool TakeLeftPress() {
    if (!g_bLeftPress) return false;
    g_bLeftPress = 0;
    return true;
}

bool PickMesh(CMeshContainerEx* pContainer, D3DXMATRIX* pWorld) {
    if (pContainer == NULL || pContainer->MeshData.pMesh == NULL || pWorld == NULL) return false;

    IDirect3DSurface9* pBackBuffer = NULL;
    if (FAILED(g_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &pBackBuffer)) ||
        pBackBuffer == NULL)
        return false;
    D3DSURFACE_DESC desc;
    HRESULT hr = pBackBuffer->GetDesc(&desc);
    pBackBuffer->Release();
    if (FAILED(hr) || desc.Width == 0 || desc.Height == 0) return false;

    D3DXMATRIX matProj;
    g_pd3dDevice->GetTransform(D3DTS_PROJECTION, &matProj);

    // The game's cursor is already in back-buffer pixels.
    D3DXVECTOR3 v;
    v.x = (float)(((2.0 * g_MouseX / desc.Width) - 1.0) / matProj._11);
    v.y = (float)(-((2.0 * g_MouseY / desc.Height) - 1.0) / matProj._22);
    v.z = 1.0f;

    D3DXMATRIX matView, m;
    g_pd3dDevice->GetTransform(D3DTS_VIEW, &matView);
    D3DXMatrixInverse(&m, NULL, &matView);

    D3DXVECTOR3 dir, origin;
    dir.x = v.x * m._11 + v.y * m._21 + v.z * m._31;
    dir.y = v.x * m._12 + v.y * m._22 + v.z * m._32;
    dir.z = v.x * m._13 + v.y * m._23 + v.z * m._33;
    origin.x = m._41 + dir.x;
    origin.y = m._42 + dir.y;
    origin.z = m._43 + dir.z;

    D3DXMATRIX matInvWorld;
    D3DXMatrixInverse(&matInvWorld, NULL, pWorld);
    D3DXVECTOR3 modelOrigin, modelDir;
    D3DXVec3TransformCoord(&modelOrigin, &origin, &matInvWorld);
    D3DXVec3TransformNormal(&modelDir, &dir, &matInvWorld);

    BOOL bHit = FALSE;
    DWORD face = 0;
    float u = 0.0f, w = 0.0f, dist = 0.0f;
    if (FAILED(D3DXIntersect(pContainer->MeshData.pMesh, &modelOrigin, &modelDir, &bHit, &face, &u, &w,
                             &dist, NULL, NULL)))
        return false;
    return bHit == TRUE;
}

void UpdateCamera() {
    g_Camera.GetPosition(&g_CameraEye.x, &g_CameraEye.y, &g_CameraEye.z);
    if (g_Keyboard.IsKeyDown(DIK_Z))
        g_CameraStep = (float)g_FrameMs * 0.3f;
    else if (g_Keyboard.IsKeyDown(DIK_A))
        g_CameraStep = (float)g_FrameMs * -0.3f;
    else
        g_CameraStep = 0.0f;
    g_Camera.SetPosition(g_CameraEye.x, g_CameraEye.y + g_CameraStep, g_CameraEye.z);

    g_CameraTarget = D3DXVECTOR3(g_CameraEye.x, g_CameraEye.y - g_CameraHeightFactor * g_CameraDistance,
                                 g_CameraEye.z - 1.0f * g_CameraDistance);
    g_CameraUp = D3DXVECTOR3(0.0f, -1.0f, 0.0f);
    D3DXVec3Subtract(&g_CameraLook, &g_CameraTarget, &g_CameraEye);
    D3DXVec3Normalize(&g_CameraLook, &g_CameraLook);
    g_Camera.SetLook(g_CameraLook.x, g_CameraLook.y + 0.2f, g_CameraLook.z);
    D3DXVec3Cross(&g_CameraRight, &g_CameraUp, &g_CameraLook);
    D3DXVec3Normalize(&g_CameraRight, &g_CameraRight);
    g_Camera.SetRight(g_CameraRight.x, g_CameraRight.y, g_CameraRight.z);
    D3DXVec3Cross(&g_CameraUp, &g_CameraRight, &g_CameraLook);
    D3DXVec3Normalize(&g_CameraUp, &g_CameraUp);
    g_Camera.SetUp(g_CameraUp.x, g_CameraUp.y, g_CameraUp.z);
    g_Camera.Update();
}

void MarkReachableSquares() {
    g_BoardSide = (int)sqrt((double)NUM_SQUARES);
    if (g_bMoving != 1) return;
    if (g_MovingCard < 0 || g_MovingCard >= NUM_CARDS) return;
    const int s = g_Cards[g_MovingCard].nSquare;
    const int m = g_Cards[g_MovingCard].nMovement;
    if (s < 0 || s >= NUM_SQUARES) return;
    const int c = s % g_BoardSide;
    const int r = s / g_BoardSide;
    for (int i = 0; i < NUM_SQUARES; i++) {
        if (g_SquareOccupied[i] != 0 || i == s) continue;
        const int ci = i % g_BoardSide;
        const int ri = i / g_BoardSide;
        const int dc = ci > c ? ci - c : c - ci;
        const int dr = ri > r ? ri - r : r - ri;
        if (ri == r && dc >= 1 && dc <= m) g_Squares[i].bReachable = 1;
        if (ci == c && dr >= 1 && dr <= m) g_Squares[i].bReachable = 1;
    }
}

HRESULT RenderShadowVolume(D3DXMATRIX world) {
    IDirect3DDevice9* d = g_pd3dDevice;
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    d->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    d->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    d->SetRenderState(D3DRS_STENCILREF, 1);
    d->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    d->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    if (g_bTwoSidedStencil == 1) {
        d->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, TRUE);
        d->SetRenderState(D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS);
        d->SetRenderState(D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP);
        d->SetRenderState(D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP);
        d->SetRenderState(D3DRS_CCW_STENCILPASS, D3DSTENCILOP_DECR);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetTransform(D3DTS_WORLD, &world);
        if (g_pShadowVolume != NULL) g_pShadowVolume->Render(d);
        d->SetRenderState(D3DRS_TWOSIDEDSTENCILMODE, FALSE);
    } else {
        // Front faces count up, back faces count down.
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        d->SetTransform(D3DTS_WORLD, &world);
        if (g_pShadowVolume != NULL) g_pShadowVolume->Render(d);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
        d->SetTransform(D3DTS_WORLD, &world);
        if (g_pShadowVolume != NULL) g_pShadowVolume->Render(d);
    }
    d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    return S_OK;
}

HRESULT DrawShadow() {
    IDirect3DDevice9* d = g_pd3dDevice;
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetRenderState(D3DRS_STENCILREF, 1);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    if (g_pShadowVB != NULL) {
        d->SetFVF(D3DFVF_SHADOWQUAD);
        d->SetStreamSource(0, g_pShadowVB, 0, sizeof(CShadowQuadVertex));
        d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    }
    d->SetRenderState(D3DRS_ZENABLE, TRUE);
    d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    return S_OK;
}

// The 2D elements, the cursor and the camera.
static void InterfacePass() {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    g_GuiBar.Draw();
    g_Deck.Draw();
    if (g_bShowDescription) {
        g_bShowDescription = 0;
        if (g_HoveredCard >= 0 && g_HoveredCard < NUM_CARDS && g_Cards[g_HoveredCard].szDescription != NULL)
            g_DescriptionBox.DrawWithText(g_Cards[g_HoveredCard].szDescription);
    }
    for (int c = 0; c < NUM_CARDS; c++)
        if (g_CardDrawn[c] == 1 && g_CardState[c] < 2) g_Cards[c].Image.Draw();
    if (g_bExitWindowShown) {
        g_ExitWindow.Draw();
        if (g_ExitWindow.pChildren != NULL) {
            g_ExitWindow.pChildren[0].Draw();
            g_ExitWindow.pChildren[1].Draw();
        }
    }
    g_ExitButton.Draw();
    g_pd3dDevice->EndScene();
    g_Mouse.DrawCursor();
    UpdateCamera();
}

// The squares with their targets, the background and the characters with their shadows.
static void BoardPass() {
    g_pd3dDevice->Clear(0, NULL, D3DCLEAR_STENCIL, 0, 1.0f, 0);
    g_pd3dDevice->BeginScene();
    const bool bLeftDown = g_Mouse.IsButtonDown(0);
    g_bLeftPress = bLeftDown && !g_bLeftButtonHeld;
    g_bLeftButtonHeld = bLeftDown;
    MarkReachableSquares();
    g_SquareCounter = 0;
    g_BoardRow = 0;
    const int nFirstRows = 2 * (int)sqrt(64.0);
    for (int i = 0; i < NUM_SQUARES; i++) {
        CFrame& square = g_Squares[i];
        if (i % 8 == 0) g_BoardRow++;
        if (PickMesh(g_pSquareMeshes[i], &square.matWorld)) square.bMouseOver = 1;
        const bool bMovingOwnSquare =
            g_MovingCard >= 0 && g_MovingCard < NUM_CARDS && i == g_Cards[g_MovingCard].nSquare;
        if (square.bMouseOver == 1 && g_bPlacing == 1 && i < nFirstRows && g_SquareOccupied[i] == 0) {
            g_pd3dDevice->SetTexture(0, g_pTexMouseOn);
            if (TakeLeftPress()) {
                g_bPlacing = 0;
                g_SquareOccupied[i] = 1;
                g_TargetSquare = i;
            }
        } else if (square.bMouseOver == 1 && g_bMoving == 1 && g_SquareOccupied[i] == 0 && !bMovingOwnSquare &&
                   square.bReachable != 0) {
            g_pd3dDevice->SetTexture(0, g_pTexMouseOn);
            if (TakeLeftPress()) {
                g_bMoving = 0;
                g_SquareOccupied[i] = 1;
                g_TargetSquare = i;
            }
        } else if (g_BoardRow % 2 == 1) {
            g_pd3dDevice->SetTexture(0, g_SquareCounter % 2 == 0 ? g_pTexBlue : g_pTexRed);
        } else {
            g_pd3dDevice->SetTexture(0, g_SquareCounter % 2 == 1 ? g_pTexBlue : g_pTexRed);
        }
        g_SquareCounter++;
        square.Render(false);
        square.bMouseOver = 0;
        square.bReachable = 0;
    }

    g_Background.Render(true);

    BuildBoardLight(&g_Light);
    g_pd3dDevice->SetLight(0, &g_Light);

    for (int c = 0; c < NUM_CARDS; c++) {
        CCard& card = g_Cards[c];
        if (g_CardState[c] <= 0) continue;
        if (g_CardState[c] == 1 && g_TargetSquare != -1) {
            g_Squares[g_TargetSquare].GetPosition(&g_PosX, &g_PosY, &g_PosZ);
            card.Character.SetPosition(g_PosX, (float)(card.Character.fHeight / 4.0), g_PosZ);
            card.nSquare = g_TargetSquare;
            g_TargetSquare = -1;
            g_CardState[c] = 2;
            continue;
        }
        if (card.pCharacterMesh == NULL) continue;

        D3DXMATRIX mi;
        D3DXMatrixInverse(&mi, NULL, &card.Character.matWorld);
        const float x = g_LightX, y = g_LightY, z = g_LightZ;
        D3DXVECTOR3 light(x * mi._11 + y * mi._21 + z * mi._31 + mi._41,
                          x * mi._12 + y * mi._22 + z * mi._32 + mi._42,
                          x * mi._13 + y * mi._23 + z * mi._33 + mi._43);
        g_pShadowVolume->Reset();
        g_pShadowVolume->BuildFromMesh(card.pCharacterMesh->MeshData.pMesh, light);

        if (PickMesh(card.pCharacterMesh, &card.Character.matWorld)) {
            card.Character.bMouseOver = 1;
            g_bShowDescription = 1;
            g_HoveredCard = card.Image.GetId();
        }
        if (card.Character.bMouseOver == 1) {
            g_pd3dDevice->SetTexture(0, g_pTexMouseOnChar);
            card.Character.Render(false);
            if (TakeLeftPress()) {
                card.Character.bSelectedForMove = 1;
                g_bMoving = 1;
                card.Character.bMouseOver = 0;
                g_MovingCard = card.Image.GetId();
            }
        } else {
            card.Character.Render(true);
        }
        RenderShadowVolume(card.Character.matWorld);
        DrawShadow();
        card.Character.bMouseOver = 0;
    }
    g_pd3dDevice->EndScene();
}

// The frame rate and the placing prompt.
static void TextPass() {
    g_pd3dDevice->BeginScene();
    float fps = UpdateFPS();
    snprintf(g_TextBuffer, sizeof(g_TextBuffer), "FPS: %.2f", fps);
    DrawTextAt((int)(g_WinWidth * 0.2f / 100.0f), (int)(g_WinHeight * 0.2f / 100.0f), g_TextBuffer,
               D3DXCOLOR(255.0f, 255.0f, 255.0f, 1.0f));
    if (g_bPlacing == 1) {
        strcpy(g_TextBuffer, "Scegli dove posizionare il personaggio");
        DrawTextAt(g_WinWidth * 30 / 100, g_WinHeight * 80 / 100, g_TextBuffer,
                   D3DXCOLOR(255.0f, 255.0f, 0.0f, 1.0f));
    }
    g_pd3dDevice->EndScene();
    g_pd3dDevice->Present(NULL, NULL, NULL, NULL);
}

void RenderGame() {
    InterfacePass();
    BoardPass();
    TextPass();
}
