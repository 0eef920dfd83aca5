// The main window against the virtual board through the real link library: start-up and
// Reconnect traffic, the bound controls, resets, direct access and the zero flags.
#include "app/aboutdialog.h"
#include "app/mainwindow.h"
#include "app/scriptprogresswindow.h"
#include "app/splashwindow.h"
#include "device/linklibrary.h"
#include "notation/hextext.h"
#include "panel/controlpanel.h"
#include "regview/registermapwindow.h"
#include "tests/support/evmprocess.h"
#include "tests/support/guitestsupport.h"
#include "widgets/imagebutton.h"
#include "widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

using namespace larkspur;
using testsupport::EvmProcess;
using testsupport::frameHex;
using testsupport::requestsOf;

namespace {

// The main window without modal boxes of its own: the about box is filled but not run.
class BoardForm : public TForm1 {
public:
    using TForm1::TForm1;
    int aboutShown = 0;

protected:
    int showAbout() override {
        ++aboutShown;
        return 0;
    }
};

// A codec write on channel 0 as the link frames it.
std::string codecWrite(bool i2c, int address, int value) {
    return i2c ? frameHex({0x00, 0x01, 0x4C, address, value})
               : frameHex({0x00, 0x03, address, address, 0x00, value});
}

std::string boardWrite(int reg, int value) {
    return frameHex({0x07, 0x03, reg, reg, 0x00, value});
}

// A control showing field value 0 (a track bar: 0 dB).
void expectShowsZero(const BoundControl& row, QWidget* widget) {
    switch (row.kind) {
    case ControlKind::CheckBox:
        EXPECT_FALSE(qobject_cast<QCheckBox*>(widget)->isChecked()) << row.name;
        break;
    case ControlKind::DropDown:
        EXPECT_EQ(qobject_cast<QComboBox*>(widget)->currentIndex(), 0) << row.name;
        break;
    case ControlKind::Radio:
        EXPECT_EQ(qobject_cast<RadioGroup*>(widget)->itemIndex(), 0) << row.name;
        break;
    case ControlKind::Track:
        EXPECT_EQ(qobject_cast<QSlider*>(widget)->value(), 255) << row.name;
        break;
    }
}

class PanelOnBoard : public ::testing::Test {
protected:
    // Starts the board, writes the settings file and shows the main window.
    void start(std::vector<std::string> evmArgs, const std::string& ini, bool board = true) {
        startOn(board ? std::make_unique<EvmProcess>(std::move(evmArgs)) : nullptr, ini);
    }
    // The same with a board prepared by the test (or none).
    void startOn(std::unique_ptr<EvmProcess> evm, const std::string& ini) {
        m_evm = std::move(evm);
        ::setenv("SUNDIAL_PORTS", m_evm ? m_evm->linkPath().c_str() : "/nonexistent/tty", 1);
        const std::string path = QDir(m_folder.path()).filePath("Larkspur.ini").toStdString();
        if (!ini.empty()) {
            std::ofstream(path) << ini;
        }
        Form1Services services{&m_dialogs, &m_sleeper, &m_library, path};
        m_form = std::make_unique<BoardForm>();
        m_core = attachCore(*m_form, services);
        m_regView = new TRegViewForm(m_form.get());
        m_form->setRegViewForm(m_regView);
        m_form->setSplashForm(&m_splash);
        m_form->show();
    }
    void TearDown() override {
        if (m_form) {
            m_form->close();
        }
    }

    ControlPanel& panel() { return m_form->panel(); }
    template <typename T> T* control(const char* name) {
        return qobject_cast<T*>(panel().control(name));
    }
    std::string reg(int r) { return m_evm->control("get " + std::to_string(r)); }

