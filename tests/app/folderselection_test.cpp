// Folder selection: drag enter, drops that are refused, and the folder chooser cancelled and
// chosen (the last serves the chosen folder, so it is this executable's only launch).
#include "app/folderselection.h"
#include "app/mainwindow.h"
#include "server/tempfolder.h"
#include "toolkit/chooserdriver.h"
#include "windowtesting.h"

#include <regex>

namespace quorvin::testing {

namespace {

// Raises a drop of the data on helpText through its connected handlers.
void dropOnHelpText(IDataObject* data, wEventType type = wEventType::Drop,
                    DWORD* effect = nullptr) {
    wDragDropEvent event(type, helpText.get(), data, 0, POINTL{0, 0});
    helpText->processEvent(event);
    if (effect != nullptr) {
        *effect = event.effect();
    }
    data->Release();
}

// What the chooser's timer does once it finds the dialog.
std::string chooserAnswer;

void CALLBACK answerOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND chooser = findVisibleChooser();
    if (chooser == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    answerChooser(chooser, chooserAnswer);
}

void chooseWithTimer(const std::string& answer) {
    chooserAnswer = answer;
    SetTimer(nullptr, 0, 200, &answerOnTimer);
    selectFolderButton->click();
}

} // namespace

using FolderSelection = MainWindowTest;

TEST_F(FolderSelection, DragEnterOffersCopyForAnyData) {
    DWORD effect = DROPEFFECT_NONE;
    dropOnHelpText(newTextData(L"some text"), wEventType::DragEnter, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
}

TEST_F(FolderSelection, DroppedFileIsReportedAndTheChoiceStaysOpen) {
    TempFolder folder;
    folder.writeFile("page.html", "<p>hi</p>");
    const std::string file = folder.join("page.html");
    dropOnHelpText(newFileListData({file}));
    const std::string expected = " Not a folder - " + file + " - ";
    const std::string status = statusBar->statusText();
    EXPECT_EQ(status.substr(0, expected.size()), expected);
    EXPECT_TRUE(std::regex_match(status.substr(expected.size()), std::regex(R"(\d\d:\d\d:\d\d)")));
    EXPECT_TRUE(selectFolderButton->isEnabled());
    EXPECT_TRUE(helpText->isDropTarget());
}

TEST_F(FolderSelection, DroppedMissingPathIsNotAFolder) {
    TempFolder folder;
    const std::string missing = folder.join("gone");
    dropOnHelpText(newFileListData({missing}));
    EXPECT_EQ(statusBar->statusText().substr(0, 16 + missing.size()), " Not a folder - " + missing);
}

TEST_F(FolderSelection, DroppedTextChangesNothing) {
    dropOnHelpText(newTextData(L"C:\\"));
    EXPECT_EQ(statusBar->statusText(), "     Version 20.08.14");
    EXPECT_TRUE(selectFolderButton->isEnabled());
}

TEST_F(FolderSelection, DirectoryTest) {
    TempFolder folder;
    folder.writeFile("a.txt", "a");
    EXPECT_TRUE(isDirectory(folder.path()));
    EXPECT_FALSE(isDirectory(folder.join("a.txt")));
    EXPECT_FALSE(isDirectory(folder.join("missing")));
}

TEST_F(FolderSelection, CancelledChooserChangesNothing) {
    chooseWithTimer("");
    EXPECT_EQ(statusBar->statusText(), "     Version 20.08.14");
    EXPECT_TRUE(selectFolderButton->isEnabled());
    EXPECT_TRUE(helpText->isDropTarget());
}

TEST_F(FolderSelection, ChosenFolderIsServed) {
    TempFolder folder;
    folder.writeFile("index.html", "<p>chosen</p>");
    chooseWithTimer(folder.path());
    const std::string expected = " 127.0.0.1:4321 - " + folder.path() + " - ";
    EXPECT_EQ(statusBar->statusText().substr(0, expected.size()), expected);
    EXPECT_FALSE(selectFolderButton->isEnabled());
    EXPECT_FALSE(helpText->isDropTarget());
    if (urlRecordAvailable()) {
        EXPECT_TRUE(openedOnlyServerPage(waitForOpenedUrls(1)));
    }
}

} // namespace quorvin::testing
