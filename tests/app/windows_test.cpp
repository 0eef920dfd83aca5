// The splash window, the about box, the script progress window and the start-up order.
#include "app/aboutdialog.h"
#include "app/scriptprogresswindow.h"
#include "app/shell.h"
#include "app/splashwindow.h"
#include "tests/support/fakes.h"
#include "tests/support/guitestsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace larkspur;

int centreDistance(const QWidget& window) {
    const QPoint centre = window.screen()->availableGeometry().center();
    return (window.frameGeometry().center() - centre).manhattanLength();
}

struct LabelCase {
    const char* name;
    QPoint position;
    QString text;
    QString family;
    int points;
};

void PrintTo(const LabelCase& c, std::ostream* os) {
    *os << c.name;
}

class AboutLabels : public testing::TestWithParam<LabelCase> {};

TEST_P(AboutLabels, SitAtTheirPlacesInTheirFonts) {
    TAboutDialog about;
    auto* label = guitest::child<QLabel>(&about, GetParam().name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pos(), GetParam().position);
    EXPECT_EQ(label->text(), GetParam().text);
    EXPECT_EQ(label->font().family(), GetParam().family);
    EXPECT_EQ(label->font().pointSize(), GetParam().points);
    EXPECT_TRUE(about.rect().contains(label->geometry()));
}

INSTANTIATE_TEST_SUITE_P(
    Box, AboutLabels,
    testing::Values(
        LabelCase{
            "Label1", {108, 32}, QStringLiteral("Tessaly"), QStringLiteral("Arial Black"), 14},
        LabelCase{"Label3",
                  {40, 70},
                  QStringLiteral(" EVM Control software"),
                  QStringLiteral("Arial Black"),
                  14},
        LabelCase{"Label2",
                  {96, 105},
                  QStringLiteral("Version 1.0.0"),
                  QStringLiteral("Arial Black"),
                  12},
        LabelCase{"Label4", {96, 140}, QStringLiteral("DLL: "), QStringLiteral("Arial"), 9},
        LabelCase{"lDLLver", {128, 140}, QStringLiteral("0.0.0.0"), QStringLiteral("Arial"), 9},
        LabelCase{"Label5", {177, 140}, QStringLiteral("Port:"), QStringLiteral("Arial"), 9},
        LabelCase{"lPort", {208, 140}, QStringLiteral("0"), QStringLiteral("Arial"), 9}),
    [](const testing::TestParamInfo<LabelCase>& row) { return std::string(row.param.name); });

TEST(AboutDialog, CaptionSizeAndOkButton) {
    TAboutDialog about;
    EXPECT_EQ(about.objectName(), "AboutDialog");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(313, 214));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(about.lDLLver()->text(), "0.0.0.0");
    EXPECT_EQ(about.lPort()->text(), "0");
    EXPECT_EQ(about.OKBtn()->text(), "OK");
    EXPECT_EQ(about.OKBtn()->geometry(), QRect(119, 180, 75, 25));
    EXPECT_TRUE(about.OKBtn()->isDefault());
    auto* bevel = guitest::child<QFrame>(&about, "Bevel1");
    ASSERT_NE(bevel, nullptr);
    EXPECT_EQ(bevel->geometry(), QRect(8, 8, 297, 161));
}

