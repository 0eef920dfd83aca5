#include "larkspurapplication.h"
#include "device/devicetexts.h"

#include "device/errortext.h"
#include "qtdialogs.h"

namespace larkspur {

LarkspurApplication::LarkspurApplication(int& argc, char** argv)
    : QApplication(argc, argv), m_qtDialogs(std::make_unique<QtDialogs>()),
      m_dialogs(m_qtDialogs.get()) {}

LarkspurApplication::~LarkspurApplication() = default;

void LarkspurApplication::setDialogs(UserDialogs* dialogs) {
    m_dialogs = dialogs != nullptr ? dialogs : m_qtDialogs.get();
}

bool LarkspurApplication::notify(QObject* receiver, QEvent* event) {
    std::string message;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        message = currentExceptionMessage();
    }
    // Reported outside the handler: the box runs a nested event loop.
    reportException(message);
    return false;
}

void LarkspurApplication::reportException(const std::string& message) {
    m_dialogs->error(text::kApplicationTitle, exceptionText(message));
}

std::string currentExceptionMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        // Not a standard exception: there is no message to show, only that it happened.
        return {};
    }
}

} // namespace larkspur
