// Everything that asks the user, behind an interface the tests replace.
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

    // The same box with details the user may unfold ("Show Details..."); without a way to show
    // them, the box alone.
    virtual void errorWithDetails(const std::string& caption, const std::string& text,
                                  const std::string& details) {
        (void)details;
        error(caption, text);
    }

    // A modal Yes/No question with the question icon, Yes the default. True for Yes.
    virtual bool question(const std::string& caption, const std::string& text) = 0;

    struct FileDialog {
        std::string filter;           // "CSV|*.csv|All Files|*.*": pairs of text and pattern
        std::string defaultExtension; // "csv", added when the chosen name has none
        std::string fileName;         // proposed at opening; the last name chosen, for example
    };
    // The chosen file's path, or an empty string when the user cancelled.
    virtual std::string openFileName(const FileDialog& dialog) = 0;
    virtual std::string saveFileName(const FileDialog& dialog) = 0;
};

} // namespace larkspur
