// The standard .x templates as one binary .x block, ready for ID3DXFile::RegisterTemplates.
#pragma once

// Built from platform/d3dx9/xfile/templates.x.
inline constexpr unsigned char D3DRM_XTEMPLATES[] = {
#include "platform/generated/xtemplates.inc"
};

#define D3DRM_XTEMPLATE_BYTES (sizeof(D3DRM_XTEMPLATES))