    QTemporaryDir m_folder;
    guitest::RecordingDialogs m_dialogs;
    guitest::RecordingSleeper m_sleeper;
    LinkLibrary m_library;
    TSplashForm m_splash;
    std::unique_ptr<EvmProcess> m_evm;
    std::unique_ptr<Workbench> m_core; // outlives the window
    std::unique_ptr<BoardForm> m_form;
    TRegViewForm* m_regView = nullptr;
};

const char* kI2c = "[SerialInterface]\nType=0\nAddr=0x4C\n";
// Whole transcripts, so a test can mark only once the PC's closing acknowledgement is in: the
// board logs it when it arrives, which may be after the call that sent it has returned.
// Start-up over I2C: probe and board set-ups (20 lines), then 19 transactions of four lines.
constexpr std::size_t kStartUpLinesI2c = 20 + 19 * 4;
// A read: request, acknowledgement, reply, the PC's acknowledgement.
constexpr std::size_t kReadLines = 4;
const char* kSpiDevice1 = "[SerialInterface]\nType=1\nAddr=0x01\n";

TEST_F(PanelOnBoard, StartUpOverI2cSendsExactlyTheConnectionSequence) {
    start({}, kI2c);
    const auto requests = requestsOf(m_evm->transcriptAfter(kStartUpLinesI2c));
    std::vector<std::string> expected = {"1E 03 8F 00 FF 01 AF", "1E 03 50 00 01 00 72"};
    for (int k = 1; k < 7; ++k) {
        expected.push_back(frameHex({0x50 + k, 0x00, 0x00}));
    }
    expected.push_back("1E 03 57 00 03 00 7B");
    for (auto [r, v] : std::vector<std::pair<int, int>>{{0, 0},
                                                        {4, 1},
                                                        {11, 0x55},
                                                        {12, 0x55},
                                                        {13, 0x55},
                                                        {14, 0x55},
                                                        {15, 0x55},
                                                        {53, 1},
                                                        {55, 1}}) {
        expected.push_back(boardWrite(r, v));
    }
    for (int r = 0x10; r <= 0x19; ++r) {
        expected.push_back(frameHex({0x10, 0x01, 0x4C, r, 0x01, 0x00}));
    }
    EXPECT_EQ(requests, expected);
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
    EXPECT_EQ(guitest::statusText(m_form.get()), "Ready");
    EXPECT_EQ(guitest::connectionImage(m_form.get()), 1);
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_FALSE(m_splash.isVisible());
    EXPECT_EQ(m_form->access().linkPort(), 1);
}

TEST_F(PanelOnBoard, StartUpOverSpiReadsNothingAndShowsTheDefaults) {
    start({"--spi-device", "1"}, kSpiDevice1);
    const auto requests = requestsOf(m_evm->transcriptAfter(20 + 9 * 4));
    ASSERT_EQ(requests.size(), 1u + 8u + 9u) << "no codec reads over SPI";
    EXPECT_EQ(requests[1], frameHex({0x50, 0x00, 0x03}));
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 255);
    EXPECT_EQ(control<QComboBox>("cbDACSAM")->currentIndex(), 0);
    EXPECT_EQ(m_form->access().DeviceBits(), 0x20);
}

TEST_F(PanelOnBoard, StartUpShowsWhatTheCodecHolds) {
    // Wide mode, ZERO2 pin as AMUTEO, zero function 1; DAC L at -55 dB; IIS DSP; quad rate.
    auto evm = std::make_unique<EvmProcess>();
    for (auto [r, v] : std::vector<std::pair<int, int>>{
             {0x16, 0x8A}, {0x18, 200}, {0x11, 0x84}, {0x10, 0xC7}, {0x13, 0x02}}) {
        ASSERT_EQ(evm->control("reg " + std::to_string(r) + " " + std::to_string(v)), "ok");
    }
    startOn(std::move(evm), kI2c);

    EXPECT_EQ(control<RadioGroup>("rgDACAttMode")->itemIndex(), 1);
    EXPECT_EQ(control<QSlider>("tkDAC1")->minimum(), 155);
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 200);
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-55.0");
    EXPECT_EQ(control<QComboBox>("cbAMuteoZero")->currentIndex(), 1);
    EXPECT_EQ(control<QComboBox>("cbZeroFunc")->currentIndex(), 1);
    EXPECT_EQ(control<QComboBox>("cbDACFMT")->currentIndex(), 4);
    EXPECT_EQ(control<QComboBox>("cbDACSAM")->currentIndex(), 3);
    EXPECT_TRUE(control<QCheckBox>("cInvDAC2")->isChecked());
    EXPECT_FALSE(control<QCheckBox>("cInvDAC1")->isChecked());
    // The refresh's echoes are sent but, the history flag being clear, not logged.
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
    EXPECT_EQ(reg(0x16), "ok 0x8A");
}

