// Starting the server from the window: a launch that fails on a taken port is reported and the
// choice reopens, also when the failure comes late; the retry serves the folder. The order of
// the tests matters: the port can be served only once per process.
#include "app/mainwindow.h"
#include "app/servercontrol.h"
#include "runtime/output.h"
#include "runtime/utf.h"
#include "servedsite.h"
#include "server/tempfolder.h"
#include "toolkit/testdataobject.h"
#include "windowtesting.h"

#include <winsock2.h>

#include <chrono>
#include <mutex>

namespace quorvin::testing {

namespace {

constexpr std::uint16_t serverPort = 4321;

// Holds 127.0.0.1:4321 with a listening socket that no other socket may share.
class PortHolder {
public:
    PortHolder() {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        BOOL exclusive = TRUE;
        setsockopt(socket_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(serverPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 listen(socket_, 4) == 0;
    }
    ~PortHolder() { closesocket(socket_); }
    bool bound() const { return bound_; }

private:
    SOCKET socket_;
    bool bound_ = false;
};

void dropData(IDataObject* data) {
    wDragDropEvent event(wEventType::Drop, helpText.get(), data, 0, POINTL{0, 0});
    helpText->processEvent(event);
    data->Release();
}

void dropFolders(const std::vector<std::string>& paths) {
    dropData(newFileListData(paths));
}

bool statusStartsWith(const std::string& start, int timeoutMs) {
    return pumpUntil(
        [&start] { return statusBar->statusText().compare(0, start.size(), start) == 0; },
        timeoutMs);
}

// Writes a file by its UTF-16 path, which need not be well-formed.
void writeWideFile(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

using Serving = MainWindowTest;

TEST_F(Serving, FailedLaunchIsReportedAndTheChoiceReopens) {
    PortHolder holder;
    ASSERT_TRUE(holder.bound()) << "port 4321 is taken by another program";
    TempFolder folder;
    dropFolders({folder.path()});
    EXPECT_TRUE(statusStartsWith(" Cannot serve - ", 5000)) << statusBar->statusText();
    const std::string status = statusBar->statusText();
    EXPECT_GT(status.size(), std::string(" Cannot serve -  - 00:00:00").size()) << status;
    EXPECT_TRUE(selectFolderButton->isEnabled());
    EXPECT_TRUE(helpText->isDropTarget());
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
}

TEST_F(Serving, ALaunchThatFailsLateIsReportedWhenItFails) {
    PortHolder holder;
    ASSERT_TRUE(holder.bound()) << "port 4321 is taken by another program";
    TempFolder folder;
    // The launch writes its start line before it binds: while this test holds the output lock,
    // the launch waits there, longer than anyone would wait for it.
    std::unique_lock<std::mutex> holdLaunch(outputLock());
    const auto start = std::chrono::steady_clock::now();
    dropFolders({folder.path()});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000))
        << "the drop waited for the launch";
    ASSERT_TRUE(pumpUntil([] { return !selectFolderButton->isEnabled(); }, 1000));
    pumpFor(3500);
    // Pending is not serving: nothing is shown or opened yet, and the choice stays locked.
    EXPECT_EQ(statusBar->statusText(), "     Version 20.08.14");
    EXPECT_FALSE(selectFolderButton->isEnabled());
    EXPECT_TRUE(openedUrls().empty());
    holdLaunch.unlock();
    EXPECT_TRUE(statusStartsWith(" Cannot serve - ", 5000)) << statusBar->statusText();
    EXPECT_TRUE(selectFolderButton->isEnabled());
    EXPECT_TRUE(helpText->isDropTarget());
    pumpFor(300);
    EXPECT_TRUE(openedUrls().empty());
}

TEST_F(Serving, RetryServesTheFirstDroppedFolderWhateverItsName) {
    // NTFS allows a name with an unpaired surrogate; it is served like any other.
    TempFolder parent;
    TempFolder second;
    std::wstring firstWide = toWide(parent.path()) + L"\\site " + wchar_t(0xD83D);
    if (!CreateDirectoryW(firstWide.c_str(), nullptr)) {
        // Wine keeps names in UTF-8 on a Unix file system, which cannot hold such a name.
        firstWide = toWide(parent.path()) + L"\\site \u00e9";
        ASSERT_TRUE(CreateDirectoryW(firstWide.c_str(), nullptr));
    }
    writeWideFile(firstWide + L"\\hello.txt", "served from the first folder");
    second.writeFile("hello.txt", "the second folder");
    const std::string first = fromWide(firstWide);
    dropData(TestDataObject::wideFiles({firstWide, toWide(second.path())}));
    const std::string expected = " 127.0.0.1:4321 - " + first + " - ";
    EXPECT_TRUE(statusStartsWith(expected, 5000)) << statusBar->statusText();
    EXPECT_FALSE(selectFolderButton->isEnabled());
    EXPECT_FALSE(helpText->isDropTarget());
    const std::string response = fetchFromWindowServer("/hello.txt");
    EXPECT_TRUE(startsWith(response, "HTTP/1.1 200")) << response;
    EXPECT_NE(response.find("served from the first folder"), std::string::npos);
    if (urlRecordAvailable()) {
        EXPECT_TRUE(openedOnlyServerPage(waitForOpenedUrls(1)));
    }
}

} // namespace quorvin::testing
