// Winsock. Each connection holds its own WSAStartup, so that the library needs no set-up call.
#include "netsocket.h"

// In this order: Winsock before windows.h, and the TCP extensions after both.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
// clang-format on

#include <string>

namespace sundial::net {

namespace {

constexpr unsigned long kKeepIdleMs = 5000;
constexpr unsigned long kKeepIntervalMs = 2000;
// SIO_TCP_SET_ACK_FREQUENCY (_WSAIOW(IOC_VENDOR, 23)), which not every SDK names.
constexpr DWORD kSetAckFrequency = 0x98000017;

bool startWinsock() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

NetworkReach reachOf(int error) {
    switch (error) {
    case WSAECONNREFUSED:
        return NetworkReach::Refused;
    case WSAETIMEDOUT:
        return NetworkReach::TimedOut;
    default:
        return NetworkReach::Unreachable;
    }
}

void tune(SOCKET socket) {
    const BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive keep{1, kKeepIdleMs, kKeepIntervalMs};
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keep, sizeof keep, nullptr, 0, &returned, nullptr,
               nullptr);
    // Acknowledge every segment at once: a server that sends a purge's acknowledgement and then
    // the board's reply would otherwise hold the reply for our delayed ACK (Nagle on its side).
    // Refused by older systems; the link then only waits longer.
    DWORD everySegment = 1;
    ::WSAIoctl(socket, kSetAckFrequency, &everySegment, sizeof everySegment, nullptr, 0, &returned,
               nullptr, nullptr);
}

timeval timeOf(int ms) {
    return {ms / 1000, (ms % 1000) * 1000};
}

NetworkReach connectOne(const addrinfo& address, ULONGLONG deadline, SOCKET& socket) {
    socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket == INVALID_SOCKET) {
        return NetworkReach::Unreachable;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    int error = 0;
    if (::connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const ULONGLONG now = ::GetTickCount64();
            const int wait = now < deadline ? static_cast<int>(deadline - now) : 0;
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(socket, &writable);
            FD_SET(socket, &failed);
            timeval limit = timeOf(wait);
            const int ready = ::select(0, nullptr, &writable, &failed, &limit);
            error = WSAETIMEDOUT;
            if (ready > 0) {
                int size = sizeof error;
                if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                 &size) != 0) {
                    error = ::WSAGetLastError();
                }
            }
        }
    }
    if (error != 0) {
        ::closesocket(socket);
        socket = INVALID_SOCKET;
        return reachOf(error);
    }
    tune(socket);
    return NetworkReach::Connected;
}

} // namespace

Connection connectTo(const PortUrl& url, int timeoutMs) {
    if (!startWinsock()) {
        return {kNoSocket, NetworkReach::Unreachable};
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(url.port);
    if (::getaddrinfo(url.host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        ::WSACleanup();
        return {kNoSocket, NetworkReach::UnknownHost};
    }
    Connection result{kNoSocket, NetworkReach::TimedOut};
    bool refused = false;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        if (::GetTickCount64() >= deadline) {
            break;
        }
        SOCKET socket = INVALID_SOCKET;
        const NetworkReach reach = connectOne(*address, deadline, socket);
        if (reach == NetworkReach::Connected) {
            result = {static_cast<Socket>(socket), reach};
            break;
        }
        refused = refused || reach == NetworkReach::Refused;
        result.reach = refused ? NetworkReach::Refused : reach;
    }
    ::freeaddrinfo(found);
    if (result.socket == kNoSocket) {
        ::WSACleanup();
    }
    return result;
}

int receive(Socket socket, std::span<std::uint8_t> buffer) {
    const int n = ::recv(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer.data()),
                         static_cast<int>(buffer.size()), 0);
    if (n > 0) {
        return n;
    }
    if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        return 0;
    }
    return n == 0 && buffer.empty() ? 0 : -1;
}

std::size_t pendingBytes(Socket socket) {
    u_long n = 0;
    return ::ioctlsocket(static_cast<SOCKET>(socket), FIONREAD, &n) == 0 ? n : 0;
}

int sendSome(Socket socket, std::span<const std::uint8_t> bytes) {
    const int n = ::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0);
    if (n >= 0) {
        return n;
    }
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool waitReadable(std::span<const Socket> sockets, int waitMs) {
    fd_set readable;
    FD_ZERO(&readable);
    for (const Socket socket : sockets) {
        FD_SET(static_cast<SOCKET>(socket), &readable);
    }
    timeval limit = timeOf(waitMs);
    if (sockets.empty()) {
        ::Sleep(static_cast<DWORD>(waitMs)); // select() refuses empty sets on Windows
        return false;
    }
    return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

bool waitWritable(Socket socket, int waitMs) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(static_cast<SOCKET>(socket), &writable);
    FD_SET(static_cast<SOCKET>(socket), &failed);
    timeval limit = timeOf(waitMs);
    return ::select(0, nullptr, &writable, &failed, &limit) > 0 &&
           FD_ISSET(static_cast<SOCKET>(socket), &writable) &&
           !FD_ISSET(static_cast<SOCKET>(socket), &failed);
}

void shutdownSending(Socket socket) {
    ::shutdown(static_cast<SOCKET>(socket), SD_SEND);
}

void closeSocket(Socket socket) {
    if (socket != kNoSocket) {
        ::closesocket(static_cast<SOCKET>(socket));
        ::WSACleanup();
    }
}

} // namespace sundial::net
