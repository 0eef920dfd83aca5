// The window of a comparison (Compare with snapshot...): what differs from a snapshot or history
// file to the setup the controls hold, field by field; modeless. While it is open the register
// map marks the differing bits.
#pragma once

#include "device/codecregisters.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;

namespace larkspur {

class TCompareForm : public QDialog {
    Q_OBJECT

public:
    using Marker = std::function<void(const std::array<std::uint8_t, kRegisterCount>&)>;

    // `marker` is given the differing bits of each comparison, and zeros once the window closes.
    TCompareForm(QWidget* parent, Marker marker);

    // Compares `file` (played into the registers without the board) with `current` and shows
    // the differences. False, with `why` saying so, when the file could not be read or has a
    // bad line; nothing is shown then.
    bool compare(const std::string& file, const RegisterImage& current, std::string& why);

protected:
    void done(int result) override;

private:
    Marker m_marker;
    QLabel* m_file = nullptr;
    QPlainTextEdit* m_differences = nullptr;
};

} // namespace larkspur
