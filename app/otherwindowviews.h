// The core's views that are other windows: the register map window, which shows each register
// change, and the script progress window, which shows a run's progress. Each shows nothing until
// the program hands its window over.
#pragma once

#include "device/registeraccess.h"
#include "files/registerscript.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"

#include <QPointer>

namespace larkspur {

class TForm1;

class MapWindowView final : public RegisterMapView {
public:
    void setWindow(TRegViewForm* regView) { m_regView = regView; }
    TRegViewForm* window() const { return m_regView; }
    void ShowRegisterBits(int row, int value) override;

private:
    QPointer<TRegViewForm> m_regView;
};

// A run ends with the main window's controls refreshed.
class ProgressWindowView final : public ScriptView {
public:
    explicit ProgressWindowView(TForm1& window) : m_window(window) {}
    void setWindow(TscriptProgress* progress) { m_progress = progress; }
    TscriptProgress* window() const { return m_progress; }

    void showProgress() override;
    void setProgress(int percent) override;
    void hideProgress() override;
    void refreshControls() override;

private:
    TForm1& m_window;
    QPointer<TscriptProgress> m_progress;
};

} // namespace larkspur
