#include "tcprelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <vector>

namespace {

int connectToServer(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Small writes go out at once, as the client's and the server's own do: a held-back write waiting for the
// acknowledgement of the one before would add a delay of the relay's own to the one asked for.
int noDelay(int fd)
{
    int yes = 1;
    if (fd >= 0)
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

bool sendAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// The length of the first whole packet of the server's protocol (3-byte length, sequence number,
// payload) at the start of data, or 0 while it is still incomplete.
qsizetype wholePacket(const QByteArray &data)
{
    if (data.size() < 4)
        return 0;
    const auto *h = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype size = 4 + (h[0] | (h[1] << 8) | (h[2] << 16));
    return data.size() >= size ? size : 0;
}

using Clock = std::chrono::steady_clock;

// Bytes held back by the delay: what goes to one side, and when.
struct Held
{
    Clock::time_point due;
    int to;
    QByteArray bytes;
};

struct Link
{
    int client;
    int server = -1;      // -1: taken while dropping, never passed on
    bool greeted = false; // the server's greeting has gone to the client
    QByteArray greeting;  // its bytes so far, held until it is whole when it is to be changed
    std::deque<Held> held; // in the order read; both directions share one delay, so the oldest is due first
};

// Passes on the held bytes that are due; false when a side has gone.
bool passDue(Link &link, Clock::time_point now)
{
    while (!link.held.empty() && link.held.front().due <= now) {
        const Held &h = link.held.front();
        if (!sendAll(h.to, h.bytes.constData(), h.bytes.size()))
            return false;
        link.held.pop_front();
    }
    return true;
}

}

int listenOnLoopback(const QString &address, int backlog, int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.toLatin1().constData(), &addr.sin_addr);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::listen(fd, backlog) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot listen on " + address.toStdString());
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    *port = ntohs(addr.sin_port);
    return fd;
}

TcpRelay::TcpRelay(const QString &listenAddress, int targetPort, Tampering tampering)
    : m_targetPort(targetPort), m_tampering(tampering)
{
    m_listen = listenOnLoopback(listenAddress, 16, &m_port);
    if (::pipe(m_wake) != 0)
        throw std::runtime_error("the relay cannot make its wake-up pipe");
    m_thread = std::thread([this] { loop(); });
}

TcpRelay::~TcpRelay()
{
    (void)!::write(m_wake[1], "x", 1);
    m_thread.join();
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        ::close(fd);
}

void TcpRelay::setHolding(bool holding)
{
    m_holding.store(holding);
    (void)!::write(m_wake[1], "h", 1); // polls again, with or without the listening socket
}

QByteArray TcpRelay::clientBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_clientBytes;
}

// The server's greeting, changed as asked before the client sees it.
void TcpRelay::tamper(QByteArray &greeting) const
{
    const qsizetype versionEnd = greeting.indexOf('\0', 5);
    const qsizetype capabilities = versionEnd + 1 + 4 + 8 + 1; // after the id, the scramble and a filler
    if (m_tampering.hideTls && versionEnd > 0 && capabilities + 1 < greeting.size())
        greeting[capabilities + 1] = char(uchar(greeting[capabilities + 1]) & ~0x08); // CLIENT_SSL, 0x0800
    if (m_tampering.askClearPassword) {
        const QByteArray native("mysql_native_password");
        const qsizetype at = greeting.lastIndexOf(native);
        if (at > 0) {
            greeting.replace(at, native.size(), QByteArray("mysql_clear_password"));
            const qsizetype length = greeting.size() - 4;
            greeting[0] = char(length & 0xFF);
            greeting[1] = char((length >> 8) & 0xFF);
            greeting[2] = char((length >> 16) & 0xFF);
        }
    }
}

void TcpRelay::loop()
{
    const bool tampering = m_tampering.hideTls || m_tampering.askClearPassword;
    std::vector<Link> links;
    char buffer[65536];
    for (;;) {
        // While holding, the listening socket is not polled: its connections wait in its queue.
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_holding.load() ? -1 : m_listen, POLLIN, 0}};
        int timeout = -1; // until the first held bytes are due
        const Clock::time_point now = Clock::now();
        for (const Link &link : links) {
            fds.push_back({link.client, POLLIN, 0});
            fds.push_back({link.server, POLLIN, 0}); // a negative fd is passed over by poll
            if (!link.held.empty()) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(link.held.front().due - now);
                timeout = std::max(0, timeout < 0 ? int(wait.count()) : std::min(timeout, int(wait.count())));
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0)
            continue;
        if (fds[0].revents) {
            char what = 'x';
            if (::read(m_wake[0], &what, 1) != 1 || what == 'x')
                break;
            continue;
        }
        // Only the links polled above have entries in fds; one accepted now is read from the next round.
        const size_t polled = links.size();
        if (fds[1].revents & POLLIN) {
            const int client = noDelay(::accept(m_listen, nullptr, nullptr));
            if (client >= 0) {
                ++m_accepted;
                const int server = m_dropping.load() ? -1 : noDelay(connectToServer(m_targetPort));
                if (server < 0 && !m_dropping.load())
                    ::close(client);
                else
                    links.push_back({client, server, !tampering, {}});
            }
        }
        std::vector<Link> kept;
        for (size_t i = 0; i < links.size(); ++i) {
            Link &link = links[i];
            bool closed = false;
            for (int side = 0; i < polled && side < 2 && !closed; ++side) {
                const pollfd &p = fds[2 + 2 * i + size_t(side)];
                if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
                if (n <= 0) {
                    closed = true;
                    break;
                }
                if (m_dropping.load())
                    continue; // read and thrown away: nothing reaches the other side
                if (side == 0) {
                    std::lock_guard lock(m_mutex);
                    m_clientBytes.append(buffer, n);
                }
                QByteArray out = QByteArray::fromRawData(buffer, n);
                if (side == 1 && !link.greeted) {
                    link.greeting.append(buffer, n);
                    const qsizetype whole = wholePacket(link.greeting);
                    if (whole == 0)
                        continue;
                    QByteArray greeting = link.greeting.left(whole);
                    tamper(greeting);
                    out = greeting + link.greeting.mid(whole);
                    link.greeted = true;
                    link.greeting.clear();
                }
                const int to = side == 0 ? link.server : link.client;
                if (link.server < 0)
                    continue;
                if (m_tampering.delayMs > 0)
                    link.held.push_back({Clock::now() + std::chrono::milliseconds(m_tampering.delayMs), to,
                                         QByteArray(out.constData(), out.size())});
                else if (!sendAll(to, out.constData(), out.size()))
                    closed = true;
            }
            if (!closed && !m_dropping.load() && !passDue(link, Clock::now()))
                closed = true;
            if (closed) {
                ::close(link.client);
                if (link.server >= 0)
                    ::close(link.server);
            } else {
                kept.push_back(std::move(link));
            }
        }
        links = std::move(kept);
    }
    for (const Link &link : links) {
        ::close(link.client);
        if (link.server >= 0)
            ::close(link.server);
    }
}
