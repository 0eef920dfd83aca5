#include "mainmenu.h"

#include "mainwindow.h"
#include "windowtexts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <initializer_list>

namespace larkspur {

namespace {

struct Command {
    const char* name; // null: a separator
    QString text;
    void (TForm1::*handler)();
};

void addMenu(TForm1& window, const char* name, const QString& title,
             std::initializer_list<Command> commands) {
    QMenu* menu = window.menuBar()->addMenu(title);
    menu->setObjectName(QLatin1String(name));
    for (const Command& command : commands) {
        if (command.name == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(command.text);
        action->setObjectName(QLatin1String(command.name));
        // A command runs from the event loop once the trigger has returned: the modal windows
        // some of them open must not hold up whoever triggered the item (assistive technology
        // waits for its action call to come back before it can see, let alone close, the
        // window).
        QObject::connect(action, &QAction::triggered, &window, command.handler,
                         Qt::QueuedConnection);
    }
}

} // namespace

void buildMainMenu(TForm1& window) {
    window.menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    addMenu(window, "File1", text::kMenuFile,
            {{"Open1", text::kMenuOpenScript, &TForm1::Open1Click},
             {"SaveRegisterDump", text::kMenuSaveSnapshot, &TForm1::SaveRegisterDumpClick},
             {nullptr, {}, nullptr},
             {"Exit", text::kMenuExit, &TForm1::ExitClick}});
    addMenu(window, "Tool1", text::kMenuTool,
            {{"RegisterMap1", text::kMenuRegisterMap, &TForm1::RegisterMap1Click},
             // Last of the Tool menu, beside the register map it marks: the File menu keeps its
             // items where users and their tools find them.
             {"CompareSnapshot", text::kMenuCompareSnapshot, &TForm1::CompareSnapshotClick}});
    addMenu(window, "Help1", text::kMenuHelp, {{"About2", text::kMenuAbout, &TForm1::About2Click}});
}

} // namespace larkspur
