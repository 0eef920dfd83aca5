/*
 * Sundial: the serial link between a PC and the EVM board.
 *
 * The library owns one serial port at a time and carries register reads and writes for up to
 * eight device channels on the board. It shows nothing, writes no file, starts no thread and
 * keeps no pointer into the caller's memory once a call returns. Every outcome is an integer.
 *
 * Calling order: _init (until it returns a port), any number of _readData and _writeData, then
 * _close. To connect again: _close, then _init. Calls must not overlap; the library has no locks
 * and one set of state per process.
 *
 * Result codes of _readData (and of the probe inside _init):
 *   0 success
 *   1 the request could not be sent (also: no port open, or arguments rejected; nothing sent)
 *   2 the board's acknowledgement did not arrive
 *   3 the acknowledgement was not 1F 00
 *   4 the reply frame did not arrive; for _readData also: what arrived was not a well-formed
 *     reply frame (start byte 1E, length byte the low 8 bits of count + 5, checksum)
 *   5 the closing acknowledgement could not be sent
 *
 * Result codes of _writeData (and of the channel set-up requests inside _init):
 *   0 success
 *   1 the request could not be sent (also: no port open, or arguments rejected; nothing sent)
 *   2 the board's acknowledgement 1F 00 did not arrive (two other bytes count as not arrived)
 *   3 the 7-byte reply frame did not arrive, or what arrived was not a well-formed frame
 *     (start byte 1E, length byte 3, checksum)
 *   4 the closing acknowledgement could not be sent
 * A 0 from _writeData therefore means the board acknowledged this request and answered it.
 * At a bench, 1 usually means an unplugged adapter or a server gone, 2 a board that is off, on
 * another port or at another speed, 3 noise or another program on the port, 4 a late or torn
 * reply; the README's table says more.
 *
 * Both entries also return 2, without sending their request, while the link is out of step
 * (below) and the board does not answer the probe that would bring it back.
 *
 * Keeping in step with the board: whatever the port has received and not yet read is discarded
 * before each request is sent (it belongs to no transaction). After any nonzero code except a
 * rejected call, the library reads and discards until the line has been quiet for 20 ms (at
 * most 600 ms when it never goes quiet), then discards what is left, so that the rest of a
 * failed exchange does not meet the next one.
 * Replies can outlive that drain where something holds bytes outside this machine's input
 * queue (a USB adapter's buffer, a network serial bridge, a board that stopped reading its line
 * and answers its queued requests later). So after a failure the link counts as out of step,
 * and the next call first sends a probe (1E 03 8F 00 FF 01 AF) and reads until the probe's
 * answer is the last thing on the line, for at most 2.4 s; then it sends the closing
 * acknowledgement and goes on with its own request. The board answers requests in order, so
 * older answers arrive before the probe's and are read past. The probe's answer is known by
 * its bytes: it must be 1F 00 and the very 3-byte reply frame the board gave the search's probe.
 * Such an answer needs 50 ms of quiet after it. An answer that is only shaped like it (1F 00 and
 * another 3-byte frame, such as a late write reply) needs 600 ms of quiet, a whole read wait,
 * and so does every answer of a board whose write replies have looked exactly like its probe's
 * answer (nothing then tells them apart). Where write replies differ from the probe's answer, a
 * write whose reply is the probe's answer fails with 3: it is a late answer to a probe.
 * Limits: a board that answers out of order, or an older answer that arrives after the quiet
 * that followed the probe's, is not recognised by this alone.
 * A board that repeats an answer: a repeat that is waiting when the next request goes out is
 * discarded with everything else waiting, and one that arrives while the link is out of step is
 * read past as any older answer. A repeat that arrives after the next request went out, while
 * that request's own answer never comes, is taken for its answer unless the reply's header
 * shows that it belongs to another request (the echo below): no receiver can tell two
 * byte-identical answers apart.
 * The library also learns, per open port, which bytes of a reply's header repeat bytes of the
 * request (the protocol leaves the header to the firmware). A header byte counts as an echo only
 * after it has repeated the same request byte in every reply taken so far while taking at least
 * two different values; from then on a reply that breaks it belongs to another request and
 * counts as not arrived (code 4 for a read, 3 for a write, and the probe's answer is not taken).
 * Firmware that repeats nothing keeps working: no byte is ever proven. The library never
 * retries a request.
 *
 * How long a call may take: each awaited piece (acknowledgement, reply) gets up to three read
 * waits of 600 ms. A silent board fails after about 1.8 s plus the 20 ms of quiet; a board that
 * acknowledges and then answers in dribbles can hold a read for up to 3.6 s, plus up to 0.6 s of
 * draining on a line that keeps babbling, plus the write time-out (5 ms per byte + 600 ms) of a
 * port that does not take the request. A call made out of step first spends up to 2.4 s on the
 * probe and the quiet after its answer; when the board does not answer it, that is all the
 * call costs.
 *
 * Ports behind a network serial server: a port named by a URL (in SUNDIAL_PORTS) is reached
 * over TCP. tcp://HOST:PORT carries the bytes as they are (the server holds the line settings);
 * rfc2217://HOST:PORT speaks telnet with the serial port control option: the library asks for
 * binary mode both ways, sets 115200 8N1 and checks the server's answers, raises DTR, doubles
 * 0xFF, and has the server purge its receive side where it purges its own (everything the
 * server sends before acknowledging that purge is dropped). A server that has not acknowledged
 * a purge within 600 ms is taken not to: what it sent meanwhile is read as it came (the answer
 * to the request that followed the purge among it), within the same call, and after two such
 * purges on one connection the server is no longer asked. Each costs its call up to 600 ms, so
 * an _init that finds a board behind such a server takes up to 1.2 s longer. HOST is a name,
 * an IPv4 address or [IPv6]. The connection has TCP_NODELAY and keep-alive; connecting gives
 * up after 1.8 s, and the telnet negotiation after another 1.8 s. A connection the server
 * closes or resets fails the call at once with its step's code (1 when the request cannot be
 * sent); the library never reconnects by itself: _close and _init connect afresh. The result
 * codes and the waits are those of a serial port.
 * A peer that sends without end (a flood) keeps the calls within those waits: the library keeps
 * no more than the newest 4096 bytes it has received and not read, dropping the oldest as a
 * serial port's full input queue does; it takes in at most 4096 bytes at each look at the
 * connection, and a purge discards what the connection holds at that moment (up to 1 MiB).
 * A probe of _init that meets a flood fails at once. The call the flood meets fails once its
 * drain has run its 600 ms; the calls after it return 2 without sending their request, their
 * probe having read more than 2048 bytes that end in no answer. Once the flood stops, the probe
 * of a call after it finds the board in step again. Closing a connection waits up to 500 ms for
 * the server to close its side (a server that serves one client at a time frees the port only
 * then), also when the server floods it.
 *
 * Environment (read at each _init):
 *   SUNDIAL_PORTS            A list of ports, separated by ':' on Linux and by ';' on Windows;
 *                            port n is the n-th entry. An entry is a device (Linux: a path;
 *                            Windows: COM3 or \\.\COM3) or a URL as above, which is one
 *                            entry whole, ':' and all. A URL that is not well-formed names no
 *                            port.
 *   SUNDIAL_LENIENT_REPLIES  set to 1, replies are judged by their length alone, as for board
 *                            firmware that frames them loosely: a read's or a write's reply
 *                            frame, a write's acknowledgement and the header echo are not
 *                            checked (the probe's answer must still end the line). A 0 from
 *                            _readData then no longer proves that the values came from that
 *                            request's reply, nor a 0 from _writeData that the board took it.
 *   SUNDIAL_TRACE            a file the library appends its trace to ("-": standard error):
 *                            one line per frame or acknowledgement sent or received, per run
 *                            of bytes read past while getting back in step, and per call of
 *                            _init, _close, _readData and _writeData with its result, each
 *                            "TIME KIND [BYTES] ; DECODING" (README: "The link's trace").
 *                            Unset or empty, nothing is written. A file that cannot be opened
 *                            is said in one line on standard error; the call goes on untraced.
 *                            _close ends the trace; the next _init follows the variable again.
 */
