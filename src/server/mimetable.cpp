// The MIME table: built-in rows and the case rules of its two operations.
#include "server/mimetable.h"

#include "runtime/ascii.h"
#include "runtime/errors.h"

namespace quorvin {

namespace {

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
}

} // namespace

MimeTable newMimeTable() {
    auto table = std::make_shared<MimeTableObj>();
    const auto rows = builtinMimeRows();
    table->rows.reserve(rows.size() + 1);
    for (const MimeRow& row : rows) {
        table->rows.emplace(row.ext, row.mime);
    }
    return table;
}

void addMimeType(const MimeTable& table, std::string_view ext, std::string_view mime) {
    assertCondition(table != nullptr, "table != nil");
    assertCondition(!isBlank(ext), "not ext.isEmptyOrWhitespace");
    assertCondition(!isBlank(mime), "not mimetype.isEmptyOrWhitespace");
    table->rows.insert_or_assign(toLowerAscii(ext), toLowerAscii(mime));
}

std::string lookupMimeType(const MimeTable& table, std::string_view ext,
                           std::string_view defaultType) {
    assertCondition(table != nullptr, "table != nil");
    if (!ext.empty() && ext.front() == '.') {
        ext.remove_prefix(1);
    }
    const auto found = table->rows.find(toLowerAscii(ext));
    if (found == table->rows.end() || found->second.empty()) {
        return std::string(defaultType);
    }
    return found->second;
}

} // namespace quorvin
