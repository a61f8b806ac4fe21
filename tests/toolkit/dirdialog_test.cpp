// The folder chooser, shown for real and answered from a timer as a user would.
#include "chooserdriver.h"
#include "toolkit/dirdialog.h"
#include "toolkittest.h"

#include "runtime/utf.h"
#include "server/tempfolder.h"

#include <functional>
#include <string>

namespace quorvin::testing {
namespace {

// What the timer does once the chooser shows; a thread timer has no room for a context.
struct Answer {
    std::function<void(HWND)> act;
    std::wstring title;
    int ticks = 0;
};
Answer answer;

void CALLBACK onTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND chooser = findVisibleChooser();
    // Give up after ten seconds so that a test fails instead of hanging.
    if (chooser == nullptr && ++answer.ticks < 200) {
        return;
    }
    KillTimer(nullptr, timer);
    if (chooser == nullptr) {
        return;
    }
    wchar_t title[256] = {};
    GetWindowTextW(chooser, title, 256);
    answer.title = title;
    answer.act(chooser);
}

// Shows the dialog while the timer answers it with `act`.
int showAnswered(wDirDialog& dialog, std::function<void(HWND)> act) {
    answer = Answer{std::move(act), L"", 0};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, onTimer);
    const int result = dialog.showModal();
    KillTimer(nullptr, timer);
    return result;
}

void cancel(HWND chooser) {
    answerChooser(chooser, "");
}

// Types a name into the chooser's file name box and presses OK; never with an empty name,
// which the chooser refuses by staying open.
std::function<void(HWND)> choose(const std::string& name) {
    return [name](HWND chooser) { answerChooser(chooser, name); };
}

using DirDialogTest = ToolkitTest;

TEST_F(DirDialogTest, CancelGivesCancelAndNoPath) {
    wDirDialog dialog(window(), "Select a directory", "", 0);
    EXPECT_EQ(showAnswered(dialog, cancel), wIdCancel);
    EXPECT_EQ(dialog.path(), "");
    EXPECT_EQ(answer.title, L"Select a directory");
}

TEST_F(DirDialogTest, ChosenFolderComesBackAsItsFileSystemPath) {
    TempFolder temp;
    const std::string folder = temp.join("\xC3\x89t\xC3\xA9 2020 site");
    temp.makeFolder("\xC3\x89t\xC3\xA9 2020 site");
    wDirDialog dialog(window(), "Pick \xE2\x86\x92 one", "", 0);
    EXPECT_EQ(showAnswered(dialog, choose(folder)), wIdOk);
    EXPECT_EQ(dialog.path(), folder);
    EXPECT_EQ(answer.title, L"Pick \u2192 one");
}

TEST_F(DirDialogTest, DefaultPathIsTheFolderANameIsTakenFrom) {
    TempFolder temp;
    temp.makeFolder("outer/inner");
    wDirDialog dialog(window(), "Select a directory", temp.join("outer"), 0);
    EXPECT_EQ(showAnswered(dialog, choose("inner")), wIdOk);
    EXPECT_EQ(dialog.path(), temp.join("outer/inner"));
}

TEST_F(DirDialogTest, ADefaultPathThatDoesNotExistIsAFailureAndGivesCancel) {
    TempFolder temp;
    wDirDialog dialog(window(), "Select a directory", temp.join("missing"), 0);
    EXPECT_EQ(showAnswered(dialog, cancel), wIdCancel);
    EXPECT_EQ(dialog.path(), "");
}

TEST_F(DirDialogTest, StyleZeroLeavesTheCurrentDirectoryAndChangeDirSetsIt) {
    TempFolder temp;
    temp.makeFolder("here");
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    wDirDialog plain(nullptr, "Select a directory", "", 0);
    ASSERT_EQ(showAnswered(plain, choose(temp.join("here"))), wIdOk);
    wchar_t now[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(std::wstring(now), std::wstring(before));

    wDirDialog changing(window(), "Select a directory", "", wDdChangeDir);
    ASSERT_EQ(showAnswered(changing, choose(temp.join("here"))), wIdOk);
    GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(fromWide(now), temp.join("here"));
    SetCurrentDirectoryW(before);
}

} // namespace
} // namespace quorvin::testing
