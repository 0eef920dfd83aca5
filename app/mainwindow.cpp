#include "mainwindow.h"
#include "device/devicetexts.h"

#include "artwork.h"
#include "device/errortext.h"
#include "mainmenu.h"
#include "notation/hextext.h"
#include "notation/numbernotation.h"
#include "panel/controlpanel.h"
#include "widgets/fonts.h"
#include "widgets/imagebutton.h"
#include "widgets/radiogroup.h"
#include "windowparts.h"
#include "windowtexts.h"
#include "workbench.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>

namespace larkspur {

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text::kMainWindowTitle);
    setFont(arialFont(9));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(palette);

    // The client area below the menu bar has the designed size; the window is not resizable.
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("ClientArea"));
    m_central->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(m_central);

    // In the order of the focus chain.
    buildMainMenu(*this);
    buildTitle(m_central);
    m_mainTab = buildCodecSheets(m_central, m_pages);
    m_history = std::make_unique<HistoryArea>(m_central, m_look);
    m_direct = new DirectAccessArea(m_central, m_look);
    m_connection = std::make_unique<ConnectionArea>(m_central);
    ImageButton* exit =
        m_look.make(m_central, "imgExit", text::kExitButton, 6, QRect(608, 508, 111, 24));
    connect(exit, &ImageButton::clicked, this, &TForm1::ExitClick);
    m_status = std::make_unique<WindowStatus>(m_central, kClientWidth, *m_connection);
    m_controls = std::make_unique<WindowControls>(*this, *m_connection, *m_history);

    for (ImageButton* button : m_look.buttons()) {
        connect(button, &ImageButton::mouseDown, this, [this, button] { imgMouseDown(button); });
        connect(button, &ImageButton::mouseUp, this, [this, button] { imgMouseUp(button); });
    }

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(195, 123);
}

TForm1::~TForm1() = default;

FrontEnd TForm1::frontEnd(UserDialogs& dialogs) {
    return FrontEnd{dialogs, m_busy, *m_status, *m_controls, m_map, *m_history, m_progress};
}

void TForm1::FormCreate(Workbench& core) {
    m_core = &core;
    RadioGroup* interfaces = m_connection->interfaces();
    QComboBox* addresses = m_connection->addresses();
    // Programmatic selections raise the handler too; it does nothing before the library loads.
    connect(interfaces, &RadioGroup::itemIndexChanged, this, &TForm1::rgInterfaceClick);
    connect(addresses, &QComboBox::activated, this, &TForm1::cbAddrChange);
    const InterfaceSelection selection = access().loadSettings(settings());
    interfaces->setItemIndex(selection.interfaceIndex);
    addresses->setCurrentIndex(selection.addressIndex);

    m_panel = new ControlPanel(m_mainTab, m_pages, access(), m_map, m_core->dialogs(),
                               {artwork::lamp(0), artwork::lamp(1), artwork::lamp(2)}, this);

    connect(m_connection->reconnect(), &QPushButton::clicked, this, &TForm1::bBDRSTClick);
    connect(m_connection->masterReset(), &QPushButton::clicked, this, &TForm1::btnMRSTClick);
    connect(m_connection->syncReset(), &QPushButton::clicked, this, &TForm1::btnSRSTClick);
    connect(m_direct, &DirectAccessArea::readAsked, this, &TForm1::ReadClick);
    connect(m_direct, &DirectAccessArea::writeAsked, this, &TForm1::WriteClick);
    connect(m_history->clearButton(), &ImageButton::clicked, this, &TForm1::bClearHistryClick);
    connect(m_history->saveButton(), &ImageButton::clicked, this, &TForm1::bSaveHistryClick);
    btnZeroClrClick();
}

void TForm1::FormShow() {
    // Start-up runs once, at the first showing.
    if (m_started) {
        return;
    }
    m_started = true;
    connection().start(m_core->port());
}

void TForm1::FormClose() {
    connection().shutdown();
}

RegisterAccess& TForm1::access() {
    return m_core->access();
}
DeviceConnection& TForm1::connection() {
    return m_core->connection();
}
RegisterScript& TForm1::script() {
    return m_core->script();
}
RegisterDump& TForm1::dump() {
    return m_core->dump();
}
SettingsFile& TForm1::settings() {
    return m_core->settings();
}

void TForm1::RefreshControls() {
    m_panel->RefreshControls();
}

void TForm1::bSaveHistryClick() {
    dump().saveHistory(m_history->savedLines());
}

void TForm1::rgInterfaceClick() {
    if (access().interfaceChanged(m_connection->interfaces()->itemIndex(), settings())) {
        m_connection->addresses()->setCurrentIndex(0);
    }
}

void TForm1::cbAddrChange(int index) {
    access().addressChanged(index, m_connection->interfaces()->itemIndex(), settings());
}

void TForm1::bBDRSTClick() {
    connection().reconnect();
}

void TForm1::btnZeroClrClick() {
    m_panel->btnZeroClrClick();
}

void TForm1::btnZeroReadClick() {
    m_panel->btnZeroReadClick();
}

void TForm1::btnMRSTClick() {
    connection().masterReset();
}

