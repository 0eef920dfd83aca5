// Shared helpers of the tests of the program's windows: the main window built without a real
// dialog, wait, library or settings file.
#pragma once

#include "app/artwork.h"
#include "app/mainwindow.h"
#include "app/workbench.h"
#include "device/sleeper.h"
#include "recordingdialogs.h"
#include "widgettestsupport.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace guitest {

using RecordingDialogs = testsupport::RecordingDialogs;

struct RecordingSleeper final : larkspur::Sleeper {
    void sleepMs(int milliseconds) override {
        sleeps.push_back(milliseconds);
        if (during) {
            during(milliseconds);
        }
    }
    std::vector<int> sleeps;
    std::function<void(int)> during; // what the user does meanwhile
};

// A library loader that never finds the library unless given entries.
struct FakeLoader final : larkspur::LinkLoader {
    Status load() override {
        ++loads;
        loaded = entries_ != nullptr;
        return loaded ? Status::Loaded : Status::CannotLoad;
    }
    void unload() override { loaded = false; }
    const larkspur::LinkEntries* entries() const override { return loaded ? entries_ : nullptr; }
    const larkspur::LinkEntries* entries_ = nullptr;
    bool loaded = false;
    int loads = 0;
};

// Everything the main window asks of the world, recorded; settings in a fresh folder.
struct TestServices {
    TestServices() : settingsPath(QDir(folder.path()).filePath(QStringLiteral("Larkspur.ini"))) {}
    larkspur::Form1Services services() {
        return {&dialogs, &sleeper, &loader, settingsPath.toStdString()};
    }
    QTemporaryDir folder;
    QString settingsPath;
    RecordingDialogs dialogs;
    RecordingSleeper sleeper;
    FakeLoader loader;
};

// The lines of the main window's register setting history (Memo1).
inline QStringList historyLines(QWidget* form) {
    const QString text = child<QPlainTextEdit>(form, "Memo1")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// The text of the main window's status bar.
inline QString statusText(QWidget* form) {
    return child<QLabel>(form, "StatusText")->text();
}

// The connection indicator's ImageList2 index, known by what it announces; -1 when blank.
inline int connectionImage(QWidget* form) {
    const auto* indicator = child<QLabel>(form, "imgConnection");
    if (indicator->pixmap().isNull())
        return -1;
    for (int index = 0; index < larkspur::artwork::kConnectionImageCount; ++index) {
        if (indicator->accessibleName() == larkspur::artwork::connectionText(index))
            return index;
    }
    return -1;
}

// The main window as the tests build it: no real dialog, wait, library or settings file.
class TestForm : private TestServices, public larkspur::TForm1 {
public:
    TestForm() : TestServices(), TForm1(), m_core(larkspur::attachCore(*this, services())) {}
    TestServices& world() { return *this; }
    larkspur::Workbench& core() { return *m_core; }

private:
    std::unique_ptr<larkspur::Workbench> m_core;
};

} // namespace guitest
