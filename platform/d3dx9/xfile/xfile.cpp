// ID3DXFile, ID3DXFileEnumObject and ID3DXFileData over the parsed document.
#include <d3dx9xof.h>

#include "common/paths.h"
#include "d3dx9/xfile/xparser.h"
#include "d3dx9/xfile/xfileio.h"

#include <atomic>
#include <cstring>
#include <new>

namespace xfile {

namespace {

template <class Interface>
struct InterfaceId;
template <>
struct InterfaceId<ID3DXFile> {
    static constexpr const GUID& value = IID_ID3DXFile;
};
template <>
struct InterfaceId<ID3DXFileEnumObject> {
    static constexpr const GUID& value = IID_ID3DXFileEnumObject;
};
template <>
struct InterfaceId<ID3DXFileData> {
    static constexpr const GUID& value = IID_ID3DXFileData;
};

// Reference counting and QueryInterface for one interface.
template <class Interface>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == InterfaceId<Interface>::value) {
            *ppv = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

// Runs a reader step, turning its failures into result codes.
template <class F>
HRESULT guarded(F&& f) {
    try {
        return f();
    } catch (const Error& e) {
        return e.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

class FileObject;
class EnumObject;

class DataObject final : public ComObject<ID3DXFileData> {
public:
    DataObject(EnumObject* owner, const Node* node, bool reference);

    HRESULT STDMETHODCALLTYPE GetEnum(ID3DXFileEnumObject** ppObj) override;
    HRESULT STDMETHODCALLTYPE GetName(LPSTR szName, SIZE_T* puiSize) override {
        if (!puiSize) return D3DXFERR_BADVALUE;
        // An unnamed object needs no characters at all.
        const std::string& name = node_->name;
        const SIZE_T needed = name.empty() ? 0 : name.size() + 1;
        if (!szName) {
            *puiSize = needed;
            return S_OK;
        }
        if (needed == 0) {
            if (*puiSize > 0) szName[0] = '\0';
            *puiSize = 0;
            return S_OK;
        }
        if (*puiSize < needed) return D3DXFERR_BADVALUE;
        std::memcpy(szName, name.c_str(), needed);
        *puiSize = needed;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPGUID pGuid) override {
        if (!pGuid) return D3DXFERR_BADVALUE;
        *pGuid = node_->id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Lock(SIZE_T* pSize, const void** ppData) override {
        if (!pSize || !ppData) return D3DXFERR_BADVALUE;
        static const uint8_t kNothing = 0;
        ++locks_;
        *pSize = node_->data.size();
        *ppData = node_->data.empty() ? &kNothing : node_->data.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        if (locks_ == 0) return D3DXFERR_BADVALUE;
        --locks_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetType(GUID* pType) override {
        if (!pType) return D3DXFERR_BADVALUE;
        *pType = node_->type->guid;
        return S_OK;
    }
    BOOL STDMETHODCALLTYPE IsReference() override { return reference_ ? TRUE : FALSE; }
    HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* puiChildren) override {
        if (!puiChildren) return D3DXFERR_BADVALUE;
        *puiChildren = node_->children.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChild(SIZE_T uiChild, ID3DXFileData** ppChild) override;

private:
    ~DataObject() override;

    EnumObject* owner_;  // holds a reference: the document lives as long as the enumerator
    const Node* node_;   // for a reference, the object referred to
    bool reference_;
    unsigned locks_ = 0;
};

class EnumObject final : public ComObject<ID3DXFileEnumObject> {
public:
    EnumObject(ID3DXFile* file, std::shared_ptr<const Document> doc)
        : file_(file), doc_(std::move(doc)) {
        file_->AddRef();
    }

    HRESULT STDMETHODCALLTYPE GetFile(ID3DXFile** ppFile) override {
        if (!ppFile) return D3DXFERR_BADVALUE;
        file_->AddRef();
        *ppFile = file_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* puiChildren) override {
        if (!puiChildren) return D3DXFERR_BADVALUE;
        *puiChildren = doc_->top.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChild(SIZE_T uiChild, ID3DXFileData** ppObj) override {
        if (!ppObj) return D3DXFERR_BADVALUE;
        *ppObj = nullptr;
        if (uiChild >= doc_->top.size()) return D3DXFERR_NOMOREOBJECTS;
        return make(doc_->top[uiChild], false, ppObj);
    }
    HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID rguid, ID3DXFileData** ppObj) override {
        if (!ppObj) return D3DXFERR_BADVALUE;
        *ppObj = nullptr;
        for (const Node* n : doc_->top) {
            if (n->id == rguid) return make(n, false, ppObj);
        }
        return D3DXFERR_NOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR szName, ID3DXFileData** ppObj) override {
        if (!szName || !ppObj) return D3DXFERR_BADVALUE;
        *ppObj = nullptr;
        for (const Node* n : doc_->top) {
            if (n->name == szName) return make(n, false, ppObj);
        }
        return D3DXFERR_NOTFOUND;
    }

    const Document& document() const { return *doc_; }

    HRESULT make(const Node* node, bool reference, ID3DXFileData** out) {
        DataObject* d = new (std::nothrow) DataObject(this, node, reference);
        if (!d) return E_OUTOFMEMORY;
        *out = d;
        return S_OK;
    }

private:
    ~EnumObject() override { file_->Release(); }

    ID3DXFile* file_;
    std::shared_ptr<const Document> doc_;
};

DataObject::DataObject(EnumObject* owner, const Node* node, bool reference)
    : owner_(owner), node_(node), reference_(reference) {
    owner_->AddRef();
}

DataObject::~DataObject() { owner_->Release(); }

HRESULT DataObject::GetEnum(ID3DXFileEnumObject** ppObj) {
    if (!ppObj) return D3DXFERR_BADVALUE;
    owner_->AddRef();
    *ppObj = owner_;
    return S_OK;
}

HRESULT DataObject::GetChild(SIZE_T uiChild, ID3DXFileData** ppChild) {
    if (!ppChild) return D3DXFERR_BADVALUE;
    *ppChild = nullptr;
    if (uiChild >= node_->children.size()) return D3DXFERR_NOMOREOBJECTS;
    const Child& c = node_->children[uiChild];
    return owner_->make(c.node, c.reference, ppChild);
}

class FileObject final : public ComObject<ID3DXFile> {
public:
    HRESULT STDMETHODCALLTYPE CreateEnumObject(LPCVOID pvSource, D3DXF_FILELOADOPTIONS loadflags,
                                               ID3DXFileEnumObject** ppEnumObj) override {
        if (!ppEnumObj) return D3DXFERR_BADVALUE;
        *ppEnumObj = nullptr;
        if (!pvSource) return D3DXFERR_BADVALUE;
        return guarded([&]() -> HRESULT {
            FileBytes contents;
            const uint8_t* data = nullptr;
            size_t size = 0;
            switch (loadflags) {
            case D3DXF_FILELOAD_FROMFILE:
            case D3DXF_FILELOAD_FROMWFILE: {
                const std::string path =
                    loadflags == D3DXF_FILELOAD_FROMFILE
                        ? platform::MapPath(static_cast<const char*>(pvSource))
                        : platform::MapPath(narrowPath(static_cast<const wchar_t*>(pvSource)).c_str());
                if (!readWholeFile(path, contents)) return D3DXFERR_FILENOTFOUND;
                data = contents.data.get();
                size = contents.size;
                break;
            }
            case D3DXF_FILELOAD_FROMMEMORY: {
                const auto* mem = static_cast<const D3DXF_FILELOADMEMORY*>(pvSource);
                if (!mem->lpMemory) return D3DXFERR_BADVALUE;
                data = static_cast<const uint8_t*>(mem->lpMemory);
                size = mem->dSize;
                break;
            }
            case D3DXF_FILELOAD_FROMRESOURCE:
                return D3DXFERR_RESOURCENOTFOUND;  // programs carry no resources here
            default:
                return D3DXFERR_BADVALUE;
            }
            TemplateSet scope = store_;
            std::shared_ptr<const Document> doc = parseFile(data, size, scope);
            *ppEnumObj = new EnumObject(this, std::move(doc));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCVOID, D3DXF_FILESAVEOPTIONS, D3DXF_FILEFORMAT,
                                               ID3DXFileSaveObject** ppSaveObj) override {
        if (ppSaveObj) *ppSaveObj = nullptr;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE RegisterTemplates(LPCVOID pvData, SIZE_T cbSize) override {
        if (!pvData || cbSize == 0) return D3DXFERR_BADVALUE;
        return guarded([&]() -> HRESULT {
            TemplateSet scope = store_;
            const auto doc = parseFile(static_cast<const uint8_t*>(pvData), cbSize, scope);
            for (const TemplatePtr& t : doc->declared) store_.add(t);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE RegisterEnumTemplates(ID3DXFileEnumObject* pEnum) override {
        auto* e = dynamic_cast<EnumObject*>(pEnum);
        if (!e) return D3DXFERR_BADVALUE;
        return guarded([&]() -> HRESULT {
            for (const TemplatePtr& t : e->document().declared) store_.add(t);
            return S_OK;
        });
    }

private:
    TemplateSet store_;
};

}  // namespace

}  // namespace xfile

extern "C" HRESULT D3DXFileCreate(ID3DXFile** lplpDirectXFile) {
    if (!lplpDirectXFile) return E_POINTER;
    *lplpDirectXFile = new (std::nothrow) xfile::FileObject();
    return *lplpDirectXFile ? S_OK : E_OUTOFMEMORY;
}
