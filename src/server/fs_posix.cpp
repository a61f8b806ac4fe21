// POSIX backend of the served-folder access: stat, opendir/readdir and stdio over open(2).
#include "server/fs.h"

#include "runtime/errors.h"
#include "server/pathrules.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvin::fs {

PathKind pathKind(const std::string& path) {
    struct stat info {};
    if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

std::optional<std::string> realLocation(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool liesWithin(const std::string& root, const std::string& path) {
    const std::optional<std::string> realRoot = realLocation(root);
    const std::optional<std::string> realPath = realLocation(path);
    return realRoot && realPath && detail::pathLiesWithin(*realRoot, *realPath, false);
}

namespace {

// The part of `path` below `root` ("" for the root itself), when `root` is already in normalised
// form and `path` begins with it; nothing otherwise. Only then is the real location of `path`
// that of `root` followed by the rest, as long as no segment of the rest is a link.
std::optional<std::string_view> partBelow(const std::string& root, const std::string& path) {
    std::string_view base = root;
    while (base.size() > 1 && base.back() == '/') {
        base.remove_suffix(1);
    }
    if (base.empty() || base.front() != '/' || !detail::isNormalised(base, '/') ||
        path.compare(0, base.size(), base) != 0) {
        return std::nullopt;
    }
    // Below "/" the whole path is the rest.
    std::string_view rest = std::string_view(path).substr(base == "/" ? 0 : base.size());
    if (!rest.empty() && rest.front() != '/') {
        return std::nullopt; // "/srv/site2" does not lie below "/srv/site"
    }
    return rest;
}

// The kind of the last segment when every segment of `rest` below the root, up to `limit` in
// `path`, is no link; nothing when one is (only the full resolution can tell where it leads).
std::optional<PathKind> kindWithoutLinks(const std::string& path, std::string_view rest,
                                         std::size_t limit) {
    PathKind kind = PathKind::Directory; // the root itself, when nothing follows it
    struct stat info {};
    const std::size_t restStart = path.size() - rest.size();
    for (std::size_t end = restStart; end < limit;) {
        const std::size_t start = end + 1;
        end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end == start) {
            continue;
        }
        const int status = end == path.size() ? ::lstat(path.c_str(), &info)
                                              : ::lstat(path.substr(0, end).c_str(), &info);
        if (status != 0) {
            return PathKind::Missing;
        }
        if (S_ISLNK(info.st_mode)) {
            return std::nullopt;
        }
        kind = S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
        if (kind == PathKind::File && end < path.size()) {
            return PathKind::Missing; // a file has nothing below it, not even a trailing "/"
        }
    }
    return kind;
}

PathKind kindByResolution(const std::string& root, const std::string& path) {
    return liesWithin(root, path) ? pathKind(path) : PathKind::Missing;
}

// Non-blocking mode changes nothing for a regular file; anything else is not served, and is
// read, if at all, in blocking mode.
void leaveNonBlockingOnlyForFiles(int fd, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) {
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
}

// O_NONBLOCK keeps the open itself from waiting on a FIFO for a writer; the caller then sees
// from isDiskFile() that it is no file to serve.
constexpr int openFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;

} // namespace

PathKind kindWithin(const std::string& root, const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return PathKind::Missing;
    }
    if (const std::optional<std::string_view> rest = partBelow(root, path)) {
        if (const std::optional<PathKind> kind = kindWithoutLinks(path, *rest, path.size())) {
            // The root itself must still be there and be a folder, as its resolution would show.
            return rest->empty() ? pathKind(path) : *kind;
        }
    }
    return kindByResolution(root, path);
}

struct DirectoryEnumeration::State {
    DIR* dir = nullptr;
    unsigned char lastType = DT_UNKNOWN;
};

DirectoryEnumeration::DirectoryEnumeration(const std::string& directory)
    : state_(std::make_unique<State>()) {
    if (directory.find('\0') == std::string::npos) {
        state_->dir = ::opendir(directory.c_str());
    }
}

DirectoryEnumeration::~DirectoryEnumeration() {
    if (state_->dir != nullptr) {
        ::closedir(state_->dir);
    }
}

bool DirectoryEnumeration::started() const {
    return state_->dir != nullptr;
}

