#include "benchclients.h"

#include "sandbox.h"

#include <QFileInfo>
#include <QProcess>
#include <memory>
#include <vector>

void runClients(const QStringList &scripts)
{
    const SandboxServer &server = SandboxServer::get();
    const QString client = QFileInfo::exists(QStringLiteral("/usr/bin/mariadb")) ? QStringLiteral("mariadb")
                                                                                   : QStringLiteral("mysql");
    std::vector<std::unique_ptr<QProcess>> running;
    for (const QString &script : scripts) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(client, {QStringLiteral("--no-defaults"), QStringLiteral("-h127.0.0.1"),
                                QStringLiteral("-P") + server.port, QStringLiteral("-u") + server.user,
                                QStringLiteral("-p") + server.password});
        process->waitForStarted();
        process->write(script.toUtf8());
        process->closeWriteChannel();
        running.push_back(std::move(process));
    }
    for (auto &process : running)
        process->waitForFinished(-1);
}
