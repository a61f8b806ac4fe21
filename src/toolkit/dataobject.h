// wDataObject: the file list of dropped data (CF_HDROP).
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

namespace quorvin {

class wDataObject {
public:
    // Wraps the data object of a drop; it must outlive this wrapper.
    explicit wDataObject(IDataObject* data) : data_(data) {}

    // Whether the data offers CF_HDROP in global memory with at least one name.
    bool isFiles() const;
    // Every name, in order.
    std::vector<std::string> files() const;

private:
    IDataObject* data_;
};

} // namespace quorvin
