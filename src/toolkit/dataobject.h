// wDataObject: the file list of dragged or dropped data (CF_HDROP).
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

namespace quorvin {

class wDataObject {
public:
    // Wraps the data object of a drag or drop; it must outlive this wrapper.
    explicit wDataObject(IDataObject* data) : data_(data) {}

    // Whether the data offers CF_HDROP in global memory holding at least one name.
    bool isFiles() const;
    // Every name, in order, in UTF-8; empty when the data holds no file list.
    std::vector<std::string> files() const;

private:
    IDataObject* data_;
};

} // namespace quorvin
