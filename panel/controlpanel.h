// The bound controls of the main window's tab sheets, generated from the control catalogue, with
// the four binding tables, their handlers, RefreshControls and the zero-flag lamps.
#pragma once

#include "catalogue/controlcatalogue.h"
#include "device/registeraccess.h"
#include "device/userdialogs.h"
#include "panellayout.h"

#include <QObject>
#include <QPixmap>

#include <array>
#include <string_view>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QWidget;

namespace larkspur {

class RadioGroup;

class ControlPanel : public QObject {
    Q_OBJECT

public:
    // The tables are indexed by Tag; records no control fills stay all zero.
    static constexpr int kCheckBoxTags = 42;
    static constexpr int kDropDownTags = 11;
    static constexpr int kRadioTags = 2;
    static constexpr int kTrackTags = 3;

    // A Tag's control and its field, as the catalogue describes it (register, bits, items).
    template <typename Control> struct Binding {
        const BoundControl* field = nullptr;
        Control* control = nullptr;
    };
    using CheckBoxBinding = Binding<QCheckBox>;
    using DropDownBinding = Binding<QComboBox>;
    using RadioBinding = Binding<RadioGroup>;
    struct TrackBinding {
        const BoundControl* field = nullptr;
        int reference = 0;
        QSlider* track = nullptr;
        QLineEdit* edit = nullptr;
    };

    // Builds the controls into `pages` (the sheets of `mainTab`, in tab order). `lamps` are the
    // three zero-flag lamp pictures: unlit, red, green.
    ControlPanel(QTabWidget* mainTab, const std::array<QWidget*, kTabCount>& pages,
                 RegisterAccess& access, RegisterMapView& map, UserDialogs& dialogs,
                 const std::array<QPixmap, 3>& lamps, QObject* parent = nullptr);

    void RefreshControls();
    bool masterSlaveIsSlave() const;

    // Handlers, one per kind, finding their binding through the control's Tag.
    void CheckBoxChecked(QCheckBox* control);
    void ComboBoxChange(QComboBox* control);
    void RadioGroupClick(RadioGroup* control);
    void TrackChange(QSlider* control);
    // `key` is a Qt key code; Enter and Return both count as Enter.
    void TrackEditKeyUp(QLineEdit* edit, int key);

    void btnZeroReadClick();
    void btnZeroClrClick();

    // The control of a catalogue row, by name (cbDACFMT, tkDAC1, edDAC1, ZERO1, btnZeroRead...).
    QWidget* control(std::string_view name) const;
    const CheckBoxBinding& checkBoxBinding(int tag) const;
    const DropDownBinding& dropDownBinding(int tag) const;
    const RadioBinding& radioBinding(int tag) const;
    const TrackBinding& trackBinding(int tag) const;
    // The ImageList1 index last drawn into lamp 0 (ZERO1) or 1 (ZERO2).
    int lampImage(int lamp) const { return m_lampImages.at(static_cast<std::size_t>(lamp)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build(const std::array<QWidget*, kTabCount>& pages);
    QWidget* makeControl(const BoundControl& row, const ControlPlacement& place, QWidget* parent);
    void buildZeroFlagRow(QWidget* group);
    void drawLamp(int lamp, int image);
    // Whether a value computed from the shadow of `reg` may be written now.
    bool mayCompute(int reg);
    bool wideMode() const;      // bit 7 of shadow register 0x16
    bool fineModeShown() const; // rgDACAttMode shows item 0
    void modeFollowUp();
    void setTrackText(const TrackBinding& binding, int value);

    QTabWidget* m_mainTab;
    RegisterAccess& m_access;
    RegisterMapView& m_map;
    UserDialogs& m_dialogs;
    std::array<QPixmap, 3> m_lamps;

    std::array<CheckBoxBinding, kCheckBoxTags> m_checkBoxes{};
    std::array<DropDownBinding, kDropDownTags> m_dropDowns{};
    std::array<RadioBinding, kRadioTags> m_radios{};
    std::array<TrackBinding, kTrackTags> m_tracks{};
    bool m_trackGuard = true;
    bool m_refreshing = false; // inside RefreshControls: handlers only echo the shadow

    std::array<QLabel*, 2> m_lampLabels{};
    std::array<int, 2> m_lampImages{{0, 0}};
    std::vector<QWidget*> m_named; // every control with an object name, for look-ups
};

} // namespace larkspur
