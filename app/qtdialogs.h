// The user dialogs as Qt message boxes.
#pragma once

#include "device/userdialogs.h"

#include <QPointer>
#include <QWidget>

namespace larkspur {

class QtDialogs : public UserDialogs {
public:
    // The boxes are owned by `parent`; without one, by the active window when they open.
    explicit QtDialogs(QWidget* parent = nullptr);

    void message(const std::string& text) override;
    void error(const std::string& caption, const std::string& text) override;
    void errorWithDetails(const std::string& caption, const std::string& text,
                          const std::string& details) override;
    bool question(const std::string& caption, const std::string& text) override;
    std::string openFileName(const FileDialog& dialog) override;
    std::string saveFileName(const FileDialog& dialog) override;

private:
    QWidget* owner() const;

    QPointer<QWidget> m_parent;
    bool m_hasParent;
};

} // namespace larkspur
