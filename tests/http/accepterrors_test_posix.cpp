// The listener under accept errors: one connection's failure is skipped, a listener that is gone
// ends serve with its error. The errors come from accept4, replaced here by one that fails on
// request before it passes the call on.
#include "async/asyncdispatch.h"
#include "async/plainsockets.h"
#include "http/asynchttpserver.h"

#include "async/asyncproc.h"
#include "looptest.h"
#include "testclient.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <sys/socket.h>

#include <string>
#include <vector>

using namespace quorvin;
using namespace quorvin::testing;

namespace {

// The errors the next calls of accept4 give, in order; afterwards the calls reach the system.
std::vector<int> injectedErrors;

using Accept4 = int (*)(int, sockaddr*, socklen_t*, int);

} // namespace

extern "C" int accept4(int fd, sockaddr* address, socklen_t* length, int flags) {
    if (!injectedErrors.empty()) {
        errno = injectedErrors.front();
        injectedErrors.erase(injectedErrors.begin());
        return -1;
    }
    static const auto next = reinterpret_cast<Accept4>(dlsym(RTLD_NEXT, "accept4"));
    return next(fd, address, length, flags);
}

namespace {

Future<void> answer(Request request) {
    co_await procedureName("answer");
    co_await respond(request, 200, "served");
}

const std::string served = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nserved";

// Runs the loop until the client has its answer.
std::string exchange(TestClient& client) {
    client.sendAll("GET / HTTP/1.1\r\n\r\n");
    std::string got;
    char piece[256];
    for (int step = 0; step < 300 && got.size() < served.size(); ++step) {
        runOnce(10);
        const long count = client.receiveSome(piece, sizeof piece, 0);
        if (count == 0) {
            break;
        }
        if (count > 0) {
            got.append(piece, static_cast<std::size_t>(count));
        }
    }
    return got;
}

struct AcceptCase {
    const char* name;
    int code;
};

} // namespace

TEST(AcceptErrors, OneConnectionsFailureIsSkippedAndTheNextServed) {
    // What Linux accept passes on for a single connection, and a firewall's refusal.
    const AcceptCase cases[] = {
        {"EPROTO", EPROTO},
        {"ENETDOWN", ENETDOWN},
        {"ENOPROTOOPT", ENOPROTOOPT},
        {"EHOSTDOWN", EHOSTDOWN},
        {"ENONET", ENONET},
        {"EHOSTUNREACH", EHOSTUNREACH},
        {"EOPNOTSUPP", EOPNOTSUPP},
        {"ENETUNREACH", ENETUNREACH},
        {"ECONNABORTED", ECONNABORTED},
        {"EPERM", EPERM},
        {"ETIMEDOUT", ETIMEDOUT},
        {"ECONNRESET", ECONNRESET},
        {"EMFILE (a shortage)", EMFILE},
    };
    startupSockets();
    HttpServer server = createHttpServer(true, false, 8388608);
    Future<void> serving = serve(server, 0, answer, "127.0.0.1");
    ASSERT_FALSE(serving.finished());
    const std::uint16_t port = localPort(server->socket->fd);
    for (const AcceptCase& c : cases) {
        injectedErrors = {c.code};
        TestClient client(port);
        EXPECT_EQ(exchange(client), served) << c.name;
        EXPECT_TRUE(injectedErrors.empty()) << c.name << ": the error was never met";
        ASSERT_FALSE(serving.finished()) << c.name << " ended the listener";
    }
    injectedErrors.clear();
    close(server->socket);
    runUntilFinished(serving);
}

TEST(AcceptErrors, AListenerThatIsGoneEndsServeWithItsError) {
    for (int code : {EBADF, ENOTSOCK, EINVAL}) {
        startupSockets();
        HttpServer server = createHttpServer(true, false, 8388608);
        Future<void> serving = serve(server, 0, answer, "127.0.0.1");
        ASSERT_FALSE(serving.finished());
        injectedErrors = {code};
        TestClient client(localPort(server->socket->fd));
        ASSERT_TRUE(runUntilFinished(serving)) << "errno " << code << " did not end serve";
        try {
            serving.read();
            ADD_FAILURE() << "serve ended without an error";
        } catch (const OSError& error) {
            EXPECT_EQ(error.code(), code);
        }
        injectedErrors.clear();
        close(server->socket);
    }
}
