// Everything that asks the user or waits, behind interfaces the tests replace.
#pragma once

#include <string>

namespace larkspur {

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A plain modal box captioned with the application title, OK only.
    virtual void message(const std::string& text) = 0;

    // A modal box with the error icon and OK only.
    virtual void error(const std::string& caption, const std::string& text) = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
};

inline constexpr const char* kApplicationTitle = "EVM control application";

} // namespace larkspur
