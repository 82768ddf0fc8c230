#include "authstub.h"
#include "tcprelay.h"

#include <QCryptographicHash>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>

#include <stdexcept>

namespace {

constexpr quint32 ClientSsl = 0x800;
// What the stub says it can do: 4.1 protocol with the login methods' exchange, and TLS when it has a
// certificate. CLIENT_LONG_PASSWORD marks a MySQL (not MariaDB) server.
constexpr quint32 Capabilities = 0x1 | 0x4 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x10000 | 0x20000 | 0x80000
                                 | 0x200000;
constexpr int WaitMs = 10000; // a client that says nothing for this long is given up

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

}

struct AuthStub::Link
{
    int fd;
    int wake;
    SSL *ssl = nullptr;
    int sequence = 0;
    AuthStub *stub;

    ~Link()
    {
        if (ssl)
            SSL_free(ssl);
    }

    bool readExactly(char *data, int size)
    {
        while (size > 0) {
            if (!ssl || SSL_pending(ssl) == 0) {
                pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
                if (::poll(fds, 2, WaitMs) <= 0 || fds[1].revents)
                    return false;
            }
            const int n = ssl ? SSL_read(ssl, data, size) : int(::recv(fd, data, size_t(size), 0));
            if (n <= 0)
                return false;
            {
                std::lock_guard lock(stub->m_mutex);
                stub->m_received.append(data, n);
            }
            data += n;
            size -= n;
        }
        return true;
    }

    bool read(QByteArray *payload)
    {
        unsigned char header[4];
        if (!readExactly(reinterpret_cast<char *>(header), 4))
            return false;
        payload->resize(header[0] | (header[1] << 8) | (header[2] << 16));
        sequence = header[3];
        return readExactly(payload->data(), int(payload->size()));
    }

    bool write(const QByteArray &payload)
    {
        const qsizetype size = payload.size();
        QByteArray packet;
        packet.append(char(size & 0xFF)).append(char((size >> 8) & 0xFF)).append(char((size >> 16) & 0xFF));
        packet.append(char(++sequence & 0xFF)).append(payload);
        if (ssl)
            return SSL_write(ssl, packet.constData(), int(packet.size())) == int(packet.size());
        return ::send(fd, packet.constData(), size_t(packet.size()), MSG_NOSIGNAL) == packet.size();
    }

    bool ok() { return write(QByteArray("\x00\x00\x00\x02\x00\x00\x00", 7)); }
    bool refuse() { return write(QByteArray("\xff\x15\x04#28000Access denied", 24)); }
};

