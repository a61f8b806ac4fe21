// Windows backend of the served-folder access: file attributes, FindFirstFileW, and files opened
// as handles whose final path is checked against the served folder's real location.
#include "server/fs.h"

#include "runtime/errors.h"
#include "runtime/utf.h"
#include "server/pathrules.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <vector>

namespace quorvin::fs {

namespace {

// Windows ends a wide path at its first NUL, so a path holding one would name another file.
bool hasNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// The full form of a path by GetFullPathNameW, which has no length limit of its own.
std::wstring fullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return path;
    }
    full.resize(length);
    return full;
}

// The extended-length form, which the file functions take at any length: "\\?\C:\..." and
// "\\?\UNC\server\share\...". The full form comes first, since the extended one resolves no
// "." or "..", no relative path and no '/'.
std::wstring extendedPath(const std::string& path) {
    const std::wstring wide = toWide(path);
    if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) {
        return wide;
    }
    const std::wstring full = fullPath(wide);
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    if (full.size() >= 2 && full[1] == L':') {
        return L"\\\\?\\" + full;
    }
    return full;
}

// A handle closed when its holder goes.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_;
};

// Directories open only with backup semantics; sharing everything keeps a served file from
// blocking anyone who writes, renames or deletes it.
HANDLE openHandle(const std::string& path, DWORD access) {
    return CreateFileW(extendedPath(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Where the handle's file really is, every link and junction on the way resolved. The answer
// to a buffer too small is the size needed, with or without the final NUL.
std::optional<std::string> finalPathOf(HANDLE handle) {
    std::wstring finalPath(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(
            handle, finalPath.data(), static_cast<DWORD>(finalPath.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return std::nullopt;
        }
        if (length < finalPath.size()) {
            finalPath.resize(length);
            return fromWide(finalPath);
        }
        finalPath.assign(length + 1, L'\0');
    }
    return std::nullopt;
}

// The handle's path on its volume ("\\dir\\file"), which every system tells at any length.
std::optional<std::string> nameOnVolumeOf(HANDLE handle) {
    // The longest path there is, in bytes, after the fixed part.
    std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
        return std::nullopt;
    }
    const auto* information = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    return fromWide(
        std::wstring_view(information->FileName, information->FileNameLength / sizeof(wchar_t)));
}

// Where an open file lies: its final path where the system tells it (Wine does not beyond
// MAX_PATH), and always its volume and its path on that volume.
struct Location {
    std::optional<std::string> finalPath;
    DWORD volume = 0;
    std::string onVolume;
    bool directory = false;
};

std::optional<Location> locationOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    std::optional<std::string> onVolume = nameOnVolumeOf(handle);
    if (!onVolume || !GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return Location{finalPathOf(handle), information.dwVolumeSerialNumber, std::move(*onVolume),
                    (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

bool liesWithin(const Location& root, const Location& path) {
    if (root.finalPath && path.finalPath) {
        return quorvin::detail::pathLiesWithin(*root.finalPath, *path.finalPath, true);
    }
    return root.volume == path.volume &&
           quorvin::detail::pathLiesWithin(root.onVolume, path.onVolume, true);
}

std::optional<Location> locationOfFolder(const std::string& root) {
    Handle handle(hasNul(root) ? INVALID_HANDLE_VALUE : openHandle(root, 0));
    return handle.valid() ? locationOf(handle.get()) : std::nullopt;
}

bool isDirectoryHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(handle, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

PathKind pathKind(const std::string& path) {
    if (hasNul(path)) {
        return PathKind::Missing;
    }
    DWORD attributes = GetFileAttributesW(extendedPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::File;
}

struct FileReader::State {
    std::FILE* file = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

FileReader::FileReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FileReader::~FileReader() {
    std::fclose(state_->file);
}

namespace {

// The C runtime's reading of an open handle, which it then owns.
std::unique_ptr<FileReader> readerOf(Handle& handle) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        return nullptr;
    }
    auto state = std::make_unique<FileReader::State>();
    state->handle = handle.release();
    state->file = _fdopen(fd, "rb");
    if (state->file == nullptr) {
        _close(fd);
        return nullptr;
    }
    return std::make_unique<FileReader>(std::move(state));
}

} // namespace

// The check is made on the handle that is then read, so nothing swapped in between a check and
// the open can lead out of the served folder.
// The folder's real location, found once.
struct ServedFolder::State {
    Location location;
};

ServedFolder::ServedFolder(std::string root) : root_(std::move(root)) {
    if (std::optional<Location> location = locationOfFolder(root_)) {
        state_ = std::make_unique<State>(State{std::move(*location)});
    }
}

ServedFolder::~ServedFolder() = default;

OpenedWithin openWithin(const ServedFolder& folder, const std::string& path) {
    const std::optional<Location> foundNow =
        folder.state() == nullptr ? locationOfFolder(folder.root()) : std::nullopt;
    const Location* rootLocation = folder.state() != nullptr ? &folder.state()->location
                                   : foundNow                ? &*foundNow
                                                             : nullptr;
    if (rootLocation == nullptr || hasNul(path)) {
        return {};
    }
    HANDLE opened = openHandle(path, GENERIC_READ);
    const bool readable = opened != INVALID_HANDLE_VALUE;
    // A file that may not be read: its place and kind still decide between 404 and an error.
    if (!readable && GetLastError() == ERROR_ACCESS_DENIED) {
        opened = openHandle(path, 0);
    }
    Handle handle(opened);
    const std::optional<Location> location =
        handle.valid() ? locationOf(handle.get()) : std::nullopt;
    if (!location || !liesWithin(*rootLocation, *location)) {
        return {};
    }
    if (location->directory) {
        return {PathKind::Directory, nullptr, nullptr};
    }
    if (!path.empty() && isSeparator(path.back())) {
        return {}; // a file has nothing below it, not even a separator
    }
    return {PathKind::File, readable ? readerOf(handle) : nullptr, nullptr};
}

struct DirectoryEnumeration::State {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    // FindFirstFileW already holds the first entry; it is handed out by the first next().
    bool pending = false;
};

DirectoryEnumeration::DirectoryEnumeration(std::unique_ptr<State> state)
    : state_(std::move(state)) {}

DirectoryEnumeration::DirectoryEnumeration(const std::string& directory)
    : state_(std::make_unique<State>()) {
    if (hasNul(directory)) {
        return;
    }
    std::wstring pattern = extendedPath(directory);
    if (pattern.empty() || pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    state_->find = FindFirstFileW(pattern.c_str(), &state_->data);
    state_->pending = state_->find != INVALID_HANDLE_VALUE;
}

DirectoryEnumeration::~DirectoryEnumeration() {
    if (state_->find != INVALID_HANDLE_VALUE) {
        FindClose(state_->find);
    }
}

std::optional<PathKind> DirectoryEnumeration::lastKind() const {
    const DWORD attributes = state_->data.dwFileAttributes;
    // A reparse point (a link or junction) is described by its target.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return std::nullopt;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::File;
}

bool DirectoryEnumeration::started() const {
    return state_->find != INVALID_HANDLE_VALUE;
}

std::optional<std::string> DirectoryEnumeration::next() {
    if (state_->find == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    if (!state_->pending && !FindNextFileW(state_->find, &state_->data)) {
        DWORD code = GetLastError();
        FindClose(state_->find);
        state_->find = INVALID_HANDLE_VALUE;
        if (code != ERROR_NO_MORE_FILES) {
            throw OSError(static_cast<int>(code), "");
        }
        return std::nullopt;
    }
    state_->pending = false;
    return fromWide(state_->data.cFileName);
}

std::unique_ptr<FileReader> FileReader::open(const std::string& path) {
    if (hasNul(path)) {
        return nullptr;
    }
    Handle handle(openHandle(path, GENERIC_READ));
    if (!handle.valid() || isDirectoryHandle(handle.get())) {
        return nullptr;
    }
    return readerOf(handle);
}

bool FileReader::isDiskFile() const {
    return state_->handle != INVALID_HANDLE_VALUE && GetFileType(state_->handle) == FILE_TYPE_DISK;
}

std::optional<std::uint64_t> FileReader::size() const {
    LARGE_INTEGER size{};
    if (!isDiskFile() || !GetFileSizeEx(state_->handle, &size) || size.QuadPart < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t FileReader::readSome(char* buffer, std::size_t capacity) {
    const std::size_t count = std::fread(buffer, 1, capacity, state_->file);
    if (count < capacity && std::ferror(state_->file)) {
        const int code = errno;
        throw IOError("read error " + std::to_string(code) + ": " + std::strerror(code));
    }
    return count;
}

} // namespace quorvin::fs
