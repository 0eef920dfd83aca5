// The application object: reports exceptions that escape event handlers and goes on.
#pragma once

#include <QApplication>

#include <concepts>
#include <exception>
#include <memory>
#include <string>
#include <utility>

namespace larkspur {

class UserDialogs;

class LarkspurApplication : public QApplication {
    Q_OBJECT

public:
    LarkspurApplication(int& argc, char** argv);
    ~LarkspurApplication() override;

    // Where reports go; Qt message boxes unless replaced. Not owned.
    void setDialogs(UserDialogs* dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

    // The error box for an exception's message: error icon, application title.
    void reportException(const std::string& message);

private:
    std::unique_ptr<UserDialogs> m_qtDialogs;
    UserDialogs* m_dialogs;
};

// The message of the exception being handled (empty for one that is not a standard
// exception); call it inside a catch block.
std::string currentExceptionMessage();

// Reports an exception's message as notify() does, through the running LarkspurApplication.
void reportEscapedException(const std::string& message);

// Wraps a slot so that what it throws is reported at the slot itself. notify() is the last
// resort: an exception that unwinds through Qt's own frames (built without exception support)
// leaks what those frames hold, such as the copy of a mouse event.
template <typename Body> auto reportingExceptions(Body body) {
    // Constrained, so that Qt's connect can find how many of a signal's arguments it takes.
    return [body = std::move(body)]<typename... Arguments>(
        Arguments && ... arguments) requires std::invocable<const Body&, Arguments...> {
        bool failed = false;
        std::string message;
        try {
            body(std::forward<Arguments>(arguments)...);
        } catch (...) {
            failed = true;
            message = currentExceptionMessage();
        }
        if (failed)
            reportEscapedException(message);
    };
}

} // namespace larkspur