void TForm1::btnSRSTClick() {
    connection().syncReset();
}

std::optional<std::int32_t> TForm1::fieldNumber(const QString& field) {
    const std::string text = field.toStdString();
    const auto value = parseNumber(text);
    if (!value) {
        m_core->dialogs().error(larkspur::text::kApplicationTitle,
                                exceptionText(notAnIntegerMessage(text)));
    }
    return value;
}

void TForm1::ReadClick() {
    const auto address = fieldNumber(m_direct->addressText());
    if (!address) {
        return;
    }
    const std::uint8_t value = access().ReadRegister(static_cast<std::uint32_t>(*address));
    m_direct->showData(QStringLiteral("0x") + QString::fromStdString(hexText(value, 2)));
}

void TForm1::WriteClick() {
    // The value is checked before the address is looked at.
    const auto value = fieldNumber(m_direct->dataText());
    if (!value) {
        return;
    }
    const auto address = fieldNumber(m_direct->addressText());
    if (!address) {
        return;
    }
    access().WriteRegister(static_cast<std::uint32_t>(*address), *value);
    RefreshControls();
}

void TForm1::bClearHistryClick() {
    m_history->clear();
}

void TForm1::imgMouseDown(ImageButton* sender) {
    m_look.place(sender, true);
}

void TForm1::imgMouseUp(ImageButton* sender) {
    m_look.place(sender, false);
}

void TForm1::setAboutDialog(TAboutDialog* about) {
    m_about = about;
}
void TForm1::setRegViewForm(TRegViewForm* regView) {
    m_map.setWindow(regView);
    if (regView != nullptr) {
        regView->setDeviceBitsSource([this] { return access().DeviceBits(); });
    }
}
void TForm1::setSplashForm(TSplashForm* splash) {
    m_busy.setWindow(splash);
}
void TForm1::setScriptProgress(TscriptProgress* progress) {
    m_progress.setWindow(progress);
}

void TForm1::Open1Click() {
    script().chooseAndRunScript();
}

void TForm1::SaveRegisterDumpClick() {
    dump().saveSnapshot();
}

void TForm1::CompareSnapshotClick() {
    const std::string file = m_core->dialogs().openFileName(RegisterScript::scriptDialog());
    if (file.empty()) {
        return;
    }
    if (m_compare == nullptr) {
        m_compare = new TCompareForm(this, [this](const auto& bits) {
            if (m_map.window() != nullptr) {
                m_map.window()->markBits(bits);
            }
        });
    }
    std::string why;
    if (!m_compare->compare(file, access().shadowImage(), why)) {
        m_core->dialogs().error(text::kApplicationTitle, why);
    }
}

void TForm1::ExitClick() {
    close();
}

void TForm1::RegisterMap1Click() {
    TRegViewForm* regView = m_map.window();
    if (regView == nullptr)
        return;
    if (regView->isVisible()) {
        regView->raise();
        regView->activateWindow();
        return;
    }
    regView->show();
}

void TForm1::About2Click() {
    if (m_about != nullptr) {
        m_about->lDLLver()->setText(QString::fromStdString(
            connection().versionText(m_about->lDLLver()->text().toStdString())));
        m_about->lPort()->setText(QString::number(access().linkPort()));
    }
    showAbout();
}

int TForm1::showAbout() {
    if (m_about == nullptr)
        return QDialog::Rejected;
    return m_about->exec();
}

void TForm1::fitToScreen(QSize available) {
    const QSize designed = m_central->size() + QSize(0, menuBar()->sizeHint().height());
    const bool fits =
        designed.width() <= available.width() && designed.height() <= available.height();
    if (fits == (m_scroll == nullptr))
        return;
    // setCentralWidget() deletes the one before: each is taken out first.
    if (fits) {
        QWidget* client = m_scroll->takeWidget();
        takeCentralWidget();
        delete m_scroll;
        m_scroll = nullptr;
        setCentralWidget(client);
        client->show();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        layout()->activate();
        return;
    }
    // The designed layout stays as it is, inside a view the screen can hold.
    takeCentralWidget();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ClientScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(m_central);
    setCentralWidget(m_scroll);
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    const int bar = m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QSize most = designed + QSize(bar, bar);
    setMaximumSize(most);
    setMinimumSize(0, 0);
    resize(most.boundedTo(available));
    // A control reached with the keyboard is scrolled into view.
    connect(qApp, &QApplication::focusChanged, m_scroll, [this](QWidget*, QWidget* now) {
        if (m_scroll != nullptr && now != nullptr && m_central->isAncestorOf(now))
            m_scroll->ensureWidgetVisible(now);
    });
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        // The frame's share is known once the window is on the screen; before, the title bar's
        // usual height stands in.
        const QSize frame = frameGeometry().size() - geometry().size();
        constexpr int kTitleBar = 32;
        fitToScreen(screen->availableGeometry().size() -
                    (frame.height() > 0 ? frame : QSize(0, kTitleBar)));
    }
    if (event->spontaneous())
        return;
    FormShow();
    emit formShown();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    emit closing();
    event->accept();
}

} // namespace larkspur