std::optional<std::string> DirectoryEnumeration::next() {
    if (state_->dir == nullptr) {
        return std::nullopt;
    }
    // readdir signals both the end and an error with a null result; only errno tells them apart.
    errno = 0;
    dirent* entry = ::readdir(state_->dir);
    if (entry != nullptr) {
        state_->lastType = entry->d_type;
        return std::string(entry->d_name);
    }
    int code = errno;
    ::closedir(state_->dir);
    state_->dir = nullptr;
    if (code != 0) {
        throw OSError(code, "");
    }
    return std::nullopt;
}

std::optional<PathKind> DirectoryEnumeration::lastKind() const {
    switch (state_->lastType) {
    case DT_DIR:
        return PathKind::Directory;
    case DT_LNK:
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        // Every other kind of entry (pipes and devices included) is what pathKind calls a file.
        return PathKind::File;
    }
}

// Plain descriptor reads: the callers read in large pieces of their own, so a stdio buffer
// would only add a copy and an allocation per file.
struct FileReader::State {
    int fd = -1;
    struct stat info {};
    bool endSeen = false;
};

FileReader::FileReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FileReader::~FileReader() {
    ::close(state_->fd);
}

std::unique_ptr<FileReader> FileReader::open(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return nullptr;
    }
    int fd = ::open(path.c_str(), openFlags);
    if (fd < 0) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    // A folder opens under POSIX but, as on Windows, cannot be read as a file.
    if (::fstat(fd, &state->info) != 0 || S_ISDIR(state->info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    leaveNonBlockingOnlyForFiles(fd, state->info);
    state->fd = fd;
    return std::unique_ptr<FileReader>(new FileReader(std::move(state)));
}

// The folders on the way are looked at as kindWithin does; the last segment is opened with
// O_NOFOLLOW, which fails on a link, and its open descriptor tells its kind. Whatever this
// cannot settle is left to kindWithin.
OpenedWithin openWithin(const std::string& root, const std::string& path) {
    const std::optional<std::string_view> rest =
        path.find('\0') == std::string::npos ? partBelow(root, path) : std::nullopt;
    if (!rest || rest->empty() || path.back() == '/') {
        return {kindWithin(root, path), nullptr};
    }
    const std::size_t lastSeparator = path.rfind('/');
    if (const std::optional<PathKind> folders = kindWithoutLinks(path, *rest, lastSeparator)) {
        if (*folders != PathKind::Directory) {
            return {PathKind::Missing, nullptr};
        }
    } else {
        return {kindByResolution(root, path), nullptr};
    }
    const int fd = ::open(path.c_str(), openFlags | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {PathKind::Missing, nullptr};
        }
        return {kindWithin(root, path), nullptr}; // a link, no permission, a socket...
    }
    auto state = std::make_unique<FileReader::State>();
    if (::fstat(fd, &state->info) != 0) {
        ::close(fd);
        return {kindWithin(root, path), nullptr};
    }
    if (S_ISDIR(state->info.st_mode)) {
        ::close(fd);
        return {PathKind::Directory, nullptr};
    }
    leaveNonBlockingOnlyForFiles(fd, state->info);
    state->fd = fd;
    return {PathKind::File, std::unique_ptr<FileReader>(new FileReader(std::move(state)))};
}

bool FileReader::isDiskFile() const {
    return S_ISREG(state_->info.st_mode);
}

std::optional<std::uint64_t> FileReader::size() const {
    if (!S_ISREG(state_->info.st_mode) || state_->info.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(state_->info.st_size);
}

// A regular file gives fewer bytes than asked only at its end, so a short read is taken as the end
// and spares the call that would only return 0.
std::size_t FileReader::read(char* buffer, std::size_t capacity) {
    std::size_t filled = 0;
    while (filled < capacity && !state_->endSeen) {
        const std::size_t asked = capacity - filled;
        ssize_t count = ::read(state_->fd, buffer + filled, asked);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            int code = errno;
            throw IOError("read error " + std::to_string(code) + ": " + std::strerror(code));
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
        state_->endSeen = S_ISREG(state_->info.st_mode) && static_cast<std::size_t>(count) < asked;
    }
    return filled;
}

} // namespace quorvin::fs
