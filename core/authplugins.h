#pragma once

#include <QByteArray>
#include <QString>

// The program's own client side of MySQL 8's logins, caching_sha2_password and sha256_password, used by
// the connector in place of its loadable ones. The password leaves only over a link that is encrypted
// when it is sent (TLS, or the local Unix socket), or encrypted to a public-key file the user named
// (SERVERKEY or RSAKEY of a data source); the server's own key is never asked for, since whoever answers
// in the server's place would send a key of its own. A login that would need it is refused before the
// password is sent, with refusalText().
namespace AuthPlugins {

// Registers both with the connector: once, after the library is initialised and before any connect.
void registerPlugins();
// Both are the program's own. When the connector had loaded others of the same names first, they are
// not, and the logins they serve must not be offered to a server (see Tls::applyOptions).
bool registered();

// What a refused login reports (with DbError::TlsRefused): that a password was asked for that only an
// unencrypted link could carry, and that 検証 is the way to a link that may carry it.
QString refusalText();
// The server's public-key file that the logins this thread makes may encrypt a password to, while the
// scope lives (the connector runs a login on the thread that connects). Empty: none.
class ServerKeyScope
{
public:
    explicit ServerKeyScope(const QString &file);
    ~ServerKeyScope();
    ServerKeyScope(const ServerKeyScope &) = delete;
    ServerKeyScope &operator=(const ServerKeyScope &) = delete;

private:
    QString m_previous;
};

// The same for a public-key file that cannot be read or holds no public key.
QString keyFileText(const QString &file);
// True for a connector message that is one of the two above.
bool isRefusal(const QString &message);

// caching_sha2_password's proof of the password for the server's nonce, which the server checks against
// its cache: SHA256(password) XOR SHA256(SHA256(SHA256(password)) || nonce).
QByteArray fastAuthProof(const QByteArray &password, const QByteArray &nonce);

}
