/* One burst of the soak: opens COUNT connections at once, each sends one keep-alive GET of PATH
 * and checks that the answer is a 200 whose body is exactly the bytes of EXPECTED-FILE; all stay
 * open until every one has its answer (or TIMEOUT seconds have passed), then all close.
 * Prints "right N wrong N failed N seconds S"; a connection refused, reset or still waiting at
 * the end counts as failed, a bad answer as wrong.
 * Usage: soakburst PORT PATH EXPECTED-FILE COUNT TIMEOUT */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#define BUFFER_SIZE 8192

enum state { CONNECTING, READING, RIGHT, WRONG, FAILED };

struct connection {
    int fd;
    enum state state;
    size_t length;
    char buffer[BUFFER_SIZE];
};

static char *expected;
static size_t expected_length;
static char request[512];
static size_t request_length;

static double now_s(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + t.tv_nsec / 1e9;
}

static void read_expected(const char *path) {
    FILE *f = fopen(path, "rb");
    if (!f) {
        perror(path);
        exit(2);
    }
    expected = malloc(BUFFER_SIZE);
    expected_length = fread(expected, 1, BUFFER_SIZE, f);
    fclose(f);
}

/* RIGHT, WRONG, or READING while the answer is incomplete. */
static enum state judge(const struct connection *c) {
    const char *end = memmem(c->buffer, c->length, "\r\n\r\n", 4);
    if (!end) {
        return c->length == BUFFER_SIZE ? WRONG : READING;
    }
    size_t head = (size_t)(end - c->buffer) + 4;
    const char *length = memmem(c->buffer, head, "Content-Length: ", 16);
    if (strncmp(c->buffer, "HTTP/1.1 200 ", 13) != 0 || !length) {
        return WRONG;
    }
    size_t body = strtoul(length + 16, NULL, 10);
    if (body != expected_length) {
        return WRONG;
    }
    if (c->length < head + body) {
        return READING;
    }
    if (c->length > head + body || memcmp(c->buffer + head, expected, body) != 0) {
        return WRONG;
    }
    return RIGHT;
}

static void on_event(int epoll, struct connection *c) {
    if (c->state == CONNECTING) {
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(c->fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error || send(c->fd, request, request_length, MSG_NOSIGNAL) != (ssize_t)request_length) {
            c->state = FAILED;
        } else {
            c->state = READING;
            struct epoll_event event = {.events = EPOLLIN, .data.ptr = c};
            epoll_ctl(epoll, EPOLL_CTL_MOD, c->fd, &event);
            return;
        }
    } else {
        ssize_t count = recv(c->fd, c->buffer + c->length, BUFFER_SIZE - c->length, 0);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (count <= 0) {
            c->state = count == 0 && c->length > 0 ? WRONG : FAILED;
        } else {
            c->length += (size_t)count;
            c->state = judge(c);
        }
    }
    if (c->state != READING) {
        epoll_ctl(epoll, EPOLL_CTL_DEL, c->fd, NULL);
    }
}

int main(int argc, char **argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: soakburst PORT PATH EXPECTED-FILE COUNT TIMEOUT\n");
        return 2;
    }
    struct sockaddr_in target = {.sin_family = AF_INET, .sin_port = htons(atoi(argv[1]))};
    inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    request_length = (size_t)snprintf(request, sizeof request,
                                      "GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", argv[2]);
    read_expected(argv[3]);
    int count = atoi(argv[4]);
    double deadline = now_s() + atof(argv[5]);
    struct rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    double started = now_s();
    int epoll = epoll_create1(0);
    struct connection *connections = calloc((size_t)count, sizeof *connections);
    int pending = 0;
    for (int i = 0; i < count; ++i) {
        struct connection *c = &connections[i];
        c->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (c->fd < 0 ||
            (connect(c->fd, (struct sockaddr *)&target, sizeof target) < 0 && errno != EINPROGRESS)) {
            c->state = FAILED;
            continue;
        }
        struct epoll_event event = {.events = EPOLLOUT, .data.ptr = c};
        epoll_ctl(epoll, EPOLL_CTL_ADD, c->fd, &event);
        ++pending;
    }
    struct epoll_event events[256];
    while (pending > 0 && now_s() < deadline) {
        int ready = epoll_wait(epoll, events, 256, 100);
        for (int i = 0; i < ready; ++i) {
            struct connection *c = events[i].data.ptr;
            enum state before = c->state;
            on_event(epoll, c);
            if (before != c->state && (c->state == RIGHT || c->state == WRONG || c->state == FAILED)) {
                --pending;
            }
        }
    }
    int right = 0, wrong = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        struct connection *c = &connections[i];
        right += c->state == RIGHT;
        wrong += c->state == WRONG;
        failed += c->state == CONNECTING || c->state == READING || c->state == FAILED;
        if (c->fd >= 0) {
            close(c->fd);
        }
    }
    printf("right %d wrong %d failed %d seconds %.2f\n", right, wrong, failed, now_s() - started);
    return 0;
}
