// The template rule: placeholders, "$$", values that are never rescanned, bad indexes.
#include "server/settings.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(FillTemplate, Table) {
    struct Case {
        const char* name;
        const char* pattern;
        std::string expected;
    } cases[] = {
        {"footer", "<div id=\"footer\">$1 v$2</div>", "<div id=\"footer\">Quorvin v20.08.14</div>"},
        {"repeated index", "$1|$1", "Quorvin|Quorvin"},
        {"out of order", "$2 $1", "20.08.14 Quorvin"},
        {"dollar dollar", "$$1 costs $$$1", "$1 costs $Quorvin"},
        {"value holding a placeholder is not refilled", "[$3]", "[$1 and $$]"},
        {"lone dollar kept", "a $ b $x", "a $ b $x"},
        {"final dollar kept", "cost$", "cost$"},
        {"no placeholders", "plain", "plain"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fillTemplate(c.pattern, {"Quorvin", "20.08.14", "$1 and $$"}), c.expected)
            << c.name;
    }
}

TEST(FillTemplate, IndexOutsideTheValuesIsInvalid) {
    for (const char* pattern : {"$3", "x $0", "$12", "$99999999999999999999999"}) {
        try {
            fillTemplate(pattern, {"a", "b"});
            ADD_FAILURE() << pattern << " was accepted";
        } catch (const ValueError& error) {
            EXPECT_STREQ(error.what(), "invalid format string") << pattern;
        }
    }
    EXPECT_EQ(fillTemplate("$10", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}), "ten");
}
