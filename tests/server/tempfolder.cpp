// TempFolder over std::filesystem, with UTF-8 names on every platform.
#include "tempfolder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quorvin::testing {

namespace {

namespace stdfs = std::filesystem;

stdfs::path fromUtf8(std::string_view text) {
    return stdfs::path(std::u8string(text.begin(), text.end()));
}

std::string toUtf8(const stdfs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    stdfs::path folder = stdfs::temp_directory_path() / ("quorvin-server-" + std::to_string(stamp) +
                                                         "-" + std::to_string(counter++));
    stdfs::create_directories(folder);
    path_ = toUtf8(folder.make_preferred());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    stdfs::remove_all(fromUtf8(path_), ignored);
}

std::string TempFolder::join(std::string_view relative) const {
    return toUtf8((fromUtf8(path_) / fromUtf8(relative)).make_preferred());
}

void TempFolder::writeFile(std::string_view relative, std::string_view content) const {
    stdfs::path file = fromUtf8(join(relative));
    stdfs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        throw std::runtime_error("cannot write test file " + join(relative));
    }
}

void TempFolder::makeFolder(std::string_view relative) const {
    stdfs::create_directories(fromUtf8(join(relative)));
}

} // namespace quorvin::testing
