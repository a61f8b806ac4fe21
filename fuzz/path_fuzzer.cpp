// Routes arbitrary request paths against a real temporary tree whose links lead in, out, back in,
// round in circles and nowhere, and checks the confinement: the mapped path never climbs above
// the served folder, a listing is only ever of a folder that really lies in it, and a file body
// is only ever one of its files; and a path with no link on its way is served. Everything outside
// holds the word OUTSIDE.
#include "fuzzfault.h"

#include "runtime/errors.h"
#include "server/fileresponse.h"
#include "server/fs.h"
#include "server/listing.h"
#include "server/mimetable.h"
#include "server/pathrules.h"
#include "server/routing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

using namespace quorvin;

namespace {

constexpr fuzzing::Checker check("path fuzzer");

std::string top;

void writeFile(const std::string& relative, std::string_view content) {
    const std::string path = top + "/" + relative;
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
    check(fd >= 0 &&
              write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
          "a file of the tree cannot be written");
    close(fd);
}

void makeFolder(const std::string& relative) {
    check(mkdir((top + "/" + relative).c_str(), 0700) == 0, "a folder of the tree cannot be made");
}

void makeLink(const std::string& target, const std::string& relative) {
    check(symlink(target.c_str(), (top + "/" + relative).c_str()) == 0, "a link cannot be made");
}

// TOP/served is the served folder; TOP/outside and TOP/served-evil (whose name begins with the
// served folder's) are not.
void makeTree() {
    std::string pattern = fuzzing::temporaryFolderPattern("path");
    check(mkdtemp(pattern.data()) != nullptr, "no temporary folder");
    top = pattern;
    for (const char* folder : {"served", "served/docs", "served/docs/img", "served/my dir",
                               "outside", "outside/deeper", "served-evil"}) {
        makeFolder(folder);
    }
    writeFile("served/a.txt", "inside a");
    writeFile("served/docs/b.txt", "inside b");
    writeFile("served/docs/img/c.png", "inside c");
    writeFile("served/my dir/d %41+e.txt", "inside d");
    writeFile("outside/secret.txt", "OUTSIDE secret");
    writeFile("outside/deeper/deep.txt", "OUTSIDE deep");
    writeFile("served-evil/evil.txt", "OUTSIDE evil");
    writeFile("top.txt", "OUTSIDE top");
    makeLink("docs", "served/in-dir");
    makeLink("a.txt", "served/in-file");
    makeLink("..", "served/docs/up");
    makeLink("../../out-dir", "served/docs/img/via-out");
    makeLink("../..", "served/docs/upup");
    makeLink("../outside", "served/out-dir");
    makeLink("../outside/secret.txt", "served/out-file");
    makeLink(top + "/outside", "served/abs-out");
    makeLink(top + "/served/docs", "served/abs-in");
    makeLink("../served-evil", "served/evil");
    makeLink("in-dir/../../outside", "served/chain");
    makeLink("loop", "served/loop");
    makeLink("nowhere", "served/dangling");
    makeLink("../served", "outside/back-in");
    makeLink("/", "served/slash");
    std::atexit([] { std::filesystem::remove_all(top); });
}

const std::string& realRoot() {
    static const std::string real = [] {
        char buffer[PATH_MAX];
        check(realpath((top + "/served").c_str(), buffer) != nullptr, "no real served folder");
        return std::string(buffer);
    }();
    return real;
}

bool startsWithFolder(std::string_view path, std::string_view folder) {
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool reallyWithin(const std::string& path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) != nullptr && startsWithFolder(buffer, realRoot());
}

ServerSettings settingsFor(std::string root) {
    ServerSettings s;
    s.rootDirectory = std::move(root);
    s.mimeTable = newMimeTable();
    s.serverName = "Quorvin";
    s.serverVersion = "fuzz";
    return s;
}

std::string bodyOf(StaticResponse& response) {
    std::string body = response.body;
    if (response.bodyFile) {
        std::string piece(4096, '\0');
        while (std::size_t count = response.bodyFile->read(piece.data(), piece.size())) {
            body.append(piece, 0, count);
        }
    }
    return body;
}

// What a request got; the checks of confinement are made on the way.
enum class Served { Listing, File, Refused };

Served checkRoute(const ServerSettings& settings, std::string_view urlPath) {
    Route route;
    try {
        route = routeRequest(settings, HttpGet, urlPath);
    } catch (const InputError&) {
        return Served::Refused; // a file that cannot be read is refused with an error
    }
    if (route.listingDirectory) {
        check(reallyWithin(*route.listingDirectory), "a folder outside is to be listed");
        StaticResponse listing = listingResponse(settings, *route.listingDirectory);
        const std::string page = bodyOf(listing);
        check(page.find("secret.txt") == std::string::npos &&
                  page.find("evil.txt") == std::string::npos &&
                  page.find("deeper") == std::string::npos,
              "a listing names what lies outside");
        return Served::Listing;
    }
    const std::string body = bodyOf(route.response);
    check(body.find("OUTSIDE") == std::string::npos, "a file from outside was served");
    if (route.response.status == 200) {
        check(body.rfind("inside ", 0) == 0, "a 200 answer that is no file of the tree");
        return Served::File;
    }
    return Served::Refused;
}

// What a mapped path names when no link lies on its way, so that it is its own real path; nothing
// otherwise. Such a path below the served folder must be served: only links may lead out.
// A trailing separator names a folder only, as the system reads it.
std::optional<Served> plainTarget(std::string mapped) {
    const bool folderOnly = mapped.size() > 1 && mapped.back() == '/';
    while (mapped.size() > 1 && mapped.back() == '/') {
        mapped.pop_back();
    }
    char buffer[PATH_MAX];
    struct stat status {};
    if (realpath(mapped.c_str(), buffer) == nullptr || mapped != buffer ||
        stat(buffer, &status) != 0) {
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        return Served::Listing;
    }
    return folderOnly ? std::optional<Served>() : Served::File;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool made = (makeTree(), true);
    (void)made;
    static const ServerSettings plain = settingsFor(top + "/served");
    static const ServerSettings trailing = settingsFor(top + "/served/");
    const std::string_view urlPath(reinterpret_cast<const char*>(data), size);

    // The mapping on its own never climbs above the served folder, whatever the links.
    const std::string decoded = decodeRequestPath(urlPath);
    const std::string mapped = mapRequestPath(plain.rootDirectory, decoded);
    check(startsWithFolder(mapped, plain.rootDirectory), "the mapped path left the served folder");
    if (isServablePath(decoded) &&
        fs::openWithin(plain.rootDirectory, mapped).kind != fs::PathKind::Missing) {
        check(reallyWithin(mapped), "a path outside counts as within the served folder");
    }

    const Served served = checkRoute(plain, urlPath);
    check(checkRoute(trailing, urlPath) == served,
          "a trailing separator on the folder changed the answer");
    if (isServablePath(decoded) && startsWithFolder(mapped, realRoot())) {
        const std::optional<Served> expected = plainTarget(mapped);
        check(!expected || served == *expected, "a path with no link on its way was refused");
    }
    return 0;
}
