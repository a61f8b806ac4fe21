// Makes a real folder whose entries have arbitrary names (the input split at '/', which no name
// can hold), lists it, and reads the page back as a browser would: every entry appears once, its
// href decodes to its own URL path, and its text unescapes to its name.
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

// The served folder, and the folder below it whose listing is read (so it has a back link).
struct Place {
    std::string root;
    std::string listed;
};

const Place& place() {
    // Never destroyed: the clean-up at exit still needs the paths.
    static const Place& made = *new Place([] {
        std::string pattern = fuzzing::temporaryFolderPattern("listing");
        check(mkdtemp(pattern.data()) != nullptr, "no temporary folder");
        Place p{pattern, pattern + "/sub"};
        check(mkdir(p.listed.c_str(), 0700) == 0, "no listed folder");
        std::atexit([] { std::filesystem::remove_all(place().root); });
        return p;
    }());
    return made;
}

// Entry names from the input: '/' separates them, NUL (which no name can hold) is dropped, and
// names the system refuses or that make the folder serve an index file are left out, and so
// (for now) are names holding a backslash, which the listing still takes for a separator.
std::map<std::string, bool> namesFrom(std::string_view input) {
    std::map<std::string, bool> names; // name -> is a folder
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
            name == "index.htm" || name.find('\\') != std::string::npos) {
            continue;
        }
        names.emplace(name, names.size() % 2 == 1);
    }
    return names;
}

void makeEntries(const std::map<std::string, bool>& names) {
    std::filesystem::remove_all(place().listed);
    check(mkdir(place().listed.c_str(), 0700) == 0, "the listed folder cannot be made again");
    for (const auto& [name, isFolder] : names) {
        const std::string path = place().listed + "/" + name;
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
        check(text[i] != '<' && text[i] != '>' && text[i] != '"',
              "an entry's text holds markup unescaped");
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
        check(known, "an entry's text holds a bare '&'");
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
    s.rootDirectory = place().root;
    s.mimeTable = newMimeTable();
    s.serverName = "Quorvin";
    s.serverVersion = "fuzz";
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::map<std::string, bool> names =
        namesFrom(std::string_view(reinterpret_cast<const char*>(data), size));
    makeEntries(names);
    static const ServerSettings served = settings();
    const StaticResponse response = listingResponse(served, place().listed);
    check(response.status == 200, "the listing did not answer 200");
    check(response.body.find("<title>Index of /sub/</title>") != std::string::npos,
          "the listing's title is not its URL path");

    const std::vector<Item> items = itemsOf(response.body);
    check(!items.empty() && items[0].kind == "back" && decodeRequestPath(items[0].href) == "/",
          "the back link does not lead to /");
    check(items.size() == names.size() + 1, "the listing does not hold one item per entry");
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::string name = unescapeHtml(items[i].text);
        auto entry = names.find(name);
        check(entry != names.end(), "an item's text is not the name of an entry");
        const bool isFolder = entry->second;
        check(items[i].kind == (isFolder ? "folder" : "file"), "an entry listed as the wrong kind");
        check(decodeRequestPath(items[i].href) == "/sub/" + name + (isFolder ? "/" : ""),
              "an href does not decode to the entry's URL path");
        names.erase(entry);
    }
    return 0;
}
