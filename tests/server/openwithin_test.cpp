// The look-up below the served folder over a real tree with links that stay inside and lead out.
#include "server/fs.h"
#include "server/pathrules.h"
#include "server/routing.h"

#include "links.h"
#include "tempfolder.h"
#include "testsettings.h"

#ifndef _WIN32
#include "server/fs_posix.h"

#include <cstdio>
#include <fcntl.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

using namespace quorvin;
using quorvin::testing::makeSymbolicLink;
using quorvin::testing::settingsFor;
using quorvin::testing::TempFolder;

namespace {

const char* const secret = "the secret outside the served folder";

using Lookup = std::function<fs::OpenedWithin(const std::string&, const std::string&)>;

// A served folder "site" whose links lead inside and out; "outside" holds the secret.
class OpenWithin : public ::testing::Test {
protected:
    void SetUp() override {
        outer.writeFile("outside/secret.txt", secret);
        outer.writeFile("site/a.txt", "a");
        outer.writeFile("site/docs/readme.md", "readme");
        const std::string outside = outer.join("outside");
        const struct {
            const char* at;
            std::string target;
            bool directory;
        } links[] = {
            // A folder on the way that is a link out: what a folder swapped for a link between a
            // check and the open would be.
            {"site/docs/evil", outside, true},
            {"site/rel-out", "../outside", true},
            {"site/abs-out.txt", outer.join("outside/secret.txt"), false},
            {"site/inner", outer.join("site/docs"), true},
            {"site/rel-in", "docs", true},
            {"site/docs/up.txt", "../a.txt", false},
            {"site/chain.txt", "inner/../a.txt", false},
            {"site/loop", "loop", false},
            {"to-site", outer.join("site"), true},
        };
        std::string problem;
        for (const auto& link : links) {
            if (!makeSymbolicLink(link.target, outer.join(link.at), link.directory, problem)) {
                GTEST_SKIP() << problem;
            }
        }
        // Wine makes the links but does not follow them in its own file calls.
        if (!directoryExists(outer.join("site/inner"))) {
            GTEST_SKIP() << "the system does not follow the links it made";
        }
    }

    // Every case of the table, for the served folder given by its path and through a link.
    void expectTable(const Lookup& lookup) {
        struct Case {
            const char* path;
            fs::PathKind kind;
            const char* content;
        } cases[] = {
            {"", fs::PathKind::Directory, nullptr},
            {"/", fs::PathKind::Directory, nullptr},
            {"/a.txt", fs::PathKind::File, "a"},
            {"/docs", fs::PathKind::Directory, nullptr},
            {"/docs/readme.md", fs::PathKind::File, "readme"},
            {"/docs/evil", fs::PathKind::Missing, nullptr},
            {"/docs/evil/", fs::PathKind::Missing, nullptr},
            {"/docs/evil/secret.txt", fs::PathKind::Missing, nullptr},
            {"/rel-out/secret.txt", fs::PathKind::Missing, nullptr},
            {"/abs-out.txt", fs::PathKind::Missing, nullptr},
            {"/inner", fs::PathKind::Directory, nullptr},
            {"/inner/readme.md", fs::PathKind::File, "readme"},
            {"/rel-in/readme.md", fs::PathKind::File, "readme"},
            {"/docs/up.txt", fs::PathKind::File, "a"},
            {"/chain.txt", fs::PathKind::File, "a"},
            {"/loop", fs::PathKind::Missing, nullptr},
            {"/a.txt/", fs::PathKind::Missing, nullptr},
            {"/a.txt/more", fs::PathKind::Missing, nullptr},
            {"/none.txt", fs::PathKind::Missing, nullptr},
        };
        for (const char* root : {"site", "to-site"}) {
            const std::string rootPath = outer.join(root);
            for (const Case& c : cases) {
                const std::string path = mapRequestPath(rootPath, c.path);
                fs::OpenedWithin found = lookup(rootPath, path);
                EXPECT_EQ(found.kind, c.kind) << root << c.path;
                if (c.content == nullptr) {
                    EXPECT_FALSE(found.file) << root << c.path;
                    continue;
                }
                ASSERT_TRUE(found.file) << root << c.path;
                char content[64] = {};
                found.file->read(content, sizeof content - 1);
                EXPECT_STREQ(content, c.content) << root << c.path;
            }
        }
    }

    TempFolder outer;
};

} // namespace

TEST_F(OpenWithin, LinksInsideAreFollowedAndLinksOutLeadNowhere) {
    expectTable([](const std::string& root, const std::string& path) {
        return fs::openWithin(fs::ServedFolder(root), path);
    });
}

// What the launch found stays the served folder: putting a link out in its place afterwards
// leads nowhere.
TEST_F(OpenWithin, TheServedFolderSwappedForALinkAfterTheLaunchLeadsNowhere) {
    outer.writeFile("outside/a.txt", secret);
    const ServerSettings settings = settingsFor(outer.join("site"));
    std::filesystem::rename(outer.join("site"), outer.join("site-moved"));
    std::string problem;
    ASSERT_TRUE(makeSymbolicLink(outer.join("outside"), outer.join("site"), true, problem));
    EXPECT_NE(chooseResponse(settings, HttpGet, "/a.txt").body, secret);
}

#ifndef _WIN32
// The walk that kernels without openat2 take, and that settles absolute links on every kernel.
TEST_F(OpenWithin, TheSegmentWalkDecidesAlike) {
    expectTable(fs::openWithinSegmentWise);
}

// A folder swapped for a link out over and over while it is requested: the served file is always
// the one inside, or none.
TEST_F(OpenWithin, AFolderSwappedForALinkNeverLeadsOut) {
    outer.writeFile("site/swap/x.txt", "inside");
    std::string problem;
    ASSERT_TRUE(makeSymbolicLink(outer.join("outside"), outer.join("site/other"), true, problem));
    outer.writeFile("outside/x.txt", secret);
    outer.writeFile("outside/only-outside.txt", secret);
    const ServerSettings settings = settingsFor(outer.join("site"));
    const std::string swap = outer.join("site/swap");
    const std::string other = outer.join("site/other");

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            ::renameat2(AT_FDCWD, swap.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
        }
    });
    int inside = 0;
    int leaked = 0;
    int listedOutside = 0;
    for (int i = 0; i < 5000; ++i) {
        const StaticResponse response = chooseResponse(settings, HttpGet, "/swap/x.txt");
        inside += response.body == "inside" ? 1 : 0;
        leaked += response.body == secret ? 1 : 0;
        const StaticResponse listing = chooseResponse(settings, HttpGet, "/swap/");
        listedOutside += listing.body.find("only-outside") != std::string::npos ? 1 : 0;
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(leaked, 0);
    EXPECT_EQ(listedOutside, 0);
    EXPECT_GT(inside, 0);
}
#endif
