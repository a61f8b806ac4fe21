// Directory listing pages and the URL paths of served files and folders.
#pragma once

#include "server/fs.h"
#include "server/settings.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include <string>
#include <string_view>

namespace quorvin {

// The URL path of a file-system path below `root`: it begins with '/', and ends with '/'
// unless a file exists at the path. A root of exactly "/" gives the path unchanged.
std::string sitePath(std::string_view path, std::string_view root);

// sitePath for a path whose kind is known: `isFile` stands for the file-existence test.
std::string sitePathOfKind(std::string_view path, std::string_view root, bool isFile);

// The URL path of the path's parent directory ("/" at the top).
std::string parentSitePath(std::string_view path, std::string_view root);

// The listing of the directory `dir` (a mapped path), or the file response of its
// "index.html" / "index.htm", whichever regular file of the two the enumeration meets first. Entry
// names and the title are HTML-escaped and every href is percent-encoded. A directory that cannot
// be enumerated is listed empty; a failure part-way raises OSError.
// `entries`, where given, are those of `dir` as the look-up opened it.
StaticResponse listingResponse(const ServerSettings& settings, const std::string& dir,
                               std::unique_ptr<fs::DirectoryEnumeration> entries = nullptr);

// Entries a listing takes in one go before it lets the event loop run other work.
inline constexpr std::size_t listingSliceEntries = 2000;
// The size at which the listing starts a new piece of its body.
inline constexpr std::size_t listingPieceSize = 64 * 1024;

// Builds one listing a slice of entries at a time, into pieces of about listingPieceSize bytes,
// so that a large folder neither holds the event loop for long nor needs its page in memory
// more than once. listingResponse runs it to the end in one go.
class ListingBuilder {
public:
    // `settings` must outlive the builder. `entries`, where given, are those of `dir` as the
    // look-up opened it; otherwise `dir` is enumerated by its path.
    ListingBuilder(const ServerSettings& settings, std::string dir,
                   std::unique_ptr<fs::DirectoryEnumeration> entries = nullptr);
    // Takes up to `count` more entries; false once the enumeration has ended or met an index
    // file. A failure of the enumeration part-way raises OSError.
    bool addEntries(std::size_t count);
    // The page in `bodyPieces`, or the index file's response (which may raise, as fileResponse).
    StaticResponse finish();

private:
    void addItem(std::string_view item);

    const ServerSettings& settings_;
    std::string dir_;
    std::unique_ptr<fs::DirectoryEnumeration> entries_;
    std::string title_;
    std::vector<std::string> pieces_;
    std::string current_;
    std::size_t itemCount_ = 0;
    std::optional<std::string> indexFile_;
    std::unique_ptr<fs::FileReader> indexReader_;
    bool ended_ = false;
};

} // namespace quorvin
