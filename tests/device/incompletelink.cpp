// A link library with only some of its entries, to see the program refuse it.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t _getVer(void) {
    return 0x1500;
}
extern "C" __attribute__((visibility("default"))) int32_t _close(void) {
    return 0;
}
