// The five exported entries. No exception may cross the C boundary.
#include "include/sundial.h"

#include "boardlink.h"
#include "portopener.h"

#include <array>

namespace {

// Four 4-bit digits, from the project version in CMakeLists.txt: 0x1500 is 1.5.0.0.
constexpr std::int32_t kVersion = SUNDIAL_VERSION_CODE;

constinit sundial::BoardLink g_link(&sundial::openBoardPort);

} // namespace

#if !defined(_WIN32)
// The loader's start-up call lands here rather than on the exported _init (see CMakeLists.txt).
extern "C" __attribute__((visibility("hidden"))) void sundialLoaded(void) {}
#endif

extern "C" {

SUNDIAL_API int32_t _getVer(void) {
    return kVersion;
}

SUNDIAL_API int32_t _init(int32_t port, const SundialChannel* channels) {
    try {
        // The port list as it stands now, for every port the search opens.
        const sundial::PortListScope ports;
        if (channels == nullptr) {
            return g_link.init(port, nullptr);
        }
        std::array<sundial::Channel, SUNDIAL_CHANNELS> table{};
        for (std::size_t k = 0; k < table.size(); ++k) {
            table[k] = {channels[k].type, channels[k].address};
        }
        return g_link.init(port, table.data());
    } catch (...) {
        return 0;
    }
}

SUNDIAL_API int32_t _close(void) {
    try {
        return g_link.close();
    } catch (...) {
        return 0;
    }
}

SUNDIAL_API int32_t _readData(int32_t channel, int32_t reg, uint8_t* buffer, int32_t count) {
    try {
        return g_link.readData(channel, reg, buffer, count);
    } catch (...) {
        return 1;
    }
}

SUNDIAL_API int32_t _writeData(int32_t channel, int32_t reg, const uint8_t* data, int32_t count) {
    try {
        return g_link.writeData(channel, reg, data, count);
    } catch (...) {
        return 1;
    }
}
}
