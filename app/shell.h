// The program: its five windows, created in their fixed order, and the core behind them, built
// here and nowhere else. Everything lives until the program ends.
#pragma once

#include "aboutdialog.h"
#include "mainwindow.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"
#include "splashwindow.h"
#include "workbench.h"

#include <QPointer>

#include <memory>

namespace larkspur {

class Shell {
public:
    // `services` go to the core; empty ones take the real world.
    explicit Shell(Form1Services services = {});
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Splash first (shown and painted at once), then the application title, the main window
    // and the three hidden windows; the main window is shown last. Closing the main window
    // ends the event loop.
    void start();

    TSplashForm* SplashForm() const { return m_splash.get(); }
    TForm1* Form1() const { return m_form1.get(); }
    Workbench* core() const { return m_core.get(); }
    TAboutDialog* AboutDialog() const { return m_about; }
    TscriptProgress* scriptProgress() const { return m_scriptProgress; }
    TRegViewForm* RegViewForm() const { return m_regView; }

private:
    Form1Services m_services;
    std::unique_ptr<TSplashForm> m_splash;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<Workbench> m_core;
    // Owned by the main window: they stay above it and go with it.
    QPointer<TAboutDialog> m_about;
    QPointer<TscriptProgress> m_scriptProgress;
    QPointer<TRegViewForm> m_regView;
};

} // namespace larkspur
