// Libraries from the system folder only: a rich edit library planted beside the program, with
// the loader told to prefer a native copy, is never loaded.
#include "childprocess.h"

#include <gtest/gtest.h>

namespace quorvin::testing {
namespace {

// Runs the probe beside the planted library; Wine then takes a native msftedit.dll first, as
// Windows does for a library that is not a known one.
ChildOutcome runProbe(const wchar_t* mode) {
    return runChild(besideOwnProgram(L"planted\\richedit_probe.exe"), mode,
                    {{L"WINEDLLOVERRIDES", L"msftedit=n,b;mscoree,mshtml="}});
}

TEST(SystemLibraries, APlainLoadByNameTakesThePlantedLibrary) {
    // The premise of the tests below: without care, the planted copy is the one loaded.
    ChildOutcome outcome = runProbe(L"plain");
    EXPECT_EQ(outcome.exitCode, 2u) << outcome.output;
}

TEST(SystemLibraries, TheTextControlLoadsTheSystemsRichEditLibrary) {
    ChildOutcome outcome = runProbe(L"toolkit");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
}

TEST(SystemLibraries, AfterTheProgramsStartNoLoadByNameTakesThePlantedLibrary) {
    ChildOutcome outcome = runProbe(L"start");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
}

} // namespace
} // namespace quorvin::testing
