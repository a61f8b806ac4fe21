// The listing page: back link, one item per entry, index files, and the site paths they link to.
#include "server/listing.h"

#include "server/escape.h"
#include "server/fileresponse.h"
#include "server/fs.h"
#include "server/page.h"
#include "server/pagestyle.h"
#include "server/pathrules.h"
#include "server/routing.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorvin {

namespace {

// The position of the last separator of this platform in `path`, or npos.
std::size_t lastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (isSeparator(path[i], pathSeparator)) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string lastSegment(std::string_view path) {
    while (!path.empty() && isSeparator(path.back(), pathSeparator)) {
        path.remove_suffix(1);
    }
    std::size_t cut = lastSeparator(path);
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string parentDirectory(std::string_view path) {
    std::string normal = detail::normalisePath(path, pathSeparator);
    std::size_t cut = lastSeparator(normal);
    if (cut == std::string::npos) {
        return normal.empty() || normal == "." || normal == ".." ? std::string() : ".";
    }
    std::string parent = normal.substr(0, cut + 1);
    while (parent.size() > 1 && isSeparator(parent.back(), pathSeparator)) {
        parent.pop_back();
    }
    return parent;
}

bool isIndexFile(std::string_view name) {
    return name == "index.html" || name == "index.htm";
}

} // namespace

std::string sitePath(std::string_view path, std::string_view root) {
    if (root == "/") {
        return std::string(path);
    }
    return sitePathOfKind(path, root, fileExists(std::string(path)));
}

std::string sitePathOfKind(std::string_view path, std::string_view root, bool isFile) {
    if (root == "/") {
        return std::string(path);
    }
    std::string result(path.substr(std::min(root.size(), path.size())));
    // Only where it separates: elsewhere a backslash is a character of a name.
    std::replace(result.begin(), result.end(), pathSeparator, '/');
    if ((result.empty() || result.back() != '/') && !isFile) {
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

ListingBuilder::ListingBuilder(const ServerSettings& settings, std::string dir,
                               std::unique_ptr<fs::DirectoryEnumeration> entries)
    : settings_(settings), dir_(std::move(dir)),
      entries_(entries ? std::move(entries) : std::make_unique<fs::DirectoryEnumeration>(dir_)) {
    const std::string& root = settings.rootDirectory;
    title_ = escapeHtml("Index of " + sitePath(dir_, root));
    if (dir_ != root && dir_ != root + "/" && dir_ != root + "\\") {
        addItem(fillTemplate(pagetemplates::backItem, {encodeUrlPath(parentSitePath(dir_, root))}));
    }
}

void ListingBuilder::addItem(std::string_view item) {
    if (itemCount_ > 0) {
        current_ += '\n';
    }
    ++itemCount_;
    current_.append(item);
    if (current_.size() >= listingPieceSize) {
        pieces_.push_back(std::move(current_));
        current_ = std::string();
        current_.reserve(listingPieceSize + 1024);
    }
}

bool ListingBuilder::addEntries(std::size_t count) {
    if (ended_) {
        return false;
    }
    const std::string& root = settings_.rootDirectory;
    for (std::size_t added = 0; added < count; ++added) {
        std::optional<std::string> name = entries_->next();
        if (!name) {
            ended_ = true;
            return false;
        }
        if (*name == "." || *name == "..") {
            continue;
        }
        std::string entryPath = mapRequestPath(dir_, *name);
        std::string entryName = lastSegment(entryPath);
        // Only a regular file inside the served folder is an index; anything else so named (a
        // folder, a link leading out, a device) is listed like any entry.
        if (isIndexFile(entryName)) {
            fs::OpenedWithin index = openInServedFolder(settings_, entryPath);
            if (index.file && index.file->isDiskFile()) {
                indexFile_ = std::move(entryPath);
                indexReader_ = std::move(index.file);
                ended_ = true;
                return false;
            }
        }
        // The enumeration usually says what an entry is; a link is looked up like any path.
        std::optional<fs::PathKind> kind = entries_->lastKind();
        if (!kind || entryName != *name) {
            kind = fs::pathKind(entryPath);
        }
        const bool isFolder = kind == fs::PathKind::Directory;
        const std::string href =
            encodeUrlPath(sitePathOfKind(entryPath, root, kind == fs::PathKind::File));
        addItem(fillTemplate(isFolder ? pagetemplates::folderItem : pagetemplates::fileItem,
                             {href, escapeHtml(entryName)}));
    }
    return true;
}

StaticResponse ListingBuilder::finish() {
    if (indexFile_) {
        return fileResponse(settings_, *indexFile_, std::move(indexReader_));
    }
    // The frame around the list, filled as renderPage fills it, split where the list goes.
    const std::string_view page = pagetemplates::page;
    const std::size_t contentAt = page.find("$3");
    const std::string footer =
        fillTemplate(pagetemplates::footer, {settings_.serverName, settings_.serverVersion});
    std::string head = fillTemplate(page.substr(0, contentAt), {title_, pageStyle()});
    head += "<ul>\n  ";
    std::string tail = "\n</ul>\n";
    tail += fillTemplate(page.substr(contentAt + 2), {{}, {}, {}, footer});

    current_ += tail;
    pieces_.push_back(std::move(current_));
    pieces_.front().insert(0, head);
    StaticResponse response;
    response.status = 200;
    response.bodyPieces = std::move(pieces_);
    return response;
}

StaticResponse listingResponse(const ServerSettings& settings, const std::string& dir,
                               std::unique_ptr<fs::DirectoryEnumeration> entries) {
    ListingBuilder builder(settings, dir, std::move(entries));
    while (builder.addEntries(listingSliceEntries)) {
    }
    StaticResponse response = builder.finish();
    for (std::string& piece : response.bodyPieces) {
        response.body += piece;
    }
    response.bodyPieces.clear();
    return response;
}

} // namespace quorvin
