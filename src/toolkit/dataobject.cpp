// wDataObject: reads CF_HDROP through DragQueryFileW.
#include "toolkit/dataobject.h"

#include "runtime/utf.h"

#include <shellapi.h>

namespace quorvin {

namespace {

// Longest name DragQueryFileW is asked for, in UTF-16 units.
constexpr UINT nameBufferUnits = 65536;

// The CF_HDROP medium of a data object, released at the end of a scope.
class DropMedium {
public:
    explicit DropMedium(IDataObject* data) {
        if (data == nullptr) {
            return;
        }
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        held_ = SUCCEEDED(data->GetData(&format, &medium_));
    }
    ~DropMedium() {
        if (held_) {
            ReleaseStgMedium(&medium_);
        }
    }
    DropMedium(const DropMedium&) = delete;
    DropMedium& operator=(const DropMedium&) = delete;

    // The file list, or null when the data has none in global memory.
    HDROP drop() const {
        return held_ && medium_.tymed == TYMED_HGLOBAL ? static_cast<HDROP>(medium_.hGlobal)
                                                       : nullptr;
    }
    UINT count() const {
        return drop() == nullptr ? 0 : DragQueryFileW(drop(), 0xFFFFFFFF, nullptr, 0);
    }

private:
    STGMEDIUM medium_{};
    bool held_ = false;
};

} // namespace

bool wDataObject::isFiles() const {
    return DropMedium(data_).count() >= 1;
}

std::vector<std::string> wDataObject::files() const {
    DropMedium medium(data_);
    const UINT count = medium.count();
    std::vector<std::string> names;
    names.reserve(count);
    std::vector<wchar_t> buffer(nameBufferUnits);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(medium.drop(), i, buffer.data(), nameBufferUnits);
        names.push_back(fromWide(std::wstring_view(buffer.data(), length)));
    }
    return names;
}

} // namespace quorvin
