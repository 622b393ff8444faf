/* bench_slave: the libmodbus slave on the far end of bench_vs_libmodbus.
 *
 *   bench_slave DEVICE [--pace-us N] [--line-us N] [--stamps FILE]
 *
 * Address 1, 19200 baud, no parity. Holding registers 0..57 hold the measured block as 29
 * big-endian floats (one of them the no-information pattern FFFF FFFF, as a device without a
 * neutral wire reports its current), so the master decodes what it would decode on a real line.
 * Without options every answer goes out at once in one write, so masters can read back to back.
 * --pace-us N  writes each answer byte by byte, N microseconds apart (a 19200-baud line is 520),
 *              so the master is woken once per byte as on a real serial line.
 * --line-us N  sleeps N microseconds per byte of the answer, then writes it in one piece.
 * --stamps F   keeps CLOCK_MONOTONIC (ns) of the moment the last byte of every answer was written
 *              and writes them to F, 8 bytes each in host order, when it is ended by SIGTERM.
 * Prints "ready" once the device is open.
 */
#include <errno.h>
#include <fcntl.h>
#include <modbus.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define BLOCK_REGISTERS 58
#define MAX_STAMPS (1 << 20)

static int64_t stamps[MAX_STAMPS];
static volatile long stampCount = 0;
static int stampFd = -1;

static void on_term(int sig) {
    (void)sig;
    /* libmodbus restarts its select() after EINTR, so a flag would never be seen: the stamps go
     * out from here, with write() only. */
    if (stampFd >= 0) {
        const char* p = (const char*)stamps;
        size_t left = (size_t)stampCount * sizeof stamps[0];
        while (left > 0) {
            const ssize_t n = write(stampFd, p, left);
            if (n <= 0)
                break;
            p += n;
            left -= (size_t)n;
        }
        close(stampFd);
    }
    _exit(0);
}

static int64_t now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

static void sleep_until(int64_t ns) {
    struct timespec t;
    t.tv_sec = ns / 1000000000;
    t.tv_nsec = ns % 1000000000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) == EINTR) {
    }
}

static void stamp(void) {
    if (stampFd >= 0 && stampCount < MAX_STAMPS)
        stamps[stampCount++] = now_ns();
}

/* libmodbus writes an answer in one write() and has no hook to pace it, so the answer is built
 * into a pipe in place of the line and passed on from there. */
static int build_reply(modbus_t* ctx, const uint8_t* req, int req_length, modbus_mapping_t* map,
                       uint8_t* answer, size_t size) {
    const int line = modbus_get_socket(ctx);
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    modbus_set_socket(ctx, fds[1]);
    const int n = modbus_reply(ctx, req, req_length, map);
    modbus_set_socket(ctx, line);
    close(fds[1]);
    const ssize_t length = n > 0 ? read(fds[0], answer, size) : -1;
    close(fds[0]);
    return (int)length;
}

static int usage(void) {
    fprintf(stderr, "usage: bench_slave DEVICE [--pace-us N] [--line-us N] [--stamps FILE]\n");
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const char* device = argv[1];
    long paceUs = 0, lineUs = 0;
    const char* stampPath = NULL;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--pace-us") == 0 && i + 1 < argc)
            paceUs = strtol(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "--line-us") == 0 && i + 1 < argc)
            lineUs = strtol(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "--stamps") == 0 && i + 1 < argc)
            stampPath = argv[++i];
        else
            return usage();
    }
    if (paceUs < 0 || lineUs < 0)
        return usage();
    if (stampPath) {
        stampFd = open(stampPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (stampFd < 0) {
            fprintf(stderr, "bench_slave: %s: %s\n", stampPath, strerror(errno));
            return 1;
        }
    }
    signal(SIGTERM, on_term);

    modbus_t* ctx = modbus_new_rtu(device, 19200, 'N', 8, 1);
    if (!ctx) {
        fprintf(stderr, "bench_slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_slave(ctx, 1);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, BLOCK_REGISTERS, 0);
    if (!map) {
        fprintf(stderr, "bench_slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    for (int k = 0; k < BLOCK_REGISTERS / 2; ++k) {
        const float value = k == 11 ? 0.0f : 100.0f + 7.25f * (float)k;
        uint32_t pattern;
        memcpy(&pattern, &value, sizeof pattern);
        if (k == 11)
            pattern = 0xFFFFFFFFu;
        map->tab_registers[2 * k] = (uint16_t)(pattern >> 16);
        map->tab_registers[2 * k + 1] = (uint16_t)(pattern & 0xFFFF);
    }
    if (modbus_connect(ctx) == -1) {
        fprintf(stderr, "bench_slave: %s: %s\n", device, modbus_strerror(errno));
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, req);
        if (rc == 0)
            continue;
        if (rc < 0) {
            if (errno == EIO || errno == EBADF || errno == ECONNRESET) {
                fprintf(stderr, "bench_slave: %s\n", modbus_strerror(errno));
                break;
            }
            continue;
        }
        if (paceUs == 0 && lineUs == 0) {
            modbus_reply(ctx, req, rc, map);
            stamp();
            continue;
        }
        const int length = build_reply(ctx, req, rc, map, answer, sizeof answer);
        if (length <= 0)
            continue;
        const int line = modbus_get_socket(ctx);
        if (paceUs > 0) {
            const int64_t start = now_ns();
            for (int i = 0; i < length; ++i) {
                if (i > 0)
                    sleep_until(start + (int64_t)i * paceUs * 1000);
                if (write(line, answer + i, 1) != 1)
                    break;
            }
        } else {
            sleep_until(now_ns() + (int64_t)length * lineUs * 1000);
            if (write(line, answer, (size_t)length) != length)
                continue;
        }
        stamp();
    }
    modbus_mapping_free(map);
    modbus_close(ctx);
    modbus_free(ctx);
    return 1;
}
