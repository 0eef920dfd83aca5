#include "mainwindow.h"
#include "device/devicetexts.h"

#include "aboutdialog.h"
#include "artwork.h"
#include "catalogue/attenuation.h"
#include "catalogue/controlcatalogue.h"
#include "device/errortext.h"
#include "imagebutton.h"
#include "notation/hextext.h"
#include "notation/numbernotation.h"
#include "panel/controlpanel.h"
#include "panel/panellayout.h"
#include "regview/registermapwindow.h"
#include "scriptprogresswindow.h"
#include "splashwindow.h"
#include "widgets/dropdownlist.h"
#include "widgets/fonts.h"
#include "widgets/radiogroup.h"
#include "widgets/widgethelpers.h"
#include "windowtexts.h"
#include "workbench.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabWidget>

namespace larkspur {

namespace {

constexpr int kImageButtonRestHeight = 24;
constexpr int kStatusBarHeight = 19;

// A group box or button at its designed place, with its designed name, announced by its caption.
template <typename Widget>
Widget* makeCaptioned(QWidget* parent, const char* name, const QString& caption,
                      const QRect& geometry) {
    auto* widget = new Widget(caption, parent);
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(caption);
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

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

    buildMenu();
    buildTitle();
    buildMainTab();
    buildHistory();
    buildDirectAccess();
    buildReset();
    buildConnection();
    buildInterface();

    m_imgExit =
        makeImageButton(m_central, "imgExit", text::kExitButton, 6, QRect(608, 508, 111, 24));
    connect(m_imgExit, &ImageButton::clicked, this, &TForm1::ExitClick);

    m_statusBar1 = new QStatusBar(m_central);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    m_statusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    m_statusBar1->setAccessibleName(text::kStatusBar);
    // A label, not a status message: its text changes are announced to screen readers.
    m_statusText = new QLabel(m_statusBar1);
    m_statusText->setObjectName(QStringLiteral("StatusText"));
    m_statusBar1->addWidget(m_statusText, 1);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(195, 123);

    recordImageButtons();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(Workbench& core) {
    m_core = &core;
    // Programmatic selections raise the handler too; it does nothing before the library loads.
    connect(m_rgInterface, &RadioGroup::itemIndexChanged, this, &TForm1::rgInterfaceClick);
    connect(m_cbAddr, &QComboBox::activated, this, &TForm1::cbAddrChange);
    const InterfaceSelection selection = access().loadSettings(settings());
    m_rgInterface->setItemIndex(selection.interfaceIndex);
    m_cbAddr->setCurrentIndex(selection.addressIndex);

    m_panel = new ControlPanel(m_mainTab, m_pages, access(), *this, m_core->dialogs(),
                               {artwork::lamp(0), artwork::lamp(1), artwork::lamp(2)}, this);

    connect(m_bBDRST, &QPushButton::clicked, this, &TForm1::bBDRSTClick);
    connect(m_btnMRST, &QPushButton::clicked, this, &TForm1::btnMRSTClick);
    connect(m_btnSRST, &QPushButton::clicked, this, &TForm1::btnSRSTClick);
    connect(m_imgRead, &ImageButton::clicked, this, &TForm1::ReadClick);
    connect(m_imgWrite, &ImageButton::clicked, this, &TForm1::WriteClick);
    connect(m_imgClear, &ImageButton::clicked, this, &TForm1::bClearHistryClick);
    connect(m_imgSave, &ImageButton::clicked, this, &TForm1::bSaveHistryClick);
    m_rdaReg->installEventFilter(this);
    m_rdaData->installEventFilter(this);
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

void TForm1::appendHistoryLine(const std::string& line) {
    appendHistoryLine(QString::fromStdString(line));
}

void TForm1::setStatusText(const std::string& text) {
    setStatusText(QString::fromStdString(text));
}

void TForm1::showBusy(const std::string& text) {
    if (m_splash != nullptr) {
        m_splash->Label1()->setText(QString::fromStdString(text));
        m_splash->showNow();
    }
}

void TForm1::setBusyText(const std::string& text) {
    if (m_splash != nullptr) {
        m_splash->Label1()->setText(QString::fromStdString(text));
    }
}

void TForm1::setBusyProgress(int minimum, int maximum, int position, bool visible) {
    if (m_splash != nullptr) {
        m_splash->ProgressBar1()->setRange(minimum, maximum);
        m_splash->ProgressBar1()->setValue(position);
        m_splash->ProgressBar1()->setVisible(visible);
    }
}

void TForm1::repaintBusy() {
    if (m_splash != nullptr && m_splash->isVisible()) {
        m_splash->repaint();
    }
}

void TForm1::hideBusy() {
    if (m_splash != nullptr) {
        m_splash->hide();
    }
}

void TForm1::catchUp() {
    QCoreApplication::processEvents();
}

int TForm1::selectedInterface() const {
    return m_rgInterface->itemIndex();
}

bool TForm1::codecIsSlave() const {
    return m_panel->masterSlaveIsSlave();
}

void TForm1::RefreshControls() {
    m_panel->RefreshControls();
}

void TForm1::showProgress() {
    if (m_scriptProgress != nullptr) {
        m_scriptProgress->showNow();
    }
}

void TForm1::setProgress(int percent) {
    if (m_scriptProgress != nullptr) {
        m_scriptProgress->ProgressBar1()->setValue(percent);
    }
}

void TForm1::hideProgress() {
    if (m_scriptProgress != nullptr) {
        m_scriptProgress->hide();
    }
}

void TForm1::bSaveHistryClick() {
    std::vector<std::string> lines;
    for (const QString& line : historyLines()) {
        // Saved files are bytes: what the history holds, one byte per character.
        lines.push_back(line.toLatin1().toStdString());
    }
    dump().saveHistory(lines);
}

void TForm1::ShowRegisterBits(int row, int value) {
    if (m_regView != nullptr) {
        m_regView->ShowRegisterBits(row, value);
    }
}

void TForm1::rgInterfaceClick() {
    if (access().interfaceChanged(m_rgInterface->itemIndex(), settings())) {
        m_cbAddr->setCurrentIndex(0);
    }
}

void TForm1::cbAddrChange(int index) {
    access().addressChanged(index, m_rgInterface->itemIndex(), settings());
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

std::optional<std::int32_t> TForm1::fieldNumber(const QLineEdit* field) {
    const std::string text = field->text().toStdString();
    const auto value = parseNumber(text);
    if (!value) {
        m_core->dialogs().error(larkspur::text::kApplicationTitle,
                                exceptionText(notAnIntegerMessage(text)));
    }
    return value;
}

void TForm1::ReadClick() {
    const auto address = fieldNumber(m_rdaReg);
    if (!address) {
        return;
    }
    const std::uint8_t value = access().ReadRegister(static_cast<std::uint32_t>(*address));
    m_rdaData->setText(QStringLiteral("0x") + QString::fromStdString(hexText(value, 2)));
}

void TForm1::WriteClick() {
    // The value is checked before the address is looked at.
    const auto value = fieldNumber(m_rdaData);
    if (!value) {
        return;
    }
    const auto address = fieldNumber(m_rdaReg);
    if (!address) {
        return;
    }
    access().WriteRegister(static_cast<std::uint32_t>(*address), *value);
    RefreshControls();
}

void TForm1::bClearHistryClick() {
    clearHistory();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // One operation per Enter press: a held key repeats presses but is released once.
        if (enter && !key->isAutoRepeat()) {
            if (watched == m_rdaReg) {
                ReadClick();
            } else if (watched == m_rdaData) {
                WriteClick();
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// A menu command runs from the event loop once the trigger has returned: the modal windows some
// of them open must not hold up whoever triggered the item (assistive technology waits for its
// action call to come back before it can see, let alone close, the window).
QAction* TForm1::addCommand(QMenu* menu, const QString& text, void (TForm1::*handler)()) {
    QAction* action = menu->addAction(text);
    connect(action, &QAction::triggered, this, handler, Qt::QueuedConnection);
    return action;
}

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(text::kMenuFile);
    file->setObjectName(QStringLiteral("File1"));
    m_open1 = addCommand(file, text::kMenuOpenScript, &TForm1::Open1Click);
    m_open1->setObjectName(QStringLiteral("Open1"));
    m_saveRegisterDump = addCommand(file, text::kMenuSaveSnapshot, &TForm1::SaveRegisterDumpClick);
    m_saveRegisterDump->setObjectName(QStringLiteral("SaveRegisterDump"));
    file->addSeparator();
    m_exit = addCommand(file, text::kMenuExit, &TForm1::ExitClick);
    m_exit->setObjectName(text::kMenuExit);

    QMenu* tool = bar->addMenu(text::kMenuTool);
    tool->setObjectName(QStringLiteral("Tool1"));
    m_registerMap1 = addCommand(tool, text::kMenuRegisterMap, &TForm1::RegisterMap1Click);
    m_registerMap1->setObjectName(QStringLiteral("RegisterMap1"));

    QMenu* help = bar->addMenu(text::kMenuHelp);
    help->setObjectName(QStringLiteral("Help1"));
    m_about2 = addCommand(help, text::kMenuAbout, &TForm1::About2Click);
    m_about2->setObjectName(QStringLiteral("About2"));
}

void TForm1::buildTitle() {
    m_image1 = new QLabel(m_central);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setPixmap(artwork::title());
    m_image1->setGeometry(24, 8, 360, 19);
    m_image1->setAccessibleName(text::kTitleImage);

    m_image2 = new QLabel(m_central);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setPixmap(artwork::logo());
    m_image2->setGeometry(552, 7, 162, 19);
    m_image2->setAccessibleName(text::kLogoImage);
}

void TForm1::buildMainTab() {
    m_mainTab = new QTabWidget(m_central);
    m_mainTab->setObjectName(QStringLiteral("MainTab"));
    m_mainTab->setGeometry(24, 37, 458, 420);
    m_mainTab->setAccessibleName(text::kCodecSettings);
    // Qt has no tabs on several rows: the captions stay whole and the row scrolls instead.
    m_mainTab->setUsesScrollButtons(true);
    m_mainTab->setElideMode(Qt::ElideNone);

    std::size_t index = 0;
    for (const TabSheetInfo& sheet : tabSheets()) {
        const QString caption =
            QString::fromUtf8(sheet.caption.data(), static_cast<qsizetype>(sheet.caption.size()));
        auto* page = new QWidget;
        page->setObjectName(
            QString::fromUtf8(sheet.name.data(), static_cast<qsizetype>(sheet.name.size())));
        page->setAccessibleName(caption);
        m_mainTab->addTab(page, caption);
        m_pages[index++] = page;
    }
    m_mainTab->setCurrentIndex(0);
}

void TForm1::buildHistory() {
    m_groupBox23 = makeCaptioned<QGroupBox>(m_central, "GroupBox23", text::kHistoryGroup,
                                            QRect(496, 32, 217, 354));

    m_memo1 = new QPlainTextEdit(m_groupBox23);
    m_memo1->setObjectName(QStringLiteral("Memo1"));
    m_memo1->setGeometry(24, 22, 169, 286);
    m_memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memo1->setAccessibleName(m_groupBox23->title());

    m_imgSave =
        makeImageButton(m_groupBox23, "imgSave", text::kSaveButton, 2, QRect(24, 318, 79, 24));
    m_imgClear =
        makeImageButton(m_groupBox23, "imgClear", text::kClearButton, 3, QRect(114, 318, 79, 24));
}

void TForm1::buildDirectAccess() {
    m_groupBox25 = makeCaptioned<QGroupBox>(m_central, "GroupBox25", text::kDirectAccessGroup,
                                            QRect(496, 392, 217, 65));

    QLabel* addressLabel =
        placeLabel(m_groupBox25, "Label21", text::kAddressLabel, 10, 17, arialFont(8));
    QLabel* dataLabel = placeLabel(m_groupBox25, "Label22", text::kDataLabel, 54, 17, arialFont(8));

    m_rdaReg = new QLineEdit(text::kAddressField, m_groupBox25);
    m_rdaReg->setObjectName(QStringLiteral("RDA_reg"));
    m_rdaReg->setGeometry(10, 33, 33, 21);
    m_rdaReg->setAccessibleName(addressLabel->text());
    addressLabel->setBuddy(m_rdaReg);

    m_rdaData = new QLineEdit(text::kDataField, m_groupBox25);
    m_rdaData->setObjectName(QStringLiteral("RDA_data"));
    m_rdaData->setGeometry(54, 33, 33, 21);
    m_rdaData->setAccessibleName(dataLabel->text());
    dataLabel->setBuddy(m_rdaData);

    m_imgRead =
        makeImageButton(m_groupBox25, "imgRead", text::kReadButton, 4, QRect(98, 32, 53, 24));
    m_imgWrite =
        makeImageButton(m_groupBox25, "imgWrite", text::kWriteButton, 5, QRect(155, 32, 53, 24));
}

void TForm1::buildReset() {
    m_gbReset =
        makeCaptioned<QGroupBox>(m_central, "gbReset", text::kResetGroup, QRect(24, 464, 201, 70));

    QLabel* registerReset =
        placeLabel(m_gbReset, "Label23", text::kRegisterResetLabel, 16, 19, arialFont(7));
    QLabel* reSync = placeLabel(m_gbReset, "Label24", text::kReSyncLabel, 110, 19, arialFont(7));

    m_btnMRST = makeCaptioned<QPushButton>(m_gbReset, "btnMRST", text::kMasterResetButton,
                                           QRect(16, 34, 75, 25));
    setTip(m_btnMRST, text::kMasterResetTip);
    registerReset->setBuddy(m_btnMRST);

    m_btnSRST = makeCaptioned<QPushButton>(m_gbReset, "btnSRST", text::kSyncResetButton,
                                           QRect(110, 34, 75, 25));
    setTip(m_btnSRST, text::kSyncResetTip);
    reSync->setBuddy(m_btnSRST);
}

void TForm1::buildConnection() {
    m_groupBox3 = makeCaptioned<QGroupBox>(m_central, "GroupBox3", text::kConnectionGroup,
                                           QRect(258, 464, 223, 70));

    auto* bevel = new QFrame(m_groupBox3);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setLineWidth(2);
    bevel->setGeometry(14, 32, 76, 23);

    m_imgConnection = new QLabel(bevel);
    m_imgConnection->setObjectName(QStringLiteral("imgConnection"));
    m_imgConnection->setGeometry(2, 2, 72, 19);
    setConnectionImage(-1);

    m_bBDRST = makeCaptioned<QPushButton>(m_groupBox3, "bBDRST", text::kReconnectButton,
                                          QRect(116, 31, 91, 25));
}

void TForm1::buildInterface() {
    m_rgInterface = new RadioGroup(text::kInterfaceGroup, m_central);
    m_rgInterface->setObjectName(QStringLiteral("rgInterface"));
    m_rgInterface->setGeometry(496, 464, 68, 70);
    m_rgInterface->setColumns(1);
    m_rgInterface->setItems({text::kInterfaceI2c, text::kInterfaceSpi});
    m_rgInterface->setItemIndex(1);

    m_label20 = placeLabel(m_central, "Label20", text::kAddressListLabel, 578, 472, font());

    m_cbAddr = new DropDownList(m_central);
    m_cbAddr->setObjectName(QStringLiteral("cbAddr"));
    m_cbAddr->addItems(
        {QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("10"), QStringLiteral("11")});
    m_cbAddr->setCurrentIndex(0);
    m_cbAddr->setGeometry(632, 468, 40, 22);
    m_cbAddr->setAccessibleName(m_label20->text());
    m_label20->setBuddy(m_cbAddr);
}

ImageButton* TForm1::makeImageButton(QWidget* parent, const char* name, const QString& lettering,
                                     int tag, const QRect& geometry) {
    auto* button = new ImageButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(lettering);
    button->setAccessibleName(lettering);
    button->setTag(tag);
    button->setPixmap(artwork::imageButton(lettering, geometry.width()));
    button->setGeometry(geometry);
    connect(button, &ImageButton::mouseDown, this, [this, button] { imgMouseDown(button); });
    connect(button, &ImageButton::mouseUp, this, [this, button] { imgMouseUp(button); });
    return button;
}

void TForm1::recordImageButtons() {
    for (ImageButton* button : {m_imgSave, m_imgClear, m_imgRead, m_imgWrite, m_imgExit}) {
        const auto tag = static_cast<std::size_t>(button->tag());
        m_imageButtons[tag] = {button, button->pos()};
        button->resize(button->width(), kImageButtonRestHeight);
    }
}

QPoint TForm1::restPosition(int tag) const {
    if (tag < 0 || tag >= kTagCount)
        return {};
    return m_imageButtons[static_cast<std::size_t>(tag)].rest;
}

void TForm1::imgMouseDown(ImageButton* sender) {
    placeImageButton(sender, true);
}

void TForm1::imgMouseUp(ImageButton* sender) {
    placeImageButton(sender, false);
}

void TForm1::placeImageButton(ImageButton* sender, bool pressed) {
    const int tag = sender->tag();
    if (tag < 0 || tag >= kTagCount)
        return;
    const ImageButtonRecord& record = m_imageButtons[static_cast<std::size_t>(tag)];
    if (record.button == nullptr)
        return;
    // Pressed, the picture moves one pixel right and down; the bottom edge stays where it was.
    const int shift = pressed ? 1 : 0;
    record.button->setGeometry(record.rest.x() + shift, record.rest.y() + shift,
                               record.button->width(), kImageButtonRestHeight - shift);
}

void TForm1::setAboutDialog(TAboutDialog* about) {
    m_about = about;
}
void TForm1::setRegViewForm(TRegViewForm* regView) {
    m_regView = regView;
    if (m_regView != nullptr) {
        m_regView->setDeviceBitsSource([this] { return access().DeviceBits(); });
    }
}
void TForm1::setSplashForm(TSplashForm* splash) {
    m_splash = splash;
}
void TForm1::setScriptProgress(TscriptProgress* progress) {
    m_scriptProgress = progress;
}

void TForm1::appendHistoryLine(const QString& line) {
    m_memo1->appendPlainText(line);
}

void TForm1::clearHistory() {
    m_memo1->clear();
}

QStringList TForm1::historyLines() const {
    const QString text = m_memo1->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

void TForm1::setStatusText(const QString& text) {
    m_statusText->setText(text);
}

QString TForm1::statusText() const {
    return m_statusText->text();
}

void TForm1::setConnectionImage(int index) {
    if (index < 0 || index >= artwork::kConnectionImageCount) {
        m_connectionImage = -1;
        m_imgConnection->clear();
        m_imgConnection->setAccessibleName(text::kConnectionGroup);
        return;
    }
    m_connectionImage = index;
    m_imgConnection->setPixmap(artwork::connectionImage(index));
    m_imgConnection->setAccessibleName(artwork::connectionText(index));
}

void TForm1::Open1Click() {
    script().chooseAndRunScript();
}

void TForm1::SaveRegisterDumpClick() {
    dump().saveSnapshot();
}

void TForm1::ExitClick() {
    close();
}

void TForm1::RegisterMap1Click() {
    if (m_regView == nullptr)
        return;
    if (m_regView->isVisible()) {
        m_regView->raise();
        m_regView->activateWindow();
        return;
    }
    m_regView->show();
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

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
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
