// The main window: layout, menu, exit, register map and about box.
#include "app/aboutdialog.h"
#include "app/connectionarea.h"
#include "app/mainwindow.h"
#include "regview/registermapwindow.h"
#include "tests/support/guitestsupport.h"
#include "widgets/imagebutton.h"
#include "widgets/radiogroup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using larkspur::TForm1;

// Counts what the close handler and the show handler were asked to do.
class RecordingForm1 : public guitest::TestForm {
public:
    int formCloseCalls = 0;
    int formShowCalls = 0;

protected:
    void FormClose() override { ++formCloseCalls; }
    void FormShow() override { ++formShowCalls; }
};

QRect inClientArea(TForm1& form, const QWidget* widget) {
    return QRect(widget->mapTo(guitest::child<QWidget>(&form, "ClientArea"), QPoint(0, 0)),
                 widget->size());
}

struct LayoutCase {
    const char* name;
    QRect geometry; // client coordinates
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class Form1Layout : public testing::TestWithParam<LayoutCase> {};

TEST_P(Form1Layout, ElementSitsAtItsDesignedPlace) {
    guitest::TestForm form;
    auto* widget = guitest::child<QWidget>(&form, GetParam().name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(inClientArea(form, widget), GetParam().geometry);
}

INSTANTIATE_TEST_SUITE_P(Elements, Form1Layout,
                         testing::Values(LayoutCase{"Image1", QRect(24, 8, 360, 19)},
                                         LayoutCase{"Image2", QRect(552, 7, 162, 19)},
                                         LayoutCase{"MainTab", QRect(24, 37, 458, 420)},
                                         LayoutCase{"GroupBox23", QRect(496, 32, 217, 354)},
                                         LayoutCase{"GroupBox25", QRect(496, 392, 217, 65)},
                                         LayoutCase{"gbReset", QRect(24, 464, 201, 70)},
                                         LayoutCase{"GroupBox3", QRect(258, 464, 223, 70)},
                                         LayoutCase{"rgInterface", QRect(496, 464, 68, 70)},
                                         LayoutCase{"imgExit", QRect(608, 508, 111, 24)},
                                         LayoutCase{"StatusBar1", QRect(0, 566, 739, 19)}),
                         [](const testing::TestParamInfo<LayoutCase>& row) {
                             return std::string(row.param.name);
                         });

struct SizeCase {
    const char* name;
    QSize size;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class Form1Sizes : public testing::TestWithParam<SizeCase> {};

TEST_P(Form1Sizes, ControlHasItsDesignedSize) {
    guitest::TestForm form;
    auto* widget = guitest::child<QWidget>(&form, GetParam().name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->size(), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Form1Sizes,
    testing::Values(SizeCase{"Memo1", QSize(169, 286)}, SizeCase{"imgSave", QSize(79, 24)},
                    SizeCase{"imgClear", QSize(79, 24)}, SizeCase{"imgRead", QSize(53, 24)},
                    SizeCase{"imgWrite", QSize(53, 24)}, SizeCase{"imgExit", QSize(111, 24)},
                    SizeCase{"imgConnection", QSize(72, 19)}),
    [](const testing::TestParamInfo<SizeCase>& row) { return std::string(row.param.name); });

TEST(Form1, WindowCaptionBorderAndPlace) {
    guitest::TestForm form;
    form.show();
    EXPECT_EQ(form.windowTitle(), "EVM Controller");
    EXPECT_EQ(form.objectName(), "Form1");
    EXPECT_EQ(guitest::child<QWidget>(&form, "ClientArea")->size(), QSize(739, 585));
    // Fixed size: the client area below the menu bar, and nothing to drag.
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.height(), form.menuBar()->height() + 585);
    EXPECT_EQ(form.pos(), QPoint(195, 123));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}

// On a screen smaller than the window (a scale factor of 1.5 on a 1000-pixel-high screen leaves
// 666, less a 48-pixel panel and the title bar) the client area scrolls, as designed, and a control
// reached with the keyboard comes into view; on a screen that holds it again the window is the
// designed one.
TEST(Form1, ScrollsItsClientAreaOnAScreenTooSmallForIt) {
    guitest::TestForm form;
    form.show();
    auto* client = guitest::child<QWidget>(&form, "ClientArea");
    const struct Case {
        QSize available;
        bool scrolls;
    } cases[] = {{QSize(1280, 666 - 48 - 32), true},
                 {QSize(1920, 1080), false},
                 {QSize(739, 585 + form.menuBar()->height()), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.available.width()) + "x" +
                     std::to_string(c.available.height()));
        form.fitToScreen(c.available);
        auto* scroll = form.findChild<QScrollArea*>("ClientScroll");
        EXPECT_EQ(client->size(), QSize(739, 585)) << "the layout stays as designed";
        if (!c.scrolls) {
            EXPECT_EQ(scroll, nullptr);
            EXPECT_EQ(form.centralWidget(), client);
            EXPECT_EQ(form.minimumSize(), form.maximumSize());
            EXPECT_EQ(form.height(), form.menuBar()->height() + 585);
            continue;
        }
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(form.centralWidget(), scroll);
        EXPECT_EQ(scroll->widget(), client);
        EXPECT_LE(form.width(), c.available.width());
        EXPECT_LE(form.height(), c.available.height());
        // The interface list sits in the bottom row, below what the view shows at first.
        auto* bottom = guitest::child<QWidget>(&form, "cbAddr");
        const QRect view = scroll->viewport()->rect();
        const auto shown = [&] {
            return view.contains(
                QRect(bottom->mapTo(scroll->viewport(), QPoint(0, 0)), bottom->size()));
        };
        form.activateWindow();
        QApplication::setActiveWindow(&form);
        bottom->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), bottom);
        EXPECT_TRUE(shown()) << "the focused control is scrolled into view";
    }
}

