// Read-only access to the served folder: attribute tests, directory enumeration, file reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::fs {

// The separator that joins path segments on this platform.
#ifdef _WIN32
inline constexpr char pathSeparator = '\\';
#else
inline constexpr char pathSeparator = '/';
#endif

// What the attributes of a path say; Missing when they cannot be read at all.
enum class PathKind { Missing, Directory, File };

PathKind pathKind(const std::string& path);

// Where an existing path really is, every link (and on Windows every junction) on the way
// resolved: POSIX realpath(3); on Windows the final path of a handle opened on it. Nothing when
// the path is missing, cannot be opened or runs into a link loop.
std::optional<std::string> realLocation(const std::string& path);

// Whether the real location of `path` is `root`'s own or lies below it. A link that leads out of
// the served folder would otherwise let a request read or list anything on the disk.
bool liesWithin(const std::string& root, const std::string& path);

// The names in one directory, "." and ".." included, in the order the system gives them.
class DirectoryEnumeration {
public:
    // Starts enumerating; when that fails, `started()` is false and there are no entries.
    explicit DirectoryEnumeration(const std::string& directory);
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
    struct State;
    std::unique_ptr<State> state_;
};

// What pathKind says of `path` when it liesWithin `root`, and Missing when it does not.
// `path` is expected in the form mapRequestPath gives for `root`. On POSIX a path below a root in
// normalised form whose segments are no links costs one lstat per segment below the root and no
// resolution at all; anything else takes the full look of liesWithin.
PathKind kindWithin(const std::string& root, const std::string& path);

class FileReader;

// What kindWithin says, and for a file that could be opened on the way, the open file.
struct OpenedWithin {
    PathKind kind = PathKind::Missing;
    std::unique_ptr<FileReader> file;
};

// kindWithin, answered on POSIX for a path below a normalised root by opening the last segment
// (without following a link there) instead of looking it up, so that a file to be served is
// found and opened with one look-up of its path. `file` may be null for a File all the same
// (a link, no permission, or where the system offers no such shortcut); then it is opened as usual.
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
    // Up to `capacity` bytes into `buffer`; fewer only at the end of the file, 0 there. A read
    // error raises IOError naming the C runtime error number and text.
    std::size_t read(char* buffer, std::size_t capacity);

private:
    struct State;
    explicit FileReader(std::unique_ptr<State> state);
    friend OpenedWithin openWithin(const std::string& root, const std::string& path);
    std::unique_ptr<State> state_;
};

} // namespace quorvin::fs
