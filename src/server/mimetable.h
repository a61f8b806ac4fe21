// The extension to media type table that file responses take their Content-Type from.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvin {

// Rows keyed by extension (without the leading dot). Keys are hashed and compared byte for
// byte; the table functions below lower-case every key they store or look for.
struct MimeTableObj {
    std::unordered_map<std::string, std::string> rows;
};

// Shared handle: copies of the settings that hold it all see one table.
using MimeTable = std::shared_ptr<MimeTableObj>;

// One built-in row, as compiled in from mimetypes.tsv.
struct MimeRow {
    std::string_view ext;
    std::string_view mime;
};

// The built-in rows, in byte order of their keys. Every key is already lower case.
std::span<const MimeRow> builtinMimeRows();

// A new table holding every built-in row.
MimeTable newMimeTable();

// Stores `mime` for `ext`, both lower-cased (ASCII letters only), replacing any row with that
// key. Neither is trimmed. Raises AssertionError when either is empty or only white space.
void addMimeType(const MimeTable& table, std::string_view ext, std::string_view mime);

// The media type for `ext` (one leading '.' is dropped, then the key is lower-cased), or
// `defaultType` when the table has no row for it or the row's media type is empty.
std::string lookupMimeType(const MimeTable& table, std::string_view ext,
                           std::string_view defaultType);

} // namespace quorvin
