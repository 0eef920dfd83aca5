// A stand-in for every dialog: records what would have been shown and answers from a script.
#pragma once

#include "device/userdialogs.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct RecordingDialogs final : larkspur::UserDialogs {
    void message(const std::string& text) override { messages.push_back(text); }
    void error(const std::string& caption, const std::string& text) override {
        errors.emplace_back(caption, text);
    }
    void errorWithDetails(const std::string& caption, const std::string& text,
                          const std::string& detail) override {
        errors.emplace_back(caption, text);
        details.push_back(detail);
    }
    bool question(const std::string& caption, const std::string& text) override {
        questions.emplace_back(caption, text);
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string openFileName(const FileDialog& dialog) override { return pick(dialog, "open"); }
    std::string saveFileName(const FileDialog& dialog) override { return pick(dialog, "save"); }

    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> errors;
    std::vector<std::string> details; // of the errors shown with details
    std::vector<std::pair<std::string, std::string>> questions;
    std::deque<bool> answers;                                    // Yes when empty
    std::deque<std::string> fileNames;                           // cancelled when empty
    std::vector<std::pair<std::string, FileDialog>> fileDialogs; // "open"/"save" and settings

private:
    std::string pick(const FileDialog& dialog, const char* kind) {
        fileDialogs.emplace_back(kind, dialog);
        if (fileNames.empty()) {
            return {};
        }
        std::string name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

} // namespace testsupport
