#include "shell.h"
#include "device/devicetexts.h"

#include "aboutdialog.h"
#include "device/userdialogs.h"
#include "mainwindow.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"
#include "splashwindow.h"

#include <QApplication>

namespace larkspur {

Shell::Shell(Form1Services services) : m_services(std::move(services)) {}

Shell::~Shell() {
    // The main window takes its dialogs with it, then the core goes; the splash goes last.
    m_form1.reset();
    m_core.reset();
    m_splash.reset();
}

void Shell::start() {
    m_splash = std::make_unique<TSplashForm>();
    m_splash->showNow();

    QApplication::setApplicationName(QString::fromLatin1(text::kApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(text::kApplicationTitle));
    // The loop ends with the main window, whatever else is still open.
    QApplication::setQuitOnLastWindowClosed(false);

    m_form1 = std::make_unique<TForm1>();
    m_core = attachCore(*m_form1, m_services);
    m_about = new TAboutDialog(m_form1.get());
    m_scriptProgress = new TscriptProgress(m_form1.get());
    m_regView = new TRegViewForm(m_form1.get());
    m_form1->setSplashForm(m_splash.get());
    m_form1->setAboutDialog(m_about);
    m_form1->setScriptProgress(m_scriptProgress);
    m_form1->setRegViewForm(m_regView);
    // exit(), not quit(): quit() first asks every window to close and gives up if one refuses.
    QObject::connect(
        m_form1.get(), &TForm1::closing, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);

    m_form1->show();
}

} // namespace larkspur
