#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

// A TCP relay on a loopback address in front of the sandbox server, for the tests of how a connection
// treats the link: it passes the conversation through and keeps what the client sent. It can play the
// one who sits between client and server: hide the server's TLS support in its greeting, and ask for the
// password in clear text (the mysql_clear_password method) in place of the server's own method.
struct RelayTampering
{
    bool hideTls = false;
    bool askClearPassword = false;
};

class TcpRelay
{
public:
    using Tampering = RelayTampering;

    TcpRelay(const QString &listenAddress, int targetPort, Tampering tampering = {});
    ~TcpRelay();
    TcpRelay(const TcpRelay &) = delete;
    TcpRelay &operator=(const TcpRelay &) = delete;

    int port() const { return m_port; }
    // Every byte the clients sent so far, all connections together.
    QByteArray clientBytes() const;

private:
    void serve();
    void relay(int client);

    int m_listen = -1;
    int m_port = 0;
    int m_targetPort;
    Tampering m_tampering;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_clientBytes;
    std::thread m_thread;
};