#ifndef SUNDIAL_H
#define SUNDIAL_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(SUNDIAL_BUILDING)
#define SUNDIAL_API __declspec(dllexport)
#else
#define SUNDIAL_API
#endif
#else
#define SUNDIAL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The major version, as in the shared object's name (libSundial.so.1). */
#define SUNDIAL_SOVERSION_TEXT "1"

/* Number of entries of the channel table handed to _init. */
#define SUNDIAL_CHANNELS 8

/* Channel types. */
#define SUNDIAL_TYPE_NONE 0 /* never addressed */
#define SUNDIAL_TYPE_I2C 1  /* device address byte, then the register */
#define SUNDIAL_TYPE_I2C2 2 /* as type 1 */
#define SUNDIAL_TYPE_SPI 3  /* first and last register, then the address as an extra byte */
#define SUNDIAL_TYPE_REG2 4 /* the register twice */

/* One channel entry: 8 bytes, type first. Entry 0 is the codec, entry 7 the board's own logic. */
typedef struct SundialChannel {
    int32_t type;
    int32_t address;
} SundialChannel;

/*
 * The library version as four 4-bit digits, most significant first: 0x1500 is 1.5.0.0.
 */
SUNDIAL_API int32_t _getVer(void);

/*
 * Copies the eight entries of `channels` into the library's channel table, then:
 *   port -1:       returns -1 at once; the open port (if any) is not touched.
 *   port 0:        closes the open port (if any) and searches ports 1 to 256 in ascending order;
 *                  returns the first port on which the board answers the probe, else 0.
 *   port 1..256:   closes the open port (if any) and tries that port alone; returns it or 0.
 *   other values:  closes the open port (if any) and returns 0.
 * On success the port stays open and one set-up request per channel (0 to 7, carrying the
 * channel's type) has been sent; their results are ignored. On 0 no port is open.
 * A type travels in one byte: the low 8 bits of an entry's type are the channel's type, for the
 * set-up request and for every read and write alike (0x101 is type 1, 0x100 type 0).
 * A port that cannot be opened exclusively or set up is skipped silently; a port that opens but
 * does not pass the probe is closed. The search probes a port, and opens the next one only when
 * the ports probed so far have not answered within 50 ms; it then waits on all of them at once
 * (in the calling thread). The lowest-numbered port whose board answers wins: the search ends
 * when it has answered and every lower port has failed, and closes the others. A board on the
 * first port that opens is found without touching another; a missing port costs nothing and
 * any number of silent ports about 1.8 s together (plus 50 ms for each after the first). A URL
 * port that cannot be reached costs its connect time-out (1.8 s at most) before the search goes
 * on. The probe's reply is judged by its length alone.
 * `channels` must point to SUNDIAL_CHANNELS entries; the library keeps no pointer to it. A null
 * pointer changes nothing and returns 0.
 * On Linux port n is a device node (see README: ttyS, ttyUSB, ttyACM blocks), on Windows COMn,
 * unless the environment variable SUNDIAL_PORTS (read at each call) lists the ports.
 */
