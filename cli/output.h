// What the commands print: text for people, or with --json one JSON document per answer. The
// commands say what to print; only this class knows the two forms.
#pragma once

#include "catalogue/registerdiff.h"
#include "session/boardsession.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspur::cli {

class Output {
public:
    // `verbose`: the writes that were made are printed too (-v).
    Output(std::ostream& out, bool json, bool verbose);

    // One "0x11, 0x05" line per register; a register whose read failed shows "??" (null in JSON).
    void registers(const RegisterValues& registers);
    void registers(const KnownRegisters& registers);
    // The register setting history lines of the writes made; nothing without -v.
    void writes(const std::vector<std::string>& lines);
    void ports(const std::vector<PortReport>& reports);
    void fields(const std::vector<BoundControl>& rows);
    void fieldValue(const BoundControl& row, const BoardSession::FieldValue& value);
    void flags(bool zero1, bool zero2);
    // What differs: "DAC L (tkDAC1)  -12.5 dB → -20.0 dB" per field, then
    // "0x15 bits 0x01  0x00 → 0x01" per register; nothing when nothing differs.
    void diff(const RegisterDiff& diff);
    // After a script run: its writes as writes() prints them, then with --json a summary
    // ({"run":{"lines":3,"writes":2,"failures":0}}).
    void scriptRun(const BoardSession::ScriptSummary& summary);
    // With --json, what went wrong as one object on the output, beside the messages on the
    // error stream: {"error":{"kind":"link","message":"...","code":2,"register":17}}. The code
    // and register are the failed transaction's, null for the other kinds. Nothing without
    // --json.
    struct Error {
        const char* kind; // "usage", "no-board", "link", "file"
        std::string message;
        std::optional<LinkFailure> failure;
    };
    void error(const Error& error);
    // Text that has no JSON form (the usage text), as it is.
    void plain(std::string_view text);

private:
    std::ostream& m_out;
    bool m_json;
    bool m_verbose;
};

} // namespace larkspur::cli
