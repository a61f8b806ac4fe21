// A real temporary folder for file-system tests, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace quorvin::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path in UTF-8, with the platform's separators and no trailing separator.
    const std::string& path() const { return path_; }
    // `relative` joined to the folder with the platform's separator ('/' in `relative` is
    // turned into it).
    std::string join(std::string_view relative) const;
    // Writes a file (and the folders above it) with exactly these bytes.
    void writeFile(std::string_view relative, std::string_view content) const;
    void makeFolder(std::string_view relative) const;

private:
    std::string path_;
};

} // namespace quorvin::testing
