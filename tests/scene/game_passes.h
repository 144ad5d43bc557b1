// The game's stencil shadow passes as the board screen runs them, for the test scenes.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include "shadowvolume.h"

namespace scenetest {

// The volume into the stencil buffer: front faces count up, back faces down.
void RenderShadowVolume(IDirect3DDevice9* d, CShadowVolume* volume, D3DXMATRIX world);
// Half-black over every pixel whose count is at least 1.
void DrawShadow(IDirect3DDevice9* d, float width, float height);

}  // namespace scenetest
