// The listing page: back link, one item per entry, index files, and the site paths they link to.
#include "server/listing.h"

#include "server/escape.h"
#include "server/fileresponse.h"
#include "server/fs.h"
#include "server/page.h"
#include "server/pathrules.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorvin {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string lastSegment(std::string_view path) {
    while (!path.empty() && isSeparator(path.back())) {
        path.remove_suffix(1);
    }
    std::size_t cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string parentDirectory(std::string_view path) {
    std::string normal = detail::normalisePath(path, fs::pathSeparator);
    std::size_t cut = normal.find_last_of("/\\");
    if (cut == std::string::npos) {
        return normal.empty() || normal == "." || normal == ".." ? std::string() : ".";
    }
    std::string parent = normal.substr(0, cut + 1);
    while (parent.size() > 1 && isSeparator(parent.back())) {
        parent.pop_back();
    }
    return parent;
}

std::string joinLines(const std::vector<std::string>& items) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            joined += '\n';
        }
        joined += items[i];
    }
    return joined;
}

bool isIndexFile(std::string_view name) {
    return name == "index.html" || name == "index.htm";
}

} // namespace

std::string sitePath(std::string_view path, std::string_view root) {
    if (root == "/") {
        return std::string(path);
    }
    std::string result(path.substr(std::min(root.size(), path.size())));
    for (char& c : result) {
        if (c == '\\') {
            c = '/';
        }
    }
    if ((result.empty() || result.back() != '/') && !fileExists(std::string(path))) {
        result += '/';
    }
    if (result.empty() || result.front() != '/') {
        result.insert(result.begin(), '/');
    }
    return result;
}

std::string parentSitePath(std::string_view path, std::string_view root) {
    std::string parent = sitePath(parentDirectory(path), root);
    return parent.empty() ? "/" : parent;
}

StaticResponse listingResponse(const ServerSettings& settings, const std::string& dir) {
    const std::string& root = settings.rootDirectory;
    std::vector<std::string> items;
    if (dir != root && dir != root + "/" && dir != root + "\\") {
        items.push_back(
            fillTemplate(pagetemplates::backItem, {encodeUrlPath(parentSitePath(dir, root))}));
    }
    std::string title = escapeHtml("Index of " + sitePath(dir, root));

    fs::DirectoryEnumeration entries(dir);
    while (std::optional<std::string> name = entries.next()) {
        if (*name == "." || *name == "..") {
            continue;
        }
        std::string entryPath = mapRequestPath(dir, *name);
        std::string entryName = lastSegment(entryPath);
        // An index file that links out of the served folder is listed, never served.
        if (isIndexFile(entryName) && fs::liesWithin(root, entryPath)) {
            return fileResponse(settings, entryPath);
        }
        std::string_view item =
            directoryExists(entryPath) ? pagetemplates::folderItem : pagetemplates::fileItem;
        items.push_back(
            fillTemplate(item, {encodeUrlPath(sitePath(entryPath, root)), escapeHtml(entryName)}));
    }

    StaticResponse response;
    response.status = 200;
    response.body =
        renderPage(settings, fillTemplate(pagetemplates::list, {joinLines(items)}), title);
    return response;
}

} // namespace quorvin
