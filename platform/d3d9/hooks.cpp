// The device's side of the test hooks: forced loss and failing resets.
#include "platform/test_hooks.h"

#include "d3d9/device.h"

namespace platform::hooks {

bool LoseDevice(IDirect3DDevice9* device) {
    auto* d = dynamic_cast<d3d9::Device*>(device);
    if (!d) return false;
    d->ForceLost();
    return true;
}

bool RegainDevice(IDirect3DDevice9* device) {
    auto* d = dynamic_cast<d3d9::Device*>(device);
    if (!d) return false;
    d->ForceRegained();
    return true;
}

bool FailNextReset(IDirect3DDevice9* device) {
    auto* d = dynamic_cast<d3d9::Device*>(device);
    if (!d) return false;
    d->FailNextReset();
    return true;
}

}  // namespace platform::hooks
