// The application object: reports exceptions that escape event handlers and goes on.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

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

} // namespace larkspur