TEST(Form1, SilverBackgroundAndArialNinePoint) {
    guitest::TestForm form;
    EXPECT_EQ(guitest::background(&form), QColor(192, 192, 192));
    EXPECT_EQ(form.font().family(), "Arial");
    EXPECT_EQ(form.font().pointSize(), 9);
    EXPECT_EQ(guitest::child<QTabWidget>(&form, "MainTab")->font().pointSize(), 9);
    EXPECT_TRUE(form.toolTip().isEmpty());
}

TEST(Form1, MenuHasExactlyTheDesignedItems) {
    guitest::TestForm form;
    const QList<QAction*> menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    const QStringList titles{"&File", "&Tool", "&Help"};
    const QList<QStringList> items{{"&Open script", "&Save register snapshot", "", "Exit"},
                                   {"Register Map", "&Compare with snapshot..."},
                                   {"&About"}};
    for (qsizetype m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), titles[m]);
        ASSERT_NE(menus[m]->menu(), nullptr);
        QStringList texts;
        for (QAction* item : menus[m]->menu()->actions())
            texts << (item->isSeparator() ? QString() : item->text());
        EXPECT_EQ(texts, items[m]) << titles[m].toStdString();
    }
    EXPECT_TRUE(form.menuBar()->actions()[0]->menu()->actions()[2]->isSeparator());
}

