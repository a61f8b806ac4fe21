// Starting the server from the window: a launch that fails on a taken port is reported and the
// choice reopens; the retry serves the folder. The order of the tests matters: the port can
// be served only once per process.
#include "app/mainwindow.h"
#include "app/servercontrol.h"
#include "server/tempfolder.h"
#include "testclient.h"
#include "windowtesting.h"

#include <winsock2.h>

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

void dropFolders(const std::vector<std::string>& paths) {
    IDataObject* data = newFileListData(paths);
    wDragDropEvent event(wEventType::Drop, helpText.get(), data, 0, POINTL{0, 0});
    helpText->processEvent(event);
    data->Release();
}

std::string fetch(const std::string& path) {
    TestClient client(serverPort);
    client.sendAll("GET " + path +
                   " HTTP/1.1\r\nHost: 127.0.0.1:4321\r\nConnection: close\r\n\r\n");
    std::string response;
    client.receiveUntilClosed(response, 5000);
    return response;
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
    const std::string status = statusBar->statusText();
    EXPECT_TRUE(startsWith(status, " Cannot serve - ")) << status;
    EXPECT_GT(status.size(), std::string(" Cannot serve -  - 00:00:00").size()) << status;
    EXPECT_TRUE(selectFolderButton->isEnabled());
    EXPECT_TRUE(helpText->isDropTarget());
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
}

TEST_F(Serving, RetryServesTheFirstDroppedFolder) {
    TempFolder first;
    TempFolder second;
    first.writeFile("hello.txt", "served from the first folder");
    second.writeFile("hello.txt", "the second folder");
    dropFolders({first.path(), second.path()});
    const std::string expected = " 127.0.0.1:4321 - " + first.path() + " - ";
    EXPECT_TRUE(startsWith(statusBar->statusText(), expected)) << statusBar->statusText();
    EXPECT_FALSE(selectFolderButton->isEnabled());
    EXPECT_FALSE(helpText->isDropTarget());
    const std::string response = fetch("/hello.txt");
    EXPECT_TRUE(startsWith(response, "HTTP/1.1 200")) << response;
    EXPECT_NE(response.find("served from the first folder"), std::string::npos);
    if (urlRecordAvailable()) {
        EXPECT_TRUE(openedOnlyServerPage(waitForOpenedUrls(1)));
    }
}

} // namespace quorvin::testing
