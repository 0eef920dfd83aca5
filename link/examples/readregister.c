/* Reads the codec's first register through the Sundial library. */
#include <sundial.h>
#include <stdio.h>

int main(void) {
    const SundialChannel channels[SUNDIAL_CHANNELS] = {
        {SUNDIAL_TYPE_I2C, 76}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {SUNDIAL_TYPE_SPI, 0}};
    unsigned version = (unsigned)_getVer();
    printf("Sundial %u.%u.%u.%u\n", version >> 12, (version >> 8) & 15, (version >> 4) & 15, version & 15);
    /* Not _init: a program's own C runtime has a hidden _init that a direct call would reach. */
    int32_t port = sundial_init(0, channels);
    if (port == 0) {
        fprintf(stderr, "No EVM was found\n");
        return 2;
    }
    uint8_t value = 0;
    int32_t code = _readData(0, 0x10, &value, 1);
    printf("port %d: register 0x10 = 0x%02X (code %d)\n", port, value, code);
    _close();
    return code == 0 ? 0 : 3;
}
