// File responses: the extension rule, the content type and reading the whole file.
#include "server/fileresponse.h"

#include "runtime/errors.h"
#include "runtime/paths.h"
#include "server/fs.h"
#include "server/page.h"

#include <cstddef>

namespace quorvin {

namespace {

constexpr std::size_t readPiece = 4000;

[[noreturn]] void raiseTooLarge(const std::string& path) {
    throw IOError("file too large to serve: " + path);
}

// Reads the size the system gave when the file was opened, as a streamed file is sent; a file of
// no stated size (many virtual files say 0) is read in pieces to its end.
std::string readWhole(fs::FileReader& reader, const std::string& path) {
    std::string content;
    if (auto size = reader.size(); size && *size > 0) {
        if (*size > maxFileResponseSize) {
            raiseTooLarge(path);
        }
        content.resize(static_cast<std::size_t>(*size));
        content.resize(reader.read(content.data(), content.size()));
        return content;
    }
    char piece[readPiece];
    while (std::size_t count = reader.read(piece, sizeof piece)) {
        if (content.size() + count > maxFileResponseSize) {
            raiseTooLarge(path);
        }
        content.append(piece, count);
    }
    return content;
}

} // namespace

std::string fileExtension(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        char c = path[i];
        if (isSeparator(c)) {
            break;
        }
        bool segmentStart = i == 0 || isSeparator(path[i - 1]);
        if (c == '.' && !segmentStart && i + 1 < path.size() && path[i + 1] != '.') {
            return std::string(path.substr(i));
        }
    }
    return {};
}

std::string mediaTypeOf(const ServerSettings& settings, std::string_view path) {
    std::string ext = fileExtension(path);
    if (ext.empty()) {
        ext = ".txt";
    }
    // The table folds the case of the extension itself.
    return lookupMimeType(settings.mimeTable, ext.substr(1), "text/plain");
}

StaticResponse fileResponse(const ServerSettings& settings, const std::string& path) {
    return fileResponse(settings, path, fs::FileReader::open(path));
}

StaticResponse fileResponse(const ServerSettings& settings, const std::string& path,
                            std::unique_ptr<fs::FileReader> reader) {
    if (!reader) {
        throw IOError("cannot open: " + path);
    }
    std::string mediaType = mediaTypeOf(settings, path);
    if (!reader->isDiskFile()) {
        return notFoundResponse(settings);
    }
    StaticResponse response;
    response.status = 200;
    if (auto size = reader->size(); size && *size > wholeFileLimit) {
        response.bodyFileSize = *size;
        response.bodyFile = std::move(reader);
    } else {
        response.body = readWhole(*reader, path);
    }
    response.headers->add("Content-Type", std::move(mediaType)); // into its own new table
    return response;
}

} // namespace quorvin
