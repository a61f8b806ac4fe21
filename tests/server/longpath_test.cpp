// A tree deeper than the old Windows path limit of 260 characters, served and listed.
#include "server/page.h"
#include "server/routing.h"

#include "tempfolder.h"
#include "testsettings.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvin;
using quorvin::testing::settingsFor;
using quorvin::testing::TempFolder;

TEST(LongPaths, AFileMoreThan400CharactersDeepIsServedAndListed) {
    TempFolder outer;
    std::string below;
    while (below.size() < 420) {
        below += "/folder-" + std::to_string(below.size()) + "-" + std::string(40, 'd');
    }
    outer.writeFile("site" + below + "/deep.txt", "deep");
    const ServerSettings settings = settingsFor(outer.join("site"));
    ASSERT_GT(outer.join("site" + below + "/deep.txt").size(), 411u);

    StaticResponse file = chooseResponse(settings, HttpGet, below + "/deep.txt");
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.body, "deep");

    StaticResponse listing = chooseResponse(settings, HttpGet, below + "/");
    EXPECT_EQ(listing.status, 200);
    EXPECT_NE(listing.body.find("<a href=\"" + below + "/deep.txt\">deep.txt</a>"),
              std::string::npos);
    EXPECT_NE(listing.body.find("<title>Index of " + below + "/</title>"), std::string::npos);

    const std::string parent = below.substr(0, below.rfind('/'));
    StaticResponse parentListing = chooseResponse(settings, HttpGet, parent + "/");
    EXPECT_NE(parentListing.body.find("<a href=\"" + below + "/\">"), std::string::npos);
    EXPECT_EQ(chooseResponse(settings, HttpGet, below + "/none.txt").body,
              notFoundResponse(settings).body);
}
