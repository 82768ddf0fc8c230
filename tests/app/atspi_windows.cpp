// The main window and the query window with values in them, for reading back through the AT-SPI bridge
// (atspi_check.py). Prints "ready" once both are on screen and runs until it is ended.
#include "mainwindow/frmtablora.h"
#include "query/frmsql.h"
#include "query/recordtextview.h"
#include "ui_frmsql.h"

#include "dialogs.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    // Qt's bridge follows the desktop's accessibility setting; the test's own bus has none.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("atspi_windows"));
    QTemporaryDir settings;
    frmTablora main(settings.path());
    main.show();
    main.ShowCount(10, 3);
    main.ui->lblTableName->setText(QStringLiteral("items"));

    frmSql query;
    query.show();
    query.ui->txtRecord->setPlainText(QStringLiteral("id\t名前\n1\tりんご\n"));
    query.ui->txtRecord->setSelectionOffsets(3, 5);
    QApplication::processEvents();
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
