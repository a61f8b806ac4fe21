// Makes a real folder with an arbitrary name whose entries have arbitrary names (the input split at
// '/', which no name can hold), lists it, and reads the page back as a browser would: the title
// unescapes to the folder's URL path, every entry appears once, its href decodes to its own URL
// path, and its text unescapes to its name.
#include "fuzzfault.h"

#include "server/listing.h"
#include "server/mimetable.h"
#include "server/routing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

using namespace quorvin;

namespace {

constexpr fuzzing::Checker check("listing fuzzer");

// The served folder; the listed folder lies below it, so that its listing has a back link.
const std::string& root() {
    // Never destroyed: the clean-up at exit still needs the path.
    static const std::string& made = *new std::string([] {
        std::string pattern = fuzzing::temporaryFolderPattern("listing");
        check(mkdtemp(pattern.data()) != nullptr, "no temporary folder");
        std::atexit([] { std::filesystem::remove_all(root()); });
        return pattern;
    }());
    return made;
}

// Names from the input: '/' separates them, NUL (which no name can hold) is dropped, and names
// the system refuses or that make the folder serve an index file are left out. A backslash is a
// character of a name here like any other.
std::vector<std::string> namesFrom(std::string_view input) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= input.size() && names.size() < 64) {
        std::size_t end = input.find('/', start);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        std::string name;
        for (char c : input.substr(start, end - start)) {
            if (c != '\0') {
                name += c;
            }
        }
        start = end + 1;
        name.resize(std::min<std::size_t>(name.size(), 255));
        if (name.empty() || name == "." || name == ".." || name == "index.html" ||
            name == "index.htm") {
            continue;
        }
        names.push_back(std::move(name));
    }
    return names;
}

// Empties the served folder and makes the listed folder in it with the entries (name -> is a
// folder).
void makeEntries(const std::string& listed, const std::map<std::string, bool>& entries) {
    for (const auto& old : std::filesystem::directory_iterator(root())) {
        std::filesystem::remove_all(old.path());
    }
    check(mkdir(listed.c_str(), 0700) == 0, "the listed folder cannot be made");
    for (const auto& [name, isFolder] : entries) {
        const std::string path = listed + "/" + name;
        if (isFolder) {
            check(mkdir(path.c_str(), 0700) == 0, "a folder cannot be made");
        } else {
            const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            check(fd >= 0, "a file cannot be made");
            close(fd);
        }
    }
}

std::string unescapeHtml(std::string_view text) {
    static const std::pair<std::string_view, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        check(text[i] != '<' && text[i] != '>' && text[i] != '"', "a text holds markup unescaped");
        if (text[i] != '&') {
            result += text[i];
            continue;
        }
        bool known = false;
        for (const auto& [entity, character] : entities) {
            if (text.substr(i, entity.size()) == entity) {
                result += character;
                i += entity.size() - 1;
                known = true;
                break;
            }
        }
        check(known, "a text holds a bare '&'");
    }
    return result;
}

struct Item {
    std::string kind; // back, folder or file
    std::string href;
    std::string text;
};

// The items of the page in order; the text of an item is escaped, so it holds no '<'.
std::vector<Item> itemsOf(std::string_view page) {
    std::vector<Item> items;
    constexpr std::string_view open = "<li class=\"i-";
    for (std::size_t at = page.find(open); at != std::string_view::npos; at = page.find(open, at)) {
        at += open.size();
        const std::size_t kindEnd = page.find(" entypo\"><a href=\"", at);
        check(kindEnd != std::string_view::npos, "an item without its link");
        const std::size_t hrefAt = kindEnd + std::string_view(" entypo\"><a href=\"").size();
        const std::size_t hrefEnd = page.find("\">", hrefAt);
        const std::size_t textEnd = page.find("</a></li>", hrefEnd);
        check(hrefEnd != std::string_view::npos && textEnd != std::string_view::npos,
              "an item that does not end");
        items.push_back({std::string(page.substr(at, kindEnd - at)),
                         std::string(page.substr(hrefAt, hrefEnd - hrefAt)),
                         std::string(page.substr(hrefEnd + 2, textEnd - hrefEnd - 2))});
        at = textEnd;
    }
    return items;
}

ServerSettings settings() {
    ServerSettings s;
    s.rootDirectory = root();
    s.mimeTable = newMimeTable();
    s.serverName = "Quorvin";
    s.serverVersion = "fuzz";
    return s;
}

std::string titleOf(std::string_view page) {
    const std::size_t start = page.find("<title>");
    const std::size_t end = page.find("</title>");
    check(start != std::string_view::npos && end != std::string_view::npos, "a page without title");
    return unescapeHtml(page.substr(start + 7, end - start - 7));
}

} // namespace

// The first name is the listed folder's, the others its entries', every second one a folder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> names =
        namesFrom(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string folder = names.empty() ? "sub" : names.front();
    std::map<std::string, bool> entries;
    for (std::size_t i = 1; i < names.size(); ++i) {
        entries.emplace(names[i], entries.size() % 2 == 1);
    }
    const std::string listed = root() + "/" + folder;
    makeEntries(listed, entries);
    static const ServerSettings served = settings();
    const StaticResponse response = listingResponse(served, listed);
    check(response.status == 200, "the listing did not answer 200");
    check(titleOf(response.body) == "Index of /" + folder + "/",
          "the listing's title is not its URL path");

    const std::vector<Item> items = itemsOf(response.body);
    check(!items.empty() && items[0].kind == "back" && decodeRequestPath(items[0].href) == "/",
          "the back link does not lead to /");
    check(items.size() == entries.size() + 1, "the listing does not hold one item per entry");
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::string name = unescapeHtml(items[i].text);
        auto entry = entries.find(name);
        check(entry != entries.end(), "an item's text is not the name of an entry");
        const bool isFolder = entry->second;
        check(items[i].kind == (isFolder ? "folder" : "file"), "an entry listed as the wrong kind");
        check(decodeRequestPath(items[i].href) == "/" + folder + "/" + name + (isFolder ? "/" : ""),
              "an href does not decode to the entry's URL path");
        entries.erase(entry);
    }
    return 0;
}