TEST_F(PanelOnBoard, AGarbageAnswerToASetUpLeavesTheCodecAsItWas) {
    // Noise where the first set-up's acknowledgement belongs, with more of it behind: the reads
    // of the start-up and the refresh's echoes must not be shifted by it.
    auto evm = std::make_unique<EvmProcess>(std::vector<std::string>{"--fault", "garbage setup"});
    const int values[10] = {0xC0, 0x21, 0x32, 0x43, 0x54, 0x00, 0x76, 0x87, 0x98, 0xA9};
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(evm->control("reg " + std::to_string(0x10 + i) + " " + std::to_string(values[i])),
                  "ok");
    }
    startOn(std::move(evm), kI2c);
    m_evm->markAfter(kStartUpLinesI2c);
    EXPECT_EQ(m_evm->control("fault"), "ok off") << "the set-up met the fault";
    for (int i = 0; i < 10; ++i) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "ok 0x%02X", values[i]);
        EXPECT_EQ(reg(0x10 + i), expected) << "register 0x" << std::hex << 0x10 + i;
        EXPECT_EQ(m_form->access().shadowRegister(0x10 + i), values[i]) << std::hex << 0x10 + i;
    }
    EXPECT_TRUE(m_dialogs.errors.empty());
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 0x98);
}

// A register whose read fails at start-up is unknown: nothing computed from it reaches the
// codec, which keeps every value it had; the panel shows the default for it. On a board at its
// defaults start-up writes nothing to the codec at all; on one with other values the refresh
// echoes only registers it has read.
TEST_F(PanelOnBoard, AFailedReadAtStartUpWritesNothingToTheCodec) {
    const std::vector<int> defaults = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
    const std::vector<int> others = {0xC7, 0x21, 0x32, 0x43, 0x54, 0x00, 0x76, 0x87, 0x98, 0xA9};
    for (const std::vector<int>& values : {defaults, others}) {
        for (int failed = 0x10; failed <= 0x19; ++failed) {
            SCOPED_TRACE("read of 0x" + hexText(failed, 2) + " fails; board at " +
                         (values == defaults ? "defaults" : "other values"));
            auto evm = std::make_unique<EvmProcess>();
            for (int i = 0; i < 10; ++i) {
                ASSERT_EQ(evm->control("reg " + std::to_string(0x10 + i) + " " +
                                       std::to_string(values[static_cast<std::size_t>(i)])),
                          "ok");
            }
            ASSERT_EQ(evm->control("fault wrong-ack read reg " + std::to_string(failed) + " once"),
                      "ok");
            m_dialogs.messages.clear();
            startOn(std::move(evm), kI2c);
            EXPECT_EQ(m_evm->control("fault"), "ok off") << "the read met the fault";
            m_evm->control("idle");
            const std::string toFailed = codecWrite(true, failed, 0).substr(0, 17);
            for (const std::string& request : requestsOf(m_evm->transcript())) {
                const bool codecWriteFrame = request.rfind("1E 05 00 01", 0) == 0;
                EXPECT_FALSE(codecWriteFrame && values == defaults) << request;
                EXPECT_NE(request.substr(0, 17), toFailed) << "written from a guess";
            }
            for (int i = 0; i < 10; ++i) {
                char expected[16];
                std::snprintf(expected, sizeof expected, "ok 0x%02X",
                              values[static_cast<std::size_t>(i)]);
                EXPECT_EQ(reg(0x10 + i), expected) << "register 0x" << hexText(0x10 + i, 2);
            }
            EXPECT_FALSE(m_form->access().registerKnown(failed));
            EXPECT_EQ(m_form->access().shadowRegister(failed),
                      defaults[static_cast<std::size_t>(failed - 0x10)]);
            EXPECT_EQ(m_dialogs.messages,
                      std::vector<std::string>{
                          "Communication error: RDERR0003\nPlease check interface setting."});
            m_form->close();
            m_form.reset();
            m_core.reset();
        }
    }
}

