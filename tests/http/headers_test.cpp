// Header table: case folding of names, value lists, lookups and iteration.
#include "http/headers.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace quorvin;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairsOf(const HeaderTable& table) {
    Pairs pairs;
    for (HeaderPair pair : *table) {
        pairs.emplace_back(pair.name, pair.value);
    }
    return pairs;
}

} // namespace

TEST(HeaderTable, NamesFoldToLowerCaseAndCollectValues) {
    HeaderTable table = makeHeaderTable({{"Accept", "a"}, {"ACCEPT", "b"}, {"accept", "c"}});
    EXPECT_EQ(table->len(), 1u);
    EXPECT_EQ(table->get("aCCept"), (HeaderValues{"a", "b", "c"}));

    table->set("Content-Length", HeaderValues{"12"});
    EXPECT_TRUE(table->hasHeader("CONTENT-LENGTH"));
    EXPECT_FALSE(table->hasHeader("Content-Lengt"));
    table->set("content-LENGTH", HeaderValues{"7"});
    EXPECT_EQ(table->get("Content-Length"), HeaderValues{"7"}) << "store replaces the list";
    EXPECT_EQ(table->len(), 2u);
    EXPECT_EQ(pairsOf(makeHeaderTable({{"X-One", "1"}})), (Pairs{{"x-one", "1"}}));
}

TEST(HeaderTable, CountsTheValuesItHoldsNow) {
    HeaderTable table = makeHeaderTable({{"Accept", "a"}, {"accept", "b"}});
    EXPECT_EQ(table->valueCount(), 2u);
    table->set("X-List", HeaderValues{"1", "2", "3"});
    EXPECT_EQ(table->valueCount(), 5u);
    table->set("x-list", HeaderValues{""});
    EXPECT_EQ(table->valueCount(), 3u) << "a replaced list no longer counts";
    table->set("Empty", HeaderValues{});
    EXPECT_EQ(table->valueCount(), 3u);
    table->clear();
    EXPECT_EQ(table->valueCount(), 0u);
}

TEST(HeaderTable, MissingNamesAndEmptyLists) {
    HeaderTable table = makeHeaderTable();
    try {
        table->get("X-Missing");
        FAIL() << "no KeyError";
    } catch (const KeyError& error) {
        EXPECT_STREQ(error.what(), "key not found: x-missing");
    }
    HeaderValues values = table->valuesOrEmpty("Connection");
    EXPECT_EQ(values, HeaderValues{""});
    EXPECT_EQ(values.first(), "");
    EXPECT_FALSE(table->hasHeader("connection")) << "a lookup must not insert the name";
    EXPECT_THROW(HeaderValues{}.first(), IndexError);
}

TEST(HeaderTable, IterationYieldsOnePairPerValueInTheOrderNamesWereAdded) {
    HeaderTable table = makeHeaderTable(
        Pairs{{"Set-Cookie", "a=1"}, {"Host", "h"}, {"SET-COOKIE", "b=2"}, {"Zeta", "z"}});
    table->add("Alpha", "x");
    table->set("Empty", HeaderValues{});
    table->set("host", HeaderValues{"h2"});
    EXPECT_EQ(pairsOf(table), (Pairs{{"set-cookie", "a=1"},
                                     {"set-cookie", "b=2"},
                                     {"host", "h2"},
                                     {"zeta", "z"},
                                     {"alpha", "x"}}));

    table->clear();
    EXPECT_EQ(table->len(), 0u);
    EXPECT_TRUE(pairsOf(table).empty());
    table->add("B", "2");
    table->add("A", "1");
    EXPECT_EQ(pairsOf(table), (Pairs{{"b", "2"}, {"a", "1"}}));
}

TEST(HeaderTable, ContainsMatchesWholeElementsIgnoringCase) {
    EXPECT_TRUE(contains({"keep-alive", "UPGRADE"}, "upgrade"));
    EXPECT_FALSE(contains({"upgrade-insecure"}, "upgrade"));
    EXPECT_FALSE(contains({" upgrade"}, "upgrade"));
    EXPECT_FALSE(contains({}, "upgrade"));
}

TEST(HeaderTable, ALongTableFindsEveryNameInAnyCaseAndKeepsItsOrder) {
    HeaderTable table = makeHeaderTable();
    for (int i = 0; i < 40; ++i) {
        table->add("X-Name-" + std::to_string(i), std::to_string(i));
    }
    table->add("x-name-3", "again");
    table->set("X-NAME-39", HeaderValues{"replaced"});
    EXPECT_EQ(table->len(), 40u);
    for (int i = 0; i < 39; ++i) {
        ASSERT_TRUE(table->hasHeader("x-NAME-" + std::to_string(i))) << i;
        EXPECT_EQ(table->get("X-name-" + std::to_string(i)).front(), std::to_string(i));
    }
    EXPECT_EQ(table->get("x-name-3"), (HeaderValues{"3", "again"}));
    EXPECT_EQ(table->get("x-name-39"), (HeaderValues{"replaced"}));
    EXPECT_FALSE(table->hasHeader("x-name-40"));
    int index = 0;
    std::string previous;
    for (HeaderPair pair : *table) {
        if (pair.name != previous) {
            EXPECT_EQ(pair.name, "x-name-" + std::to_string(index++));
            previous = pair.name;
        }
    }
    EXPECT_EQ(index, 40);
    table->clear();
    EXPECT_FALSE(table->hasHeader("x-name-1"));
    table->add("Host", "a");
    EXPECT_EQ(table->get("HOST").front(), "a");
}
