// A folder more than 400 characters deep, dragged onto the window with the mouse: the status line
// shows its whole path and the site lists and serves its files byte for byte. Its own program,
// since the window serves only once per process.
#include "app/mainwindow.h"
#include "servedsite.h"
#include "server/tempfolder.h"
#include "windowtesting.h"

namespace quorvin::testing {

namespace {

// Folder names of 50 characters each, with a blank and a non-ASCII letter, down to more than
// 400 characters below the temporary folder.
std::string deepBelow() {
    std::string below = "site";
    for (int level = 0; below.size() < 420; ++level) {
        below += "/level " + std::to_string(level) + " \xC3\xA9" + std::string(38, 'd');
    }
    return below;
}

// Every byte value, in several orders.
std::string everyByte() {
    std::string bytes;
    for (int round = 0; round < 40; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes += static_cast<char>((value + round) & 0xFF);
        }
    }
    return bytes;
}

} // namespace

using DeepFolderDrop = MainWindowTest;

TEST_F(DeepFolderDrop, ADeepFolderDraggedOntoTheHelpTextIsShownAndServed) {
    TempFolder temp;
    const std::string below = deepBelow();
    temp.writeFile(below + "/notes.txt", "served from deep down\n");
    temp.writeFile(below + "/every byte.bin", everyByte());
    const std::string folder = temp.join(below);
    ASSERT_GT(folder.size(), 400u);

    IDataObject* data = newFileListData({folder});
    const DragOutcome drag =
        dragWithTheMouse(data, centerOf(statusBar->handle()), centerOf(helpText->handle()));
    data->Release();
    EXPECT_EQ(drag.result, DRAGDROP_S_DROP);
    EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_COPY));
    const std::string serving = " 127.0.0.1:4321 - " + folder + " - ";
    ASSERT_TRUE(pumpUntil(
        [&serving] { return statusBar->statusText().compare(0, serving.size(), serving) == 0; },
        5000))
        << statusBar->statusText();

    const std::string listing = fetchFromWindowServer("/");
    EXPECT_EQ(statusLineOf(listing), "HTTP/1.1 200 OK");
    EXPECT_NE(listing.find("<a href=\"/notes.txt\">notes.txt</a>"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<a href=\"/every%20byte.bin\">every byte.bin</a>"), std::string::npos)
        << listing;
    const std::string text = fetchFromWindowServer("/notes.txt");
    EXPECT_EQ(statusLineOf(text), "HTTP/1.1 200 OK");
    EXPECT_EQ(bodyOf(text), "served from deep down\n");
    const std::string bytes = fetchFromWindowServer("/every%20byte.bin");
    EXPECT_EQ(statusLineOf(bytes), "HTTP/1.1 200 OK");
    EXPECT_TRUE(bodyOf(bytes) == everyByte())
        << bodyOf(bytes).size() << " bytes came, not " << everyByte().size();
}

} // namespace quorvin::testing
