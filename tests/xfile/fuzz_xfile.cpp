// libFuzzer target: the .x reader must turn any input into an object tree or a failure code.
// Whatever loads is walked completely, locks and names included.
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Walks an object and its children; references are followed too, which the reader guarantees
// cannot loop. The budget keeps shared objects from making the walk explode.
void walk(ID3DXFileData* d, unsigned& budget) {
    if (budget == 0) return;
    --budget;
    SIZE_T size = 0;
    if (SUCCEEDED(d->GetName(nullptr, &size)) && size) {
        std::vector<char> name(size);
        if (FAILED(d->GetName(name.data(), &size)) || name[size - 1] != '\0') __builtin_trap();
    }
    GUID g;
    d->GetType(&g);
    d->GetId(&g);
    const void* data = nullptr;
    if (SUCCEEDED(d->Lock(&size, &data))) {
        volatile uint8_t sum = 0;
        for (SIZE_T i = 0; i < size; ++i) sum = sum + static_cast<const uint8_t*>(data)[i];
        d->Unlock();
    }
    SIZE_T n = 0;
    d->GetChildren(&n);
    for (SIZE_T i = 0; i < n; ++i) {
        ID3DXFileData* c = nullptr;
        if (SUCCEEDED(d->GetChild(i, &c))) {
            walk(c, budget);
            c->Release();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    ID3DXFile* file = nullptr;
    if (FAILED(D3DXFileCreate(&file))) return 0;
    // Half the inputs see the standard templates, so that mesh-shaped inputs get deep.
    if ((size & 1) == 0) file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
    D3DXF_FILELOADMEMORY mem{bytes, size};
    ID3DXFileEnumObject* objects = nullptr;
    if (SUCCEEDED(file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, &objects))) {
        unsigned budget = 10000;
        SIZE_T n = 0;
        objects->GetChildren(&n);
        for (SIZE_T i = 0; i < n; ++i) {
            ID3DXFileData* d = nullptr;
            if (SUCCEEDED(objects->GetChild(i, &d))) {
                walk(d, budget);
                d->Release();
            }
        }
        objects->Release();
    }
    // The same bytes as a template block.
    if (size) file->RegisterTemplates(bytes, size);
    file->Release();
    return 0;
}
