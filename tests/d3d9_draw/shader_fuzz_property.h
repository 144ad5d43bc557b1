// What the shader fuzz targets ask of every stream that passes CreateVertexShader's check.
#pragma once

#include <windows.h>

// Traps unless every input the stream declares could be named by a vertex declaration, and the
// stream translates into GLSL that compiles and links, as OpenGL 3.3 core takes it, with the
// pixel stages that draw it (checked with glslang: no display needed).
void ExpectDrawable(const DWORD* tokens);