TEST_F(PanelOnBoard, WithoutABoardEveryControlShowsTheDefaults) {
    start({}, kI2c, false);
    EXPECT_EQ(m_dialogs.errors,
              (std::vector<std::pair<std::string, std::string>>{{"Error", "No EVM was found"}}));
    EXPECT_EQ(guitest::statusText(m_form.get()), "No EVM was found");
    EXPECT_EQ(guitest::connectionImage(m_form.get()), 0);
    for (const BoundControl& row : controlCatalogue()) {
        QWidget* widget = panel().control(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        expectShowsZero(row, widget);
    }
    auto* about = new TAboutDialog(m_form.get());
    m_form->setAboutDialog(about);
    m_form->About2Click();
    EXPECT_EQ(m_form->aboutShown, 1);
    EXPECT_EQ(about->lDLLver()->text(), "1.5.0.0");
    EXPECT_EQ(about->lPort()->text(), "0");
}

TEST_F(PanelOnBoard, AboutBoxShowsTheLibraryVersionAndPort) {
    start({}, kI2c);
    auto* about = new TAboutDialog(m_form.get());
    m_form->setAboutDialog(about);
    EXPECT_EQ(about->lDLLver()->text(), "0.0.0.0");
    m_form->About2Click();
    EXPECT_EQ(about->lDLLver()->text(), "1.5.0.0");
    EXPECT_EQ(about->lPort()->text(), "1");
}

// Every bound control, every value: the register it writes, and the control a register shows.
TEST_F(PanelOnBoard, EveryControlRoundTripsThroughItsRegister) {
    start({}, kI2c);
    for (const BoundControl& row : controlCatalogue()) {
        QWidget* widget = panel().control(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->toolTip().toStdString(), std::string(row.tooltip)) << row.name;
        EXPECT_EQ(widget->property("Tag").toInt(), row.tag) << row.name;
        if (row.kind == ControlKind::Track || !widget->isEnabled()) {
            continue;
        }
        const int values =
            row.kind == ControlKind::CheckBox ? 2 : static_cast<int>(row.items.size());
        for (int value = values - 1; value >= 0; --value) {
            switch (row.kind) {
            case ControlKind::CheckBox:
                qobject_cast<QCheckBox*>(widget)->setChecked(value != 0);
                break;
            case ControlKind::DropDown: {
                auto* list = qobject_cast<QComboBox*>(widget);
                list->setCurrentIndex(value);
                emit list->activated(value); // as the user's pick
                break;
            }
            case ControlKind::Radio:
                qobject_cast<RadioGroup*>(widget)->setItemIndex(value);
                break;
            case ControlKind::Track:
                break;
            }
            const int shadow = m_form->access().shadowRegister(row.reg);
            EXPECT_EQ((shadow >> row.shift) & ((1 << row.width) - 1), value) << row.name;
            char expected[16];
            std::snprintf(expected, sizeof expected, "ok 0x%02X",
                          row.reg == 0x10 ? (shadow & 0x3F) | 0xC0 : shadow);
            if (row.reg != 0x10) {
                EXPECT_EQ(reg(row.reg), expected) << row.name << " = " << value;
            }
            EXPECT_EQ(guitest::historyLines(m_form.get()).back().toStdString(),
                      historyLine(static_cast<std::uint32_t>(row.reg), shadow))
                << row.name;
        }
        // And back: the register drives the control.
        // Register 0x10 keeps its command bits set in the shadow, as every write leaves them.
        m_form->access().setShadowRegister(row.reg, row.reg == 0x10 ? 0xC0 : 0x00);
        m_form->RefreshControls();
        expectShowsZero(row, widget);
    }
}

TEST_F(PanelOnBoard, AttenuationByTrackAndByTypedValue) {
    start({}, kI2c);
    m_evm->mark();
    control<QSlider>("tkDAC1")->setValue(234);
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-10.5");
    EXPECT_EQ(reg(0x18), "ok 0xEA");
    EXPECT_EQ(guitest::historyLines(m_form.get()).back(), "0x18, 0xEA");

    auto* edit = control<QLineEdit>("edDAC2");
    edit->setText("-10.7");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(control<QSlider>("tkDAC2")->value(), 233);
    EXPECT_EQ(edit->text(), "-11.0");
    EXPECT_EQ(reg(0x19), "ok 0xE9");

    // Not a number: the error report, nothing written.
    const auto lines = guitest::historyLines(m_form.get()).size();
    edit->setText("nan");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_FALSE(m_dialogs.errors.empty());
    EXPECT_EQ(m_dialogs.errors.back(),
              (std::pair<std::string, std::string>{"EVM control application",
                                                   "'nan' is not a valid floating point value."}));
    EXPECT_EQ(guitest::historyLines(m_form.get()).size(), lines);

    // Wide mode with register 0x18 below its minimum: raised to 155 and written.
    control<QSlider>("tkDAC1")->setValue(140);
    control<RadioGroup>("rgDACAttMode")->setItemIndex(1);
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 155);
    EXPECT_EQ(reg(0x18), "ok 0x9B");
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-100.0");
}

