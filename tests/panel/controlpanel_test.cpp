// The bound controls over a recording link: addresses, echo writes of a refresh under each
// state of the flags, and the attenuation limits.
#include "app/mainwindow.h"
#include "panel/controlpanel.h"
#include "tests/support/fakes.h"
#include "tests/support/guitestsupport.h"
#include "widgets/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace larkspur;

namespace {

class PanelOverFakeLink : public ::testing::Test {
protected:
    // A connected main window: the fake link answers the search on port 2.
    void start(const char* ini) {
        m_link.initResult = 2;
        // The codec as it comes out of reset.
        m_link.values = {{0x10, 0xC0}, {0x18, 0xFF}, {0x19, 0xFF}};
        m_services.loader.entries_ = &m_link.entries;
        std::ofstream(m_services.settingsPath.toStdString()) << ini;
        m_form = std::make_unique<TForm1>();
        m_core = attachCore(*m_form, m_services.services());
        m_form->show();
        m_link.calls.clear();
        guitest::child<QPlainTextEdit>(m_form.get(), "Memo1")->clear();
    }
    template <typename T> T* control(const char* name) {
        return qobject_cast<T*>(m_form->panel().control(name));
    }
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const auto& call : m_link.calls) {
            if (call.entry == "write") {
                char text[32];
                std::snprintf(text, sizeof text, "%d:%02X=%02X", call.channel, call.reg,
                              call.value);
                out.emplace_back(text);
            }
        }
        return out;
    }

    testsupport::FakeLink m_link;
    guitest::TestServices m_services;
    std::unique_ptr<Workbench> m_core; // outlives the window
    std::unique_ptr<TForm1> m_form;
};

TEST_F(PanelOverFakeLink, SpiDevice3WritesSixtyHigherFromTheRegistersOwnShadow) {
    start("[SerialInterface]\nType=1\nAddr=3\n");
    ASSERT_EQ(m_form->access().DeviceBits(), 0x60);
    m_form->access().setShadowRegister(0x14, 0x01);
    m_form->access().setShadowRegister(0x16, 0x8B);
    m_form->access().setShadowRegister(0x11, 0x05);
    control<QCheckBox>("cDAC2")->setChecked(true);
    auto* demp = control<QComboBox>("cbDEMP");
    demp->setCurrentIndex(3);
    emit demp->activated(3);
    control<RadioGroup>("rgDACPowSav")->setItemIndex(1);
    EXPECT_EQ(writes(), (std::vector<std::string>{"0:74=03", "0:76=BB", "0:71=85"}));
    EXPECT_EQ(guitest::historyLines(m_form.get()),
              QStringList({"0x74, 0x03", "0x76, 0xBB", "0x71, 0x85"}));
}

TEST_F(PanelOverFakeLink, MasterSlaveTellsTheBoard) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    auto* list = control<QComboBox>("cbDACMasterSlave");
    EXPECT_FALSE(list->isEnabled());
    list->setCurrentIndex(2);
    emit list->activated(2);
    list->setCurrentIndex(0);
    emit list->activated(0);
    EXPECT_EQ(writes(), (std::vector<std::string>{"0:11=20", "7:37=00", "0:11=00", "7:37=01"}));
}

struct EchoCase {
    const char* name;
    bool suppressed;
    bool history;
    std::size_t sent;
    int logged;
};

class RefreshEchoes : public PanelOverFakeLink, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(RefreshEchoes, FollowTheFlags) {
    const EchoCase& c = GetParam();
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    m_form->access().setShadowRegister(0x13, 0x02); // cInvDAC2 must change: one echo
    m_form->access().setWriteSuppressed(c.suppressed);
    m_form->access().setHistoryEnabled(c.history);
    m_form->RefreshControls();
    EXPECT_TRUE(control<QCheckBox>("cInvDAC2")->isChecked());
    EXPECT_EQ(writes().size(), c.sent);
    if (c.sent == 1) {
        EXPECT_EQ(writes().front(), "0:13=02");
    }
    EXPECT_EQ(guitest::historyLines(m_form.get()).size(), c.logged);
    EXPECT_EQ(m_form->access().shadowRegister(0x13), 0x02);
}

INSTANTIATE_TEST_SUITE_P(Panel, RefreshEchoes,
                         ::testing::Values(EchoCase{"sentAndLogged", false, true, 1, 1},
                                           EchoCase{"sentOnly", false, false, 1, 0},
                                           EchoCase{"loggedOnly", true, true, 0, 1},
                                           EchoCase{"neither", true, false, 0, 0}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(PanelOverFakeLink, RefreshRaisesAnAttenuationBelowTheMinimum) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    m_form->access().setShadowRegister(0x18, 100);
    m_form->RefreshControls();
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 129);
    EXPECT_EQ(writes(), std::vector<std::string>{"0:18=81"});
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-63.0");

    // Already at the minimum: nothing written, the text shows the shadow value.
    m_link.calls.clear();
    m_form->access().setShadowRegister(0x18, 100);
    m_form->RefreshControls();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-77.5");
}

