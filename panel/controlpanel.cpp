#include "controlpanel.h"
#include "device/devicetexts.h"

#include "catalogue/attenuation.h"
#include "catalogue/fieldvalues.h"
#include "device/errortext.h"
#include "notation/decimalnotation.h"
#include "widgets/dropdownlist.h"
#include "widgets/fonts.h"
#include "widgets/radiogroup.h"
#include "widgets/widgethelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
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
    for (const GroupBoxInfo& g : groupBoxes()) {
        auto* box = new QGroupBox(toQt(g.caption), pages[static_cast<std::size_t>(g.sheet)]);
        box->setObjectName(toQt(g.name));
        box->setAccessibleName(toQt(g.caption));
        box->setGeometry(g.geometry.left, g.geometry.top, g.geometry.width, g.geometry.height);
        // The zero-flag group keeps the window's silver.
        box->setAutoFillBackground(g.filled);
        if (!g.tooltip.empty()) {
            setRowTip(box, g.tooltip);
        }
        groups[g.caption] = box;
    }
    const auto addNotes = [&groups](bool beforeControls) {
        for (const NoteInfo& note : notes()) {
            if (note.beforeControls == beforeControls) {
                auto* label = new QLabel(toQt(note.text), groups.at(note.group));
                if (note.points != 0) {
                    label->setFont(arialFont(note.points));
                }
                label->move(note.left, note.top);
            }
        }
    };

    addNotes(true);
    for (const BoundControl& row : controlCatalogue()) {
        const ControlPlacement& place = placementOf(row.name);
        QWidget* parent = row.group.empty() ? pages[static_cast<std::size_t>(place.sheet)]
                                            : static_cast<QWidget*>(groups.at(row.group));
        QWidget* widget = makeControl(row, place, parent);
        if (row.kind != ControlKind::Track) {
            const int height = place.at.height != 0 ? place.at.height : widget->sizeHint().height();
            widget->setGeometry(place.at.left, place.at.top, place.at.width, height);
        }
    }
    addNotes(false);

    buildZeroFlagRow(groups.at(zeroFlagRow().group));
}

QWidget* ControlPanel::makeControl(const BoundControl& row, const ControlPlacement& place,
                                   QWidget* parent) {
    const auto tag = static_cast<std::size_t>(row.tag);
    const int left = place.at.left;
    const int top = place.at.top;
    QLabel* label = nullptr;
    // A list's caption stands beside it; a check box may have a label besides its caption.
    const std::string_view side = row.kind == ControlKind::DropDown ? row.caption : place.sideLabel;
    if (!side.empty()) {
        label = new QLabel(toQt(side), parent);
        label->move(12, top + 3);
        label->adjustSize();
    }

    QWidget* widget = nullptr;
    switch (row.kind) {
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(toQt(row.caption), parent);
        box->setChecked(row.defaultValue != 0);
        m_checkBoxes.at(tag) = {&row, box};
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
        m_dropDowns.at(tag) = {&row, list};
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
        group->setColumns(place.columns);
        group->setItemIndex(row.defaultValue);
        m_radios.at(tag) = {&row, group};
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
        track->setGeometry(left, top, place.at.width, place.at.height);
        auto* edit = new QLineEdit(
            QStringLiteral("0") + QLocale::system().decimalPoint() + QStringLiteral("0"), parent);
        edit->setObjectName(toQt(place.editName));
        edit->setProperty("Tag", row.tag);
        edit->setGeometry(left + 245, top, 41, 22);
        edit->setAccessibleName(toQt(row.caption));
        setRowTip(edit, row.tooltip);
        edit->installEventFilter(this);
        m_named.push_back(edit);
        auto* unit = new QLabel(QStringLiteral("dB"), parent);
        unit->move(left + 290, top + 3);
        m_tracks.at(tag) = {&row, kReferencePosition, track, edit};
        connect(track, &QSlider::valueChanged, this, [this, track] { TrackChange(track); });
        widget = track;
        break;
    }
    }
    widget->setObjectName(toQt(row.name));
    widget->setProperty("Tag", row.tag);
    if (place.points != 0) {
        widget->setFont(arialFont(place.points));
    }
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

