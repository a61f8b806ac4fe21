/* New connections per second: keeps CONCURRENCY connections going, each sending one GET with
 * "Connection: close" and reading to the end of the stream, then opens the next. Prints the same
 * RESULT line as bench/lua/report.lua. A response that is not a 200 counts as a status error.
 * Usage: connrate PORT PATH CONCURRENCY SECONDS */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#define MAX_CONNECTIONS 1024

struct connection {
    int fd;
    int sent;
    int head_checked;
    long long started_us;
    char head[16];
    size_t head_length;
};

static struct sockaddr_in target;
static char request[512];
static size_t request_length;
static long long *latencies;
static size_t latency_count, latency_capacity;
static long long requests, bytes, errors_connect, errors_read, errors_write, errors_status;

static long long now_us(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

static void open_connection(int epoll, struct connection *c) {
    memset(c, 0, sizeof *c);
    c->started_us = now_us();
    c->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (c->fd < 0) {
        perror("socket");
        exit(1);
    }
    if (connect(c->fd, (struct sockaddr *)&target, sizeof target) < 0 && errno != EINPROGRESS) {
        errors_connect++;
    }
    struct epoll_event event = {.events = EPOLLOUT | EPOLLIN, .data.ptr = c};
    epoll_ctl(epoll, EPOLL_CTL_ADD, c->fd, &event);
}

static void record_latency(long long us) {
    if (latency_count == latency_capacity) {
        latency_capacity = latency_capacity ? latency_capacity * 2 : 65536;
        latencies = realloc(latencies, latency_capacity * sizeof *latencies);
    }
    latencies[latency_count++] = us;
}

/* Ends the connection; `ok` says whether the whole response arrived. */
static void finish(int epoll, struct connection *c, int ok) {
    epoll_ctl(epoll, EPOLL_CTL_DEL, c->fd, NULL);
    close(c->fd);
    if (ok) {
        requests++;
        record_latency(now_us() - c->started_us);
    }
    open_connection(epoll, c);
}

static void on_writable(int epoll, struct connection *c) {
    ssize_t count = send(c->fd, request, request_length, MSG_NOSIGNAL);
    if (count != (ssize_t)request_length) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(c->fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            errors_connect++;
        } else {
            errors_write++;
        }
        finish(epoll, c, 0);
        return;
    }
    c->sent = 1;
    struct epoll_event event = {.events = EPOLLIN, .data.ptr = c};
    epoll_ctl(epoll, EPOLL_CTL_MOD, c->fd, &event);
}

static void on_readable(int epoll, struct connection *c) {
    char buffer[65536];
    for (;;) {
        ssize_t count = recv(c->fd, buffer, sizeof buffer, 0);
        if (count > 0) {
            bytes += count;
            size_t take = sizeof c->head - c->head_length;
            if (take > (size_t)count) {
                take = (size_t)count;
            }
            memcpy(c->head + c->head_length, buffer, take);
            c->head_length += take;
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (count < 0 || c->head_length < 12) {
            errors_read++;
            finish(epoll, c, 0);
            return;
        }
        int ok = memcmp(c->head + 8, " 200", 4) == 0;
        if (!ok) {
            errors_status++;
        }
        finish(epoll, c, ok);
        return;
    }
}

static int compare(const void *a, const void *b) {
    long long x = *(const long long *)a, y = *(const long long *)b;
    return (x > y) - (x < y);
}

static long long percentile(double p) {
    if (latency_count == 0) {
        return 0;
    }
    size_t index = (size_t)(p / 100.0 * (double)(latency_count - 1));
    return latencies[index];
}

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: connrate PORT PATH CONCURRENCY SECONDS\n");
        return 2;
    }
    int concurrency = atoi(argv[3]);
    if (concurrency < 1 || concurrency > MAX_CONNECTIONS) {
        fprintf(stderr, "concurrency must be 1..%d\n", MAX_CONNECTIONS);
        return 2;
    }
    target.sin_family = AF_INET;
    target.sin_port = htons((unsigned short)atoi(argv[1]));
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    request_length = (size_t)snprintf(request, sizeof request,
                                      "GET %s HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n"
                                      "Connection: close\r\n\r\n",
                                      argv[2], argv[1]);
    static struct connection connections[MAX_CONNECTIONS];
    int epoll = epoll_create1(0);
    long long start = now_us(), end = start + atoll(argv[4]) * 1000000LL;
    for (int i = 0; i < concurrency; i++) {
        open_connection(epoll, &connections[i]);
    }
    struct epoll_event events[256];
    while (now_us() < end) {
        int count = epoll_wait(epoll, events, 256, 100);
        for (int i = 0; i < count; i++) {
            struct connection *c = events[i].data.ptr;
            if (!c->sent) {
                on_writable(epoll, c);
            } else {
                on_readable(epoll, c);
            }
        }
    }
    long long duration = now_us() - start;
    qsort(latencies, latency_count, sizeof *latencies, compare);
    printf("RESULT requests=%lld duration_us=%lld bytes=%lld connect=%lld read=%lld write=%lld "
           "status=%lld timeout=0 p50=%lld p90=%lld p99=%lld max=%lld\n",
           requests, duration, bytes, errors_connect, errors_read, errors_write, errors_status,
           percentile(50), percentile(90), percentile(99), percentile(100));
    return 0;
}
