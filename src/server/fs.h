// Read-only access to the served folder: attribute tests, directory enumeration, file reading.
#pragma once

#include "runtime/paths.h"
#include "server/servedfolder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::fs {

// What the attributes of a path say; Missing when they cannot be read at all.
enum class PathKind { Missing, Directory, File };

PathKind pathKind(const std::string& path);

// The names in one directory, "." and ".." included, in the order the system gives them.
class DirectoryEnumeration {
public:
    // Starts enumerating; when that fails, `started()` is false and there are no entries.
    explicit DirectoryEnumeration(const std::string& directory);
    // What the platform's backend keeps of an open directory; only the backend makes one.
    struct State;
    explicit DirectoryEnumeration(std::unique_ptr<State> state);
    ~DirectoryEnumeration();
    DirectoryEnumeration(const DirectoryEnumeration&) = delete;
    DirectoryEnumeration& operator=(const DirectoryEnumeration&) = delete;

    bool started() const;
    // The next name as UTF-8, or nothing at the normal end. A failure part-way ends the
    // enumeration and raises OSError with the system's code and an empty message.
    std::optional<std::string> next();
    // What the system said of the entry that next() returned, when it said it without a further
    // look-up; nothing for a link (whose target decides) or when the system does not tell.
    std::optional<PathKind> lastKind() const;

private:
    std::unique_ptr<State> state_;
};

class FileReader;

// What a path below the served folder is, and for a file, the file opened for reading.
struct OpenedWithin {
    PathKind kind = PathKind::Missing;
    // Null for a File that exists but cannot be opened for reading (no permission).
    std::unique_ptr<FileReader> file;
    // For a Directory, where the system can enumerate the very folder that was found (POSIX),
    // its names; null elsewhere, and the caller enumerates the path.
    std::unique_ptr<DirectoryEnumeration> entries;
};

// Finds `path` (in the form mapRequestPath gives for `root`) and opens it in one look-up that
// never leaves the served folder: a link is followed only while it leads to a place inside, so
// that nothing swapped in on the way between a check and the open can lead out. Missing for
// what does not exist, lies outside or runs into a link loop.
OpenedWithin openWithin(const ServedFolder& folder, const std::string& path);
// The same below a folder looked up for this one call.
OpenedWithin openWithin(const std::string& root, const std::string& path);

// A file opened for reading in byte mode; closed on destruction. Reads go in pieces, so a
// caller may hold the whole content or pass it on chunk by chunk.
class FileReader {
public:
    // Nothing when the file cannot be opened.
    static std::unique_ptr<FileReader> open(const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // True only for a regular file on disk (not a device, pipe, console or socket).
    bool isDiskFile() const;
    // The size in bytes when the system can tell it.
    std::optional<std::uint64_t> size() const;
    // Up to `capacity` bytes into `buffer`: fewer only at the end of the file, which the system
    // reports by reading nothing; a short read on the way is no end. A read error raises IOError
    // naming the C runtime error number and text.
    std::size_t read(char* buffer, std::size_t capacity);

    // What the platform's backend keeps of an open file; only the backend makes one.
    struct State;
    explicit FileReader(std::unique_ptr<State> state);

private:
    // One read of the system, which may give fewer bytes than asked anywhere in the file.
    std::size_t readSome(char* buffer, std::size_t capacity);
    std::unique_ptr<State> state_;
};

namespace detail {

// Every system read asks for at most this many bytes (0: no limit), as a network share or a
// user-space file system may give them; for tests of the readers above it.
void limitSystemReads(std::size_t bytes);

} // namespace detail

} // namespace quorvin::fs