void ControlPanel::buildZeroFlagRow(QWidget* group) {
    const ZeroFlagRowInfo& info = zeroFlagRow();
    const int top = info.top;
    auto* status = new QLabel(toQt(info.label), group);
    status->move(12, top + 2);
    for (std::size_t i = 0; i < 2; ++i) {
        const int offset = static_cast<int>(i) * 50;
        auto* lamp = new QLabel(group);
        lamp->setObjectName(toQt(info.lampNames[i]));
        lamp->setGeometry(140 + offset, top, 16, 16);
        lamp->setAccessibleName(toQt(info.lampNames[i]));
        setRowTip(lamp, info.lampTips[i]);
        auto* caption = new QLabel(toQt(info.lampCaptions[i]), group);
        caption->move(132 + offset, top + 20);
        m_lampLabels[i] = lamp;
        m_named.push_back(lamp);
    }
    auto* read = new QPushButton(toQt(info.readCaption), group);
    read->setObjectName(QStringLiteral("btnZeroRead"));
    read->setAccessibleName(toQt(info.readCaption));
    read->setGeometry(270, top - 4, 60, 25);
    connect(read, &QPushButton::clicked, this, &ControlPanel::btnZeroReadClick);
    auto* clear = new QPushButton(toQt(info.clearCaption), group);
    clear->setObjectName(QStringLiteral("btnZeroClr"));
    clear->setAccessibleName(toQt(info.clearCaption));
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

bool ControlPanel::wideMode() const {
    return wideRange(m_access.shadowRegister(kAttenuationModeRegister));
}

bool ControlPanel::fineModeShown() const {
    return m_radios[kDacAttModeTag].control->itemIndex() == 0;
}

bool ControlPanel::masterSlaveIsSlave() const {
    return m_dropDowns[kMasterSlaveTag].control->currentIndex() == 0;
}

bool ControlPanel::mayCompute(int reg) {
    if (m_access.registerKnown(reg)) {
        return true;
    }
    // A refresh only echoes what the shadow holds, which for this register is a stand-in; the
    // user's change reads the register again first and is dropped when that fails (reported).
    return !m_refreshing && m_access.rereadUnknown(reg);
}

void ControlPanel::CheckBoxChecked(QCheckBox* control) {
    const CheckBoxBinding& b = checkBoxBinding(control->property("Tag").toInt());
    if (!mayCompute(b.field->reg)) {
        return;
    }
    const int value = withFieldItem(*b.field, m_access.shadowRegister(b.field->reg),
                                    control->isChecked() ? 1 : 0);
    m_access.WriteRegister(m_access.codecAddress(b.field->reg), value);
}

void ControlPanel::ComboBoxChange(QComboBox* control) {
    const int tag = control->property("Tag").toInt();
    const DropDownBinding& b = dropDownBinding(tag);
    if (!mayCompute(b.field->reg)) {
        return;
    }
    const int value =
        withFieldItem(*b.field, m_access.shadowRegister(b.field->reg), control->currentIndex());
    m_access.WriteRegister(m_access.codecAddress(b.field->reg), value);
    if (tag == kMasterSlaveTag) {
        m_access.WriteBoardRegister(kBoardMasterSlaveRegister,
                                    control->currentIndex() == 0 ? 1 : 0);
    }
}

void ControlPanel::RadioGroupClick(RadioGroup* control) {
    const int tag = control->property("Tag").toInt();
    const RadioBinding& b = radioBinding(tag);
    if (!mayCompute(b.field->reg)) {
        return;
    }
    const int value =
        withFieldItem(*b.field, m_access.shadowRegister(b.field->reg), control->itemIndex());
    m_access.WriteRegister(m_access.codecAddress(b.field->reg), value);
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
    // The position is the whole register: the user's move is a value of its own, a refresh's
    // echo of an unknown register is not.
    if (m_access.registerKnown(b.field->reg) || !m_refreshing) {
        m_access.WriteRegister(m_access.codecAddress(b.field->reg), control->value());
    }
    m_trackGuard = true;
}

void ControlPanel::TrackEditKeyUp(QLineEdit* edit, int key) {
    const int divisor = stepsPerDecibel(!fineModeShown());
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
        if (m_access.shadowRegister(b.field->reg) < minimum) {
            // Straight into the shadow: nothing is sent, logged or shown by this step.
            m_access.setShadowRegister(b.field->reg, static_cast<std::uint8_t>(minimum));
            b.track->setValue(minimum);
        }
    }
    for (int tag = 1; tag < kTrackTags; ++tag) {
        const TrackBinding& b = m_tracks[static_cast<std::size_t>(tag)];
        setTrackText(b, m_access.shadowRegister(b.field->reg));
    }
}