TEST_F(PanelOnBoard, ResetsInSpiDeviceOneGoToAddress30) {
    start({"--spi-device", "1"}, kSpiDevice1);
    m_form->access().setShadowRegister(0x10, 0xC5);
    m_evm->mark();
    m_form->btnSRSTClick();
    m_form->btnMRSTClick();
    const auto requests = requestsOf(m_evm->transcriptAfter(8));
    EXPECT_EQ(requests, (std::vector<std::string>{codecWrite(false, 0x30, 0x85),
                                                  codecWrite(false, 0x30, 0x45)}));
    EXPECT_EQ(m_sleeper.sleeps.back(), 1000);
    EXPECT_EQ(guitest::historyLines(m_form.get()), QStringList({"0x30, 0x85", "0x30, 0x45"}));
    EXPECT_EQ(m_form->access().shadowRegister(0x10), 0xC0);
    EXPECT_FALSE(m_form->access().writeSuppressed());
    EXPECT_TRUE(m_form->access().historyEnabled());
}

TEST_F(PanelOnBoard, ZeroFlagsLightTheLamps) {
    start({}, kI2c);
    struct Case {
        int flags;
        int zero1;
        int zero2;
    };
    m_evm->markAfter(kStartUpLinesI2c);
    for (const Case c : {Case{0x02, 0, 2}, Case{0x03, 2, 2}, Case{0x00, 0, 0}}) {
        ASSERT_EQ(m_evm->control("zero " + std::to_string(c.flags)), "ok");
        m_form->btnZeroReadClick();
        m_evm->markAfter(kReadLines);
        EXPECT_EQ(panel().lampImage(0), c.zero1) << c.flags;
        EXPECT_EQ(panel().lampImage(1), c.zero2) << c.flags;
    }
    ASSERT_EQ(m_evm->control("zero 3"), "ok");
    m_form->btnZeroReadClick();
    m_evm->markAfter(kReadLines);
    m_form->btnZeroClrClick();
    EXPECT_EQ(panel().lampImage(0), 0);
    EXPECT_TRUE(m_evm->transcript().empty()) << "clearing the lamps asks the board nothing";
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
}

