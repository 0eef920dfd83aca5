// Larkspur: the control panel of the Tessaly evaluation board.
#include "larkspurapplication.h"
#include "portrelease.h"
#include "shell.h"

#include <string>

int main(int argc, char* argv[]) {
    larkspur::releasePortOnStop();
    larkspur::LarkspurApplication app(argc, argv);
    std::string message;
    try {
        larkspur::Shell shell;
        shell.start();
        larkspur::LarkspurApplication::exec();
        return 0;
    } catch (...) {
        message = larkspur::currentExceptionMessage();
    }
    app.reportException(message);
    return 1;
}
