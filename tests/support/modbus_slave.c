/* tervex-test-slave: an independent Modbus RTU slave on libmodbus, the peer of the wire tests.
 *
 *   tervex-test-slave DEVICE BAUD PARITY(N|O|E) SLAVE [--silent] [--exception-at REG]
 *                     [--split N]
 *
 * Holding register i starts as (i * 3 + 1) & 0xFFFF, so a test can predict every value it
 * reads. --silent takes requests off the line and never answers (the master's time-out).
 * --exception-at REG answers exception 2 to any read or write whose registers include REG.
 * --split N writes every answer in pieces of at most N bytes, a few milliseconds apart. A
 * relay that merely cuts its transfers (socat -b) hands a reader pieces so fast that they
 * are read as one; the pause makes the master really see a reply arrive piece by piece.
 * Prints "ready" once the device is open; a request sent before that could be lost.
 * Ends on SIGTERM, or with status 1 when the line goes away.
 */
#include <errno.h>
#include <modbus.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define REGISTER_COUNT 3000
#define SPLIT_PAUSE_MS 5

static void on_term(int sig) {
    (void)sig;
    /* libmodbus restarts its select() after EINTR, so a flag would never be seen. */
    _exit(0);
}

static int usage(void) {
    fprintf(stderr,
            "usage: tervex-test-slave DEVICE BAUD N|O|E SLAVE [--silent] [--exception-at REG]"
            " [--split N]\n");
    return 2;
}

/* libmodbus writes an answer in one write() on its descriptor and has no hook to cut it, so
 * the answer goes into a pipe in place of the line and is passed on from there in pieces.
 * Returns 0, or -1 when the answer could not be passed on. */
static int reply_split(modbus_t* ctx, const uint8_t* req, int req_length, modbus_mapping_t* map,
                       int exception, int piece) {
    const int line = modbus_get_socket(ctx);
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    modbus_set_socket(ctx, fds[1]);
    const int n = exception
                      ? modbus_reply_exception(ctx, req, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS)
                      : modbus_reply(ctx, req, req_length, map);
    modbus_set_socket(ctx, line);
    close(fds[1]);
    uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    const ssize_t length = n > 0 ? read(fds[0], answer, sizeof answer) : 0;
    close(fds[0]);
    for (ssize_t at = 0; at < length; at += piece) {
        const ssize_t size = length - at < piece ? length - at : piece;
        if (at > 0)
            usleep(SPLIT_PAUSE_MS * 1000);
        if (write(line, answer + at, (size_t)size) != size)
            return -1;
    }
    return 0;
}

/* Whether the request's register range includes `reg`; only functions 3, 6 and 16 count. */
static int touches(const uint8_t* req, int header, long reg) {
    const int function = req[header];
    const long start = (req[header + 1] << 8) | req[header + 2];
    long count = 1;
    if (function == 0x03 || function == 0x10)
        count = (req[header + 3] << 8) | req[header + 4];
    else if (function != 0x06)
        return 0;
    return reg >= start && reg < start + count;
}

int main(int argc, char** argv) {
    if (argc < 5)
        return usage();
    const char* device = argv[1];
    const int baud = atoi(argv[2]);
    const char parity = argv[3][0];
    const int slave = atoi(argv[4]);
    int silent = 0;
    long exception_at = -1;
    int split = 0;
    for (int i = 5; i < argc; ++i) {
        if (strcmp(argv[i], "--silent") == 0) {
            silent = 1;
        } else if (strcmp(argv[i], "--exception-at") == 0 && i + 1 < argc) {
            exception_at = strtol(argv[++i], NULL, 0);
        } else if (strcmp(argv[i], "--split") == 0 && i + 1 < argc) {
            split = atoi(argv[++i]);
        } else {
            return usage();
        }
    }
    if (parity != 'N' && parity != 'O' && parity != 'E')
        return usage();

    signal(SIGTERM, on_term);

    modbus_t* ctx = modbus_new_rtu(device, baud, parity, 8, 1);
    if (!ctx) {
        fprintf(stderr, "tervex-test-slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_slave(ctx, slave);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, REGISTER_COUNT, 0);
    if (!map) {
        fprintf(stderr, "tervex-test-slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    for (int i = 0; i < REGISTER_COUNT; ++i)
        map->tab_registers[i] = (uint16_t)(i * 3 + 1);
    if (modbus_connect(ctx) == -1) {
        fprintf(stderr, "tervex-test-slave: %s: %s\n", device, modbus_strerror(errno));
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    const int header = modbus_get_header_length(ctx);
    uint8_t req[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, req);
        if (rc == 0)
            continue; /* addressed to another slave */
        if (rc < 0) {
            /* A broken frame is the master's problem; a closed line is the end. */
            if (errno == EIO || errno == EBADF || errno == ECONNRESET) {
                fprintf(stderr, "tervex-test-slave: %s\n", modbus_strerror(errno));
                break;
            }
            continue;
        }
        if (silent)
            continue;
        const int refuse = exception_at >= 0 && touches(req, header, exception_at);
        if (split > 0)
            reply_split(ctx, req, rc, map, refuse, split);
        else if (refuse)
            modbus_reply_exception(ctx, req, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        else
            modbus_reply(ctx, req, rc, map);
    }
    modbus_mapping_free(map);
    modbus_close(ctx);
    modbus_free(ctx);
    return 1;
}