TEST_F(PanelOnBoard, DirectAccessReadsWritesAndRefreshes) {
    start({}, kI2c);
    m_evm->markAfter(kStartUpLinesI2c);
    ASSERT_EQ(m_evm->control("zero 3"), "ok");
    guitest::child<QLineEdit>(m_form.get(), "RDA_reg")->setText("0x15");
    QTest::keyClick(guitest::child<QLineEdit>(m_form.get(), "RDA_reg"), Qt::Key_Return);
    EXPECT_EQ(guitest::child<QLineEdit>(m_form.get(), "RDA_data")->text(), "0x03");

    m_evm->markAfter(kReadLines);
    guitest::child<QLineEdit>(m_form.get(), "RDA_reg")->setText("0x11");
    guitest::child<QLineEdit>(m_form.get(), "RDA_data")->setText("5");
    QTest::keyClick(guitest::child<QLineEdit>(m_form.get(), "RDA_data"), Qt::Key_Return);
    EXPECT_EQ(requestsOf(m_evm->transcriptAfter(4)),
              std::vector<std::string>{codecWrite(true, 0x11, 0x05)});
    EXPECT_EQ(guitest::historyLines(m_form.get()), QStringList({"0x11, 0x05"}));
    EXPECT_EQ(control<QComboBox>("cbDACFMT")->currentIndex(), 5);

    guitest::child<QLineEdit>(m_form.get(), "RDA_data")->setText("0x1G");
    m_form->WriteClick();
    EXPECT_EQ(m_dialogs.errors.back(),
              (std::pair<std::string, std::string>{"EVM control application",
                                                   "'0x1G' is not a valid integer value."}));
    EXPECT_EQ(guitest::historyLines(m_form.get()).size(), 1);

    m_form->bClearHistryClick();
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
}

TEST_F(PanelOnBoard, WrerrOnceUntilMrstSperrEveryTime) {
    start({}, kI2c);
    ASSERT_EQ(m_evm->control("fault no-reply write 2"), "ok");
    control<QCheckBox>("cInvDAC1")->setChecked(true);
    control<QCheckBox>("cInvDAC2")->setChecked(true);
    EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{"Communication error: WRERR0003"});
    m_form->btnMRSTClick();
    ASSERT_EQ(m_evm->control("fault no-reply write once"), "ok");
    control<QCheckBox>("cInvDAC1")->setChecked(true);
    EXPECT_EQ(m_dialogs.messages.size(), 2u) << "the reset cleared the latch";

    ASSERT_EQ(m_evm->control("fault no-reply write 2"), "ok");
    for (int i = 0; i < 2; ++i) {
        m_form->access().WriteBoardRegister(0x37, 1);
    }
    ASSERT_EQ(m_dialogs.messages.size(), 4u);
    EXPECT_EQ(m_dialogs.messages[2], "Communication error: SPERR0003");
    EXPECT_EQ(m_dialogs.messages[3], "Communication error: SPERR0003");
}

TEST_F(PanelOnBoard, ReconnectFindsTheBoardAgainAfterReplug) {
    start({}, kI2c);
    ASSERT_EQ(m_evm->control("unplug"), "ok");
    m_form->bBDRSTClick();
    EXPECT_EQ(m_dialogs.errors.back(),
              (std::pair<std::string, std::string>{"Error", "No EVM was foud"}));
    EXPECT_EQ(guitest::statusText(m_form.get()), "No EVM was found");
    EXPECT_EQ(guitest::connectionImage(m_form.get()), 0);

    ASSERT_EQ(m_evm->control("replug"), "ok");
    m_evm->mark();
    m_form->bBDRSTClick();
    EXPECT_EQ(guitest::statusText(m_form.get()), "Ready");
    EXPECT_EQ(guitest::connectionImage(m_form.get()), 1);
    const auto requests = requestsOf(m_evm->transcriptAfter(20 + 10 * 4));
    ASSERT_GE(requests.size(), 10u);
    EXPECT_EQ(requests[9], codecWrite(true, 0x10, 0x40)) << "the codec's reset after the set-ups";
    EXPECT_EQ(requests.size(), 19u);
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
}

