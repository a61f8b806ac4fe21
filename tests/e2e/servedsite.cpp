// The launched test site.
#include "servedsite.h"

#include "async/plainsockets.h"
#include "async/threadpool.h"
#include "httpclient.h"
#include "server/launch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace quorvin::testing {

std::string ServedSite::patternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u + seed;
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

ServedSite& ServedSite::instance() {
    // Never destroyed: the server keeps serving the folder until the process ends.
    static ServedSite* site = new ServedSite;
    return *site;
}

ServedSite::ServedSite() {
    writeSite();
    startThreadPool();
    startupSockets();
    port_ = freeLoopbackPort();
    LaunchArgument launch;
    launch.folder = root();
    launch.listenPort = port_;
    spawnLaunch(launch);
    if (!waitUntilListening(port_)) {
        ADD_FAILURE() << "the launched server did not start listening on " << port_;
    }
}

void ServedSite::writeSite() {
    const TempFolder& b = base_;
    b.writeFile("secret.txt", secret);
    b.writeFile("site-other/secret.txt", secret);
    b.writeFile("site/hello.html", "<p>hello</p>");
    b.writeFile("site/style.css", "body { color: red; }");
    b.writeFile("site/script.js", "console.log(1);");
    b.writeFile("site/data.json", "{\"a\": 1}");
    b.writeFile("site/photo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    b.writeFile("site/pic.JPG", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
    b.writeFile("site/page.HTM", "<p>htm</p>");
    b.writeFile("site/LICENSE", "license text");
    b.writeFile("site/data.xyz123", "unknown kind");
    b.writeFile("site/.gitignore", "build/");
    b.writeFile("site/empty.txt", "");
    b.writeFile("site/my file.txt", "spaced");
    b.writeFile("site/a+b.txt", "plus");
    b.writeFile("site/100%.txt", "percent");
    b.writeFile("site/\xC3\xA9t\xC3\xA9.txt", "summer");
    b.writeFile("site/exact1m.dat", patternBytes(1024u * 1024u, 1));
    b.writeFile("site/over1m.dat", patternBytes(1024u * 1024u + 1, 2));
    b.writeFile("site/big.bin", patternBytes(bigSize, bigSeed));
    b.writeFile("site/three.bin", patternBytes(threeSize, threeSeed));
    b.writeFile("site/docs/guide.txt", "guide");
    b.writeFile("site/docs/sub/deep.txt", "deep");
    b.writeFile("site/withindex/index.html", "<p>index page</p>");
    b.writeFile("site/withindex/other.txt", "other");
    b.makeFolder("site/emptydir");
}

std::uint16_t freeLoopbackPort() {
    std::uint16_t port = probeFreePort();
    if (port == 0) {
        ADD_FAILURE() << "cannot find a free port";
    }
    return port;
}

bool waitUntilListening(std::uint16_t port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (canConnect(port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace quorvin::testing
