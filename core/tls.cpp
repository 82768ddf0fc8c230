#include "tls.h"

#include "authplugins.h"
#include "connection.h"

#include <mysql.h>

#include <QRegularExpression>
#include <algorithm>

namespace Tls {

QStringList captions()
{
    return {QStringLiteral("なし"), QStringLiteral("優先"), QStringLiteral("必須"), QStringLiteral("検証")};
}

QString settingText(TlsMode mode)
{
    switch (mode) {
    case TlsMode::None: return QStringLiteral("none");
    case TlsMode::Required: return QStringLiteral("required");
    case TlsMode::Verify: return QStringLiteral("verify");
    case TlsMode::Preferred: break;
    }
    return QStringLiteral("preferred");
}

TlsMode fromSettingText(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("none"))
        return TlsMode::None;
    if (t == QLatin1String("required"))
        return TlsMode::Required;
    if (t == QLatin1String("verify"))
        return TlsMode::Verify;
    return TlsMode::Preferred;
}

TlsMode fromOdbc(const QString &sslMode, const QString &sslVerify, const QString &forceTls, bool *given)
{
    const QString mode = sslMode.trimmed().toUpper();
    *given = true;
    if (mode == QLatin1String("DISABLED"))
        return TlsMode::None;
    if (mode == QLatin1String("PREFERRED"))
        return TlsMode::Preferred;
    if (mode == QLatin1String("REQUIRED"))
        return TlsMode::Required;
    if (mode == QLatin1String("VERIFY_CA") || mode == QLatin1String("VERIFY_IDENTITY"))
        return TlsMode::Verify;
    const auto on = [](const QString &v) {
        const QString t = v.trimmed();
        return t == QLatin1String("1") || t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
               || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    };
    if (on(sslVerify))
        return TlsMode::Verify;
    if (on(forceTls))
        return TlsMode::Required;
    *given = false;
    return TlsMode::Preferred;
}

