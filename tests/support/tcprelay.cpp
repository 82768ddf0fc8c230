#include "tcprelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

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

// Reads one whole packet of the server's protocol (3-byte length, sequence number, payload).
bool readPacket(int fd, QByteArray *packet)
{
    packet->clear();
    auto readExactly = [fd, packet](qsizetype count) {
        while (count > 0) {
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, size_t(std::min<qsizetype>(count, sizeof buffer)), 0);
            if (n <= 0)
                return false;
            packet->append(buffer, n);
            count -= n;
        }
        return true;
    };
    if (!readExactly(4))
        return false;
    const auto *h = reinterpret_cast<const unsigned char *>(packet->constData());
    return readExactly(h[0] | (h[1] << 8) | (h[2] << 16));
}

}

TcpRelay::TcpRelay(const QString &listenAddress, int targetPort, Tampering tampering)
    : m_targetPort(targetPort), m_tampering(tampering)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, listenAddress.toLatin1().constData(), &addr.sin_addr);
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(m_listen, 8) != 0)
        throw std::runtime_error("the relay cannot listen on " + listenAddress.toStdString());
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

TcpRelay::~TcpRelay()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

QByteArray TcpRelay::clientBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_clientBytes;
}

void TcpRelay::serve()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0)
            continue;
        relay(client);
        ::close(client);
    }
}

void TcpRelay::relay(int client)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(quint16(m_targetPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(server, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(server);
        return;
    }
    // The server's greeting, changed as asked before the client sees it.
    QByteArray greeting;
    if (!readPacket(server, &greeting)) {
        ::close(server);
        return;
    }
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
    sendAll(client, greeting.constData(), greeting.size());

    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    while (!m_stop) {
        if (::poll(fds, 2, 50) <= 0)
            continue;
        char buffer[16384];
        if (fds[0].revents) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            {
                std::lock_guard lock(m_mutex);
                m_clientBytes.append(buffer, n);
            }
            if (!sendAll(server, buffer, n))
                break;
        }
        if (fds[1].revents) {
            const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(client, buffer, n))
                break;
        }
    }
    ::close(server);
}