// A menu command runs once the trigger has returned, so a modal window it opens does not hold
// up whoever chose the item (assistive technology waits for its action call).
TEST(Form1, MenuCommandsRunAfterTheTriggerReturns) {
    RecordingForm1 form;
    form.show();
    auto& asked = form.world().dialogs.fileDialogs;
    guitest::child<QAction>(&form, "Open1")->trigger();
    guitest::child<QAction>(&form, "SaveRegisterDump")->trigger();
    EXPECT_TRUE(asked.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].first, "open");
    EXPECT_EQ(asked[1].first, "save");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.formCloseCalls, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Form1, ExitMenuClosesThroughTheCloseHandler) {
    RecordingForm1 form;
    form.show();
    QSignalSpy closing(&form, &TForm1::closing);
    guitest::child<QAction>(&form, "Exit")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.formCloseCalls, 1);
    EXPECT_EQ(closing.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

TEST(Form1, ExitImageButtonClosesTheSameWay) {
    RecordingForm1 form;
    form.show();
    QSignalSpy closing(&form, &TForm1::closing);
    QTest::mouseClick(guitest::child<larkspur::ImageButton>(&form, "imgExit"), Qt::LeftButton, {},
                      QPoint(20, 10));
    EXPECT_EQ(form.formCloseCalls, 1);
    EXPECT_EQ(closing.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

TEST(Form1, OtherImageButtonsDoNotClose) {
    RecordingForm1 form;
    form.show();
    for (larkspur::ImageButton* button : {guitest::child<larkspur::ImageButton>(&form, "imgSave"),
                                          guitest::child<larkspur::ImageButton>(&form, "imgClear"),
                                          guitest::child<larkspur::ImageButton>(&form, "imgRead"),
                                          guitest::child<larkspur::ImageButton>(&form, "imgWrite")})
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(form.formCloseCalls, 0);
    EXPECT_TRUE(form.isVisible());
}

TEST(Form1, ShowingRunsTheShowHandlerOnce) {
    RecordingForm1 form;
    QSignalSpy shown(&form, &TForm1::formShown);
    form.show();
    EXPECT_EQ(form.formShowCalls, 1);
    EXPECT_EQ(shown.count(), 1);
}

TEST(Form1, RegisterMapTwiceGivesOneWindow) {
    guitest::TestForm form;
    auto* regView = new larkspur::TRegViewForm(&form);
    form.setRegViewForm(regView);
    form.show();
    guitest::child<QAction>(&form, "RegisterMap1")->trigger();
    guitest::child<QAction>(&form, "RegisterMap1")->trigger();
    QCoreApplication::processEvents();
    int visibleMaps = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<larkspur::TRegViewForm*>(window) != nullptr && window->isVisible())
            ++visibleMaps;
    EXPECT_EQ(visibleMaps, 1);
    EXPECT_TRUE(regView->isVisible());
    // Modeless: nothing waits for it.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(regView->isModal());

    regView->bClose()->click();
    EXPECT_FALSE(regView->isVisible());
    form.RegisterMap1Click();
    EXPECT_TRUE(regView->isVisible());
}

TEST(Form1, AboutBoxIsModalOnTopAndClosesWithOk) {
    guitest::TestForm form;
    auto* about = new larkspur::TAboutDialog(&form);
    form.setAboutDialog(about);
    form.show();

    QWidget* modal = nullptr;
    bool onTop = false;
    bool visible = false;
    QPoint aboutCentre;
    guitest::child<QAction>(&form, "About2")->trigger();
    // Runs inside the box's own event loop, after the command has opened it.
    QTimer::singleShot(0, about, [&] {
        modal = QApplication::activeModalWidget();
        onTop = about->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        visible = about->isVisible();
        aboutCentre = about->frameGeometry().center();
        QTest::mouseClick(about->OKBtn(), Qt::LeftButton);
    });
    QCoreApplication::processEvents();

    EXPECT_EQ(modal, about);
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(visible);
    EXPECT_LE((aboutCentre - form.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(about->result(), QDialog::Accepted);
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(form.isVisible());
}

TEST(Form1, TabSheetsInOrderWithTheirCaptions) {
    guitest::TestForm form;
    const QStringList names{"DACADCFunc", "DACOperation", "DACAtt", "StatusFlag", "AnalogPath"};
    const QStringList captions{"DAC Inteface and Sampling Mode", "DAC Operation", "DAC Attenuation",
                               "DAC Zero Flag", "DAC Analog Mute Function Control"};
    ASSERT_EQ(guitest::child<QTabWidget>(&form, "MainTab")->count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(guitest::child<QTabWidget>(&form, "MainTab")->widget(i)->objectName(), names[i]);
        EXPECT_EQ(guitest::child<QTabWidget>(&form, "MainTab")->tabText(i), captions[i]);
    }
    EXPECT_EQ(guitest::child<QTabWidget>(&form, "MainTab")->currentIndex(), 0);
    EXPECT_EQ(guitest::child<QWidget>(&form, "DACADCFunc"),
              guitest::child<QTabWidget>(&form, "MainTab")->widget(0));
    EXPECT_EQ(guitest::child<QWidget>(&form, "DACOperation"),
              guitest::child<QTabWidget>(&form, "MainTab")->widget(1));
    EXPECT_EQ(guitest::child<QWidget>(&form, "DACAtt"),
              guitest::child<QTabWidget>(&form, "MainTab")->widget(2));
    EXPECT_EQ(guitest::child<QWidget>(&form, "StatusFlag"),
              guitest::child<QTabWidget>(&form, "MainTab")->widget(3));
    EXPECT_EQ(guitest::child<QWidget>(&form, "AnalogPath"),
              guitest::child<QTabWidget>(&form, "MainTab")->widget(4));
}

TEST(Form1, ControlsOutsideTheTabsStartInTheirDesignedState) {
    guitest::TestForm form;
    EXPECT_EQ(guitest::child<QGroupBox>(&form, "GroupBox23")->title(), "Register setting history");
    EXPECT_EQ(guitest::child<QGroupBox>(&form, "GroupBox25")->title(), "Register direct access");
    EXPECT_EQ(guitest::child<QGroupBox>(&form, "gbReset")->title(), "Reset control");
    EXPECT_EQ(guitest::child<QGroupBox>(&form, "GroupBox3")->title(),
              "PC-EVM Communication and Status");
    EXPECT_EQ(guitest::child<larkspur::RadioGroup>(&form, "rgInterface")->title(), "Interface");

    EXPECT_TRUE(guitest::child<QPlainTextEdit>(&form, "Memo1")->toPlainText().isEmpty());
    EXPECT_EQ(guitest::child<QPlainTextEdit>(&form, "Memo1")->verticalScrollBarPolicy(),
              Qt::ScrollBarAlwaysOn);
    // Each control in its group box.
    for (const auto& [child, box] : std::vector<std::pair<const char*, const char*>>{
             {"Memo1", "GroupBox23"},
             {"imgSave", "GroupBox23"},
             {"imgClear", "GroupBox23"},
             {"RDA_reg", "GroupBox25"},
             {"imgRead", "GroupBox25"},
             {"imgWrite", "GroupBox25"},
             {"btnMRST", "gbReset"},
             {"bBDRST", "GroupBox3"},
         }) {
        EXPECT_EQ(guitest::child<QWidget>(&form, child)->parentWidget(),
                  guitest::child<QGroupBox>(&form, box))
            << child;
    }

    EXPECT_EQ(guitest::child<QLineEdit>(&form, "RDA_reg")->text(), "0x10");
    EXPECT_EQ(guitest::child<QLineEdit>(&form, "RDA_data")->text(), "0x00");
    EXPECT_EQ(guitest::child<QLineEdit>(&form, "RDA_reg")->width(), 33);
    EXPECT_EQ(guitest::child<QLineEdit>(&form, "RDA_data")->width(), 33);

    EXPECT_EQ(guitest::child<QPushButton>(&form, "btnMRST")->text(), "MRST");
    EXPECT_EQ(guitest::child<QPushButton>(&form, "btnMRST")->toolTip(), "Reg#40H, Bit7");
    EXPECT_EQ(guitest::child<QPushButton>(&form, "btnSRST")->text(), "SRST");
    EXPECT_EQ(guitest::child<QPushButton>(&form, "btnSRST")->toolTip(), "Reg#40H, Bit6");

    EXPECT_EQ(guitest::child<QPushButton>(&form, "bBDRST")->text(), "Reconnect");
    EXPECT_TRUE(guitest::child<QLabel>(&form, "imgConnection")->pixmap().isNull());
    EXPECT_EQ(guitest::connectionImage(&form), -1);

    EXPECT_EQ(guitest::child<larkspur::RadioGroup>(&form, "rgInterface")->items(),
              QStringList({"IIC", "SPI"}));
    EXPECT_EQ(guitest::child<larkspur::RadioGroup>(&form, "rgInterface")->columns(), 1);
    EXPECT_EQ(guitest::child<larkspur::RadioGroup>(&form, "rgInterface")->itemIndex(), 1);

    EXPECT_EQ(guitest::child<QLabel>(&form, "Label20")->text(), "Address:");
    EXPECT_EQ(guitest::child<QLabel>(&form, "Label20")->pos(), QPoint(578, 472));
    EXPECT_EQ(guitest::child<QComboBox>(&form, "cbAddr")->geometry().topLeft(), QPoint(632, 468));
    EXPECT_EQ(guitest::child<QComboBox>(&form, "cbAddr")->width(), 40);
    EXPECT_FALSE(guitest::child<QComboBox>(&form, "cbAddr")->isEditable());
    QStringList addresses;
    for (int i = 0; i < guitest::child<QComboBox>(&form, "cbAddr")->count(); ++i)
        addresses << guitest::child<QComboBox>(&form, "cbAddr")->itemText(i);
    EXPECT_EQ(addresses, QStringList({"00", "01", "10", "11"}));
    EXPECT_EQ(guitest::child<QComboBox>(&form, "cbAddr")->currentIndex(), 0);

    EXPECT_TRUE(guitest::statusText(&form).isEmpty());
    EXPECT_NE(guitest::child<QStatusBar>(&form, "StatusBar1"), form.statusBar());
}

struct FontCase {
    const char* text;
    int points;
};

class Form1SmallLabels : public testing::TestWithParam<FontCase> {};

TEST_P(Form1SmallLabels, UseTheirPointSize) {
    guitest::TestForm form;
    const QLabel* found = nullptr;
    for (const QLabel* label : form.findChildren<QLabel*>())
        if (label->text() == QLatin1String(GetParam().text))
            found = label;
    ASSERT_NE(found, nullptr) << GetParam().text;
    EXPECT_EQ(found->font().family(), "Arial");
    EXPECT_EQ(found->font().pointSize(), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(Labels, Form1SmallLabels,
                         testing::Values(FontCase{"Address", 8}, FontCase{"Data", 8},
                                         FontCase{"Register Reset", 7}, FontCase{"Re-Sync", 7},
                                         FontCase{"Address:", 9}));

TEST(Form1, HistoryShowsTheLinesTheCoreSendsAndEmptiesWhenTold) {
    guitest::TestForm form;
    const larkspur::FrontEnd shown = form.frontEnd(form.world().dialogs);
    shown.history.appendHistoryLine("0x10, 0xC0");
    shown.history.appendHistoryLine("0x18, 0xFF");
    EXPECT_EQ(guitest::historyLines(&form), QStringList({"0x10, 0xC0", "0x18, 0xFF"}));
    shown.controls.clearHistory();
    EXPECT_TRUE(guitest::child<QPlainTextEdit>(&form, "Memo1")->toPlainText().isEmpty());
}

TEST(Form1, StatusTheCoreSendsShowsInTheStatusBar) {
    guitest::TestForm form;
    const larkspur::FrontEnd shown = form.frontEnd(form.world().dialogs);
    shown.status.showStatus("No EVM was found");
    auto* label = guitest::child<QStatusBar>(&form, "StatusBar1")->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "No EVM was found");
    shown.status.showStatus("Ready");
    EXPECT_EQ(label->text(), "Ready");
}

TEST(Form1, ConnectionTheCoreSendsShowsInTheIndicator) {
    guitest::TestForm form;
    const larkspur::FrontEnd shown = form.frontEnd(form.world().dialogs);
    EXPECT_EQ(guitest::connectionImage(&form), -1);
    shown.status.showConnection(larkspur::ConnectionStatus::Connection::Connected);
    EXPECT_EQ(guitest::connectionImage(&form), 1);
    shown.status.showConnection(larkspur::ConnectionStatus::Connection::None);
    EXPECT_EQ(guitest::connectionImage(&form), 0);
}

struct ConnectionCase {
    int index;
    bool blank;
    QString accessibleName;
};

class Form1Connection : public testing::TestWithParam<ConnectionCase> {};

TEST_P(Form1Connection, IndicatorShowsTheStateToEyesAndEars) {
    QWidget parent;
    larkspur::ConnectionArea area(&parent);
    auto* indicator = guitest::child<QLabel>(&parent, "imgConnection");
    area.showConnection(1);
    area.showConnection(GetParam().index);
    EXPECT_EQ(indicator->pixmap().isNull(), GetParam().blank);
    EXPECT_EQ(indicator->accessibleName(), GetParam().accessibleName);
    if (!GetParam().blank) {
        EXPECT_EQ(indicator->pixmap().size(), QSize(72, 19));
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, Form1Connection,
    testing::Values(ConnectionCase{0, false, QStringLiteral("No EVM")},
                    ConnectionCase{1, false, QStringLiteral("Connected")},
                    ConnectionCase{-1, true, QStringLiteral("PC-EVM Communication and Status")},
                    ConnectionCase{2, true, QStringLiteral("PC-EVM Communication and Status")}));

} // namespace
