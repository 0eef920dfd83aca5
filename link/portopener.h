// The library's port opener: port numbers to names, and names to board ports.
#pragma once

#include "boardport.h"
#include "ports.h"

#include <memory>
#include <string>

namespace sundial {

// The port's name from the port table, then a serial device through the platform backend or a
// network port for a URL (a PortOpener).
std::unique_ptr<BoardPort> openBoardPort(int number);
// The name openBoardPort() opens port `number` by.
std::string portName(int number);

// For the length of one _init: SUNDIAL_PORTS is read once, and openBoardPort() names ports from
// that reading, each entry of the list looked up once however many ports the search opens.
// Outside one, SUNDIAL_PORTS is read at each call.
class PortListScope {
public:
    PortListScope();
    ~PortListScope();
    PortListScope(const PortListScope&) = delete;
    PortListScope& operator=(const PortListScope&) = delete;

private:
    PortTable m_table;
    PortTable* m_outer;
};

} // namespace sundial
