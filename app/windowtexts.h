// Every caption, label and menu text the program's windows show, and the names they are
// announced by, word for word. Kept as shipped: users and the checks made against the program
// know the windows by them. The controls of the tab sheets carry theirs in the control
// catalogue (catalogue/), the core's messages in device/devicetexts.h and files/filetexts.h.
#pragma once

#include <QLatin1String>

namespace larkspur::text {

// The main window
inline constexpr QLatin1String kMainWindowTitle("EVM Controller");
inline constexpr QLatin1String kTitleImage("Tessaly EVM Controller");
inline constexpr QLatin1String kLogoImage("Larkspur");
inline constexpr QLatin1String kLogoLettering("LARKSPUR");
inline constexpr QLatin1String kCodecSettings("Codec settings");
inline constexpr QLatin1String kStatusBar("Status");

inline constexpr QLatin1String kMenuFile("&File");
inline constexpr QLatin1String kMenuOpenScript("&Open script");
inline constexpr QLatin1String kMenuSaveSnapshot("&Save register snapshot");
inline constexpr QLatin1String kMenuCompareSnapshot("&Compare with snapshot...");
inline constexpr QLatin1String kCompareTitle("Compare with snapshot");
inline constexpr QLatin1String
    kCompareSame("No difference: the controls hold the snapshot's setup.");
inline constexpr QLatin1String kCompareClose("Close");
inline constexpr QLatin1String kMenuExit("Exit");
inline constexpr QLatin1String kMenuTool("&Tool");
inline constexpr QLatin1String kMenuRegisterMap("Register Map");
inline constexpr QLatin1String kMenuHelp("&Help");
inline constexpr QLatin1String kMenuAbout("&About");

inline constexpr QLatin1String kHistoryGroup("Register setting history");
inline constexpr QLatin1String kSaveButton("Save");
inline constexpr QLatin1String kClearButton("Clear");
inline constexpr QLatin1String kDirectAccessGroup("Register direct access");
inline constexpr QLatin1String kAddressLabel("Address");
inline constexpr QLatin1String kDataLabel("Data");
inline constexpr QLatin1String kAddressField("0x10");
inline constexpr QLatin1String kDataField("0x00");
inline constexpr QLatin1String kReadButton("Read");
inline constexpr QLatin1String kWriteButton("Write");
inline constexpr QLatin1String kResetGroup("Reset control");
inline constexpr QLatin1String kRegisterResetLabel("Register Reset");
inline constexpr QLatin1String kReSyncLabel("Re-Sync");
inline constexpr QLatin1String kMasterResetButton("MRST");
inline constexpr QLatin1String kMasterResetTip("Reg#40H, Bit7");
inline constexpr QLatin1String kSyncResetButton("SRST");
inline constexpr QLatin1String kSyncResetTip("Reg#40H, Bit6");
inline constexpr QLatin1String kConnectionGroup("PC-EVM Communication and Status");
inline constexpr QLatin1String kReconnectButton("Reconnect");
inline constexpr QLatin1String kInterfaceGroup("Interface");
inline constexpr QLatin1String kInterfaceI2c("IIC");
inline constexpr QLatin1String kInterfaceSpi("SPI");
inline constexpr QLatin1String kAddressListLabel("Address:");
inline constexpr QLatin1String kExitButton("EXIT");
// The connection indicator's pictures, 0 and 1.
inline constexpr QLatin1String kNoEvm("No EVM");
inline constexpr QLatin1String kConnected("Connected");

// The about box
inline constexpr QLatin1String kAboutTitle("About");
inline constexpr QLatin1String kAboutCodec("Tessaly");
inline constexpr QLatin1String kAboutProduct(" EVM Control software");
inline constexpr QLatin1String kAboutVersion("Version ");
inline constexpr QLatin1String kAboutLibrary("DLL: ");
inline constexpr QLatin1String kAboutLibraryVersion("0.0.0.0");
inline constexpr QLatin1String kAboutPort("Port:");
inline constexpr QLatin1String kAboutNoPort("0");
inline constexpr QLatin1String kOk("OK");

// The splash window and the script progress window
inline constexpr QLatin1String kSplashProgress("Progress");
inline constexpr QLatin1String kScriptProgressTitle("Script progress");
inline constexpr QLatin1String kScriptRunning("Executing ...");

} // namespace larkspur::text
