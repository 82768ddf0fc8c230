#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

// A socket listening on a loopback address (a port of the system's choice, written to *port), for the
// test servers on a thread of their own. Throws when it cannot listen.
int listenOnLoopback(const QString &address, int backlog, int *port);

// A TCP relay on a loopback address in front of the sandbox server, for the tests of how a connection
// treats the link: it passes every connection through to the server and keeps what the clients sent.
// It can play the one who sits between client and server: hide the server's TLS support in its greeting,
// and ask for the password in clear text (the mysql_clear_password method) in place of the server's own
// method. And it can go quiet: told to drop, it keeps every connection open but passes nothing more in
// either direction, and new connections get no answer (a link that dies silently, as when a network
// drops packets or the server's host is gone). Told to hold, it leaves new connections waiting before they
// are taken (the system completes them, and their clients wait for the server's greeting) until released:
// a connection that comes late. Given a delay, it holds every byte that long in each
// direction before passing it on: a server far away (10 ms each way is a 20 ms round trip).
struct RelayTampering
{
    bool hideTls = false;
    bool askClearPassword = false;
    int delayMs = 0;
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
    void setDropping(bool dropping) { m_dropping.store(dropping); }
    void setHolding(bool holding);
    // Connections taken (passed on to the server) so far.
    int accepted() const { return m_accepted.load(); }

private:
    void loop();
    void tamper(QByteArray &greeting) const;

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    int m_targetPort;
    Tampering m_tampering;
    std::atomic<bool> m_dropping{false};
    std::atomic<bool> m_holding{false};
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    QByteArray m_clientBytes;
    std::thread m_thread;
};
