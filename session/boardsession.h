// A board connected without a window: the program's core objects (register access, the device
// connection, scripts, the snapshot, the catalogue's fields, the port report) behind one class,
// for the command line and the Python module. It shows nothing: what it has to say goes to a
// reporter, in the program's words; results come back as values.
#pragma once

#include "argumenterror.h"
#include "catalogue/controlcatalogue.h"
#include "device/deviceconnection.h"
#include "device/linkloader.h"
#include "device/portdiagnostics.h"
#include "device/registeraccess.h"
#include "device/sleeper.h"
#include "files/coreparts.h"
#include "files/registerimage.h"
#include "files/registerscript.h"
#include "silentfrontend.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace larkspur {

// What a session stands on; the front end gives the real ones, tests what they need.
struct SessionWorld {
    LinkLoader& loader;
    Sleeper& sleeper;
    PortSystem ports;
    std::filesystem::path settingsPath;
};

// Where a session's messages go: each a whole line in the program's words.
class SessionReporter {
public:
    virtual ~SessionReporter() = default;
    // The program's messages and errors, and the port lines shown with "No EVM was found".
    virtual void report(const std::string& line) = 0;
    // A note about the session's own set-up (a settings file it could not take).
    virtual void warn(const std::string& line) = 0;
};

// How an operation ended.
enum class SessionStatus {
    Done,
    NoBoard,     // the library cannot be loaded, or no board answered
    LinkFailure, // a transaction failed (reported)
    FileError,   // a script that is not there, or a line that is no script line (reported)
};

using RegisterValues = std::vector<std::pair<std::uint32_t, std::uint8_t>>;
// Registers some of which may not have been read.
using KnownRegisters = std::vector<std::pair<std::uint32_t, std::optional<std::uint8_t>>>;

class BoardSession final {
public:
    BoardSession(SessionWorld world, SessionReporter& reporter);
    ~BoardSession(); // closes the link
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    // The interface (kInterfaceI2c, kInterfaceSpi) and the address as given (76 to 79 over IIC,
    // 0 to 3 over SPI); each unset one comes from the program's settings file, which is only
    // read; what their load says (a file that cannot be read, which counts as none; "Initial
    // file was corrupted!!") goes to the reporter's warn(). Throws ArgumentError for an address
    // the interface does not have.
    // What was selected: `defaults` when neither the caller nor a settings file chose the
    // interface, so that the program's defaults were taken.
    struct DeviceSelection {
        int interfaceIndex;
        int address; // 76 to 79 over IIC, 0 to 3 over SPI
        bool defaults;
    };
    DeviceSelection selectDevice(std::optional<int> interfaceIndex, std::optional<int> address);
    int interfaceIndex() const { return m_interface; }

    // Loads the link library (reported when it cannot be).
    SessionStatus loadLibrary();
    // Loads the library and opens the link on `port` (0: the search); no board set-up. On no
    // board, "No EVM was found" and the port lines are reported.
    SessionStatus open(int port);
    // The program's start-up: the board set-up, then the codec read (IIC) or its defaults.
    SessionStatus connect(int port);
    // After connect: the codec's ten registers, those that could not be read without a value.
    KnownRegisters codecRegisters() const;
    // Closes the link and unloads the library; nothing when none is open.
    void close();

    // Each call that reaches the board (connect, read, write, snapshot, the scripts, getField,
    // setField, flags, reset) has its own outcome: it goes to the board whatever an earlier call
    // came to, reports its own first failure, and linkStatus() and lastLinkFailure() tell of it
    // alone until the next such call.
    //
    // LinkFailure when a transaction of the last call failed, else Done.
    SessionStatus linkStatus() const;
    // The last call's failed transaction (its last, for a script run past failures): which call,
    // the library's code, the register. None when none of its transactions failed.
    std::optional<LinkFailure> lastLinkFailure() const;

    // Reads `count` registers from `first`, in one transaction where it can; when that fails,
    // one at a time up to the first that fails, which is the one reported.
    RegisterValues read(std::uint32_t first, int count);
    // Writes `values` to consecutive registers from `first`, in one transaction where it can;
    // when that fails, one at a time up to the first that fails, which is the one reported.
    // Throws ArgumentError when there is no value, as the command line refuses it.
    void write(std::uint32_t first, const std::vector<std::uint8_t>& values);
    // The ten codec registers, read now; none when a read failed.
    std::optional<RegisterValues> snapshot();
    // A register script from a file, or its text as read from an input ("-"). `name` is how its
    // lines are named in reports ("FILE:LINE: ..."). With `keepGoing` the run goes past lines
    // whose write failed, as the window's runs do.
    SessionStatus runScript(const std::string& file, bool keepGoing);
    // Whether the script file is there to be read (reported when not): a run that would fail
    // on it needs no board to say so.
    SessionStatus checkScript(const std::string& file);
    // A snapshot or history file played into an image of the codec without the board
    // (files/registerimage.h). A file not read or a bad line is reported ("FILE: ..." or
    // "FILE:LINE: ...") and told by scriptFailure(): empty then.
    std::optional<RegisterImage> image(const std::string& file);
    // The codec's ten registers read now, as an image; empty after a failed read.
    std::optional<RegisterImage> boardImage();
    SessionStatus runScriptText(const std::string& name, const std::string& text, bool keepGoing);
    // A script read from `in` to its end, as a file is read (a text that never ends is refused
    // once it is longer than any script, and reported).
    SessionStatus runScriptInput(const std::string& name, std::istream& in, bool keepGoing);

