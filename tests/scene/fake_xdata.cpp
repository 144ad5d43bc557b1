#include "fake_xdata.h"

#include <cstring>

namespace scenetest {

namespace {

class FakeData : public ID3DXFileData {
public:
    FakeData(FakeNode* node, bool reference, std::shared_ptr<int> alive)
        : node_(node), reference_(reference), alive_(std::move(alive)) {
        ++*alive_;
    }
    virtual ~FakeData() { --*alive_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetEnum(ID3DXFileEnumObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(LPSTR szName, SIZE_T* puiSize) override {
        if (!puiSize) return E_POINTER;
        SIZE_T needed = node_->name.empty() ? 0 : node_->name.size() + 1;
        if (!szName) {
            *puiSize = needed;
            return S_OK;
        }
        if (*puiSize < needed) return E_FAIL;
        if (needed) std::memcpy(szName, node_->name.c_str(), needed);
        *puiSize = needed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPGUID pGuid) override {
        if (!pGuid) return E_POINTER;
        std::memset(pGuid, 0, sizeof(GUID));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Lock(SIZE_T* pSize, const void** ppData) override {
        if (node_->lockFails) return E_FAIL;
        *pSize = node_->data.size();
        *ppData = node_->data.empty() ? static_cast<const void*>(node_) : node_->data.data();
        ++locks_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        if (locks_ == 0) return E_FAIL;
        --locks_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetType(GUID* pType) override {
        *pType = node_->type;
        return S_OK;
    }
    BOOL STDMETHODCALLTYPE IsReference() override { return reference_ ? TRUE : FALSE; }
    HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* puiChildren) override {
        *puiChildren = node_->children.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChild(SIZE_T i, ID3DXFileData** ppChild) override {
        *ppChild = nullptr;
        if (i >= node_->children.size()) return E_FAIL;
        *ppChild = new FakeData(node_->children[i].first, node_->children[i].second, alive_);
        return S_OK;
    }

private:
    FakeNode* node_;
    bool reference_;
    std::shared_ptr<int> alive_;
    ULONG refs_ = 1;
    unsigned locks_ = 0;
};

}  // namespace

FakeNode* FakeTree::Add(const GUID& type, const std::string& name, std::vector<uint8_t> data) {
    nodes_.push_back(std::make_unique<FakeNode>());
    FakeNode* n = nodes_.back().get();
    n->type = type;
    n->name = name;
    n->data = std::move(data);
    return n;
}

ID3DXFileData* FakeTree::Open(FakeNode* node, bool reference) { return new FakeData(node, reference, alive_); }

std::vector<uint8_t> Floats(const std::vector<float>& values) {
    std::vector<uint8_t> out(values.size() * 4);
    if (!values.empty()) std::memcpy(out.data(), values.data(), out.size());
    return out;
}

std::vector<uint8_t> Dwords(const std::vector<uint32_t>& values) {
    std::vector<uint8_t> out(values.size() * 4);
    if (!values.empty()) std::memcpy(out.data(), values.data(), out.size());
    return out;
}

}  // namespace scenetest
