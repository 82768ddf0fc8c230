#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct evp_pkey_st EVP_PKEY;

// A listener on a loopback port that speaks just enough of a MySQL 8 server's login to see what a
// client hands it: its greeting names caching_sha2_password or sha256_password and offers TLS only when
// given a certificate. It asks for the password itself ("full authentication") unless the client proves
// that it knows the stub's password; it answers a request for its RSA public key, and takes a password
// in clear or encrypted to that key. A login with the right password ends with OK, any other with an
// error. It keeps every byte the clients sent, and what it learnt.
class AuthStub
{
public:
    enum class Method { CachingSha2, Sha256 };
    struct Tls
    {
        QString certificate; // PEM files of the server's certificate and key; empty: TLS hidden
        QString key;
    };

    AuthStub(Method method, const QByteArray &password, const Tls &tls = {});
    ~AuthStub();
    AuthStub(const AuthStub &) = delete;
    AuthStub &operator=(const AuthStub &) = delete;

    int port() const { return m_port; }
    // From now on the stub's cache does not know the account: every login needs the password itself.
    void forgetCache() { m_cold.store(true); }
    // The stub's RSA public key in PEM, as it sends it when asked.
    QByteArray publicKey() const { return m_publicKey; }

    // Every byte the clients sent, all connections together.
    QByteArray received() const;
    // How often a client asked for the public key; how often the password reached the stub after the
    // greeting (in clear or encrypted to its key), how often a login succeeded.
    int keyRequests() const { return m_keyRequests.load(); }
    int passwordsLearnt() const { return m_passwordsLearnt.load(); }
    int logins() const { return m_logins.load(); }

private:
    struct Link;
    void loop();
    void serve(int client);
    bool answerLogin(Link &link, const QByteArray &response);
    QByteArray fullAuthentication(Link &link);
    QByteArray decrypt(const QByteArray &sealed) const;

    Method m_method;
    QByteArray m_password;
    QByteArray m_nonce;
    QByteArray m_publicKey;
    EVP_PKEY *m_key = nullptr;
    SSL_CTX *m_tls = nullptr;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<int> m_keyRequests{0}, m_passwordsLearnt{0}, m_logins{0};
    std::atomic<bool> m_cold{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
    std::thread m_thread;
};
