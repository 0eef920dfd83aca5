// Shared helpers of the tests of the program's windows: the main window built without a real
// dialog, wait, library or settings file.
#pragma once

#include "app/mainwindow.h"
#include "app/workbench.h"
#include "device/sleeper.h"
#include "recordingdialogs.h"
#include "widgettestsupport.h"

#include <QDir>
#include <QString>
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