// A click made while Reconnect waits for the board is queued, as the window system queues it:
// the sequence passes no messages after its first step, so the click runs once it has ended,
// and its write goes out and into the history rather than under the sequence's holds.
TEST_F(PanelOnBoard, AClickDuringReconnectsWaitRunsAfterTheSequence) {
    start({}, kI2c);
    auto* mute = control<QCheckBox>("cDAC1");
    m_sleeper.during = [mute](int) {
        const QPoint centre = mute->rect().center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                mute,
                new QMouseEvent(type, centre, mute->mapToGlobal(centre), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
    };
    m_form->bBDRSTClick();
    m_sleeper.during = nullptr;
    EXPECT_FALSE(mute->isChecked()) << "the click ran inside the sequence";
    EXPECT_TRUE(guitest::historyLines(m_form.get()).isEmpty());
    m_evm->transcriptAfter(20 + 10 * 4);
    m_evm->mark();

    QCoreApplication::processEvents();
    EXPECT_TRUE(mute->isChecked());
    EXPECT_EQ(guitest::historyLines(m_form.get()), QStringList{"0x14, 0x01"});
    EXPECT_EQ(requestsOf(m_evm->transcriptAfter(4)),
              (std::vector<std::string>{codecWrite(true, 0x14, 0x01)}));
    EXPECT_EQ(reg(0x14), "ok 0x01");
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(PanelOnBoard, ScriptFromTheMenuWritesWithProgressAndRefreshes) {
    start({}, kI2c);
    auto* progress = new TscriptProgress(m_form.get());
    m_form->setScriptProgress(progress);
    const std::string script = QDir(m_folder.path()).filePath("steps.csv").toStdString();
    std::ofstream(script, std::ios::binary) << "0x13, 0x02\r\n0x18, 200\r\n";
    m_dialogs.fileNames.push_back(script);
    m_evm->mark();
    m_form->Open1Click();

    ASSERT_FALSE(m_dialogs.fileDialogs.empty());
    EXPECT_EQ(m_dialogs.fileDialogs.back().second.filter, "CSV|*.csv|All Files|*.*");
    const auto requests = requestsOf(m_evm->transcriptAfter(8));
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0], codecWrite(true, 0x13, 0x02));
    EXPECT_EQ(requests[1], codecWrite(true, 0x18, 200));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(panel().control("cInvDAC2"))->isChecked());
    EXPECT_EQ(qobject_cast<QSlider*>(panel().control("tkDAC1"))->value(), 200);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(m_form->access().historyEnabled());
    EXPECT_EQ(reg(0x18), "ok 0xC8");
}

TEST_F(PanelOnBoard, StartupScriptRunsWhenTheBoardIsFound) {
    QTemporaryDir here;
    std::ofstream(QDir(here.path()).filePath("startup.csv").toStdString(), std::ios::binary)
        << "0x13, 0x01\r\n";
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(here.path()));
    start({}, kI2c);
    QDir::setCurrent(before);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(panel().control("cInvDAC1"))->isChecked());
    EXPECT_EQ(reg(0x13), "ok 0x01");
    EXPECT_TRUE(m_form->access().historyEnabled());
}

TEST_F(PanelOnBoard, SnapshotAndHistoryAreSavedAsScripts) {
    start({}, kI2c);
    ASSERT_EQ(m_evm->control("reg 0x16 0x8A"), "ok");
    const std::string snapshot = QDir(m_folder.path()).filePath("snap.csv").toStdString();
    m_dialogs.fileNames.push_back(snapshot);
    m_form->SaveRegisterDumpClick();
    const std::string saved = fileText(snapshot);
    EXPECT_EQ(saved.substr(0, 12), "0x10, 0xC0\r\n");
    EXPECT_NE(saved.find("0x16, 0x8A\r\n"), std::string::npos);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 10);

    qobject_cast<QCheckBox*>(panel().control("cInvDAC1"))->setChecked(true);
    const std::string history = QDir(m_folder.path()).filePath("history.csv").toStdString();
    m_dialogs.fileNames.push_back(history);
    guitest::child<larkspur::ImageButton>(m_form.get(), "imgSave")->click();
    EXPECT_EQ(fileText(history), "0x13, 0x01\r\n");
    EXPECT_EQ(m_dialogs.fileDialogs.back().second.fileName, snapshot) << "the last name is offered";
}

} // namespace
