// An exception that escapes a handler called through the window procedure ends the program
// with its fatal report, whatever way the message came. Each case runs in a child process: this
// test program again, with one disabled test switched on.
#include "app/mainwindow.h"
#include "runtime/errors.h"
#include "toolkit/childprocess.h"
#include "windowtesting.h"

#include <cstdlib>
#include <string>

namespace quorvin::testing {

namespace {

constexpr char expectedReport[] = "Error: unhandled exception: thrown from a handler [ValueError]";

void raiseFromHandler(wEvent&) {
    throw ValueError("thrown from a handler");
}

} // namespace

using FatalReportChild = MainWindowTest;

// Only as a child of the test below, told by QUORVIN_RAISE_IN where to raise.
TEST_F(FatalReportChild, DISABLED_RaiseFromAHandler) {
    const char* where = std::getenv("QUORVIN_RAISE_IN");
    ASSERT_NE(where, nullptr);
    const std::string place = where;
    if (place == "sent") {
        selectFolderButton->connect(wEventType::LeftDown, raiseFromHandler);
        SendMessageW(selectFolderButton->handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    } else if (place == "posted") {
        helpText->connect(wEventType::LeftDown, raiseFromHandler);
        PostMessageW(helpText->handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(2, 2));
    } else if (place == "nested") {
        // The frame's size event sizes the status bar, whose handler raises.
        statusBar->connect(wEventType::Size, raiseFromHandler);
        resizeFrame(420, 420);
    } else if (place == "posted action") {
        mainFrame->callAfter([] { throw ValueError("thrown from a handler"); });
    }
    pumpFor(500);
    std::printf("the child went on after the exception\n");
}

TEST(FatalReport, AnExceptionFromAHandlerEndsTheProgramWithTheReport) {
    for (const std::string place : {"sent", "posted", "nested", "posted action"}) {
        SCOPED_TRACE(place);
        ChildOutcome outcome =
            runChild(ownProgramPath(),
                     L"--gtest_filter=FatalReportChild.DISABLED_RaiseFromAHandler"
                     L" --gtest_also_run_disabled_tests",
                     {{L"QUORVIN_RAISE_IN", std::wstring(place.begin(), place.end())}});
        EXPECT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.exitCode, 1u) << outcome.output;
        EXPECT_NE(outcome.output.find(expectedReport), std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.find("the child went on"), std::string::npos) << outcome.output;
    }
}

} // namespace quorvin::testing
