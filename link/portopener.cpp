#include "include/sundialports.h"
#include "networkport.h"
#include "serialport.h"

#include <cstdlib>

namespace sundial {

std::unique_ptr<SerialPort> openSerialPort(int number) {
    const std::string name = portDevicePath(number, std::getenv("SUNDIAL_PORTS"));
    if (name.empty()) {
        return nullptr;
    }
    // A name with a scheme is never a device, even a malformed one: it names no port.
    return isPortUrl(name) ? openNetworkPort(name) : openSerialDevice(name);
}

} // namespace sundial
