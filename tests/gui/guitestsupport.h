// Shared helpers of the window tests.
#pragma once

#include "mainwindow.h"
#include "recordingdialogs.h"
#include "userdialogs.h"
#include "workbench.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <QDir>
#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace guitest {

using RecordingDialogs = testsupport::RecordingDialogs;

struct RecordingSleeper final : larkspur::Sleeper {
    void sleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
    std::vector<int> sleeps;
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

template <typename T> T* child(QWidget* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

inline QColor background(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

} // namespace guitest

// Readable failure messages for Qt values.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
inline void PrintTo(const QPoint& p, std::ostream* os) {
    *os << "QPoint(" << p.x() << ", " << p.y() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) {
    *os << "QSize(" << s.width() << " x " << s.height() << ")";
}
inline void PrintTo(const QColor& c, std::ostream* os) {
    *os << "rgb(" << c.red() << ", " << c.green() << ", " << c.blue() << ", a " << c.alpha() << ")";
}
QT_END_NAMESPACE
