#include "bindingmath.h"

namespace larkspur {

namespace {

// A shift by 8 or more leaves nothing of a byte.
int shiftedLeft(int value, int by) {
    return by >= 8 ? 0 : (value << by) & 0xFF;
}
int shiftedRight(int value, int by) {
    return by >= 8 ? 0 : value >> by;
}

} // namespace

int keepMask(int shift, int width) {
    return shiftedLeft(0xFF, shift + width) | shiftedRight(0xFF, 8 - shift);
}

int checkBoxWrite(std::uint8_t current, int bit, bool checked) {
    return (current & ~(1 << bit) & 0xFF) | ((checked ? 1 : 0) << bit);
}

int dropDownWrite(std::uint8_t current, int shift, int width, int item) {
    return (item << shift) | (current & keepMask(shift, width));
}

int radioWrite(std::uint8_t current, int bit, int item) {
    return (current & ~(1 << bit) & 0xFF) | (item << bit);
}

bool checkBoxState(std::uint8_t value, int bit) {
    return ((value >> bit) & 1) != 0;
}

int dropDownItem(std::uint8_t value, int shift, int width) {
    return (value >> shift) & shiftedRight(0xFF, 8 - width);
}

int radioItem(std::uint8_t value, int bit) {
    return (value >> bit) & 1;
}

} // namespace larkspur
