// The register setting history (GroupBox23): the lines of the writes made, with its Save and
// Clear buttons. It is where register access shows each logged write.
#pragma once

#include "device/registeraccess.h"

#include <string>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace larkspur {

class ImageButton;
class ImageButtonLook;

class HistoryArea final : public HistoryView {
public:
    HistoryArea(QWidget* parent, ImageButtonLook& look);

    void appendHistoryLine(const std::string& line) override;
    void clear();
    // The lines as a file holds them: one byte per character.
    std::vector<std::string> savedLines() const;

    ImageButton* saveButton() const { return m_save; }
    ImageButton* clearButton() const { return m_clear; }

private:
    QPlainTextEdit* m_memo = nullptr;
    ImageButton* m_save = nullptr;
    ImageButton* m_clear = nullptr;
};

} // namespace larkspur
