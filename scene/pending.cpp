// Loaders that are not built yet. Until they are, the hierarchy parser passes meshes over.
#include "meshcontainer.h"

HRESULT LoadMeshFromXFileData(CMeshContainerEx** ppContainer, IDirect3DDevice9*, ID3DXFileData*,
                              const char*, DWORD, DWORD) {
    if (ppContainer != NULL) *ppContainer = NULL;
    return E_NOTIMPL;
}