TEST(AboutDialog, OkAccepts) {
    TAboutDialog about;
    about.show();
    about.OKBtn()->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutDialog, EnterPressesTheDefaultButton) {
    TAboutDialog about;
    about.show();
    QTest::keyClick(&about, Qt::Key_Return);
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST(SplashForm, FramelessOnTopWhiteAndCentred) {
    TSplashForm splash;
    EXPECT_EQ(splash.objectName(), "SplashForm");
    const Qt::WindowFlags flags = splash.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(splash.size(), QSize(313, 182));
    EXPECT_EQ(guitest::background(&splash), QColor(Qt::white));
    EXPECT_TRUE(splash.autoFillBackground());
    splash.show();
    EXPECT_LE(centreDistance(splash), 2);
}

TEST(SplashForm, LabelAndProgressBarAsDesigned) {
    TSplashForm splash;
    EXPECT_EQ(splash.Label1()->pos(), QPoint(24, 64));
    EXPECT_TRUE(splash.Label1()->text().isEmpty());
    EXPECT_EQ(splash.Label1()->font().family(), "Arial Black");
    EXPECT_EQ(splash.Label1()->font().pointSize(), 9);
    EXPECT_EQ(splash.ProgressBar1()->geometry(), QRect(24, 88, 265, 17));
    EXPECT_TRUE(splash.ProgressBar1()->isHidden());
    EXPECT_FALSE(splash.ProgressBar1()->isTextVisible());
}

TEST(SplashForm, ACloseRequestHidesItForTheNextShowing) {
    TSplashForm splash;
    splash.Label1()->setText("Loading...");
    splash.showNow();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(splash.close());
    EXPECT_FALSE(splash.isVisible());
    splash.Label1()->setText("Reset in progress ...");
    splash.showNow();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(splash.Label1()->text(), "Reset in progress ...");
}

TEST(ScriptProgress, CaptionSizeLabelAndBar) {
    TscriptProgress progress;
    EXPECT_EQ(progress.objectName(), "scriptProgress");
    EXPECT_EQ(progress.windowTitle(), "Script progress");
    EXPECT_EQ(progress.size(), QSize(313, 182));
    EXPECT_EQ(progress.minimumSize(), progress.maximumSize());
    auto* label = guitest::child<QLabel>(&progress, "Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Executing ...");
    EXPECT_EQ(label->pos(), QPoint(40, 56));
    EXPECT_EQ(label->font().family(), "Arial Black");
    EXPECT_EQ(label->font().pointSize(), 9);
    EXPECT_EQ(progress.ProgressBar1()->geometry(), QRect(40, 88, 233, 17));
    EXPECT_EQ(progress.ProgressBar1()->minimum(), 0);
    EXPECT_EQ(progress.ProgressBar1()->maximum(), 100);
    auto* bevel = guitest::child<QFrame>(&progress, "Bevel1");
    ASSERT_NE(bevel, nullptr);
    EXPECT_EQ(bevel->geometry(), QRect(8, 8, 297, 161));
}

TEST(ScriptProgress, CentredOnTheScreenWhenShown) {
    TscriptProgress progress;
    progress.move(0, 0);
    progress.showNow();
    EXPECT_TRUE(progress.isVisible());
    EXPECT_LE(centreDistance(progress), 2);
}

class ShellStartUp : public testing::Test {
protected:
    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }
};

TEST_F(ShellStartUp, CreatesTheFiveWindowsAndRunsTheStartUp) {
    guitest::TestServices world;
    Shell shell(world.services());
    shell.start();
    EXPECT_EQ(QApplication::applicationDisplayName(), "EVM control application");
    EXPECT_EQ(QApplication::applicationName(), "EVM control application");
    ASSERT_NE(shell.SplashForm(), nullptr);
    ASSERT_NE(shell.Form1(), nullptr);
    ASSERT_NE(shell.AboutDialog(), nullptr);
    ASSERT_NE(shell.scriptProgress(), nullptr);
    ASSERT_NE(shell.RegViewForm(), nullptr);
    // The start-up ran when the main window showed, and hid the splash when it ended.
    EXPECT_EQ(world.loader.loads, 1);
    EXPECT_EQ(world.dialogs.errors,
              (std::vector<std::pair<std::string, std::string>>{{"DLL error", "Cannot load DLL"}}));
    EXPECT_FALSE(shell.SplashForm()->isVisible());
    EXPECT_TRUE(shell.Form1()->isVisible());
    EXPECT_FALSE(shell.AboutDialog()->isVisible());
    EXPECT_FALSE(shell.scriptProgress()->isVisible());
    EXPECT_FALSE(shell.RegViewForm()->isVisible());
    // The main window knows the others.
    EXPECT_EQ(shell.Form1()->aboutDialog(), shell.AboutDialog());
    EXPECT_EQ(shell.Form1()->regViewForm(), shell.RegViewForm());
    EXPECT_EQ(shell.Form1()->scriptProgress(), shell.scriptProgress());
    EXPECT_EQ(shell.Form1()->splashForm(), shell.SplashForm());
}

TEST_F(ShellStartUp, APortFromTheCommandLineIsTheOneStartUpAndReconnectTry) {
    // Nothing stands behind the ports the box's details would list.
    ::setenv("SUNDIAL_PORTS", "/nonexistent/larkspur-port", 1);
    guitest::TestServices world;
    testsupport::FakeLink link;
    world.loader.entries_ = &link.entries;
    Form1Services services = world.services();
    services.port = 7;
    Shell shell(services);
    shell.start();
    shell.Form1()->bBDRSTClick();
    ::unsetenv("SUNDIAL_PORTS");
    std::vector<int> ports;
    for (const testsupport::FakeLink::Call& call : link.calls) {
        if (call.entry == "init") {
            ports.push_back(call.value);
        }
    }
    EXPECT_EQ(ports, (std::vector<int>{7, 7}));
}

TEST_F(ShellStartUp, ClosingTheMainWindowEndsTheLoopEvenWithTheMapOpen) {
    guitest::TestServices world;
    Shell shell(world.services());
    shell.start();
    shell.Form1()->RegisterMap1Click();
    ASSERT_TRUE(shell.RegViewForm()->isVisible());
    QTimer::singleShot(0, shell.Form1(), [&shell] { shell.Form1()->ExitClick(); });
    // Should the loop not end, this one ends it with a failure instead of hanging.
    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, [] { QApplication::exit(1); });
    backstop.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(shell.Form1()->isVisible());
}

} // namespace
