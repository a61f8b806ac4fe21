// The Host header values that name this computer, and how a request's headers are judged.
#include "server/hostcheck.h"

#include <gtest/gtest.h>

namespace quorvin {
namespace {

TEST(HostCheck, LocalNamesWithAndWithoutPort) {
    struct Case {
        const char* value;
        bool local;
    };
    const Case cases[] = {
        {"127.0.0.1", true},
        {"127.0.0.1:4321", true},
        {"localhost", true},
        {"LOCALHOST:65535", true},
        {"a.b.localhost", true},
        {"App.LocalHost:1", true},
        {"[::1]", true},
        {"[::1]:4321", true},
        {"localhost \t", true},
        {"", false},
        {"evil.example", false},
        {".localhost", false},
        {"localhost.", false},
        {"localhostx", false},
        {"xlocalhost", false},
        {"localhost.evil.example", false},
        {"127.0.0.1.evil.example", false},
        {"127.0.0.2", false},
        {"0.0.0.0", false},
        {"::1", false},
        {"[::1", false},
        {"[::1]x", false},
        {"[::2]", false},
        {"localhost:", false},
        {"localhost:123456", false},
        {"localhost:12a", false},
        {"localhost:80:80", false},
        {"user@localhost", false},
        {"evil.example#.localhost", false},
        {"evil.example/.localhost", false},
        {"evil.example\\.localhost", false},
        {"evil.example?.localhost", false},
        {"evil example.localhost", false},
        {"evil.example%2f.localhost", false},
        {"a-b.localhost:0", true},
        {"localhost:65536", false},
        {"localhost:99999", false},
        {"localhost:00080", true},
        {"[evil.example]", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isLocalHostValue(c.value), c.local) << '"' << c.value << '"';
    }
}

TEST(HostCheck, RequestWithoutHostIsServedAndAnyForeignValueRefuses) {
    Request request;
    EXPECT_TRUE(isAddressedToThisComputer(request));
    request.headers->set("Host", {"localhost:4321"});
    EXPECT_TRUE(isAddressedToThisComputer(request));
    request.headers->set("Host", {"localhost", "evil.example"});
    EXPECT_FALSE(isAddressedToThisComputer(request));
    request.headers->set("Host", {""});
    EXPECT_FALSE(isAddressedToThisComputer(request));
}

} // namespace
} // namespace quorvin
