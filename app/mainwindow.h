// The main window (Form1): menu, page control, register history, direct access, resets,
// connection status, interface selection and the image buttons. It holds the widgets and wires
// them to the core objects it is given; the handlers keep the program's names and delegate.
#pragma once

#include "aboutdialog.h"
#include "device/deviceconnection.h"
#include "device/registeraccess.h"
#include "device/settingsfile.h"
#include "files/registerdump.h"
#include "files/registerscript.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"
#include "splashwindow.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace larkspur {

class ControlPanel;
class ImageButton;
class RadioGroup;
class Workbench;

class TForm1 : public QMainWindow,
               public BusyNotice,
               public ConnectionStatus,
               public ConnectionControls,
               public RegisterMapView,
               public HistoryView,
               public ScriptView {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 739;
    static constexpr int kClientHeight = 585;
    static constexpr int kTagCount = 7;

    // Builds the widgets; FormCreate() then wires them to the core.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Window creation's part that needs the core: reads the settings into the interface
    // controls, fills the binding tables and clears the zero-flag lamps.
    void FormCreate(Workbench& core);

    // The other windows, created after this one.
    void setAboutDialog(TAboutDialog* about);
    void setRegViewForm(TRegViewForm* regView);
    void setSplashForm(TSplashForm* splash);
    void setScriptProgress(TscriptProgress* progress);
    TAboutDialog* aboutDialog() const { return m_about; }
    TRegViewForm* regViewForm() const { return m_regView; }
    TSplashForm* splashForm() const { return m_splash; }
    TscriptProgress* scriptProgress() const { return m_scriptProgress; }

    // Register setting history.
    void appendHistoryLine(const QString& line);
    void appendHistoryLine(const std::string& line) override;
    void clearHistory() override;
    QStringList historyLines() const;

    // The one text of the status bar.
    void setStatusText(const QString& text);
    void setStatusText(const std::string& text);
    QString statusText() const;

    // The core behind the controls, once FormCreate() has run.
    RegisterAccess& access();
    DeviceConnection& connection();
    RegisterScript& script();
    RegisterDump& dump();
    SettingsFile& settings();
    ControlPanel& panel() { return *m_panel; }

    // The connection sequences' busy notice: the splash window.
    void showBusy(const std::string& text) override;
    void setBusyText(const std::string& text) override;
    void setBusyProgress(int minimum, int maximum, int position, bool visible) override;
    void repaintBusy() override;
    void hideBusy() override;
    void catchUp() override;
    // Their status: the status bar and the connection indicator.
    void showStatus(const std::string& text) override { setStatusText(text); }
    void showConnection(Connection state) override { setConnectionImage(static_cast<int>(state)); }
    // Their controls (and clearHistory() above).
    int selectedInterface() const override;
    bool codecIsSlave() const override;
    void refreshControls() override { RefreshControls(); }
    void clearZeroFlags() override { btnZeroClrClick(); }
    void ShowRegisterBits(int row, int value) override;

    // Script runs' view: the script progress window.
    void showProgress() override;
    void setProgress(int percent) override;
    void hideProgress() override;

    void RefreshControls();

    // Connection indicator: an ImageList2 index (0 no EVM, 1 connected), or -1 for blank.
    void setConnectionImage(int index);
    int connectionImage() const { return m_connectionImage; }

    // Controls, by their names.
    QWidget* centralArea() const { return m_central; }
    QTabWidget* MainTab() const { return m_mainTab; }
    QWidget* DACADCFunc() const { return m_pages[0]; }
    QWidget* DACOperation() const { return m_pages[1]; }
    QWidget* DACAtt() const { return m_pages[2]; }
    QWidget* StatusFlag() const { return m_pages[3]; }
    QWidget* AnalogPath() const { return m_pages[4]; }
    QLabel* Image1() const { return m_image1; }
    QLabel* Image2() const { return m_image2; }
    QGroupBox* GroupBox23() const { return m_groupBox23; }
    QPlainTextEdit* Memo1() const { return m_memo1; }
    ImageButton* imgSave() const { return m_imgSave; }
    ImageButton* imgClear() const { return m_imgClear; }
    QGroupBox* GroupBox25() const { return m_groupBox25; }
    QLineEdit* RDA_reg() const { return m_rdaReg; }
    QLineEdit* RDA_data() const { return m_rdaData; }
    ImageButton* imgRead() const { return m_imgRead; }
    ImageButton* imgWrite() const { return m_imgWrite; }
    QGroupBox* gbReset() const { return m_gbReset; }
    QPushButton* btnMRST() const { return m_btnMRST; }
    QPushButton* btnSRST() const { return m_btnSRST; }
    QGroupBox* GroupBox3() const { return m_groupBox3; }
    QLabel* imgConnection() const { return m_imgConnection; }
    QPushButton* bBDRST() const { return m_bBDRST; }
    RadioGroup* rgInterface() const { return m_rgInterface; }
    QLabel* Label20() const { return m_label20; }
    QComboBox* cbAddr() const { return m_cbAddr; }
    ImageButton* imgExit() const { return m_imgExit; }
    QStatusBar* StatusBar1() const { return m_statusBar1; }

    // Menu items.
    QAction* Open1() const { return m_open1; }
    QAction* SaveRegisterDump() const { return m_saveRegisterDump; }
    QAction* Exit() const { return m_exit; }
    QAction* RegisterMap1() const { return m_registerMap1; }
    QAction* About2() const { return m_about2; }

    // Rest position of the image button with this tag; a null point for a tag without one.
    QPoint restPosition(int tag) const;

public slots:
    void Open1Click();
    void SaveRegisterDumpClick();
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The picture at its rest place, or pressed: one pixel right and down.
    void placeImageButton(larkspur::ImageButton* sender, bool pressed);

    struct ImageButtonRecord {
        ImageButton* button = nullptr;
        QPoint rest;
    };

    void buildMenu();
    QAction* addCommand(QMenu* menu, const QString& text, void (TForm1::*handler)());
    void buildTitle();
    void buildMainTab();
    void buildHistory();
    void buildDirectAccess();
    void buildReset();
    void buildConnection();
    void buildInterface();
    ImageButton* makeImageButton(QWidget* parent, const char* name, const QString& lettering,
                                 int tag, const QRect& geometry);
    void recordImageButtons();
    // The number in a direct-access field; reports a text that is no number.
    std::optional<std::int32_t> fieldNumber(const QLineEdit* field);

    QWidget* m_central = nullptr;
    QLabel* m_image1 = nullptr;
    QLabel* m_image2 = nullptr;
    QTabWidget* m_mainTab = nullptr;
    std::array<QWidget*, 5> m_pages{};
    QGroupBox* m_groupBox23 = nullptr;
    QPlainTextEdit* m_memo1 = nullptr;
    ImageButton* m_imgSave = nullptr;
    ImageButton* m_imgClear = nullptr;
    QGroupBox* m_groupBox25 = nullptr;
    QLineEdit* m_rdaReg = nullptr;
    QLineEdit* m_rdaData = nullptr;
    ImageButton* m_imgRead = nullptr;
    ImageButton* m_imgWrite = nullptr;
    QGroupBox* m_gbReset = nullptr;
    QPushButton* m_btnMRST = nullptr;
    QPushButton* m_btnSRST = nullptr;
    QGroupBox* m_groupBox3 = nullptr;
    QLabel* m_imgConnection = nullptr;
    int m_connectionImage = -1;
    QPushButton* m_bBDRST = nullptr;
    RadioGroup* m_rgInterface = nullptr;
    QLabel* m_label20 = nullptr;
    QComboBox* m_cbAddr = nullptr;
    ImageButton* m_imgExit = nullptr;
    QStatusBar* m_statusBar1 = nullptr;
    QLabel* m_statusText = nullptr;

    QAction* m_open1 = nullptr;
    QAction* m_saveRegisterDump = nullptr;
    QAction* m_exit = nullptr;
    QAction* m_registerMap1 = nullptr;
    QAction* m_about2 = nullptr;

    std::array<ImageButtonRecord, kTagCount> m_imageButtons{};

    QPointer<TAboutDialog> m_about;
    QPointer<TRegViewForm> m_regView;
    QPointer<TSplashForm> m_splash;
    QPointer<TscriptProgress> m_scriptProgress;

    Workbench* m_core = nullptr; // not owned
    ControlPanel* m_panel = nullptr;
    bool m_started = false;
};

} // namespace larkspur
