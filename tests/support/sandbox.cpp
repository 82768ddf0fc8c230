#include "sandbox.h"

#include "connection.h"
#include "recordset.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <stdexcept>

const SandboxServer &SandboxServer::get()
{
    static const SandboxServer server = [] {
        SandboxServer s;
        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QString port = env.value(QStringLiteral("TABLORA_SANDBOX_PORT"));
        QString socket = env.value(QStringLiteral("TABLORA_SANDBOX_SOCKET"));
        QString password = env.value(QStringLiteral("TABLORA_SANDBOX_PASSWORD"));
        if (port.isEmpty()) {
            // Not started by the test command: start it (or find it running) through the script.
            QProcess script;
            script.start(QStringLiteral(TABLORA_SOURCE_DIR "/scripts/sandbox"), {QStringLiteral("env")});
            script.waitForFinished(120000);
            const QString out = QString::fromUtf8(script.readAllStandardOutput());
            for (const QString &line : out.split(QLatin1Char('\n'))) {
                const QString key = line.section(QLatin1Char('='), 0, 0);
                const QString value = line.section(QLatin1Char('='), 1);
                if (key == QLatin1String("TABLORA_SANDBOX_PORT"))
                    port = value;
                else if (key == QLatin1String("TABLORA_SANDBOX_SOCKET"))
                    socket = value;
                else if (key == QLatin1String("TABLORA_SANDBOX_PASSWORD"))
                    password = value;
            }
            if (port.isEmpty())
                throw std::runtime_error("the sandbox server did not start: "
                                         + script.readAllStandardError().toStdString());
        }
        s.port = port;
        s.socket = socket;
        s.password = password;
        return s;
    }();
    return server;
}

QString SandboxServer::connectionString(const QString &database) const
{
    QString text = QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=%1;uid=%2;pwd=%3;port=%4")
                       .arg(host, user, password, port);
    if (!database.isEmpty())
        text += QStringLiteral(";database=") + database;
    return text;
}

std::unique_ptr<Connection> SandboxServer::connect(const QString &database) const
{
    auto connection = std::make_unique<Connection>();
    connection->setConnectionString(connectionString(database));
    connection->Open();
    return connection;
}

QList<QStringList> rowsOf(Connection &connection, const QString &sql)
{
    QList<QStringList> rows;
    auto rs = connection.Execute(sql);
    if (!rs)
        return rows;
    for (; !rs->Eof(); rs->MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs->FieldCount(); ++i)
            row << (rs->IsNull(i) ? QStringLiteral("NULL") : rs->Value(i));
        rows << row;
    }
    return rows;
}

QString scalarOf(Connection &connection, const QString &sql)
{
    const auto rows = rowsOf(connection, sql);
    return rows.isEmpty() || rows.first().isEmpty() ? QString() : rows.first().first();
}
