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
 *   4 the reply frame did not arrive
 *   5 the closing acknowledgement could not be sent
 *
 * Result codes of _writeData (and of the channel set-up requests inside _init):
 *   0 success
 *   1 the request could not be sent (also: no port open, or arguments rejected; nothing sent)
 *   2 the board's acknowledgement did not arrive (its content is not examined)
 *   3 the 7-byte reply frame did not arrive
 *   4 the closing acknowledgement could not be sent
 *
 * After any nonzero code except a rejected call, whatever the port has received and not yet
 * read is discarded, so that late bytes of a failed exchange do not meet the next one. The
 * library never retries.
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
 * A port that cannot be opened exclusively or set up is skipped silently; a port that opens but
 * does not pass the probe is closed before the next one is tried. A silent port costs about
 * 1.8 s; a missing one nothing.
 * `channels` must point to SUNDIAL_CHANNELS entries; the library keeps no pointer to it. A null
 * pointer changes nothing and returns 0.
 * On Linux port n is a device node (see README: ttyS, ttyUSB, ttyACM blocks, or the list in the
 * environment variable SUNDIAL_PORTS, read at each call).
 */
SUNDIAL_API int32_t _init(int32_t port, const SundialChannel* channels);

/*
 * Closes the open port and returns the platform's close result, nonzero on success.
 * With no port open it does nothing and returns 0. The channel table stays as set.
 */
SUNDIAL_API int32_t _close(void);

/*
 * Reads `count` registers (1 to 255) of the device on `channel` (0 to 7), starting at
 * `reg` (low 8 bits used), into `buffer` (at least `count` bytes). Returns a read result code.
 * Returns 1 and sends nothing when no port is open, `buffer` is null, `count` or `channel` is out
 * of range, or the channel's type is not 1 to 4. On a nonzero result `buffer` is left unchanged.
 */
SUNDIAL_API int32_t _readData(int32_t channel, int32_t reg, uint8_t* buffer, int32_t count);

/*
 * Writes `count` bytes from `data` to the device on `channel` (0 to 7), starting at `reg`
 * (low 8 bits used). Returns a write result code. `count` is at least 1 and at most 250 for a
 * channel of type 3, 251 for the other types (the frame's length byte stays within 255).
 * Returns 1 and sends nothing when no port is open, `data` is null, `count` or `channel` is out
 * of range, or the channel's type is not 1 to 4.
 */
SUNDIAL_API int32_t _writeData(int32_t channel, int32_t reg, const uint8_t* data, int32_t count);

#ifdef __cplusplus
}
#endif

#endif
