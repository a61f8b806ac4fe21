// POSIX backend of the served-folder access: stat, opendir/readdir, reads of a descriptor, and
// the look-up below the served folder's descriptor.
#include "server/fs_posix.h"
#include "server/fs.h"

#include "runtime/errors.h"
#include "server/pathrules.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace quorvin::fs {

PathKind pathKind(const std::string& path) {
    struct stat info {};
    if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

struct DirectoryEnumeration::State {
    DIR* dir = nullptr;
    unsigned char lastType = DT_UNKNOWN;
};

DirectoryEnumeration::DirectoryEnumeration(std::unique_ptr<State> state)
    : state_(std::move(state)) {}

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
};

FileReader::FileReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FileReader::~FileReader() {
    ::close(state_->fd);
}

namespace {

// O_NONBLOCK keeps the open itself from waiting on a FIFO for a writer; the caller then sees
// from isDiskFile() that it is no file to serve.
constexpr int readFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;

// The reader of an open descriptor whose attributes are `info`, or nothing (the descriptor
// closed) for a folder, which opens under POSIX but, as on Windows, cannot be read as a file.
std::unique_ptr<FileReader> readerOf(int fd, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto state = std::make_unique<FileReader::State>();
    state->info = info;
    // Non-blocking mode changes nothing for a regular file; anything else is not served, and is
    // read, if at all, in blocking mode.
    if (!S_ISREG(state->info.st_mode)) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) {
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    state->fd = fd;
    return std::make_unique<FileReader>(std::move(state));
}

std::unique_ptr<FileReader> readerOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    return readerOf(fd, info);
}

} // namespace

std::unique_ptr<FileReader> FileReader::open(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), readFlags);
    return fd < 0 ? nullptr : readerOf(fd);
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

std::size_t FileReader::readSome(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t count = ::read(state_->fd, buffer, capacity);
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            const int code = errno;
            throw IOError("read error " + std::to_string(code) + ": " + std::strerror(code));
        }
    }
}

namespace {

// A descriptor closed when its holder goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// As many links as the system itself follows in one path before it calls it a loop.
constexpr int maxLinksFollowed = 40;

// What a look-up found, without an open descriptor.
OpenedWithin found(PathKind kind) {
    return {kind, nullptr, nullptr};
}

// What a look-up found open: a file to read or a folder to enumerate.
OpenedWithin openedAt(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return found(PathKind::Missing);
    }
    if (S_ISDIR(info.st_mode)) {
        auto state = std::make_unique<DirectoryEnumeration::State>();
        state->dir = ::fdopendir(fd);
        if (state->dir == nullptr) {
            ::close(fd);
            return found(PathKind::Directory);
        }
        return {PathKind::Directory, nullptr,
                std::make_unique<DirectoryEnumeration>(std::move(state))};
    }
    std::unique_ptr<FileReader> reader = readerOf(fd, info);
    return {reader ? PathKind::File : PathKind::Missing, std::move(reader), nullptr};
}

// The folder that a walk has reached, opened for enumeration.
OpenedWithin openedFolder(int folder) {
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? found(PathKind::Directory) : openedAt(fd);
}

PathKind kindOfDescriptor(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return PathKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

// The form mapRequestPath gives `root` at the start of every path below it.
std::string baseOf(const std::string& root) {
    return quorvin::detail::normalisePath(root, '/');
}

// The part of `path` below the folder whose base (baseOf) is `base`, without leading separators
// ("" for the folder itself), when `path` is in the form mapRequestPath gives.
std::optional<std::string> partBelow(const std::string& base, const std::string& path) {
    if (path.compare(0, base.size(), base) != 0) {
        return std::nullopt;
    }
    std::string rest = path.substr(base.size());
    if (!rest.empty() && rest.front() != '/' && !base.empty() && base.back() != '/') {
        return std::nullopt; // "/srv/site2" does not lie below "/srv/site"
    }
    const std::size_t first = rest.find_first_not_of('/');
    rest.erase(0, first == std::string::npos ? rest.size() : first);
    return rest;
}

// The segments of a relative path, in order; "" stands for a trailing separator, which asks
// for a folder.
std::deque<std::string> segmentsOf(std::string_view path) {
    std::deque<std::string> segments;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') {
            continue;
        }
        const std::string_view segment = path.substr(start, i - start);
        start = i + 1;
        if (!segment.empty() && segment != ".") {
            segments.emplace_back(segment);
        }
    }
    if (!path.empty() && path.back() == '/') {
        segments.emplace_back();
    }
    return segments;
}

