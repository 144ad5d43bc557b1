// The D3DX9 utility library.
#pragma once

#include <d3d9.h>

#include <cfloat>

#include "d3dx9math.h"
#include "d3dx9core.h"
#include "d3dx9tex.h"
#include "d3dx9mesh.h"
#include "d3dx9xof.h"
#include "d3dx9shader.h"
