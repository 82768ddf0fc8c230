#include "droppingrelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

int connectTo(const QString &host, unsigned short port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Link
{
    int client;
    int server; // -1: taken while dropping, never passed on
};

}

DroppingRelay::DroppingRelay(const QString &targetHost, unsigned short targetPort)
    : m_targetHost(targetHost == QLatin1String("localhost") ? QStringLiteral("127.0.0.1") : targetHost)
    , m_targetPort(targetPort)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listen, 16);
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (::pipe(m_wake) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread([this] { loop(); });
}

DroppingRelay::~DroppingRelay()
{
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

void DroppingRelay::loop()
{
    std::vector<Link> links;
    char buffer[65536];
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const Link &link : links) {
            fds.push_back({link.client, POLLIN, 0});
            fds.push_back({link.server, POLLIN, 0}); // a negative fd is passed over by poll
        }
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        // Only the links polled above have entries in fds; one accepted now is read from the next round.
        const size_t polled = links.size();
        if (fds[1].revents & POLLIN) {
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client >= 0) {
                const int server = m_dropping.load() ? -1 : connectTo(m_targetHost, m_targetPort);
                if (server < 0 && !m_dropping.load())
                    ::close(client);
                else
                    links.push_back({client, server});
            }
        }
        std::vector<Link> kept;
        for (size_t i = 0; i < links.size(); ++i) {
            Link link = links[i];
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
                const int to = side == 0 ? link.server : link.client;
                for (ssize_t sent = 0; to >= 0 && sent < n;) {
                    const ssize_t w = ::write(to, buffer + sent, size_t(n - sent));
                    if (w <= 0) {
                        closed = true;
                        break;
                    }
                    sent += w;
                }
            }
            if (closed) {
                ::close(link.client);
                if (link.server >= 0)
                    ::close(link.server);
            } else {
                kept.push_back(link);
            }
        }
        links = kept;
    }
    for (const Link &link : links) {
        ::close(link.client);
        if (link.server >= 0)
            ::close(link.server);
    }
}
