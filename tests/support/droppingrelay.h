#pragma once

#include <QString>
#include <atomic>
#include <thread>

// A TCP relay between the program and the sandbox server on the loopback: it listens on a free port of
// 127.0.0.1 and passes every connection through to the target. Told to drop, it keeps every connection
// open but passes nothing more in either direction, and new connections get no answer: a link that dies
// silently, as when a network drops packets or the server's host is gone.
class DroppingRelay
{
public:
    DroppingRelay(const QString &targetHost, unsigned short targetPort);
    ~DroppingRelay();
    DroppingRelay(const DroppingRelay &) = delete;
    DroppingRelay &operator=(const DroppingRelay &) = delete;

    unsigned short port() const { return m_port; }
    void setDropping(bool dropping) { m_dropping.store(dropping); }

private:
    void loop();

    QString m_targetHost;
    unsigned short m_targetPort;
    unsigned short m_port = 0;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_dropping{false};
    std::thread m_thread;
};
