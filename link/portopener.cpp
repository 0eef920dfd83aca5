#include "portopener.h"

#include "networkport.h"
#include "serialport.h"

#include <cstdlib>

namespace sundial {

namespace {

// The table of the _init under way, if any: a plain pointer, so that nothing runs when the
// library is loaded or unloaded.
constinit PortTable* g_table = nullptr;

} // namespace

PortListScope::PortListScope() : m_table(std::getenv("SUNDIAL_PORTS")), m_outer(g_table) {
    g_table = &m_table;
}

PortListScope::~PortListScope() {
    g_table = m_outer;
}

std::string portName(int number) {
    return g_table != nullptr ? g_table->name(number)
                              : portDevicePath(number, std::getenv("SUNDIAL_PORTS"));
}

std::unique_ptr<BoardPort> openBoardPort(int number) {
    const std::string name = portName(number);
    if (name.empty()) {
        return nullptr;
    }
    // A name with a scheme is never a device, even a malformed one: it names no port.
    return isPortUrl(name) ? openNetworkPort(name) : openSerialDevice(name);
}

} // namespace sundial
