// Test data objects for drops, made by the toolkit tests' data object.
#include "windowtesting.h"

#include "runtime/utf.h"
#include "toolkit/testdataobject.h"

namespace quorvin::testing {

IDataObject* newFileListData(const std::vector<std::string>& paths) {
    return TestDataObject::files(paths);
}

IDataObject* newTextData(const std::wstring& text) {
    return TestDataObject::text(fromWide(text));
}

} // namespace quorvin::testing
