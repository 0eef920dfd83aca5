#include "controlpanel.h"
#include "coretexts.h"

#include "attenuation.h"
#include "bindingmath.h"
#include "dropdownlist.h"
#include "errortext.h"
#include "fonts.h"
#include "radiogroup.h"
#include "widgethelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <map>
#include <stdexcept>

namespace larkspur {

namespace {

constexpr int kDacAttModeTag = 1;
constexpr int kMasterSlaveTag = 0;

QString toQt(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void setRowTip(QWidget* widget, std::string_view tip) {
    setTip(widget, toQt(tip));
}

// Where each control sits on its sheet: inside the group box named by the catalogue, or on the
// sheet itself. Lists and fields have their label at the group's left edge.
struct Placement {
    int left;
    int top;
    int width;
};

const std::map<std::string_view, Placement>& placements() {
    static const std::map<std::string_view, Placement> table = {
        {"cbDACMasterSlave", {200, 22, 220}},
        {"cbDACFMT", {200, 52, 220}},
        {"cbDACSAM", {200, 22, 220}},
        {"rgDACPowSav", {8, 8, 436}},
        {"cbDEMP", {200, 20, 220}},
        {"cOPEDA0", {200, 20, 150}},
        {"cbFLT12", {200, 20, 220}},
        {"cInvDAC1", {12, 20, 200}},
        {"cInvDAC2", {12, 44, 200}},
        {"tkDAC1", {60, 24, 240}},
        {"cDAC1", {380, 26, 60}},
        {"tkDAC2", {60, 48, 240}},
        {"cDAC2", {380, 50, 60}},
        {"rgDACAttMode", {8, 90, 436}},
        {"cbZeroFunc", {170, 22, 250}},
        {"cbZeroPole", {170, 52, 250}},
        {"cbAMuteoZero", {170, 82, 250}},
        {"cbAMUTE1", {24, 44, 300}},
        {"cbAMUTE2", {24, 68, 300}},
        {"cbAMUTE3", {24, 92, 300}},
        {"cbAMUTE4", {24, 116, 300}},
    };
    return table;
}

struct GroupPlacement {
    std::string_view caption;
    int sheet;
    QRect geometry;
    std::string_view name;
};

const std::vector<GroupPlacement>& groupPlacements() {
    static const std::vector<GroupPlacement> table = {
        {"Audio interface", 0, {8, 8, 436, 86}, "GroupBox1"},
        {"Sampling mode", 0, {8, 102, 436, 56}, "GroupBox2"},
        {"DAC De-emphasis", 1, {8, 64, 436, 52}, "GroupBox4"},
        {"DAC operation disable", 1, {8, 122, 436, 52}, "GroupBox5"},
        {"DAC digital filter roll-off", 1, {8, 180, 436, 52}, "GroupBox6"},
        {"DAC output phase", 1, {8, 238, 436, 92}, "GroupBox7"},
        {"DAC zero flag", 3, {8, 8, 436, 190}, "GroupBox14"},
        {"Analog Mute Control Source Selection", 4, {8, 8, 436, 150}, "selDin"},
    };
    return table;
}

// The label beside a control where its caption is not on the control itself.
std::string_view sideLabel(const BoundControl& row) {
    if (row.name == "cOPEDA0") {
        return "with or without power save";
    }
    return row.kind == ControlKind::DropDown ? row.caption : std::string_view{};
}

bool isEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

ControlPanel::ControlPanel(QTabWidget* mainTab, const std::array<QWidget*, kTabCount>& pages,
                           RegisterAccess& access, RegisterMapView& map, UserDialogs& dialogs,
                           const std::array<QPixmap, 3>& lamps, QObject* parent)
    : QObject(parent), m_mainTab(mainTab), m_access(access), m_map(map), m_dialogs(dialogs),
      m_lamps(lamps) {
    build(pages);
}

void ControlPanel::build(const std::array<QWidget*, kTabCount>& pages) {
    std::map<std::string_view, QGroupBox*> groups;
    for (const GroupPlacement& g : groupPlacements()) {
        auto* box = new QGroupBox(toQt(g.caption), pages[static_cast<std::size_t>(g.sheet)]);
        box->setObjectName(toQt(g.name));
        box->setAccessibleName(toQt(g.caption));
        box->setGeometry(g.geometry);
        groups[g.caption] = box;
    }
    // The zero-flag group keeps the window's silver; the analog-mute group explains its bits.
    groups["DAC zero flag"]->setAutoFillBackground(true);
    setTip(groups["Analog Mute Control Source Selection"], QStringLiteral("Reg#40H, Bit5-2"));
    auto* muteLabel = new QLabel(QStringLiteral("Analog Mute Control Controled by:"),
                                 groups["Analog Mute Control Source Selection"]);
    muteLabel->move(12, 22);

    for (const BoundControl& row : controlCatalogue()) {
        QWidget* parent = row.group.empty() ? pages[static_cast<std::size_t>(row.sheet)]
                                            : static_cast<QWidget*>(groups.at(row.group));
        const Placement& at = placements().at(row.name);
        QWidget* widget = makeControl(row, parent, at.left, at.top);
        if (row.kind != ControlKind::Track && row.kind != ControlKind::Radio) {
            widget->resize(at.width, widget->sizeHint().height());
        } else if (row.kind == ControlKind::Radio) {
            widget->setGeometry(at.left, at.top, at.width, 50);
        }
    }

    auto* phaseNote =
        new QLabel(QStringLiteral("No Check: Normal phase"), groups["DAC output phase"]);
    phaseNote->setFont(arialFont(7));
    phaseNote->move(12, 70);

    buildZeroFlagRow(groups["DAC zero flag"], 122);
}

QWidget* ControlPanel::makeControl(const BoundControl& row, QWidget* parent, int left, int top) {
    const auto tag = static_cast<std::size_t>(row.tag);
    QLabel* label = nullptr;
    if (const std::string_view side = sideLabel(row); !side.empty()) {
        label = new QLabel(toQt(side), parent);
        label->move(12, top + 3);
        label->adjustSize();
    }

    QWidget* widget = nullptr;
    switch (row.kind) {
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(toQt(row.caption), parent);
        box->setChecked(row.defaultValue != 0);
        m_checkBoxes.at(tag) = {static_cast<std::uint8_t>(row.reg), row.shift, box};
        connect(box, &QCheckBox::toggled, this, [this, box] { CheckBoxChecked(box); });
        widget = box;
        break;
    }
    case ControlKind::DropDown: {
        auto* list = new DropDownList(parent);
        for (std::string_view item : row.items) {
            list->addItem(toQt(item));
        }
        list->setCurrentIndex(row.defaultValue);
        list->setMaxVisibleItems(10);
        list->setEnabled(row.enabled);
        if (row.name == "cbZeroFunc") {
            list->setFont(arialFont(8)); // its long items need the smaller type
        }
        m_dropDowns.at(tag) = {static_cast<std::uint8_t>(row.reg), row.shift, row.width, list};
        // The user's pick only: the program's selections raise nothing.
        connect(list, &QComboBox::activated, this, [this, list] { ComboBoxChange(list); });
        widget = list;
        break;
    }
    case ControlKind::Radio: {
        auto* group = new RadioGroup(toQt(row.caption), parent);
        QStringList items;
        for (std::string_view item : row.items) {
            items << toQt(item);
        }
        group->setItems(items);
        group->setColumns(row.columns);
        group->setItemIndex(row.defaultValue);
        m_radios.at(tag) = {static_cast<std::uint8_t>(row.reg), row.shift, group};
        connect(group, &RadioGroup::itemIndexChanged, this,
                [this, group] { RadioGroupClick(group); });
        widget = group;
        break;
    }
    case ControlKind::Track: {
        label = new QLabel(toQt(row.caption), parent);
        label->move(12, top + 3);
        auto* track = new QSlider(Qt::Horizontal, parent);
        track->setRange(kFineMinimum, kTrackMaximum);
        track->setValue(row.defaultValue);
        track->setTickInterval(8);
        track->setTickPosition(QSlider::TicksAbove);
        track->setPageStep(2);
        track->setGeometry(left, top, 240, 22);
        auto* edit = new QLineEdit(
            QStringLiteral("0") + QLocale::system().decimalPoint() + QStringLiteral("0"), parent);
        edit->setObjectName(toQt(row.editName));
        edit->setProperty("Tag", row.tag);
        edit->setGeometry(left + 245, top, 41, 22);
        edit->setAccessibleName(toQt(row.caption));
        setRowTip(edit, row.tooltip);
        edit->installEventFilter(this);
        m_named.push_back(edit);
        auto* unit = new QLabel(QStringLiteral("dB"), parent);
        unit->move(left + 290, top + 3);
        m_tracks.at(tag) = {static_cast<std::uint8_t>(row.reg), kReferencePosition, track, edit};
        connect(track, &QSlider::valueChanged, this, [this, track] { TrackChange(track); });
        widget = track;
        break;
    }
    }
    widget->setObjectName(toQt(row.name));
    widget->setProperty("Tag", row.tag);
    if (row.kind != ControlKind::Track) {
        widget->move(left, top);
    }
    setRowTip(widget, row.tooltip);
    // What a screen reader announces: the caption, or the label that names the control.
    widget->setAccessibleName(toQt(row.caption));
    if (label != nullptr) {
        label->setBuddy(widget);
    }
    m_named.push_back(widget);
    return widget;
}

void ControlPanel::buildZeroFlagRow(QWidget* group, int top) {
    auto* status = new QLabel(QStringLiteral("Zero flag status:"), group);
    status->move(12, top + 2);
    const char* names[] = {"ZERO1", "ZERO2"};
    const char* tips[] = {"Reg#15H, Bit0", "Reg#15H, Bit1"};
    const char* captions[] = {"DAC L", "DAC R"};
    for (std::size_t i = 0; i < 2; ++i) {
        auto* lamp = new QLabel(group);
        lamp->setObjectName(QLatin1String(names[i]));
        lamp->setGeometry(140 + static_cast<int>(i) * 50, top, 16, 16);
        lamp->setAccessibleName(QLatin1String(names[i]));
        setTip(lamp, QLatin1String(tips[i]));
        auto* caption = new QLabel(QLatin1String(captions[i]), group);
        caption->move(132 + static_cast<int>(i) * 50, top + 20);
        m_lampLabels[i] = lamp;
        m_named.push_back(lamp);
    }
    auto* read = new QPushButton(QStringLiteral("Read"), group);
    read->setObjectName(QStringLiteral("btnZeroRead"));
    read->setAccessibleName(QStringLiteral("Read"));
    read->setGeometry(270, top - 4, 60, 25);
    connect(read, &QPushButton::clicked, this, &ControlPanel::btnZeroReadClick);
    auto* clear = new QPushButton(QStringLiteral("Clear"), group);
    clear->setObjectName(QStringLiteral("btnZeroClr"));
    clear->setAccessibleName(QStringLiteral("Clear"));
    clear->setGeometry(340, top - 4, 60, 25);
    connect(clear, &QPushButton::clicked, this, &ControlPanel::btnZeroClrClick);
    m_named.push_back(read);
    m_named.push_back(clear);
}

QWidget* ControlPanel::control(std::string_view name) const {
    for (QWidget* widget : m_named) {
        if (widget->objectName() == toQt(name)) {
            return widget;
        }
    }
    return nullptr;
}

const ControlPanel::CheckBoxBinding& ControlPanel::checkBoxBinding(int tag) const {
    return m_checkBoxes.at(static_cast<std::size_t>(tag));
}
const ControlPanel::DropDownBinding& ControlPanel::dropDownBinding(int tag) const {
    return m_dropDowns.at(static_cast<std::size_t>(tag));
}
const ControlPanel::RadioBinding& ControlPanel::radioBinding(int tag) const {
    return m_radios.at(static_cast<std::size_t>(tag));
}
const ControlPanel::TrackBinding& ControlPanel::trackBinding(int tag) const {
    return m_tracks.at(static_cast<std::size_t>(tag));
}

std::uint32_t ControlPanel::address(int reg) const {
    return static_cast<std::uint32_t>(reg + m_access.DeviceBits());
}

bool ControlPanel::wideMode() const {
    return (m_access.shadowRegister(kAttenuationModeRegister) & kWideRangeBit) != 0;
}

bool ControlPanel::fineModeShown() const {
    return m_radios[kDacAttModeTag].control->itemIndex() == 0;
}

bool ControlPanel::masterSlaveIsSlave() const {
    return m_dropDowns[kMasterSlaveTag].control->currentIndex() == 0;
}

void ControlPanel::CheckBoxChecked(QCheckBox* control) {
    const CheckBoxBinding& b = checkBoxBinding(control->property("Tag").toInt());
    const int value = checkBoxWrite(m_access.shadowRegister(b.reg), b.bit, control->isChecked());
    m_access.WriteRegister(address(b.reg), value);
}

void ControlPanel::ComboBoxChange(QComboBox* control) {
    const int tag = control->property("Tag").toInt();
    const DropDownBinding& b = dropDownBinding(tag);
    const int value =
        dropDownWrite(m_access.shadowRegister(b.reg), b.shift, b.width, control->currentIndex());
    m_access.WriteRegister(address(b.reg), value);
    if (tag == kMasterSlaveTag) {
        m_access.WriteBoardRegister(kBoardMasterSlaveRegister,
                                    control->currentIndex() == 0 ? 1 : 0);
    }
}

void ControlPanel::RadioGroupClick(RadioGroup* control) {
    const int tag = control->property("Tag").toInt();
    const RadioBinding& b = radioBinding(tag);
    const int value = radioWrite(m_access.shadowRegister(b.reg), b.bit, control->itemIndex());
    m_access.WriteRegister(address(b.reg), value);
    if (tag == kDacAttModeTag) {
        modeFollowUp();
    }
}

void ControlPanel::setTrackText(const TrackBinding& binding, int value) {
    const QChar separator = QLocale::system().decimalPoint().front();
    binding.edit->setText(QString::fromStdString(decibelText(
        binding.reference, value, wideMode(), static_cast<char>(separator.toLatin1()))));
}

void ControlPanel::TrackChange(QSlider* control) {
    if (!m_trackGuard) {
        return;
    }
    m_trackGuard = false;
    const TrackBinding& b = trackBinding(control->property("Tag").toInt());
    setTrackText(b, control->value());
    m_access.WriteRegister(address(b.reg), control->value());
    m_trackGuard = true;
}

void ControlPanel::TrackEditKeyUp(QLineEdit* edit, int key) {
    const int divisor = fineModeShown() ? 2 : 1;
    if (!m_trackGuard || !isEnter(key)) {
        return;
    }
    const TrackBinding& b = trackBinding(edit->property("Tag").toInt());
    const QString typed = edit->text();
    const QChar separator = QLocale::system().decimalPoint().front();
    const auto x = parseDecimal(typed.toStdString(), static_cast<char>(separator.toLatin1()));
    if (!x) {
        // The application's error report for a text that is no number; nothing changes.
        m_dialogs.error(text::kApplicationTitle,
                        exceptionText(notAFloatMessage(typed.toStdString())));
        return;
    }
    b.track->setValue(
        typedPosition(*x, b.track->minimum(), b.track->maximum(), b.reference, divisor));
}

void ControlPanel::modeFollowUp() {
    const int minimum = trackMinimum(!fineModeShown());
    for (int tag = 1; tag < kTrackTags; ++tag) {
        m_tracks[static_cast<std::size_t>(tag)].track->setMinimum(minimum);
    }
    for (int tag = 1; tag < kTrackTags; ++tag) {
        const TrackBinding& b = m_tracks[static_cast<std::size_t>(tag)];
        if (m_access.shadowRegister(b.reg) < minimum) {
            // Straight into the shadow: nothing is sent, logged or shown by this step.
            m_access.setShadowRegister(b.reg, static_cast<std::uint8_t>(minimum));
            b.track->setValue(minimum);
        }
    }
    for (int tag = 1; tag < kTrackTags; ++tag) {
        const TrackBinding& b = m_tracks[static_cast<std::size_t>(tag)];
        setTrackText(b, m_access.shadowRegister(b.reg));
    }
}

void ControlPanel::RefreshControls() {
    m_mainTab->setFocus();
    const int minimum = trackMinimum(!fineModeShown());
    for (int tag = 1; tag < kTrackTags; ++tag) {
        const TrackBinding& b = m_tracks[static_cast<std::size_t>(tag)];
        b.track->setMinimum(minimum);
        b.track->setValue(m_access.shadowRegister(b.reg));
        setTrackText(b, m_access.shadowRegister(b.reg));
    }
    for (const CheckBoxBinding& b : m_checkBoxes) {
        if (b.control != nullptr) {
            b.control->setChecked(checkBoxState(m_access.shadowRegister(b.reg), b.bit));
        }
    }
    for (const DropDownBinding& b : m_dropDowns) {
        if (b.control != nullptr) {
            const int item = dropDownItem(m_access.shadowRegister(b.reg), b.shift, b.width);
            // A value beyond the last item leaves the list without a selection.
            b.control->setCurrentIndex(item < b.control->count() ? item : -1);
        }
    }
    for (const RadioBinding& b : m_radios) {
        if (b.control != nullptr) {
            b.control->setItemIndex(radioItem(m_access.shadowRegister(b.reg), b.bit));
        }
    }
    for (int row = 0; row < kRegisterCount; ++row) {
        m_map.ShowRegisterBits(row, m_access.shadowRegister(kFirstRegister + row));
    }
}

void ControlPanel::drawLamp(int lamp, int image) {
    const auto index = static_cast<std::size_t>(lamp);
    m_lampImages[index] = image;
    m_lampLabels[index]->setPixmap(m_lamps.at(static_cast<std::size_t>(image)));
    m_lampLabels[index]->setAccessibleDescription(image == 2 ? QStringLiteral("on")
                                                             : QStringLiteral("off"));
    m_lampLabels[index]->repaint();
}

void ControlPanel::btnZeroReadClick() {
    const std::uint8_t flags = m_access.ReadRegister(address(kFlagsRegister));
    drawLamp(0, (flags & 0x01) != 0 ? 2 : 0);
    drawLamp(1, (flags & 0x02) != 0 ? 2 : 0);
}

void ControlPanel::btnZeroClrClick() {
    drawLamp(0, 0);
    drawLamp(1, 0);
}

bool ControlPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // One action per Enter press: a held key repeats presses but is released once.
        if (!key->isAutoRepeat()) {
            if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
                TrackEditKeyUp(edit, key->key());
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace larkspur
