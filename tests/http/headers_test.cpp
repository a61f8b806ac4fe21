// Header table: case folding of names, value lists, lookups and iteration.
#include "http/headers.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace quorvin;

namespace {

std::vector<std::pair<std::string, std::string>> pairsOf(const HeaderTable& table) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (HeaderPair pair : *table) {
        pairs.emplace_back(pair.name, pair.value);
    }
    return pairs;
}

} // namespace

TEST(HeaderTable, NamesAreFoldedToLowerCase) {
    HeaderTable table = makeHeaderTable();
    table->set("Content-Length", HeaderValues{"12"});
    for (const char* name :
         {"Content-Length", "content-length", "CONTENT-LENGTH", "cOnTeNt-LeNgTh"}) {
        EXPECT_TRUE(table->hasHeader(name)) << name;
        EXPECT_EQ(table->get(name).first(), "12") << name;
    }
    EXPECT_FALSE(table->hasHeader("Content-Lengt"));
    EXPECT_EQ(pairsOf(table),
              (std::vector<std::pair<std::string, std::string>>{{"content-length", "12"}}));
}

TEST(HeaderTable, PairsCollectValuesInOrder) {
    HeaderTable table = makeHeaderTable({{"Accept", "a"}, {"ACCEPT", "b"}, {"accept", "c"}});
    EXPECT_EQ(table->len(), 1u);
    EXPECT_EQ(table->get("accept"), (HeaderValues{"a", "b", "c"}));

    HeaderTable fromVector = makeHeaderTable(std::vector<std::pair<std::string, std::string>>{
        {"X-One", "1"}, {"x-two", "2"}, {"X-ONE", "3"}});
    EXPECT_EQ(fromVector->len(), 2u);
    EXPECT_EQ(fromVector->get("x-one"), (HeaderValues{"1", "3"}));
}

TEST(HeaderTable, StoreReplacesTheWholeList) {
    HeaderTable table = makeHeaderTable({{"Connection", "keep-alive"}, {"Connection", "upgrade"}});
    table->set("CONNECTION", HeaderValues{"close"});
    EXPECT_EQ(table->get("connection"), HeaderValues{"close"});
    EXPECT_EQ(table->len(), 1u);
}

TEST(HeaderTable, MissingNameRaisesKeyErrorWithLowerCasedName) {
    HeaderTable table = makeHeaderTable();
    try {
        table->get("X-Missing");
        FAIL() << "no KeyError";
    } catch (const KeyError& error) {
        EXPECT_STREQ(error.what(), "key not found: x-missing");
    }
}

TEST(HeaderTable, ValuesOrEmptyGivesOneEmptyString) {
    HeaderTable table = makeHeaderTable();
    HeaderValues values = table->valuesOrEmpty("connection");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values.first(), "");
    EXPECT_FALSE(table->hasHeader("connection")) << "a lookup must not insert the name";

    table->add("Connection", "close");
    EXPECT_EQ(table->valuesOrEmpty("CONNECTION").first(), "close");
}

TEST(HeaderTable, FirstOfEmptyListIsAnIndexError) {
    EXPECT_THROW(HeaderValues{}.first(), IndexError);
}

TEST(HeaderTable, IterationYieldsOnePairPerValue) {
    HeaderTable table = makeHeaderTable(
        {{"Set-Cookie", "a=1"}, {"Host", "h"}, {"SET-COOKIE", "b=2"}, {"Set-Cookie", "c=3"}});
    table->set("Empty", HeaderValues{});
    auto pairs = pairsOf(table);
    ASSERT_EQ(pairs.size(), 4u);
    std::vector<std::string> cookies;
    for (const auto& [name, value] : pairs) {
        if (name == "set-cookie") {
            cookies.push_back(value);
        } else {
            EXPECT_EQ(name, "host");
        }
    }
    EXPECT_EQ(cookies, (std::vector<std::string>{"a=1", "b=2", "c=3"}));
    EXPECT_EQ(table->len(), 3u) << "a name with an empty list still counts";

    table->clear();
    EXPECT_EQ(table->len(), 0u);
    EXPECT_TRUE(pairsOf(table).empty());
}

TEST(HeaderTable, ContainsMatchesWholeElementsIgnoringCase) {
    struct Case {
        HeaderValues values;
        const char* text;
        bool expected;
    } cases[] = {
        {{"Upgrade"}, "upgrade", true},
        {{"keep-alive", "UPGRADE"}, "upgrade", true},
        {{"upgrade-insecure"}, "upgrade", false},
        {{"upgrad"}, "upgrade", false},
        {{" upgrade"}, "upgrade", false},
        {{}, "upgrade", false},
        {{""}, "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(contains(c.values, c.text), c.expected)
            << (c.values.empty() ? "(empty)" : c.values.front());
    }
}
