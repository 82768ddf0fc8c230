#include "queryfixture.h"

#include "frmsql.h"
#include "session.h"
#include "ui_frmsql.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

void QueryWindowTest::SetUp()
{
    ServerTest::SetUp();
    ASSERT_TRUE(temp.isValid());
    folder = temp.path() + QStringLiteral("/");
    const QString editor = temp.filePath(QStringLiteral("editor.sh"));
    QFile script(editor);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                     .arg(temp.filePath(QStringLiteral("args.txt")))
                     .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    ASSERT_TRUE(connectSession(db));
    Session::instance().settings.textpath = folder;
    Session::instance().settings.texte = editor;
    window = std::make_unique<frmSql>();
    window->show();
}

void QueryWindowTest::TearDown()
{
    finished.reset();
    window.reset();
    ServerTest::TearDown();
}

void QueryWindowTest::clickExecAndWait()
{
    QSignalSpy finished(window.get(), &frmSql::runFinished);
    window->ui->cmdExec->click();
    if (finished.isEmpty())
        ASSERT_TRUE(finished.wait(60000)) << "the run did not end";
}

void QueryWindowTest::startRun(const QString &sql)
{
    finished = std::make_unique<QSignalSpy>(window.get(), &frmSql::runFinished);
    const unsigned long thread = Session::instance().db().threadId();
    window->ui->txtSql->setPlainText(sql);
    window->ui->cmdExec->click();
    // Until the server shows the statement running on the window's connection.
    const QString running = QStringLiteral("select count(*) from information_schema.processlist "
                                           "where id = %1 and command = 'Query'").arg(thread);
    ASSERT_TRUE(QTest::qWaitFor([&] { return scalar(running) == QStringLiteral("1"); }, 30000))
        << "the statement never reached the server";
    ASSERT_TRUE(window->isRunning());
}

void QueryWindowTest::waitForEnd()
{
    ASSERT_TRUE(finished);
    if (finished->isEmpty())
        ASSERT_TRUE(finished->wait(10000)) << "the run did not end";
}

void QueryWindowTest::run(const QString &sql)
{
    window->ui->txtSql->setPlainText(sql);
    clickExecAndWait();
}

QString QueryWindowTest::editorArguments(int waitMs) const
{
    QFile args(temp.filePath(QStringLiteral("args.txt")));
    for (int waited = 0; !args.exists() && waited < waitMs; waited += 20)
        QTest::qWait(20);
    if (!args.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(args.readAll());
}

QString QueryWindowTest::dumpPath() const
{
    return folder + QStringLiteral("sqldump.dat");
}

QByteArray QueryWindowTest::dumpFile() const
{
    QFile file(dumpPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList QueryWindowTest::textLines() const
{
    QStringList lines = window->ui->txtRecord->toPlainText().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