std::optional<std::string> linkTarget(int folder, const std::string& name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(folder, name.c_str(), target.data(), target.size());
        if (length < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The look-up one segment at a time: each opened beneath the folder before it without following
// a link; a link is read and its target walked in its place, from the served folder when it is
// absolute and names a place inside, and never above the served folder.
class SegmentWalk {
public:
    SegmentWalk(const std::string& root, int rootFd) : root_(root), rootFd_(rootFd) {}

    OpenedWithin run(std::string_view relative) {
        pending_ = segmentsOf(relative);
        while (!pending_.empty()) {
            std::string segment = std::move(pending_.front());
            pending_.pop_front();
            if (segment.empty()) {
                continue; // a trailing separator: the folder reached so far is the answer
            }
            if (segment == "..") {
                if (folders_.empty()) {
                    return found(PathKind::Missing);
                }
                folders_.pop_back();
                continue;
            }
            if (std::optional<OpenedWithin> end = step(segment)) {
                return std::move(*end);
            }
        }
        return openedFolder(current());
    }

private:
    int current() const { return folders_.empty() ? rootFd_ : folders_.back().get(); }

    // Goes one segment further; the answer when the walk ends there.
    std::optional<OpenedWithin> step(const std::string& name) {
        Descriptor entry(::openat(current(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (!entry.valid() || ::fstat(entry.get(), &info) != 0) {
            return found(PathKind::Missing);
        }
        if (S_ISLNK(info.st_mode)) {
            return followLink(name) ? std::nullopt : std::optional(found(PathKind::Missing));
        }
        if (S_ISDIR(info.st_mode)) {
            folders_.push_back(std::move(entry));
            return std::nullopt;
        }
        if (!pending_.empty()) {
            return found(PathKind::Missing); // a file has nothing below it, not even a separator
        }
        return openFile(name, info);
    }

    // The file named `name` in the current folder, opened for reading; it must still be the
    // one looked at, not something swapped in since.
    OpenedWithin openFile(const std::string& name, const struct stat& seen) {
        const int fd = ::openat(current(), name.c_str(), readFlags | O_NOFOLLOW);
        if (fd < 0) {
            return found(errno == EACCES ? PathKind::File : PathKind::Missing);
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || info.st_dev != seen.st_dev || info.st_ino != seen.st_ino) {
            ::close(fd);
            return found(PathKind::Missing);
        }
        return openedAt(fd);
    }

    // Puts the link's target in the place of the link; false when it cannot lie inside.
    bool followLink(const std::string& name) {
        std::optional<std::string> target = linkTarget(current(), name);
        if (!target || ++linksFollowed_ > maxLinksFollowed) {
            return false;
        }
        std::deque<std::string> segments;
        if (target->starts_with('/')) {
            std::optional<std::deque<std::string>> below = belowRealRoot(*target);
            if (!below) {
                return false;
            }
            folders_.clear();
            segments = std::move(*below);
        } else {
            segments = segmentsOf(*target);
        }
        prepend(std::move(segments));
        return true;
    }

    void prepend(std::deque<std::string> segments) {
        if (!segments.empty() && segments.back().empty() && !pending_.empty()) {
            segments.pop_back(); // a trailing separator inside the path asks for nothing
        }
        pending_.insert(pending_.begin(), segments.begin(), segments.end());
    }

    // The segments of an absolute link target below the served folder's real location.
    std::optional<std::deque<std::string>> belowRealRoot(std::string_view target) {
        if (!realRoot_) {
            char* resolved = ::realpath(root_.c_str(), nullptr);
            if (resolved == nullptr) {
                return std::nullopt;
            }
            realRoot_ = segmentsOf(resolved);
            std::free(resolved);
            if (!realRoot_->empty() && realRoot_->back().empty()) {
                realRoot_->pop_back(); // "/" itself
            }
        }
        std::deque<std::string> segments = segmentsOf(target);
        if (segments.size() < realRoot_->size() ||
            !std::equal(realRoot_->begin(), realRoot_->end(), segments.begin())) {
            return std::nullopt;
        }
        segments.erase(segments.begin(), segments.begin() + realRoot_->size());
        return segments;
    }

    const std::string& root_;
    int rootFd_;
    std::vector<Descriptor> folders_;
    std::deque<std::string> pending_;
    std::optional<std::deque<std::string>> realRoot_;
    int linksFollowed_ = 0;
};

#ifdef SYS_openat2
// The kernel's own look-up beneath a folder. Nothing where the kernel has no openat2 (ENOSYS),
// or where its answer is no final one: EXDEV also stands for an absolute link, which may well
// lead to a place inside, and EAGAIN for a rename met on the way.
std::optional<OpenedWithin> openBeneath(int rootFd, const std::string& relative) {
    static std::atomic<bool> unavailable{false};
    if (unavailable.load(std::memory_order_relaxed)) {
        return std::nullopt;
    }
    open_how how{};
    how.flags = readFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd = ::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
    if (fd < 0 && errno == EACCES) {
        // No right to read it; the kind is still worth knowing (a folder lists, a file does not).
        how.flags = O_PATH | O_CLOEXEC;
        fd = ::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
        if (fd >= 0) {
            const PathKind kind = kindOfDescriptor(static_cast<int>(fd));
            ::close(static_cast<int>(fd));
            return found(kind);
        }
    }
    if (fd >= 0) {
        return openedAt(static_cast<int>(fd));
    }
    switch (errno) {
    case ENOSYS:
        unavailable.store(true, std::memory_order_relaxed);
        return std::nullopt;
    case EXDEV:
    case EAGAIN:
        return std::nullopt;
    default:
        return found(PathKind::Missing);
    }
}
#else
std::optional<OpenedWithin> openBeneath(int, const std::string&) {
    return std::nullopt;
}
#endif

} // namespace

// The served folder itself may be a link; it is followed here, and only here.
struct ServedFolder::State {
    Descriptor fd;
    std::string base;
};

ServedFolder::ServedFolder(std::string root) : root_(std::move(root)) {
    Descriptor fd(root_.find('\0') == std::string::npos
                      ? ::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)
                      : -1);
    if (fd.valid()) {
        state_ = std::make_unique<State>(State{std::move(fd), baseOf(root_)});
    }
}

ServedFolder::~ServedFolder() = default;

namespace {

// How a look-up goes below the folder's descriptor, with or without the kernel's help.
using LookUp = OpenedWithin (*)(const std::string& root, int rootFd, const std::string& relative);

OpenedWithin lookUpWithKernel(const std::string& root, int rootFd, const std::string& relative) {
    if (relative.empty()) {
        return openedFolder(rootFd);
    }
    if (std::optional<OpenedWithin> opened = openBeneath(rootFd, relative)) {
        return std::move(*opened);
    }
    return SegmentWalk(root, rootFd).run(relative);
}

OpenedWithin lookUpSegmentWise(const std::string& root, int rootFd, const std::string& relative) {
    return SegmentWalk(root, rootFd).run(relative);
}

OpenedWithin lookUpBelow(const ServedFolder& folder, const std::string& path, LookUp lookUp) {
    if (folder.state() == nullptr) {
        const ServedFolder again(folder.root()); // not found at the launch: perhaps now
        return again.state() != nullptr ? lookUpBelow(again, path, lookUp)
                                        : found(PathKind::Missing);
    }
    const ServedFolder::State& state = *folder.state();
    const std::optional<std::string> relative =
        path.find('\0') == std::string::npos ? partBelow(state.base, path) : std::nullopt;
    return relative ? lookUp(folder.root(), state.fd.get(), *relative) : found(PathKind::Missing);
}

} // namespace

OpenedWithin openWithin(const ServedFolder& folder, const std::string& path) {
    return lookUpBelow(folder, path, lookUpWithKernel);
}

OpenedWithin openWithinSegmentWise(const std::string& root, const std::string& path) {
    return lookUpBelow(ServedFolder(root), path, lookUpSegmentWise);
}

} // namespace quorvin::fs