namespace {

// Runs `set` on `control` with its change signals held back; true when what `shown` reads of the
// control changed, which is when the signal would have gone out.
template <typename Control, typename Shown, typename Set>
bool changedQuietly(Control* control, Shown shown, Set set) {
    const auto before = shown(*control);
    {
        const QSignalBlocker quiet(control);
        set(*control);
    }
    return shown(*control) != before;
}

} // namespace

// Each control is set from the shadow without its change signal. Where what a track, check box
// or radio group shows changed, its handler then runs at once as the echo: it writes the field as
// the shadow holds it (under m_refreshing, not for a register whose value is a stand-in), as if
// the user had made that change. A track echoes each move, also the one its new minimum makes.
// Drop-down lists answer the user's pick only, so setting them echoes nothing.
void ControlPanel::RefreshControls() {
    m_refreshing = true;
    const auto done = qScopeGuard([this] { m_refreshing = false; });
    m_mainTab->setFocus();
    const auto position = [](const QSlider& track) { return track.value(); };
    const auto checked = [](const QCheckBox& box) { return box.isChecked(); };
    const auto item = [](const RadioGroup& group) { return group.itemIndex(); };
    const int minimum = trackMinimum(!fineModeShown());
    for (int tag = 1; tag < kTrackTags; ++tag) {
        const TrackBinding& b = m_tracks[static_cast<std::size_t>(tag)];
        if (changedQuietly(b.track, position, [&](QSlider& t) { t.setMinimum(minimum); })) {
            TrackChange(b.track);
        }
        const int shadow = m_access.shadowRegister(b.field->reg);
        if (changedQuietly(b.track, position, [&](QSlider& t) { t.setValue(shadow); })) {
            TrackChange(b.track);
        }
        setTrackText(b, m_access.shadowRegister(b.field->reg));
    }
    for (const CheckBoxBinding& b : m_checkBoxes) {
        if (b.control == nullptr) {
            continue;
        }
        const bool on = fieldItem(*b.field, m_access.shadowRegister(b.field->reg)) != 0;
        if (changedQuietly(b.control, checked, [&](QCheckBox& box) { box.setChecked(on); })) {
            CheckBoxChecked(b.control);
        }
    }
    for (const DropDownBinding& b : m_dropDowns) {
        if (b.control != nullptr) {
            const int shown = fieldItem(*b.field, m_access.shadowRegister(b.field->reg));
            // A value beyond the last item leaves the list without a selection.
            b.control->setCurrentIndex(shown < b.control->count() ? shown : -1);
        }
    }
    for (const RadioBinding& b : m_radios) {
        if (b.control == nullptr) {
            continue;
        }
        const int shown = fieldItem(*b.field, m_access.shadowRegister(b.field->reg));
        if (changedQuietly(b.control, item,
                           [&](RadioGroup& group) { group.setItemIndex(shown); })) {
            RadioGroupClick(b.control);
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
    const std::uint8_t flags = m_access.ReadRegister(m_access.codecAddress(kFlagsRegister));
    drawLamp(0, zeroFlagSet(flags, 0) ? 2 : 0);
    drawLamp(1, zeroFlagSet(flags, 1) ? 2 : 0);
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
