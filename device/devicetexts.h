// Every text of the device layer (the connection, register access, settings, ports), the
// captions it shows them under and the names it reads or writes.
//
// Kept as shipped, typos included ("foud"): stored files, users' habits and checks made against
// the program rely on them.
// Do not correct one here without correcting every board-side and user-side check with it.
#pragma once

namespace larkspur::text {

// The application's own title: the caption of plain messages and of the general error report.
inline constexpr const char* kApplicationTitle = "EVM control application";

// Device connection: start-up and Reconnect.
inline constexpr const char* kDllErrorCaption = "DLL error";
inline constexpr const char* kCannotLoadDll = "Cannot load DLL";
inline constexpr const char* kInvalidDll = "Invalid DLL";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kNoEvmFound = "No EVM was found";
// Reconnect's box only; its status bar text is spelt right.
inline constexpr const char* kNoEvmFoundAfterReconnect = "No EVM was foud";
inline constexpr const char* kReady = "Ready";
inline constexpr const char* kLoading = "Loading...";
inline constexpr const char* kInitializing = "Initializing...";
inline constexpr const char* kResetInProgress = "Reset in progress ...";

// Register access; the link library's result code follows in four hexadecimal digits.
inline constexpr const char* kWriteError = "Communication error: WRERR";
inline constexpr const char* kReadError = "Communication error: RDERR";
inline constexpr const char* kReadErrorAdvice = "\nPlease check interface setting.";
inline constexpr const char* kBoardWriteError = "Communication error: SPERR";

// The settings file.
inline constexpr const char* kSettingsFileName = "Larkspur.ini";
inline constexpr const char* kSettingsSection = "SerialInterface";
inline constexpr const char* kSettingsTypeKey = "Type";
inline constexpr const char* kSettingsAddressKey = "Addr";
inline constexpr const char* kSettingsCorrupted = "Initial file was corrupted!!";
// A file that is there but cannot be taken counts as none: "The settings file "<name>" cannot
// be read (it is a folder); using the default interface."
inline constexpr const char* kSettingsUnreadable = "The settings file";
inline constexpr const char* kSettingsUnreadableCannotRead = "cannot be read";
inline constexpr const char* kSettingsUnreadableOutcome = "using the default interface.";

// A setting that could not be saved: "The setting was not saved to "/home/u/.config/Larkspur.ini":
// the file is read-only."
inline constexpr const char* kSettingsNotSaved = "The setting was not saved to";

// Port diagnostics, after a port's number, device and state.
inline constexpr const char* kPortAbsent = "no such device";
inline constexpr const char* kPortNotADevice = "not a device";
inline constexpr const char* kPortNoSerialPort = "no serial port behind it";
inline constexpr const char* kPortJoinGroup = "join group ";
inline constexpr const char* kPortLogInAgain = ", then log in again";
inline constexpr const char* kPortNoGroupAccess =
    "only its owner may use it: ask the administrator for a group with read and write access "
    "(a udev rule)";
inline constexpr const char* kPortHeldBy = "held by ";
inline constexpr const char* kPortOpenIn = "open in ";
inline constexpr const char* kPortExclusive = "in exclusive use by another program";
inline constexpr const char* kPortDidNotAnswer = "no board answered";
inline constexpr const char* kNoPorts = "No serial port device exists.";
// Ports behind a network serial server (tcp://, rfc2217://). The server serves one client per
// port; one that cannot open its device says so and closes.
inline constexpr const char* kPortServerBusy =
    "the server is serving another client on this port (it takes one at a time)";
inline constexpr const char* kPortServerClosed = "the server closed the connection";
inline constexpr const char* kPortRefused =
    "connection refused: nothing listens on that port (is the server running?)";
inline constexpr const char* kPortUnreachable = "no route to the host, or no answer in time";
inline constexpr const char* kPortUnknownHost = "unknown host";
inline constexpr const char* kPortBadUrl =
    "not a valid port URL: use tcp://HOST:PORT or rfc2217://HOST:PORT";
inline constexpr const char* kPortSilentServer = "connected, but the board is silent";

// Numbers typed by the user that are none: "'<text>' <what>".
inline constexpr const char* kNotAnInteger = "is not a valid integer value";
inline constexpr const char* kNotAFloat = "is not a valid floating point value";

} // namespace larkspur::text
