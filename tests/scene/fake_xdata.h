// In-memory .x data objects for the walkers' tests, for trees that the platform's reader never
// hands out: references that lead back into their own ancestors, data that cannot be locked or
// is shorter than its template. Everything else is tested on real files.
#pragma once

#include <d3dx9xof.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scenetest {

struct FakeNode {
    GUID type;
    std::string name;
    std::vector<uint8_t> data;
    bool lockFails = false;
    // The children, each a node and whether it is reached as a reference.
    std::vector<std::pair<FakeNode*, bool>> children;
};

// Owns the nodes of one fake file.
class FakeTree {
public:
    FakeNode* Add(const GUID& type, const std::string& name = "", std::vector<uint8_t> data = {});
    static void Link(FakeNode* parent, FakeNode* child, bool reference = false) {
        parent->children.push_back({child, reference});
    }
    // A new data object for a node (one reference, released by the caller).
    ID3DXFileData* Open(FakeNode* node, bool reference = false);
    // Data objects that are still alive.
    int Alive() const { return *alive_; }

private:
    std::vector<std::unique_ptr<FakeNode>> nodes_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

std::vector<uint8_t> Floats(const std::vector<float>& values);
std::vector<uint8_t> Dwords(const std::vector<uint32_t>& values);

}  // namespace scenetest