AuthStub::AuthStub(Method method, const QByteArray &password, const Tls &tls)
    : m_method(method), m_password(password), m_nonce("N0nce-of-the-stub-01")
{
    m_key = EVP_RSA_gen(2048);
    BIO *bio = BIO_new(BIO_s_mem());
    if (!m_key || !bio || PEM_write_bio_PUBKEY(bio, m_key) != 1)
        throw std::runtime_error("the stub cannot make its key");
    char *pem = nullptr;
    const long size = BIO_get_mem_data(bio, &pem);
    m_publicKey = QByteArray(pem, size);
    BIO_free(bio);
    if (!tls.certificate.isEmpty()) {
        m_tls = SSL_CTX_new(TLS_server_method());
        const QByteArray certificate = tls.certificate.toLocal8Bit(), key = tls.key.toLocal8Bit();
        if (!m_tls || SSL_CTX_use_certificate_chain_file(m_tls, certificate.constData()) != 1
            || SSL_CTX_use_PrivateKey_file(m_tls, key.constData(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("the stub cannot load its certificate");
    }

    m_listen = listenOnLoopback(QStringLiteral("127.0.0.1"), 8, &m_port);
    if (::pipe(m_wake) != 0)
        throw std::runtime_error("the stub cannot make its wake-up pipe");
    m_thread = std::thread([this] { loop(); });
}

AuthStub::~AuthStub()
{
    (void)!::write(m_wake[1], "x", 1);
    m_thread.join();
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        ::close(fd);
    SSL_CTX_free(m_tls);
    EVP_PKEY_free(m_key);
}

QByteArray AuthStub::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

void AuthStub::loop()
{
    for (;;) {
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client >= 0) {
            serve(client);
            ::close(client);
        }
        ERR_clear_error();
    }
}

void AuthStub::serve(int client)
{
    Link link{client, m_wake[0], nullptr, -1, this};
    const quint32 caps = Capabilities | (m_tls ? ClientSsl : 0);
    const QByteArray method = m_method == Method::CachingSha2 ? "caching_sha2_password" : "sha256_password";
    QByteArray greeting("\x0a" "8.0.36-stub", 12);
    greeting.append('\0').append("\x01\x00\x00\x00", 4).append(m_nonce.left(8)).append('\0');
    greeting.append(char(caps & 0xFF)).append(char((caps >> 8) & 0xFF));
    greeting.append(char(45)).append("\x02\x00", 2); // utf8mb4, autocommit
    greeting.append(char((caps >> 16) & 0xFF)).append(char((caps >> 24) & 0xFF)).append(char(21));
    greeting.append(QByteArray(10, '\0')).append(m_nonce.mid(8)).append('\0').append(method).append('\0');
    QByteArray response;
    if (!link.write(greeting) || !link.read(&response))
        return;
    // A request for TLS (the first 32 bytes of a response, CLIENT_SSL set): TLS, then the response.
    const auto flags = [&] {
        const auto *b = reinterpret_cast<const unsigned char *>(response.constData());
        return response.size() >= 4 ? quint32(b[0] | (b[1] << 8) | (b[2] << 16) | (quint32(b[3]) << 24)) : 0u;
    };
    if (m_tls && response.size() == 32 && (flags() & ClientSsl)) {
        link.ssl = SSL_new(m_tls);
        SSL_set_fd(link.ssl, client);
        if (SSL_accept(link.ssl) != 1 || !link.read(&response))
            return;
    }
    if (!answerLogin(link, response))
        return;
    // Logged in: every command but COM_QUIT is answered with OK.
    QByteArray command;
    while (link.read(&command) && !command.startsWith('\x01')) {
        if (!link.ok())
            return;
    }
}

bool AuthStub::answerLogin(Link &link, const QByteArray &response)
{
    // After the fixed 32 bytes: the user's name, then the login data.
    const qsizetype userEnd = response.indexOf('\0', 32);
    if (userEnd < 0 || userEnd + 1 >= response.size()) {
        link.refuse();
        return false;
    }
    // Its length: one byte, or 0xFC and two bytes (an encrypted password is longer than 250 bytes).
    const auto *at = reinterpret_cast<const unsigned char *>(response.constData()) + userEnd + 1;
    const bool wide = at[0] == 0xFC && userEnd + 3 < response.size();
    QByteArray data = response.mid(userEnd + (wide ? 4 : 2), wide ? at[1] | (at[2] << 8) : at[0]);

    if (m_method == Method::CachingSha2) {
        const QByteArray once = sha256(m_password);
        const QByteArray mixed = sha256(sha256(once) + m_nonce);
        QByteArray proof(32, '\0');
        for (int i = 0; i < 32; ++i)
            proof[i] = char(once[i] ^ mixed[i]);
        if (!m_cold.load() && data == proof) {
            ++m_logins;
            return link.write(QByteArray("\x01\x03", 2)) && link.ok();
        }
        if (!link.write(QByteArray("\x01\x04", 2)) || !link.read(&data))
            return false;
        if (data == QByteArray("\x02", 1)) {
            ++m_keyRequests;
            if (!link.write('\x01' + m_publicKey) || !link.read(&data))
                return false;
        }
    } else if (data == QByteArray("\x01", 1)) {
        ++m_keyRequests;
        if (!link.write('\x01' + m_publicKey) || !link.read(&data))
            return false;
    }

    // The password in clear with its NUL, or encrypted to the stub's key.
    QByteArray learnt;
    if (data.endsWith('\0') && data.indexOf('\0') == data.size() - 1)
        learnt = data.chopped(1);
    else if (!data.isEmpty())
        learnt = decrypt(data);
    if (!learnt.isEmpty())
        ++m_passwordsLearnt;
    if (learnt != m_password || learnt.isEmpty()) {
        link.refuse();
        return false;
    }
    ++m_logins;
    return link.ok();
}

QByteArray AuthStub::decrypt(const QByteArray &sealed) const
{
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(m_key, nullptr);
    QByteArray plain(512, '\0');
    size_t size = size_t(plain.size());
    const auto *in = reinterpret_cast<const unsigned char *>(sealed.constData());
    const bool ok = ctx && EVP_PKEY_decrypt_init(ctx) == 1
                    && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) == 1
                    && EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char *>(plain.data()), &size, in,
                                        size_t(sealed.size())) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!ok)
        return {};
    plain.resize(qsizetype(size));
    for (qsizetype i = 0; i < plain.size(); ++i)
        plain[i] = char(plain[i] ^ m_nonce[i % m_nonce.size()]);
    return plain.endsWith('\0') ? plain.chopped(1) : QByteArray();
}
