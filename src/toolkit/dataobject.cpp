// wDataObject over DragQueryFileW.
#include "toolkit/dataobject.h"

#include "runtime/utf.h"

#include <shellapi.h>

namespace quorvin {

namespace {

constexpr UINT nameBufferUnits = 65536;

// The CF_HDROP medium of the data, released when done.
class DropMedium {
public:
    explicit DropMedium(IDataObject* data) {
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        ok_ = data != nullptr && SUCCEEDED(data->GetData(&format, &medium_));
    }
    ~DropMedium() {
        if (ok_) {
            ReleaseStgMedium(&medium_);
        }
    }
    HDROP drop() const { return ok_ ? static_cast<HDROP>(medium_.hGlobal) : nullptr; }
    UINT count() const { return ok_ ? DragQueryFileW(drop(), 0xFFFFFFFF, nullptr, 0) : 0; }

private:
    STGMEDIUM medium_{};
    bool ok_ = false;
};

} // namespace

bool wDataObject::isFiles() const {
    return DropMedium(data_).count() > 0;
}

std::vector<std::string> wDataObject::files() const {
    DropMedium medium(data_);
    std::vector<std::string> names;
    std::wstring buffer(nameBufferUnits, L'\0');
    for (UINT i = 0; i < medium.count(); ++i) {
        UINT length = DragQueryFileW(medium.drop(), i, buffer.data(), nameBufferUnits);
        names.push_back(fromWide(std::wstring_view(buffer.data(), length)));
    }
    return names;
}

} // namespace quorvin
