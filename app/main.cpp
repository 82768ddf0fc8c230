// Tablora: assembles the main window with the handlers of the other folders and runs it.
#include "mainwindow/frmtablora.h"
#include "widgets/qtdialogs.h"

#ifdef TABLORA_HAVE_SCHEMA
#include "schema/attach.h"
#endif
#ifdef TABLORA_HAVE_MAINTENANCE
#include "maintenance/attach.h"
#endif
#ifdef TABLORA_HAVE_QUERY
#include "query/frmsql.h"
#endif
#ifdef TABLORA_HAVE_USERS
#include "users/frmuseradd.h"
#endif

#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("tablora: no display to open a window on (set DISPLAY or WAYLAND_DISPLAY)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));

    QtDialogs dialogs;
    Dialogs::install(&dialogs);

    frmTablora window;
    dialogs.setParent(&window);
#ifdef TABLORA_HAVE_SCHEMA
    attachSchema(window);
#endif
#ifdef TABLORA_HAVE_MAINTENANCE
    attachMaintenance(window);
#endif
#ifdef TABLORA_HAVE_QUERY
    window.onExec = [] { frmSql::showFor(); };
    window.onDisconnect = [] {
        if (frmSql *query = frmSql::instance())
            query->setExecTag(QStringLiteral("False"));
    };
#endif
#ifdef TABLORA_HAVE_USERS
    window.onCreateUser = [&window] {
        frmUserAdd users(&window);
        Dialogs::current().showModal(&users);
    };
#endif
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(&window, &frmTablora::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    window.show();
    const int code = QApplication::exec();
    Dialogs::install(nullptr);
    return code;
}
