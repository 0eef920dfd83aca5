// Larkspur: the control panel of the Tessaly evaluation board.
#include "commandline.h"
#include "device/portrelease.h"
#include "device/tracechoice.h"
#include "larkspurapplication.h"
#include "shell.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    if (const auto status = larkspur::answerWithoutDisplay({argv + 1, argv + argc}, std::cout)) {
        return *status;
    }
    larkspur::releasePortOnStop();
    larkspur::LarkspurApplication app(argc, argv);
    // Qt has taken its own words (-platform and the like) out of argv by now.
    larkspur::LarkspurOptions options;
    if (const auto status =
            larkspur::readCommandLine({argv + 1, argv + argc}, std::cout, std::cerr, options)) {
        return *status;
    }
    larkspur::applyPortChoice(options.port);
    larkspur::applyTraceChoice(options.trace);
    larkspur::Form1Services services;
    services.port = options.port.port();
    std::string message;
    try {
        larkspur::Shell shell(services);
        shell.start();
        larkspur::LarkspurApplication::exec();
        return 0;
    } catch (...) {
        message = larkspur::currentExceptionMessage();
    }
    app.reportException(message);
    return 1;
}
