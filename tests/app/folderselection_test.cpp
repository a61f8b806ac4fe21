// Folder selection: drag enter, drops that are refused, and the folder chooser cancelled and
// chosen (the last serves the chosen folder, so it is this executable's only launch).
#include "app/folderselection.h"
#include "app/mainwindow.h"
#include "server/tempfolder.h"
#include "toolkit/chooserdriver.h"
#include "toolkit/testdataobject.h"
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
    // A drop is acted on once the drop has returned, from a message.
    pumpFor(100);
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

TEST_F(FolderSelection, ARealDragOfAFileOntoTheHelpTextIsReported) {
    TempFolder folder;
    folder.writeFile("page.html", "<p>hi</p>");
    const std::string file = folder.join("page.html");
    IDataObject* data = newFileListData({file});
    const POINT start = centerOf(statusBar->handle());
    const DragOutcome drag = dragWithTheMouse(data, start, centerOf(helpText->handle()));
    data->Release();
    EXPECT_EQ(drag.result, DRAGDROP_S_DROP);
    EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    const std::string expected = " Not a folder - " + file + " - ";
    ASSERT_TRUE(pumpUntil([&expected] {
        return statusBar->statusText().substr(0, expected.size()) == expected;
    })) << statusBar->statusText();
    EXPECT_TRUE(helpText->isDropTarget());
}

TEST_F(FolderSelection, TheDroppedListIsReadOnce) {
    // Data that can be read only once, as from a source that hands its list out once.
    TempFolder folder;
    folder.writeFile("page.html", "<p>hi</p>");
    const std::string file = folder.join("page.html");
    TestDataObject* data = TestDataObject::files({file});
    data->limitReads(1);
    dropOnHelpText(data);
    const std::string expected = " Not a folder - " + file + " - ";
    ASSERT_TRUE(pumpUntil([&expected] {
        return statusBar->statusText().substr(0, expected.size()) == expected;
    })) << statusBar->statusText();
}

TEST_F(FolderSelection, ChosenFolderIsServedAndLaterDropsAreRefused) {
    // A name with a blank and letters from outside ASCII, shown as it is.
    const std::string name = "Site \xC3\xA9t\xC3\xA9 \xE6\x96\x87\xE4\xBB\xB6";
    TempFolder temp;
    temp.makeFolder(name);
    temp.writeFile(name + "/index.html", "<p>chosen</p>");
    const std::string folder = temp.join(name);
    chooseWithTimer(folder);
    const std::string expected = " 127.0.0.1:4321 - " + folder + " - ";
    ASSERT_TRUE(pumpUntil(
        [&expected] { return statusBar->statusText().substr(0, expected.size()) == expected; },
        5000))
        << statusBar->statusText();
    EXPECT_FALSE(selectFolderButton->isEnabled());
    EXPECT_FALSE(helpText->isDropTarget());
    if (urlRecordAvailable()) {
        EXPECT_TRUE(openedOnlyServerPage(waitForOpenedUrls(1)));
    }
    // Dragging anything onto the help text now is refused.
    const std::string served = statusBar->statusText();
    IDataObject* data = newFileListData({temp.path()});
    const DragOutcome drag =
        dragWithTheMouse(data, centerOf(statusBar->handle()), centerOf(helpText->handle()));
    data->Release();
    EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_NONE));
    pumpFor(200);
    EXPECT_EQ(statusBar->statusText(), served);
}

} // namespace quorvin::testing
