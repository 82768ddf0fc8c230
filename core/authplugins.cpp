#include "authplugins.h"

#include "dberror.h"

#include <QFile>

#include <mysql.h>
#include <errmsg.h>
#include <mysql/client_plugin.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr int NonceLength = 20;
// caching_sha2_password's one-byte answers to the proof: the server's cache knew the account, or it
// needs the password itself ("full authentication").
constexpr unsigned char FastAuthSucceeded = 3;
constexpr unsigned char FullAuthNeeded = 4;

bool s_registered = false;
thread_local QString t_serverKey;

QByteArray sha256(const QByteArray &first, const QByteArray &second = QByteArray())
{
    QByteArray digest(32, '\0');
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    unsigned int size = 0;
    const bool ok = ctx && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1
                    && EVP_DigestUpdate(ctx, first.constData(), size_t(first.size())) == 1
                    && EVP_DigestUpdate(ctx, second.constData(), size_t(second.size())) == 1
                    && EVP_DigestFinal_ex(ctx, reinterpret_cast<unsigned char *>(digest.data()), &size) == 1;
    EVP_MD_CTX_free(ctx);
    return ok ? digest : QByteArray();
}

// The link carries what is written now encrypted: TLS is up, or it is the local Unix socket. Before a
// login's first packet TLS is not up yet: the connector starts it while sending that packet when TLS was
// asked for and the server offered it, and sends nothing of the packet when TLS fails. A listener that
// hides the server's TLS offers none, and the link stays plain.
bool linkEncrypted(MYSQL_PLUGIN_VIO *vio, MYSQL *mysql)
{
    const char *cipher = mysql_get_ssl_cipher(mysql);
    if (cipher && *cipher)
        return true;
    MYSQL_PLUGIN_VIO_INFO info{};
    vio->info(vio, &info);
    if (info.protocol == MYSQL_PLUGIN_VIO_INFO::MYSQL_VIO_SOCKET)
        return true;
    return info.protocol == MYSQL_PLUGIN_VIO_INFO::MYSQL_VIO_TCP && mysql->options.use_ssl
           && (mysql->server_capabilities & CLIENT_SSL);
}

bool writePacket(MYSQL_PLUGIN_VIO *vio, const QByteArray &data)
{
    return vio->write_packet(vio, reinterpret_cast<const unsigned char *>(data.constData()), int(data.size()))
           == 0;
}

int refuse(MYSQL *mysql, const QString &text)
{
    // As the connector's own client errors are set (its function for that is not exported).
    const QByteArray message = text.toUtf8().left(MYSQL_ERRMSG_SIZE - 1);
    mysql->net.last_errno = DbError::TlsRefused;
    std::copy_n("08S01", SQLSTATE_LENGTH + 1, mysql->net.sqlstate);
    std::fill(std::begin(mysql->net.last_error), std::end(mysql->net.last_error), '\0');
    std::copy(message.begin(), message.end(), mysql->net.last_error);
    return CR_ERROR;
}

// The password with its final NUL, XOR the nonce, encrypted with RSA-OAEP to the public key in the file:
// what the server decrypts with its private key. Empty when the file holds no usable public key.
QByteArray sealToKeyFile(const QByteArray &password, const QByteArray &nonce, const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pem = f.read(1 << 16);
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    EVP_PKEY *key = bio ? PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    QByteArray sealed;
    if (key) {
        QByteArray plain = password + '\0';
        for (qsizetype i = 0; i < plain.size(); ++i)
            plain[i] = char(plain[i] ^ nonce[i % NonceLength]);
        EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new(key, nullptr);
        size_t size = 0;
        const auto *in = reinterpret_cast<const unsigned char *>(plain.constData());
        if (ctx && EVP_PKEY_encrypt_init(ctx) == 1
            && EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) == 1
            && EVP_PKEY_encrypt(ctx, nullptr, &size, in, size_t(plain.size())) == 1) {
            sealed.resize(qsizetype(size));
            if (EVP_PKEY_encrypt(ctx, reinterpret_cast<unsigned char *>(sealed.data()), &size, in,
                                 size_t(plain.size())) == 1)
                sealed.resize(qsizetype(size));
            else
                sealed.clear();
        }
        std::fill(plain.begin(), plain.end(), '\0');
        EVP_PKEY_CTX_free(ctx);
        EVP_PKEY_free(key);
    }
    ERR_clear_error(); // a failure here must not be taken for a later TLS read's
    return sealed;
}

// The password itself, as the server asked for it: in clear over an encrypted link, encrypted to the
// user's key file otherwise, or not at all.
int sendPassword(MYSQL_PLUGIN_VIO *vio, MYSQL *mysql, const QByteArray &password, const QByteArray &nonce)
{
    if (linkEncrypted(vio, mysql))
        return writePacket(vio, password + '\0') ? CR_OK : CR_ERROR;
    const QString file = t_serverKey;
    if (file.isEmpty())
        return refuse(mysql, AuthPlugins::refusalText());
    const QByteArray sealed = sealToKeyFile(password, nonce, file);
    if (sealed.isEmpty())
        return refuse(mysql, AuthPlugins::keyFileText(file));
    return writePacket(vio, sealed) ? CR_OK : CR_ERROR;
}

