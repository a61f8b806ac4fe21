// A data object made by the tests: a file list (CF_HDROP) or plain text, as the shell offers them.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <atomic>
#include <string>
#include <vector>

namespace quorvin::testing {

class TestDataObject final : public IDataObject {
public:
    // CF_HDROP holding the names (DROPFILES with wide names).
    static TestDataObject* files(const std::vector<std::string>& names);
    // The same for names given in UTF-16, which need not be well-formed.
    static TestDataObject* wideFiles(const std::vector<std::wstring>& names);
    // CF_UNICODETEXT only.
    static TestDataObject* text(const std::string& text);

    // Hands out the data only `reads` more times; later reads fail as if the data had gone.
    void limitReads(int reads) { readsLeft_ = reads; }

    // The references held by others than the creator.
    ULONG references() const { return references_ - 1; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    TestDataObject(CLIPFORMAT format, std::wstring payload) : format_(format), payload_(payload) {}
    HGLOBAL makeGlobal() const;

    std::atomic<ULONG> references_{1};
    CLIPFORMAT format_;
    std::wstring payload_; // the names, each ended by a NUL, or the text
    int readsLeft_ = -1;   // without limit when negative
};

} // namespace quorvin::testing
