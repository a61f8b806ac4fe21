// The built-in MIME rows as compiled in, and the case and default rules of the table.
#include "server/mimetable.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace quorvin;

namespace {

bool isKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '$' || c == '+' || c == '-' ||
           c == '_' || c == '~';
}

// A media type token: letters, digits and the punctuation that registered names use.
bool isTypeToken(std::string_view token) {
    if (token.empty()) {
        return false;
    }
    for (char c : token) {
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && std::string_view("!#$&^_.+-").find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool hasUpper(std::string_view text) {
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(MimeRows, CountOrderAndCharacterRules) {
    const auto rows = builtinMimeRows();
    ASSERT_EQ(rows.size(), 1859u);
    std::set<std::string_view> keys;
    std::set<std::string_view> topLevelTypes;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MimeRow& row = rows[i];
        SCOPED_TRACE(std::string(row.ext) + " " + std::string(row.mime));
        EXPECT_TRUE(keys.insert(row.ext).second) << "duplicate key";
        if (i > 0) {
            EXPECT_LT(rows[i - 1].ext, row.ext) << "rows out of byte order";
        }
        EXPECT_GE(row.ext.size(), 1u);
        EXPECT_LE(row.ext.size(), 24u);
        for (char c : row.ext) {
            EXPECT_TRUE(isKeyChar(c)) << "bad key character '" << c << "'";
        }
        const auto slash = row.mime.find('/');
        ASSERT_NE(slash, std::string_view::npos);
        EXPECT_TRUE(isTypeToken(row.mime.substr(0, slash)));
        EXPECT_TRUE(isTypeToken(row.mime.substr(slash + 1))) << "subtype (one '/' only)";
        topLevelTypes.insert(row.mime.substr(0, slash));
        // Only the chemistry row for "b" keeps its upper-case letter.
        EXPECT_EQ(hasUpper(row.mime), row.ext == "b");
    }
    for (const char* expected : {"application", "text", "image", "audio", "video", "font"}) {
        EXPECT_TRUE(topLevelTypes.contains(expected)) << expected;
    }
}

TEST(MimeRows, NewTableHoldsEveryRowUnchanged) {
    MimeTable table = newMimeTable();
    ASSERT_EQ(table->rows.size(), builtinMimeRows().size());
    for (const MimeRow& row : builtinMimeRows()) {
        EXPECT_EQ(lookupMimeType(table, row.ext, "none"), row.mime) << row.ext;
    }
}

// The media types that a web site meets most often, and the rows that stand out.
TEST(MimeRows, WellKnownValues) {
    struct Case {
        const char* ext;
        const char* mime;
    };
    const Case cases[] = {
        {"html", "text/html"},
        {"xhtml", "application/xhtml+xml"},
        {"css", "text/css"},
        {"js", "application/javascript"},
        {"mjs", "application/javascript"},
        {"json", "application/json"},
        {"jsonld", "application/ld+json"},
        {"webmanifest", "application/manifest+json"},
        {"map", "application/x-navimap"},
        {"xml", "text/xml"},
        {"xsl", "application/xslt+xml"},
        {"txt", "text/plain"},
        {"text", "text/plain"},
        {"log", "text/plain"},
        {"md", "text/markdown"},
        {"csv", "text/csv"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"jpe", "image/jpeg"},
        {"gif", "image/gif"},
        {"svg", "image/svg+xml"},
        {"svgz", "image/svg+xml"},
        {"ico", "image/x-icon"},
        {"webp", "image/webp"},
        {"bmp", "image/bmp"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"ttf", "font/ttf"},
        {"otf", "font/otf"},
        {"eot", "application/vnd.ms-fontobject"},
        {"wasm", "application/wasm"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"gz", "application/gzip"},
        {"7z", "application/x-7z-compressed"},
        {"rar", "application/x-rar-compressed"},
        {"tar", "application/x-tar"},
        {"mp3", "audio/mp3"},
        {"ogg", "audio/ogg"},
        {"wav", "audio/wave"},
        {"mp4", "video/mp4"},
        {"webm", "video/webm"},
        {"avi", "video/x-msvideo"},
        {"mov", "video/quicktime"},
        {"exe", "application/x-msdos-program"},
        {"bat", "application/x-msdos-program"},
        {"bin", "application/octet-stream"},
        {"ts", "video/mp2t"},
        {"py", "text/x-script.phyton"},
        {"a", "text/plain"},
        {"b", "chemical/x-molconn-Z"},
        {"mc$", "application/x-magic-cap-package-1.0"},
        {"~", "application/x-trash"},
        {"123", "application/vnd.lotus-1-2-3"},
    };
    MimeTable table = newMimeTable();
    for (const Case& c : cases) {
        EXPECT_EQ(lookupMimeType(table, c.ext, "default/none"), c.mime) << c.ext;
    }
}

TEST(MimeTable, LookupIgnoresCaseAndOneLeadingDot) {
    MimeTable table = newMimeTable();
    for (const char* ext : {"jpg", "JPG", ".jpg", ".JPG", "jPg"}) {
        EXPECT_EQ(lookupMimeType(table, ext, "x/y"), "image/jpeg") << ext;
    }
    // Both ends of the letter range.
    EXPECT_EQ(lookupMimeType(table, "A", "x/y"), "text/plain");
    EXPECT_EQ(lookupMimeType(table, ".7Z", "x/y"), "application/x-7z-compressed");
    // Lower-casing the key must not touch the stored value.
    EXPECT_EQ(lookupMimeType(table, "B", "x/y"), "chemical/x-molconn-Z");
    EXPECT_EQ(lookupMimeType(table, "C++", "x/y"), lookupMimeType(table, "c++", "none"));
    // Only the first dot is dropped.
    EXPECT_EQ(lookupMimeType(table, "..jpg", "x/y"), "x/y");
}

TEST(MimeTable, MissingKeysGiveTheDefault) {
    MimeTable table = newMimeTable();
    for (const char* ext : {"htm", "shtml", "avif", "cmd", "ps1", "db", "sqlite", "", ".", "..",
                            "jpg ", " jpg", "tar.gz"}) {
        EXPECT_EQ(lookupMimeType(table, ext, "text/plain"), "text/plain") << "[" << ext << "]";
    }
    // An embedded NUL is part of the key, not its end.
    EXPECT_EQ(lookupMimeType(table, std::string_view("html\0", 5), "none"), "none");
    // A row whose media type is empty counts as missing.
    table->rows["empty"] = "";
    EXPECT_EQ(lookupMimeType(table, "empty", "text/plain"), "text/plain");
}

TEST(MimeTable, AddLowerCasesAndReplaces) {
    MimeTable table = newMimeTable();
    EXPECT_EQ(lookupMimeType(table, "htm", "none"), "none");
    addMimeType(table, "htm", "text/html");
    EXPECT_EQ(lookupMimeType(table, "HTM", "none"), "text/html");

    // A key differing only in case replaces the row; the media type is lower-cased too.
    addMimeType(table, "PNG", "Image/APNG");
    EXPECT_EQ(lookupMimeType(table, "png", "none"), "image/apng");
    EXPECT_EQ(table->rows.size(), builtinMimeRows().size() + 1);

    // Only ASCII letters change case; other bytes stay as they are.
    addMimeType(table, "\xC3\x84Q", "x/y");
    EXPECT_EQ(lookupMimeType(table, "\xC3\x84q", "none"), "x/y");

    // Arguments are checked for white space, not trimmed.
    addMimeType(table, " pad ", "a/b");
    EXPECT_EQ(lookupMimeType(table, " PAD ", "none"), "a/b");
    EXPECT_EQ(lookupMimeType(table, "pad", "none"), "none");
}

TEST(MimeTable, AddRejectsBlankArguments) {
    MimeTable table = newMimeTable();
    for (const char* blank : {"", " ", "\t", " \t\n\v\f\r"}) {
        EXPECT_THROW(addMimeType(table, blank, "text/plain"), AssertionError)
            << "[" << blank << "]";
        EXPECT_THROW(addMimeType(table, "x", blank), AssertionError) << "[" << blank << "]";
    }
    EXPECT_EQ(table->rows.size(), builtinMimeRows().size());
}

TEST(MimeTable, TablesAreSharedByHandleAndIndependentOtherwise) {
    MimeTable first = newMimeTable();
    MimeTable copy = first;
    MimeTable second = newMimeTable();
    addMimeType(copy, "htm", "text/html");
    addMimeType(second, "html", "text/x-other");
    EXPECT_EQ(lookupMimeType(first, "htm", "none"), "text/html");
    EXPECT_EQ(lookupMimeType(second, "htm", "none"), "none");
    EXPECT_EQ(lookupMimeType(first, "html", "none"), "text/html");
    EXPECT_EQ(lookupMimeType(newMimeTable(), "html", "none"), "text/html");
}
