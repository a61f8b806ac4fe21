// The listener under descriptor exhaustion: it pauses instead of failing, does not spin, and
// serves every waiting client once descriptors are free again. Runs in a child process, whose
// descriptor limit it lowers.
#include "async/asyncdispatch.h"
#include "async/plainsockets.h"
#include "http/asynchttpserver.h"

#include "async/asyncproc.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

using namespace quorvin;

namespace {

constexpr int clientCount = 12;
constexpr int spareCount = 2;

enum Outcome {
    Passed = 0,
    SetupFailed = 10,
    ServeEndedWhileShort = 11,
    SpunWhileShort = 12,
    AcceptedWithoutDescriptors = 13,
    NotEveryoneServed = 14,
    ServeEndedAfterwards = 15,
};

Future<void> answer(Request request) {
    co_await procedureName("answer");
    co_await respond(request, 200, "served " + request.url.path);
}

int connectClient(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return -1;
    }
    return fd;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void runLoopFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        runOnce(10);
    }
}

// Reads whatever the client has got without blocking; true once the peer has closed.
bool collect(int fd, std::string& into) {
    char buffer[512];
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 0) <= 0) {
            return false;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return true;
        }
        into.append(buffer, static_cast<std::size_t>(got));
    }
}

Outcome scenario() {
    startupSockets();
    HttpServer server = createHttpServer(true, false, defaultMaxBodyLength);
    Future<void> serving = serve(server, 0, answer, "127.0.0.1");
    if (serving.failed()) {
        return SetupFailed;
    }
    const std::uint16_t port = localPort(server->socket->fd);

    // Every client connects (the kernel queues them) and sends its request.
    std::vector<int> clients;
    for (int i = 0; i < clientCount; ++i) {
        const int fd = connectClient(port);
        if (fd < 0) {
            return SetupFailed;
        }
        const std::string request =
            "GET /" + std::to_string(i) + " HTTP/1.1\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
            return SetupFailed;
        }
        clients.push_back(fd);
    }
    // A few descriptors held back, then a limit at the lowest free descriptor: from here on no
    // descriptor can be had until the spares are closed.
    std::vector<int> spares;
    for (int i = 0; i < spareCount; ++i) {
        spares.push_back(::dup(0));
    }
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit original = limit;
    limit.rlim_cur = static_cast<rlim_t>(lowestFree);
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return SetupFailed;
    }

    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    runLoopFor(std::chrono::milliseconds(600));
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    if (serving.finished()) {
        return ServeEndedWhileShort;
    }
    if (cpu > 0.3 * wall) {
        return SpunWhileShort;
    }
    std::string early;
    for (int fd : clients) {
        collect(fd, early);
    }
    if (!early.empty()) {
        return AcceptedWithoutDescriptors;
    }

    // Two descriptors free: more clients than descriptors, served a few at a time.
    for (int fd : spares) {
        ::close(fd);
    }
    std::vector<std::string> answers(clients.size());
    std::vector<bool> done(clients.size(), false);
    int remaining = clientCount;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (remaining > 0 && std::chrono::steady_clock::now() < deadline) {
        runOnce(10);
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (!done[i] && collect(clients[i], answers[i])) {
                // Closed at the end of the answer, as a client does: the server lingers until
                // then, and only then is the descriptor free for the next client.
                ::close(clients[i]);
                done[i] = true;
                --remaining;
            }
        }
    }
    setrlimit(RLIMIT_NOFILE, &original);
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const std::string text = "served /" + std::to_string(i);
        const std::string expected =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
        if (answers[i] != expected) {
            return NotEveryoneServed;
        }
    }
    if (serving.finished()) {
        return ServeEndedAfterwards;
    }
    close(server->socket);
    return Passed;
}

} // namespace

TEST(AcceptPause, ListenerWaitsOutDescriptorExhaustionAndServesEveryone) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A thread of its own, so that no event loop state of the parent's thread is reused.
        int outcome = SetupFailed;
        std::thread([&outcome] { outcome = scenario(); }).join();
        _exit(outcome);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the scenario did not end in time";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the scenario crashed";
    EXPECT_EQ(WEXITSTATUS(status), Passed)
        << "10 set-up failed, 11 serve ended while short of descriptors, 12 the loop spun, 13 "
           "a client was answered without a descriptor, 14 not every client was served, 15 serve "
           "ended afterwards";
}