// With the mode register unread (its start-up read failed, and so does the re-read), a mode click
// is dropped and re-limits no track, though the radio group shows it. The next refresh sets the
// minimum of the mode shown, which moves a track below it: that move is echoed as the user's
// would be, before the position is set from the shadow, which then holds the minimum.
TEST_F(PanelOverFakeLink, ARefreshEchoesTheMoveItsNewMinimumMakes) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    m_form->access().markUnknown(0x16);
    m_link.readResult = 3;
    control<QSlider>("tkDAC1")->setValue(140);
    control<RadioGroup>("rgDACAttMode")->setItemIndex(1);
    ASSERT_EQ(control<QSlider>("tkDAC1")->minimum(), 129);
    m_link.calls.clear();

    m_form->RefreshControls();
    EXPECT_EQ(writes(), std::vector<std::string>{"0:18=9B"});
    EXPECT_EQ(m_form->access().shadowRegister(0x18), 0x9B);
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 155);
}

TEST_F(PanelOverFakeLink, ModeSwitchesRescaleTextsNotRegisters) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    control<RadioGroup>("rgDACAttMode")->setItemIndex(1);
    control<QSlider>("tkDAC1")->setValue(175);
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-80.0");
    m_link.calls.clear();
    control<RadioGroup>("rgDACAttMode")->setItemIndex(0);
    EXPECT_EQ(writes(), std::vector<std::string>{"0:16=00"}) << "only the mode bit";
    EXPECT_EQ(control<QSlider>("tkDAC1")->minimum(), 129);
    EXPECT_EQ(control<QLineEdit>("edDAC1")->text(), "-40.0");
}

TEST_F(PanelOverFakeLink, TypedValuesClampAndAPositiveOneChangesNothing) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    auto* edit = control<QLineEdit>("edDAC1");
    edit->setText("5");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(edit->text(), "5");

    edit->setText("-80");
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(control<QSlider>("tkDAC1")->value(), 129);
    EXPECT_EQ(edit->text(), "-63.0");
    EXPECT_EQ(writes(), std::vector<std::string>{"0:18=81"});

    // Other keys only edit the text.
    m_link.calls.clear();
    edit->setText("-1");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(writes().empty());
}

TEST_F(PanelOverFakeLink, DataFormatBeyondTheListShowsNoItem) {
    start("[SerialInterface]\nType=0\nAddr=0x4C\n");
    for (int low = 6; low <= 15; ++low) {
        m_form->access().setShadowRegister(0x11, static_cast<std::uint8_t>(low));
        m_form->RefreshControls();
        EXPECT_EQ(control<QComboBox>("cbDACFMT")->currentIndex(), -1) << low;
        EXPECT_TRUE(control<QComboBox>("cbDACFMT")->currentText().isEmpty()) << low;
    }
}

TEST_F(PanelOverFakeLink, InterfaceControlsShowAndSaveTheSettings) {
    start("[SerialInterface]\nType=0\nAddr=0x4E\n");
    auto* interfaces = guitest::child<larkspur::RadioGroup>(m_form.get(), "rgInterface");
    EXPECT_EQ(interfaces->itemIndex(), 0);
    EXPECT_EQ(guitest::child<QComboBox>(m_form.get(), "cbAddr")->currentText(), "10");
    EXPECT_EQ(m_form->access().channels()[0].address, 78);

    guitest::child<QComboBox>(m_form.get(), "cbAddr")->setCurrentIndex(3);
    emit guitest::child<QComboBox>(m_form.get(), "cbAddr")->activated(3);
    interfaces->setItemIndex(1);
    EXPECT_EQ(guitest::child<QComboBox>(m_form.get(), "cbAddr")->currentIndex(), 0);
    EXPECT_EQ(m_form->access().DeviceBits(), 0);
    std::ifstream in(m_services.settingsPath.toStdString());
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[SerialInterface]\nType=1\nAddr=0x00\n");
    ASSERT_GE(m_link.calls.size(), 2u);
    EXPECT_EQ(m_link.calls[m_link.calls.size() - 2].entry, "close");
    EXPECT_EQ(m_link.calls.back().entry, "init");
    EXPECT_EQ(m_link.calls.back().value, 2) << "re-opened on the port in use";
    EXPECT_EQ(m_link.calls.back().codec.type, 3);
}

TEST(PanelWithoutLink, AClickChangesTheControlOnlyUntilTheNextRefresh) {
    guitest::TestForm form;
    form.access().LoadDefaultRegisters();
    auto* box = qobject_cast<QCheckBox*>(form.panel().control("cInvDAC1"));
    box->setChecked(true);
    EXPECT_TRUE(guitest::historyLines(&form).isEmpty());
    EXPECT_EQ(form.access().shadowRegister(0x13), 0x00);
    form.RefreshControls();
    EXPECT_FALSE(box->isChecked());
}

} // namespace
