// The test data object: every GetData hands out a fresh global memory block.
#include "testdataobject.h"

#include "runtime/utf.h"

#include <shlobj.h>

#include <cstring>

namespace quorvin::testing {

TestDataObject* TestDataObject::files(const std::vector<std::string>& names) {
    std::vector<std::wstring> wide;
    for (const std::string& name : names) {
        wide.push_back(toWide(name));
    }
    return wideFiles(wide);
}

TestDataObject* TestDataObject::wideFiles(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names) {
        list += name;
        list += L'\0';
    }
    return new TestDataObject(CF_HDROP, list);
}

TestDataObject* TestDataObject::text(const std::string& text) {
    return new TestDataObject(CF_UNICODETEXT, toWide(text));
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TestDataObject::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HGLOBAL TestDataObject::makeGlobal() const {
    // A file list is a DROPFILES header followed by the names and one more NUL; text ends in one.
    // Two zero units are added, so that even a list without names ends in two.
    const bool isList = format_ == CF_HDROP;
    const SIZE_T header = isList ? sizeof(DROPFILES) : 0;
    const SIZE_T bytes = header + (payload_.size() + 2) * sizeof(wchar_t);
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* base = static_cast<char*>(GlobalLock(global));
    if (isList) {
        auto* drop = reinterpret_cast<DROPFILES*>(base);
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
    }
    std::memcpy(base + header, payload_.data(), payload_.size() * sizeof(wchar_t));
    GlobalUnlock(global);
    return global;
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryGetData(FORMATETC* format) {
    if (format->cfFormat != format_ || (format->tymed & TYMED_HGLOBAL) == 0) {
        return DV_E_FORMATETC;
    }
    return format->dwAspect == DVASPECT_CONTENT ? S_OK : DV_E_DVASPECT;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    const HRESULT usable = QueryGetData(format);
    if (FAILED(usable)) {
        return usable;
    }
    if (readsLeft_ == 0) {
        return E_UNEXPECTED;
    }
    if (readsLeft_ > 0) {
        --readsLeft_;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = makeGlobal();
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE TestDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (direction != DATADIR_GET) {
        return E_NOTIMPL;
    }
    FORMATETC offered{format_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &offered, out);
}

} // namespace quorvin::testing
