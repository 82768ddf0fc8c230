// Tablora: assembles the main window with the handlers of the other folders and runs it.
#include "mainwindow/frmtablora.h"
#include "widgets/framestyle.h"
#include "widgets/qtdialogs.h"
#include "widgets/screenfit.h"

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
#ifdef TABLORA_HAVE_SQLLOG
#include "core/session.h"
#include "sqllog/sqllog.h"
#endif

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// A desktop session ends its programs with SIGTERM (or SIGHUP): the settings are saved at once, a running
// operation is stopped, and the main window is closed as if the user closed it, so the connection is
// closed. The signal only writes a byte; the rest is done from the event loop, which also runs while a
// statement waits.
void closeOnTerminate(frmTablora &window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        window.Terminate();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("tablora: no display to open a window on (set DISPLAY or WAYLAND_DISPLAY)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tablora"));
    // The desktop entry and the icon installed with the program (hicolor theme).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tablora.Tablora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.tablora.Tablora")));
    // Frames whole at fractional scale factors (laptops at 125 %, 150 %, 175 %).
    installFrameStyle();
    // Windows larger than a small screen at its scale fit its work area.
    installScreenFit();

    QtDialogs dialogs;
    Dialogs::install(&dialogs);

#ifdef TABLORA_HAVE_SQLLOG
    // From the start, so that the log holds the whole session.
    SqlLog sqlLog(Session::instance().log);
#endif
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
#ifdef TABLORA_HAVE_SQLLOG
    window.onSqlLog = [&sqlLog] { sqlLog.show(); };
#endif
    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(&window, &frmTablora::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    closeOnTerminate(window);
    window.show();
    const int code = QApplication::exec();
    Dialogs::install(nullptr);
    return code;
}
