// The main window (Form1): the host that lays out its areas (menu, title, the codec's tab
// sheets, register history, direct access, connection and resets, the status bar) and wires
// them to the core objects it is given. The handlers keep the program's names and delegate.
#pragma once

#include "aboutdialog.h"
#include "comparewindow.h"
#include "connectionarea.h"
#include "device/deviceconnection.h"
#include "device/registeraccess.h"
#include "device/settingsfile.h"
#include "directaccessarea.h"
#include "files/coreparts.h"
#include "files/registerdump.h"
#include "files/registerscript.h"
#include "historyarea.h"
#include "imagebuttonlook.h"
#include "otherwindowviews.h"
#include "panel/panellayout.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"
#include "splashnotice.h"
#include "splashwindow.h"
#include "windowcontrols.h"
#include "windowstatus.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

class QScrollArea;
class QTabWidget;

namespace larkspur {

class ControlPanel;
class ImageButton;
class Workbench;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 739;
    static constexpr int kClientHeight = 585;

    // Builds the widgets; FormCreate() then wires them to the core.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // What the core shows and asks through: the window's areas and the other windows, with
    // `dialogs` for the message boxes. Valid for the window's life.
    FrontEnd frontEnd(UserDialogs& dialogs);

    // Window creation's part that needs the core: reads the settings into the interface
    // controls, builds the tab sheets' controls and clears the zero-flag lamps.
    void FormCreate(Workbench& core);

    // The other windows, created after this one.
    void setAboutDialog(TAboutDialog* about);
    void setRegViewForm(TRegViewForm* regView);
    void setSplashForm(TSplashForm* splash);
    void setScriptProgress(TscriptProgress* progress);
    TAboutDialog* aboutDialog() const { return m_about; }
    TRegViewForm* regViewForm() const { return m_map.window(); }
    TSplashForm* splashForm() const { return m_busy.window(); }
    TscriptProgress* scriptProgress() const { return m_progress.window(); }

    // The core behind the controls, once FormCreate() has run.
    RegisterAccess& access();
    DeviceConnection& connection();
    RegisterScript& script();
    RegisterDump& dump();
    SettingsFile& settings();
    ControlPanel& panel() { return *m_panel; }

    void RefreshControls();

public slots:
    void Open1Click();
    void SaveRegisterDumpClick();
    void CompareSnapshotClick();
    void ExitClick();
    void RegisterMap1Click();
    void About2Click();
    void rgInterfaceClick();
    void cbAddrChange(int index);
    void bBDRSTClick();
    void btnZeroClrClick();
    void btnZeroReadClick();
    void btnMRSTClick();
    void btnSRSTClick();
    void ReadClick();
    void WriteClick();
    void bClearHistryClick();
    void bSaveHistryClick();
    // Pressed look of the image buttons, shared by all of them.
    void imgMouseDown(larkspur::ImageButton* sender);
    void imgMouseUp(larkspur::ImageButton* sender);

    // Fits the window into a screen's available area of `available` (device-independent
    // pixels, the window frame's own share taken off by the caller): when the designed window is
    // larger, its client area is shown in a scroll area, which follows the focus so that every
    // control is reached; when it fits again, the designed window comes back. Done at each
    // showing, for the screen the window is on.
    void fitToScreen(QSize available);

signals:
    // After FormShow, on each showing that the program asked for.
    void formShown();
    // After FormClose, while the window closes.
    void closing();

protected:
    // The device connection: start-up on the first showing, shutdown on closing.
    virtual void FormShow();
    virtual void FormClose();
    // Shows the about box modally; returns its result.
    virtual int showAbout();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The number in a direct-access field; reports a text that is no number.
    std::optional<std::int32_t> fieldNumber(const QString& text);

    QWidget* m_central = nullptr;
    QScrollArea* m_scroll = nullptr; // around m_central on a screen too small for the window
    QTabWidget* m_mainTab = nullptr;
    std::array<QWidget*, kTabCount> m_pages{};
    ImageButtonLook m_look;
    std::unique_ptr<HistoryArea> m_history;
    DirectAccessArea* m_direct = nullptr; // owned by the client area
    std::unique_ptr<ConnectionArea> m_connection;
    std::unique_ptr<WindowStatus> m_status;
    std::unique_ptr<WindowControls> m_controls;
    SplashNotice m_busy;
    MapWindowView m_map;
    ProgressWindowView m_progress{*this};

    QPointer<TAboutDialog> m_about;
    TCompareForm* m_compare = nullptr; // made at the first comparison, owned by the window

    Workbench* m_core = nullptr; // not owned
    ControlPanel* m_panel = nullptr;
    bool m_started = false;
};

} // namespace larkspur
