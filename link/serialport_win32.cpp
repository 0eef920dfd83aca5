// Win32 backend: the COM port driver does the time-outs itself.
#include "serialport.h"

#include <string>

// Winsock before windows.h, which would otherwise bring in the old socket header.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

namespace sundial {

namespace {

class Win32SerialPort final : public BoardPort {
public:
    explicit Win32SerialPort(HANDLE handle) : m_handle(handle) {}
    ~Win32SerialPort() override { close(); }

    int read(std::span<std::uint8_t> buffer) override {
        DWORD got = 0;
        if (!::ReadFile(m_handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got,
                        nullptr)) {
            return -1;
        }
        return static_cast<int>(got);
    }

    bool write(std::span<const std::uint8_t> bytes) override {
        DWORD sent = 0;
        return ::WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &sent,
                           nullptr) &&
               sent == bytes.size();
    }

    void purgeReceive() override { ::PurgeComm(m_handle, PURGE_RXCLEAR); }

    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override {
        COMMTIMEOUTS normal{};
        if (!::GetCommTimeouts(m_handle, &normal) || !firstByteMode(normal, waitMs)) {
            return -1;
        }
        DWORD got = 0;
        const BOOL ok =
            ::ReadFile(m_handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
        ::SetCommTimeouts(m_handle, &normal);
        return ok ? static_cast<int>(got) : -1;
    }

    void drainReceive(int quietMs, int limitMs) override {
        COMMTIMEOUTS normal{};
        if (::GetCommTimeouts(m_handle, &normal) && firstByteMode(normal, quietMs)) {
            const ULONGLONG limit = ::GetTickCount64() + static_cast<ULONGLONG>(limitMs);
            std::uint8_t scratch[256];
            DWORD got = 0;
            while (::GetTickCount64() < limit &&
                   ::ReadFile(m_handle, scratch, sizeof scratch, &got, nullptr) && got > 0) {
            }
            ::SetCommTimeouts(m_handle, &normal);
        }
        ::PurgeComm(m_handle, PURGE_RXCLEAR);
    }

    WaitHandle waitHandle() const override {
        return {reinterpret_cast<std::intptr_t>(m_handle), false};
    }

    int close() override {
        if (m_handle == INVALID_HANDLE_VALUE) {
            return 0;
        }
        const BOOL result = ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return result;
    }

private:
    // The driver's "wait for the first byte" mode: a read returns at once with whatever is
    // there, otherwise with the first bytes to arrive, or empty after waitMs.
    bool firstByteMode(const COMMTIMEOUTS& normal, int waitMs) {
        COMMTIMEOUTS soon = normal;
        soon.ReadIntervalTimeout = MAXDWORD;
        // With no wait at all the driver's "return at once" mode: MAXDWORD with a constant of 0
        // would wait without end.
        soon.ReadTotalTimeoutMultiplier = waitMs > 0 ? MAXDWORD : 0;
        soon.ReadTotalTimeoutConstant = static_cast<DWORD>(waitMs > 0 ? waitMs : 0);
        return ::SetCommTimeouts(m_handle, &soon) != 0;
    }

    HANDLE m_handle;
};

} // namespace

std::unique_ptr<BoardPort> openSerialDevice(const std::string& device) {
    // A bare "COM12" from the port list is opened by its device name, as numbers above 9 must.
    const std::string name = device.rfind("\\\\", 0) == 0 ? device : "\\\\.\\" + device;
    HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // Only speed and framing change; flow control and special characters stay as they were.
    DCB line{};
    line.DCBlength = sizeof line;
    if (!::GetCommState(handle, &line)) {
        ::CloseHandle(handle);
        return nullptr;
    }
    line.BaudRate = CBR_115200;
    line.ByteSize = 8;
    line.Parity = NOPARITY;
    line.StopBits = ONESTOPBIT;
    if (!::SetCommState(handle, &line)) {
        ::CloseHandle(handle);
        return nullptr;
    }
    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(handle, &timeouts)) {
        ::CloseHandle(handle);
        return nullptr;
    }
    // A read returns at once with what is there, otherwise waits up to 600 ms for the count.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = kWriteTimeoutPerByteMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    ::SetCommTimeouts(handle, &timeouts);
    ::EscapeCommFunction(handle, SETDTR);
    return std::make_unique<Win32SerialPort>(handle);
}

} // namespace sundial
