/* Load shapes that wrk cannot make, for bench/run. One thread, epoll,
 * loopback only; every mode ends by itself after a bounded count or time.
 *
 *   loadtool ka    PORT PATH CLIENTS SECONDS
 *       Keep-alive: each client sends a GET with "Connection: keep-alive",
 *       reads its response (framed by Content-Length), and sends the next
 *       on the same connection. wrk cannot do this with an HTTP/1.0 server:
 *       it reconnects after every response that does not announce
 *       keep-alive. A server that closes a connection anyway shows as an
 *       error (and the client reconnects).
 *   In every mode an answer whose status is not 2xx counts as an error (the
 *   client reconnects), so a server that answers 404 quickly does not
 *   pass for a fast one.
 *   loadtool cpr   PORT PATH CLIENTS SECONDS
 *       A connection per request: each client connects, sends one GET,
 *       reads the head and exactly Content-Length body bytes, closes, and
 *       starts again. The client closes (Tarnwick keeps connections open).
 *       Prints: requests, seconds, req/s, p50/p99/max latency (connect to
 *       last byte) in microseconds, errors.
 *   loadtool idle  PORT PATH COUNT SECONDS
 *       Opens COUNT connections, gets one response on each, prints "ready"
 *       and keeps them open, idle, for at most SECONDS (or until killed).
 *   loadtool burst PORT PATH COUNT SECONDS
 *       COUNT connections ask for PATH at once; each reads its whole
 *       response. Ends when all are read or after SECONDS.
 *   loadtool beside PORT PATH CLIENTS SECONDS BIGPATH
 *       One more connection downloads BIGPATH once while CLIENTS keep-alive
 *       clients ask for PATH as in ka. Ends when the download is read whole
 *       or after SECONDS; the latencies are those of the small requests.
 *       Also prints big_bytes, big_seconds and big_done (1 when whole).
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#ifndef IP_BIND_ADDRESS_NO_PORT
#define IP_BIND_ADDRESS_NO_PORT 24
#endif

enum { CONNECTING, READING_HEAD, READING_BODY, DONE };

struct conn {
    int fd;
    int state;
    int big; /* the one download of the beside mode */
    char head[4096];
    size_t headLen;
    long long bodyLeft;
    int statusOk; /* the answer's status is 2xx */
    double started;
};

static int g_port;
static const char* g_path;
static char g_request[1024];
static size_t g_requestLen;
static char g_bigRequest[1024];
static size_t g_bigRequestLen;
static int g_keepAlive;
static int g_epoll;
static long long g_errors, g_requests, g_bytes, g_bigBytes;
static double* g_latencies;
static size_t g_latCount, g_latCap;
static unsigned g_sourceTurn;

static double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void recordLatency(double seconds)
{
    if (g_latCount == g_latCap) {
        g_latCap = g_latCap ? g_latCap * 2 : 65536;
        g_latencies = realloc(g_latencies, g_latCap * sizeof *g_latencies);
        if (!g_latencies)
            abort();
    }
    g_latencies[g_latCount++] = seconds;
}

/* Connections come from 127.0.0.1 to 127.0.0.8 in turn, so that a run of
 * short connections does not exhaust one address's ports. */