namespace {

// A data source's TLS key, the connector's option it sets and the least mode in which it takes effect.
struct DataSourceKey
{
    const char *name;
    mysql_option option;
    TlsMode least;
};

constexpr DataSourceKey dataSourceKeyTable[] = {
    {"SSLCAPATH", MYSQL_OPT_SSL_CAPATH, TlsMode::Verify},
    {"SSLCRL", MYSQL_OPT_SSL_CRL, TlsMode::Verify},
    {"SSLCRLPATH", MYSQL_OPT_SSL_CRLPATH, TlsMode::Verify},
    {"SSLCIPHER", MYSQL_OPT_SSL_CIPHER, TlsMode::Preferred},
    {"TLSVERSION", MARIADB_OPT_TLS_VERSION, TlsMode::Preferred},
    {"TLSPEERFP", MARIADB_OPT_TLS_PEER_FP, TlsMode::Preferred},
};

const DataSourceKey *dataSourceKey(const QString &name)
{
    for (const DataSourceKey &key : dataSourceKeyTable) {
        if (name.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

}

QStringList dataSourceKeys()
{
    QStringList keys;
    for (const DataSourceKey &key : dataSourceKeyTable)
        keys << QString::fromLatin1(key.name);
    return keys;
}

QString unusableSetting(const ConnectionParams &params)
{
    for (const auto &[name, value] : params.tlsSettings) {
        const DataSourceKey *key = dataSourceKey(name);
        // The connector knows the versions by these names only and takes any other text as no limit.
        if (key && key->option == MARIADB_OPT_TLS_VERSION) {
            static const QStringList known = {QStringLiteral("TLSv1.0"), QStringLiteral("TLSv1.1"),
                                              QStringLiteral("TLSv1.2"), QStringLiteral("TLSv1.3")};
            const QStringList versions = value.split(QRegularExpression(QStringLiteral("[,\\s]+")),
                                                     Qt::SkipEmptyParts);
            const bool understood = !versions.isEmpty() && std::all_of(versions.begin(), versions.end(),
                [](const QString &v) { return known.contains(v); });
            if (!understood)
                return QStringLiteral("データソースの %1 の値「%2」は使えないため、接続を中止しました。"
                                      "TLSv1.2, TLSv1.3 のように書いて下さい。")
                    .arg(QLatin1String(key->name), value);
        }
        if (!key || params.tls >= key->least)
            continue;
        return key->least == TlsMode::Verify
                   ? QStringLiteral("データソースの %1 は、TLSが「検証」のときだけ使えるため、接続を中止しました。"
                                    "TLSを「検証」にして接続して下さい。")
                         .arg(QLatin1String(key->name))
                   : QStringLiteral("データソースの %1 は、TLSで接続するときだけ使えるため、接続を中止しました。"
                                    "TLSを「なし」以外にして接続して下さい。")
                         .arg(QLatin1String(key->name));
    }
    return {};
}

void applyOptions(MYSQL *mysql, const ConnectionParams &params)
{
    // LOAD DATA LOCAL would let any server read any file of the user: off on every connection.
    // (The connector reads this option as an unsigned int.)
    unsigned int localInfile = 0;
    mysql_optionsv(mysql, MYSQL_OPT_LOCAL_INFILE, &localInfile);

    const TlsMode mode = params.tls;
    // The data source's further keys, where the mode lets them work (unusableSetting refuses the rest).
    for (const auto &[name, value] : params.tlsSettings) {
        const DataSourceKey *key = dataSourceKey(name);
        if (key && mode >= key->least)
            mysql_optionsv(mysql, key->option, value.toLocal8Bit().constData());
    }
    if (mode == TlsMode::None) {
        my_bool off = 0;
        mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &off);
    } else {
        // Asking for TLS: used whenever the server offers it.
        my_bool on = 1;
        mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &on);
        if (!params.tlsCert.isEmpty())
            mysql_optionsv(mysql, MYSQL_OPT_SSL_CERT, params.tlsCert.toLocal8Bit().constData());
        if (!params.tlsKey.isEmpty())
            mysql_optionsv(mysql, MYSQL_OPT_SSL_KEY, params.tlsKey.toLocal8Bit().constData());
    }
    // Said in every mode: connectors that verify by default would otherwise refuse 優先 and 必須.
    my_bool verify = mode == TlsMode::Verify ? 1 : 0;
    mysql_optionsv(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
    if (mode == TlsMode::Verify) {
        // The connector refuses a server without TLS or with a certificate that does not verify before
        // it sends the user's name or password. Without a CA file the system's CA store is used.
        if (!params.tlsCa.isEmpty())
            mysql_optionsv(mysql, MYSQL_OPT_SSL_CA, params.tlsCa.toLocal8Bit().constData());
    } else {
        // Only a verified TLS link is known to be encrypted before the login: without it a server (or
        // whoever sits between) asking for the password in clear text is refused. MySQL 8's methods only
        // as the program's own: the connector's would hand the password to whoever answers (AuthPlugins).
        mysql_optionsv(mysql, MARIADB_OPT_RESTRICTED_AUTH,
                       AuthPlugins::registered()
                           ? "mysql_native_password,client_ed25519,caching_sha2_password,sha256_password,"
                             "auth_gssapi_client,mysql_old_password"
                           : "mysql_native_password,client_ed25519,auth_gssapi_client,mysql_old_password");
    }
}

QString linkDescription(MYSQL *mysql)
{
    const char *cipher = mysql ? mysql_get_ssl_cipher(mysql) : nullptr;
    if (!cipher || !*cipher)
        return {};
    const char *version = nullptr;
    if (mariadb_get_infov(mysql, MARIADB_CONNECTION_TLS_VERSION, &version) != 0 || !version)
        version = "TLS";
    return QString::fromLatin1(version) + QLatin1Char(' ') + QString::fromLatin1(cipher);
}

QString checkLink(MYSQL *mysql, const ConnectionParams &params)
{
    // The connector's own option is not trusted alone: the link must really carry a cipher.
    if (params.tls >= TlsMode::Required && linkDescription(mysql).isEmpty())
        return QStringLiteral("サーバーとの通信を暗号化(TLS)できないため、接続を中止しました。");
    return {};
}

}