    // The catalogue's field by caption or name. Throws ArgumentError: no such field, or a caption
    // that several fields share (with their names, the advice to use one).
    static const BoundControl& field(const std::string& key);
    struct FieldValue {
        std::string text;      // as the control shows it
        std::uint32_t address; // the register as addressed, with the device bits
        std::uint8_t value;    // the register's value
    };
    // Throws ArgumentError when the field cannot be read (`set` false) or set (`set` true)
    // here: over SPI the codec is not read back; some fields only show the mode.
    void checkField(const BoundControl& row, bool set) const;
    // Throws as checkField(). None on a link failure.
    std::optional<FieldValue> getField(const BoundControl& row);
    // Read-modify-write of the codec's register. Throws ArgumentError: a field that only shows
    // the mode, SPI, or a value the field does not take (with the values it takes). The field's
    // value as written (an attenuation on the codec's step), none when a transaction failed.
    std::optional<FieldValue> setField(const BoundControl& row, const std::string& value);
    // The zero-detect flags ZERO1 and ZERO2; none on a link failure.
    std::optional<std::pair<bool, bool>> flags();
    // "master" (MRST) or "sync" (SRST); throws ArgumentError for anything else (checkReset()).
    void reset(const std::string& which);
    static void checkReset(const std::string& which);
    // The address item (0 to 3) of an --address given as 76 to 79 over IIC or 0 to 3 over SPI;
    // throws ArgumentError for any other number.
    static int addressIndex(int interfaceIndex, int address);

    // Every port of the table (absent ones with `includeAbsent`); free ones probed through the
    // library. NoBoard in `status` when the library could not be loaded for a probe.
    std::vector<PortReport> ports(bool includeAbsent, SessionStatus& status);
    // The library's version ("1.5.0.0"); none when it cannot be loaded.
    std::optional<std::string> libraryVersion();

    // The register setting history lines of the writes so far.
    const std::vector<std::string>& writes() const { return m_silent.historyLines(); }
    // Where the last script run stopped on a line that is no script line.
    struct ScriptFailure {
        std::string name;
        int line = 0; // 0: the file as a whole
        std::string message;
    };
    const std::optional<ScriptFailure>& scriptFailure() const { return m_scriptFailure; }
    // What the last script run did: the lines it took, its writes as history lines ("0x11,
    // 0x05", sent or not), and how many of them the link failed. Empty before a run, and after
    // one whose script could not be read.
    struct ScriptSummary {
        int lines = 0;
        std::vector<std::string> writes;
        int failures = 0;
    };
    const ScriptSummary& scriptSummary() const { return m_scriptSummary; }

private:
    SessionStatus noBoard(int port);
    // Each line of `text` as a report of its own.
    void reportLines(const std::string& text);
    // The start of a call that reaches the board: its failures are its own from here.
    void beginCall();
    // A sequence's failures as the call's: each that the window would show is reported.
    void tell(const FailureRecord& failures);
    // The call's failure, reported (its first only, after `where`: "FILE:LINE: ").
    void failed(const LinkFailure& failure, const std::string& where = {});
    // The codec's transactions for the calls: a failure is the call's own and reported.
    std::optional<std::uint8_t> readCodec(std::uint32_t address);
    bool writeCodec(std::uint32_t address, std::uint8_t value);
    // `count` registers from `first` in one read, or register by register up to the first that
    // fails when that read fails.
    RegisterValues readRange(std::uint32_t first, int count);
    static ScriptRun scriptRun(bool keepGoing);
    SessionStatus scriptStatus(const std::string& name, const ScriptOutcome& outcome);
    // A field's register, and for attenuation the mode the codec is in: the wide range (1 dB
    // steps) or fine. None when a read failed; nothing is read after it.
    struct FieldRead {
        std::uint8_t value;
        bool wide;
    };
    std::optional<FieldRead> readField(const BoundControl& row);

    SessionWorld m_world;
    SessionReporter& m_reporter;
    SilentFrontEnd m_silent;
    CoreParts m_core;
    RegisterAccess& m_access;
    DeviceConnection& m_connection;
    RegisterScript& m_script;
    int m_interface = kInterfaceSpi;
    std::optional<ScriptFailure> m_scriptFailure;
    ScriptSummary m_scriptSummary;
    std::optional<LinkFailure> m_callFailure;     // the last call's first failure, the one told
    std::optional<LinkFailure> m_callLastFailure; // and its last
};

} // namespace larkspur
