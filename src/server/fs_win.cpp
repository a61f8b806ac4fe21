// Windows backend of the served-folder access: file attributes, FindFirstFileW and _wfopen.
#include "server/fs.h"

#include "runtime/errors.h"
#include "runtime/utf.h"
#include "server/pathrules.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <io.h>

namespace quorvin::fs {

namespace {

// Windows ends a wide path at its first NUL, so a path holding one would name another file.
bool hasNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

} // namespace

PathKind pathKind(const std::string& path) {
    if (hasNul(path)) {
        return PathKind::Missing;
    }
    DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::File;
}

std::optional<std::string> realLocation(const std::string& path) {
    if (hasNul(path)) {
        return std::nullopt;
    }
    // No access rights asked for: the handle only names the file. Directories open only with
    // backup semantics.
    HANDLE handle =
        CreateFileW(toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::wstring finalPath(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(
        handle, finalPath.data(), static_cast<DWORD>(finalPath.size()), FILE_NAME_NORMALIZED);
    if (length >= finalPath.size()) {
        finalPath.resize(length);
        length = GetFinalPathNameByHandleW(
            handle, finalPath.data(), static_cast<DWORD>(finalPath.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(handle);
    if (length == 0 || length >= finalPath.size()) {
        return std::nullopt;
    }
    finalPath.resize(length);
    return fromWide(finalPath);
}

bool liesWithin(const std::string& root, const std::string& path) {
    const std::optional<std::string> realRoot = realLocation(root);
    const std::optional<std::string> realPath = realLocation(path);
    return realRoot && realPath && detail::pathLiesWithin(*realRoot, *realPath, true);
}

PathKind kindWithin(const std::string& root, const std::string& path) {
    return liesWithin(root, path) ? pathKind(path) : PathKind::Missing;
}

OpenedWithin openWithin(const std::string& root, const std::string& path) {
    return {kindWithin(root, path), nullptr};
}

struct DirectoryEnumeration::State {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    // FindFirstFileW already holds the first entry; it is handed out by the first next().
    bool pending = false;
};

DirectoryEnumeration::DirectoryEnumeration(const std::string& directory)
    : state_(std::make_unique<State>()) {
    if (hasNul(directory)) {
        return;
    }
    std::wstring pattern = toWide(mapRequestPath(directory, "*"));
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

struct FileReader::State {
    std::FILE* file = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

FileReader::FileReader(std::unique_ptr<State> state) : state_(std::move(state)) {}

FileReader::~FileReader() {
    std::fclose(state_->file);
}

std::unique_ptr<FileReader> FileReader::open(const std::string& path) {
    if (hasNul(path)) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->file = _wfopen(toWide(path).c_str(), L"rb");
    if (state->file == nullptr) {
        return nullptr;
    }
    state->handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(state->file)));
    return std::unique_ptr<FileReader>(new FileReader(std::move(state)));
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

std::size_t FileReader::read(char* buffer, std::size_t capacity) {
    std::size_t count = std::fread(buffer, 1, capacity, state_->file);
    if (count < capacity && std::ferror(state_->file)) {
        int code = errno;
        throw IOError("read error " + std::to_string(code) + ": " + std::strerror(code));
    }
    return count;
}

} // namespace quorvin::fs
