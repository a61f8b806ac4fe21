// One real server, launched on a pool worker as the programs launch it, serving a temporary site.
#pragma once

#include "server/tempfolder.h"

#include <cstdint>
#include <string>

namespace quorvin::testing {

// The site, below `base()/site`:
//   hello.html style.css script.js data.json photo.png pic.JPG page.HTM LICENSE data.xyz123
//   .gitignore empty.txt "my file.txt" a+b.txt 100%.txt été.txt
//   exact1m.dat (1 MiB) over1m.dat (1 MiB + 1) big.bin (50 MiB) three.bin (3 MiB)
//   docs/guide.txt docs/sub/deep.txt withindex/index.html withindex/other.txt emptydir/
// and next to the site, outside it: base()/secret.txt and base()/site-other/secret.txt.
class ServedSite {
public:
    // Made and launched by the first test that asks; it serves until the process ends.
    static ServedSite& instance();

    std::uint16_t port() const { return port_; }
    const TempFolder& base() const { return base_; }
    std::string root() const { return base_.join("site"); }

    static constexpr const char* secret = "TOP SECRET 5f0c2e";
    // The content of a file of `size` bytes written by the fixture (every byte position varies).
    static std::string patternBytes(std::size_t size, unsigned seed);
    static constexpr std::size_t bigSize = 50u * 1024u * 1024u;
    static constexpr unsigned bigSeed = 7;
    static constexpr std::size_t threeSize = 3u * 1024u * 1024u;
    static constexpr unsigned threeSeed = 3;

private:
    ServedSite();
    void writeSite();

    TempFolder base_;
    std::uint16_t port_ = 0;
};

// A loopback port that nothing listened on a moment ago.
std::uint16_t freeLoopbackPort();

// Tries to connect until the port accepts or the time is up.
bool waitUntilListening(std::uint16_t port, int timeoutMs = 10000);

} // namespace quorvin::testing
