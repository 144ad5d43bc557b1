// Reference counting for the layer's COM objects.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace platform {

// Implements IUnknown over the interface `Interface`: objects start with one reference and
// delete themselves when the last one is released.
template <class Interface>
class ComObject : public Interface {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || Implements(riid)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    // The interface identifiers that QueryInterface answers besides IUnknown's.
    virtual bool Implements(REFIID) const { return false; }
    static bool AnyOf(REFIID riid, std::initializer_list<const IID*> ids) {
        for (const IID* id : ids)
            if (riid == *id) return true;
        return false;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// Releases a COM pointer when it goes out of scope.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}  // takes over one reference
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr& operator=(const ComPtr& o) {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ~ComPtr() { Reset(); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // Shares a pointer: adds a reference.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return ComPtr(p);
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace platform
