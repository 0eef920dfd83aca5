// The platform's TCP sockets, as much of them as a network port needs: connecting within a
// time-out, non-blocking sends and receives, and waiting. BSD sockets on POSIX systems, Winsock
// on Windows; the backends live in their own files.
#pragma once

#include "ports.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace sundial::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

struct Connection {
    Socket socket = kNoSocket;
    NetworkReach reach = NetworkReach::BadUrl; // Connected when `socket` is one
};

// Resolves the host and connects to each of its addresses in turn until one takes the
// connection or `timeoutMs` have passed in all. The socket comes back non-blocking, with
// TCP_NODELAY (a request must not wait for the previous reply's acknowledgement) and
// keep-alive (a server that vanished is noticed on an idle link too).
Connection connectTo(const PortUrl& url, int timeoutMs);

// What arrived: bytes (> 0), nothing yet (0), or -1 when the peer closed or reset the
// connection or the call failed.
int receive(Socket socket, std::span<std::uint8_t> buffer);
// How many received bytes the socket holds now (0 when it cannot tell).
std::size_t pendingBytes(Socket socket);
// Sends what the socket takes now: bytes sent (possibly 0), or -1 when the connection is gone.
// Never raises SIGPIPE.
int sendSome(Socket socket, std::span<const std::uint8_t> bytes);

// Waits until one of `sockets` can be read (or has closed) or `waitMs` have passed; true when
// one can. `waitMs` 0 only looks.
bool waitReadable(std::span<const Socket> sockets, int waitMs);
// Waits until `socket` takes more bytes; false after `waitMs` or when the connection is gone.
bool waitWritable(Socket socket, int waitMs);

// Leaves a connection the way a server that serves one client per port (ser2net) needs, to
// take the next client at once: tells it nothing more will come (a TCP FIN), reads and drops
// what it still sends until it closes its side (at most `lingerMs`), then closes.
void closeGracefully(Socket socket, int lingerMs);
// The FIN alone (the backends' half of closeGracefully).
void shutdownSending(Socket socket);

void closeSocket(Socket socket);

} // namespace sundial::net