SUNDIAL_API int32_t _init(int32_t port, const SundialChannel* channels);

/*
 * Closes the open port and returns the platform's close result, nonzero on success.
 * With no port open it does nothing and returns 0. The channel table stays as set.
 */
SUNDIAL_API int32_t _close(void);

/*
 * Reads `count` registers (1 to 255: the request carries the count in one byte) of the device
 * on `channel` (0 to 7), starting at `reg` (low 8 bits used), into `buffer` (at least `count`
 * bytes). Returns a read result code. The reply is a frame of count + 9 bytes (264 at most);
 * its length byte holds the low 8 bits of count + 5, as every byte field of a frame does, so
 * for 251 to 255 registers it reads 0 to 4.
 * Returns 1 and sends nothing when no port is open, `buffer` is null, `count` or `channel` is out
 * of range, or the channel's type is not 1 to 4. On a nonzero result `buffer` is left unchanged.
 * A 0 means the values came from the reply to this request: a well-formed frame (start byte,
 * length byte, checksum) received after this request's acknowledgement, whose header
 * agrees with the echo learnt for the port; nothing that was waiting when the request went out
 * is taken (with SUNDIAL_LENIENT_REPLIES=1 only the length is judged). The first five payload
 * bytes of the reply are the board's business.
 */
SUNDIAL_API int32_t _readData(int32_t channel, int32_t reg, uint8_t* buffer, int32_t count);

/*
 * Writes `count` bytes from `data` to the device on `channel` (0 to 7), starting at `reg`
 * (low 8 bits used). Returns a write result code. `count` is at least 1 and at most 251 (250
 * for a channel of type 3): the request's length byte must hold its whole payload, the data
 * and four bytes of command, type and addressing (five for type 3), because the board finds the
 * request's end by it. A read's reply may be longer, since the library knows its length from
 * the request.
 * Returns 1 and sends nothing when no port is open, `data` is null, `count` or `channel` is out
 * of range, or the channel's type is not 1 to 4.
 */
SUNDIAL_API int32_t _writeData(int32_t channel, int32_t reg, const uint8_t* data, int32_t count);

#ifdef __cplusplus
}
#endif

#if !defined(_WIN32) && !defined(SUNDIAL_BUILDING)
/*
 * For programs linked against the library on ELF systems (Linux): every such program carries a
 * hidden _init of its own, the C runtime's start-up code, and a direct call to _init reaches that
 * one instead of the library's. Call sundial_init instead; it takes the library's entry by name
 * (the way a program that loads the library at run time does) and has _init's contract.
 * Returns 0, as a failed search does, when the library is not loaded.
 */
#include <dlfcn.h>
#include <string.h>

static inline int32_t sundial_init(int32_t port, const SundialChannel* channels) {
    int32_t (*entry)(int32_t, const SundialChannel*) = 0;
    void* library = dlopen("libSundial.so." SUNDIAL_SOVERSION_TEXT, RTLD_NOW | RTLD_NOLOAD);
    if (library != 0) {
        void* symbol = dlsym(library, "_init");
        memcpy(&entry, &symbol, sizeof entry);
        dlclose(library);
    }
    return entry != 0 ? entry(port, channels) : 0;
}
#endif

#endif