static int openConnection(struct conn* c, int rotateSource)
{
    c->fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (c->fd < 0)
        return -1;
    int one = 1;
    setsockopt(c->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (rotateSource) {
        setsockopt(c->fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
        struct sockaddr_in src = {.sin_family = AF_INET};
        src.sin_addr.s_addr = htonl(0x7F000001u + (g_sourceTurn++ % 8));
        bind(c->fd, (struct sockaddr*)&src, sizeof src);
    }
    struct sockaddr_in dst = {.sin_family = AF_INET, .sin_port = htons((uint16_t)g_port)};
    dst.sin_addr.s_addr = htonl(0x7F000001u);
    c->state = CONNECTING;
    c->headLen = 0;
    c->bodyLeft = 0;
    c->started = now();
    if (connect(c->fd, (struct sockaddr*)&dst, sizeof dst) < 0 && errno != EINPROGRESS) {
        close(c->fd);
        c->fd = -1;
        return -1;
    }
    struct epoll_event ev = {.events = EPOLLOUT | EPOLLIN, .data.ptr = c};
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, c->fd, &ev);
    return 0;
}

static void closeConnection(struct conn* c)
{
    if (c->fd >= 0) {
        epoll_ctl(g_epoll, EPOLL_CTL_DEL, c->fd, NULL);
        close(c->fd);
    }
    c->fd = -1;
}

static long long contentLength(const char* head, size_t len)
{
    static const char key[] = "content-length:";
    for (size_t i = 0; i + sizeof key - 1 <= len; ++i) {
        if (strncasecmp(head + i, key, sizeof key - 1) == 0) {
            const char* p = head + i + sizeof key - 1;
            while (*p == ' ')
                ++p;
            return strtoll(p, NULL, 10);
        }
    }
    return -1;
}

/* Drives one connection as far as it goes now. Returns 1 when its response
 * has been read whole, -1 on an error, 0 while it waits. */
static int advance(struct conn* c, uint32_t events)
{
    static char scratch[1 << 16];
    if (c->state == CONNECTING) {
        int err = 0;
        socklen_t len = sizeof err;
        getsockopt(c->fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err)
            return -1;
        if (!(events & (EPOLLOUT | EPOLLIN)))
            return 0;
        const char* request = c->big ? g_bigRequest : g_request;
        size_t requestLen = c->big ? g_bigRequestLen : g_requestLen;
        if (send(c->fd, request, requestLen, MSG_NOSIGNAL) != (ssize_t)requestLen)
            return -1;
        struct epoll_event ev = {.events = EPOLLIN, .data.ptr = c};
        epoll_ctl(g_epoll, EPOLL_CTL_MOD, c->fd, &ev);
        c->state = READING_HEAD;
        return 0;
    }
    for (;;) {
        if (c->state == READING_HEAD) {
            ssize_t n = recv(c->fd, c->head + c->headLen, sizeof c->head - 1 - c->headLen, 0);
            if (n == 0)
                return -1;
            if (n < 0)
                return errno == EAGAIN ? 0 : -1;
            c->headLen += (size_t)n;
            c->head[c->headLen] = '\0';
            char* end = strstr(c->head, "\r\n\r\n");
            if (!end) {
                if (c->headLen >= sizeof c->head - 1)
                    return -1;
                continue;
            }
            size_t headSize = (size_t)(end - c->head) + 4;
            long long length = contentLength(c->head, headSize);
            if (length < 0)
                return -1;
            /* "HTTP/1.x 2xx": anything else is read whole, to keep the
             * connection in step, and then counted as an error. */
            c->statusOk = c->headLen > 9 && strncmp(c->head, "HTTP/1.", 7) == 0 && c->head[9] == '2';
            c->bodyLeft = length - (long long)(c->headLen - headSize);
            *(c->big ? &g_bigBytes : &g_bytes) += (long long)c->headLen;
            c->state = READING_BODY;
        } else if (c->state == READING_BODY) {
            if (c->bodyLeft <= 0) {
                c->state = DONE;
                return c->bodyLeft == 0 && c->statusOk ? 1 : -1;
            }
            size_t want = c->bodyLeft < (long long)sizeof scratch ? (size_t)c->bodyLeft : sizeof scratch;
            ssize_t n = recv(c->fd, scratch, want, 0);
            if (n == 0)
                return -1;
            if (n < 0)
                return errno == EAGAIN ? 0 : -1;
            c->bodyLeft -= n;
            *(c->big ? &g_bigBytes : &g_bytes) += n;
            /* One read per turn for the big download, so that draining it
             * never delays the small requests' answers on this side. */
            if (c->big && c->bodyLeft > 0)
                return 0;
        } else {
            return 1;
        }
    }
}

static int cmpDouble(const void* a, const void* b)
{
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static double percentile(double p)
{
    if (!g_latCount)
        return 0;
    size_t i = (size_t)(p / 100.0 * (double)(g_latCount - 1) + 0.5);
    return g_latencies[i];
}

static int formatRequest(char* out, size_t size, const char* path, int keepAlive)
{
    /* Keep-alive is asked for in so many words: a peer that keeps an HTTP/1.1
     * connection open by default still states it in its answer, and one that
     * would close says so instead of leaving it to the version. */
    return snprintf(out, size, "GET %s HTTP/1.%d\r\nHost: 127.0.0.1\r\n%s\r\n", path, keepAlive ? 1 : 0,
                    keepAlive ? "Connection: keep-alive\r\n" : "");
}

int main(int argc, char** argv)
{
    if (argc != 6 && !(argc == 7 && strcmp(argv[1], "beside") == 0)) {
        fprintf(stderr, "usage: loadtool ka|cpr|idle|burst PORT PATH COUNT SECONDS\n"
                        "       loadtool beside PORT PATH CLIENTS SECONDS BIGPATH\n");
        return 2;
    }
    const char* mode = argv[1];
    g_port = atoi(argv[2]);
    g_path = argv[3];
    int count = atoi(argv[4]);
    double seconds = atof(argv[5]);
    if (count < 1 || count > 100000 || seconds <= 0 || seconds > 600) {
        fprintf(stderr, "loadtool: COUNT 1..100000 and SECONDS up to 600\n");
        return 2;
    }
    int keepOpen = strcmp(mode, "idle") == 0;
    int beside = strcmp(mode, "beside") == 0;
    g_keepAlive = strcmp(mode, "ka") == 0 || beside;
    int repeat = strcmp(mode, "cpr") == 0 || g_keepAlive;
    if (!keepOpen && !repeat && strcmp(mode, "burst") != 0) {
        fprintf(stderr, "loadtool: unknown mode %s\n", mode);
        return 2;
    }
    /* Keep-alive where the connection is to stay open, HTTP/1.0 where the
     * client closes anyway. */
    g_requestLen = (size_t)formatRequest(g_request, sizeof g_request, g_path, g_keepAlive || keepOpen);
    if (beside)
        g_bigRequestLen = (size_t)formatRequest(g_bigRequest, sizeof g_bigRequest, argv[6], 1);
    g_epoll = epoll_create1(EPOLL_CLOEXEC);

    const int total = count + beside;
    struct conn* conns = calloc((size_t)total, sizeof *conns);
    struct conn* big = beside ? &conns[count] : NULL;
    int finished = 0, bigDone = 0;
    double bigSeconds = 0;
    const double start = now();
    const double deadline = start + seconds;
    for (int i = 0; i < total; ++i) {
        conns[i].big = &conns[i] == big;
        if (openConnection(&conns[i], repeat && !conns[i].big) < 0) {
            ++g_errors;
            conns[i].state = DONE;
            ++finished;
        }
    }

    struct epoll_event events[512];
    int announced = 0;
    while (now() < deadline && !(big && big->state == DONE)) {
        if (!repeat && finished == count) {
            if (!keepOpen)
                break;
            if (!announced) {
                printf("ready %lld errors\n", g_errors);
                fflush(stdout);
                announced = 1;
            }
        }
        int n = epoll_wait(g_epoll, events, 512, 50);
        for (int k = 0; k < n; ++k) {
            struct conn* c = events[k].data.ptr;
            if (c->state == DONE) {
                /* A connection held open after its answer: the server's close
                 * would wake every turn from now on, so stop watching it. */
                epoll_ctl(g_epoll, EPOLL_CTL_DEL, c->fd, NULL);
                continue;
            }
            int r = advance(c, events[k].events);
            if (r == 0)
                continue;
            if (c->big) {
                if (r > 0) {
                    bigDone = 1;
                    bigSeconds = now() - c->started;
                } else {
                    ++g_errors;
                }
                c->state = DONE;
                continue;
            }
            if (r > 0) {
                ++g_requests;
                recordLatency(now() - c->started);
            } else {
                ++g_errors;
            }
            if (r > 0 && g_keepAlive) {
                c->state = READING_HEAD;
                c->headLen = 0;
                c->started = now();
                if (send(c->fd, g_request, g_requestLen, MSG_NOSIGNAL) == (ssize_t)g_requestLen)
                    continue;
                ++g_errors;
            }
            if (repeat) {
                closeConnection(c);
                if (openConnection(c, 1) < 0)
                    ++g_errors;
            } else {
                c->state = DONE;
                ++finished;
                if (!keepOpen)
                    closeConnection(c);
            }
        }
    }
    const double elapsed = now() - start;
    qsort(g_latencies, g_latCount, sizeof *g_latencies, cmpDouble);
    printf("requests %lld seconds %.3f rps %.1f p50_us %.0f p99_us %.0f max_us %.0f errors %lld bytes %lld "
           "unfinished %d",
           g_requests, elapsed, (double)g_requests / elapsed, percentile(50) * 1e6, percentile(99) * 1e6,
           g_latCount ? g_latencies[g_latCount - 1] * 1e6 : 0.0, g_errors, g_bytes, repeat ? 0 : count - finished);
    if (beside)
        printf(" big_bytes %lld big_seconds %.3f big_done %d", g_bigBytes, bigDone ? bigSeconds : elapsed, bigDone);
    printf("\n");
    for (int i = 0; i < total; ++i)
        closeConnection(&conns[i]);
    return 0;
}
