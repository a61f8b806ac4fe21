// The launch: settings values, the start line, and a launch whose port is taken.
#include "server/launch.h"

#include "httpclient.h"
#include "servedsite.h"
#include "server/handler.h"
#include "server/mimetable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <regex>

namespace quorvin::testing {
namespace {

TEST(LaunchSettings, ValuesOfEveryLaunch) {
    ServerSettings settings = launchSettings("C:\\Site");
    EXPECT_FALSE(settings.logRequests);
    EXPECT_EQ(settings.rootDirectory, "C:\\Site");
    EXPECT_EQ(settings.listenPort, 4321);
    EXPECT_EQ(settings.listenAddress, "127.0.0.1");
    EXPECT_EQ(settings.serverName, "Quorvin");
    EXPECT_EQ(settings.serverVersion, "20.08.14");
    EXPECT_EQ(lookupMimeType(settings.mimeTable, "htm", "none"), "text/html");
    EXPECT_EQ(lookupMimeType(settings.mimeTable, "html", "none"), "text/html");
    // Each launch has a table of its own.
    EXPECT_NE(settings.mimeTable, launchSettings("C:\\Site").mimeTable);
}

TEST(LaunchStartMessage, WindowsArgumentQuoting) {
    struct Case {
        const char* text;
        const char* quoted;
    };
    const Case cases[] = {
        {"C:\\Site", "C:\\Site"},
        {"", "\"\""},
        {"C:\\My Site", "\"C:\\My Site\""},
        {"C:\\tab\there", "\"C:\\tab\there\""},
        {"C:\\My Site\\", "\"C:\\My Site\\\\\""},
        {"a\"b", "a\\\"b"},
        {"a\\\"b", "a\\\\\\\"b"},
        {"a b\\\\", "\"a b\\\\\\\\\""},
        {"\\\\server\\share", "\\\\server\\share"},
        {"/home/user/site", "/home/user/site"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(quoteWindowsArgument(c.text), c.quoted) << c.text;
    }
}

TEST(LaunchStartMessage, FillsTheLineInOrder) {
    EXPECT_EQ(startMessage(launchSettings("C:\\Site"), "2020-08-14T06:05:37+02:00", 4711),
              "Quorvin v20.08.14 started on port: 4321 at: http://127.0.0.1:4321/ serving: "
              "C:\\Site time: 2020-08-14T06:05:37+02:00 pid: 4711");
    EXPECT_EQ(startMessage(launchSettings("C:\\My $1 Site", 8080), "T", 1),
              "Quorvin v20.08.14 started on port: 8080 at: http://127.0.0.1:8080/ serving: "
              "\"C:\\My $1 Site\" time: T pid: 1");
}

TEST(LaunchStartMessage, CurrentTimeAndProcess) {
    std::string line = startMessage(launchSettings("/srv"));
    std::regex pattern(
        "Quorvin v20\\.08\\.14 started on port: 4321 at: http://127\\.0\\.0\\.1:4321/ "
        "serving: /srv time: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d "
        "pid: [1-9]\\d*");
    EXPECT_TRUE(std::regex_match(line, pattern)) << line;
}

TEST(LaunchFailure, PortInUseEndsTheLaunchWithItsErrorAndTheServerGoesOn) {
    ServedSite& site = ServedSite::instance();
    std::promise<std::exception_ptr> ended;
    LaunchArgument launch;
    launch.folder = site.root();
    launch.listenPort = site.port();
    launch.onEnd = [&ended](std::exception_ptr error) { ended.set_value(error); };
    spawnLaunch(launch);
    std::future<std::exception_ptr> outcome = ended.get_future();
    ASSERT_EQ(outcome.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_THROW(std::rethrow_exception(outcome.get()), OSError);
    // The first server still answers.
    EXPECT_EQ(fetchGet(site.port(), "/hello.html").body, "<p>hello</p>");
}

TEST(RequestLog, LineNamesTimeHostMethodAndPathAsReceived) {
    Request request;
    request.hostname = "127.0.0.1";
    request.method = HttpPut;
    request.url.path = "/my%20file.txt";
    EXPECT_EQ(requestLogLine("2020-08-14T06:05:37+02:00", request),
              "2020-08-14T06:05:37+02:00 - 127.0.0.1 PUT /my%20file.txt");
}

} // namespace
} // namespace quorvin::testing