// Both methods: the server's nonce (from its greeting, or from its request to change to this method),
// then the proof of the password where the method has one (caching_sha2_password), then the password
// itself where the server asks for it (always, for sha256_password).
int login(MYSQL_PLUGIN_VIO *vio, MYSQL *mysql, bool withProof)
{
    unsigned char *packet = nullptr;
    int length = vio->read_packet(vio, &packet);
    if (length < 0)
        return CR_ERROR;
    if (length < NonceLength)
        return CR_SERVER_HANDSHAKE_ERR;
    const QByteArray nonce(reinterpret_cast<const char *>(packet), NonceLength);
    std::copy_n(packet, NonceLength, mysql->scramble_buff);
    mysql->scramble_buff[NonceLength] = 0;
    const QByteArray password(mysql->passwd ? mysql->passwd : "");
    if (password.isEmpty())
        return writePacket(vio, QByteArray()) ? CR_OK : CR_ERROR;
    if (!withProof)
        return sendPassword(vio, mysql, password, nonce);

    // The proof first, whatever the link: the server's cache usually knows the account, and the proof
    // does not carry the password.
    const QByteArray proof = AuthPlugins::fastAuthProof(password, nonce);
    if (proof.isEmpty() || !writePacket(vio, proof))
        return CR_ERROR;
    length = vio->read_packet(vio, &packet);
    if (length < 0)
        return CR_ERROR;
    if (length == 1 && packet[0] == FastAuthSucceeded)
        return CR_OK;
    if (length != 1 || packet[0] != FullAuthNeeded)
        return CR_SERVER_HANDSHAKE_ERR;
    return sendPassword(vio, mysql, password, nonce);
}

int cachingSha2Login(MYSQL_PLUGIN_VIO *vio, MYSQL *mysql)
{
    return login(vio, mysql, true);
}

int sha256Login(MYSQL_PLUGIN_VIO *vio, MYSQL *mysql)
{
    return login(vio, mysql, false);
}

st_mysql_client_plugin_AUTHENTICATION cachingSha2Plugin = {
    MYSQL_CLIENT_AUTHENTICATION_PLUGIN, MYSQL_CLIENT_AUTHENTICATION_PLUGIN_INTERFACE_VERSION,
    "caching_sha2_password", "Tablora", "caching_sha2_password without a fetched server key",
    {1, 0, 0}, "GPL", nullptr, nullptr, nullptr, nullptr, cachingSha2Login};

st_mysql_client_plugin_AUTHENTICATION sha256Plugin = {
    MYSQL_CLIENT_AUTHENTICATION_PLUGIN, MYSQL_CLIENT_AUTHENTICATION_PLUGIN_INTERFACE_VERSION,
    "sha256_password", "Tablora", "sha256_password without a fetched server key",
    {1, 0, 0}, "GPL", nullptr, nullptr, nullptr, nullptr, sha256Login};

}

namespace AuthPlugins {

void registerPlugins()
{
    MYSQL *m = mysql_init(nullptr);
    bool ok = m != nullptr;
    for (st_mysql_client_plugin_AUTHENTICATION *plugin : {&cachingSha2Plugin, &sha256Plugin}) {
        if (ok)
            ok = mysql_client_register_plugin(m, reinterpret_cast<st_mysql_client_plugin *>(plugin))
                 != nullptr;
    }
    mysql_close(m);
    s_registered = ok;
}

ServerKeyScope::ServerKeyScope(const QString &file) : m_previous(t_serverKey)
{
    t_serverKey = file;
}

ServerKeyScope::~ServerKeyScope()
{
    t_serverKey = m_previous;
}

bool registered()
{
    return s_registered;
}

QString refusalText()
{
    return QStringLiteral("サーバーがパスワードそのものを求めましたが、通信が暗号化(TLS)されていないため、"
                          "パスワードを送らずに接続を中止しました。TLSを「検証」にして接続して下さい。");
}

QString keyFileText(const QString &file)
{
    // The file last: a long name cut at the connector's message size loses only its end.
    return QStringLiteral("サーバーの公開鍵ファイルを読めないため、パスワードを送らずに接続を中止しました。"
                          "ファイルを直すか、TLSを「検証」にして接続して下さい。(%1)")
        .arg(file);
}

bool isRefusal(const QString &message)
{
    return message.contains(QStringLiteral("パスワードを送らずに接続を中止しました。"));
}

QByteArray fastAuthProof(const QByteArray &password, const QByteArray &nonce)
{
    const QByteArray once = sha256(password);
    const QByteArray mixed = sha256(sha256(once), nonce);
    if (once.isEmpty() || mixed.isEmpty())
        return {};
    QByteArray proof(once.size(), '\0');
    for (qsizetype i = 0; i < proof.size(); ++i)
        proof[i] = char(once[i] ^ mixed[i]);
    return proof;
}

}
