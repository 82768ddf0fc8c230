#pragma once

#include <QString>
#include <QStringList>

struct st_mysql;
struct ConnectionParams;

// How a connection uses TLS. The order is the order of strictness.
enum class TlsMode {
    None,      // plain text
    Preferred, // TLS when the server offers it, else plain text (the command-line client's default)
    Required,  // TLS or no connection; the certificate is not checked
    Verify,    // TLS with a certificate signed by a trusted CA and naming the server, or no connection
};

namespace Tls {

// The connect panel's captions, in the order of TlsMode: "なし", "優先", "必須", "検証".
QStringList captions();
// The word kept in Tablora.ini ("none", "preferred", "required", "verify") and back; anything else
// (also a missing key) reads as Preferred.
QString settingText(TlsMode mode);
TlsMode fromSettingText(const QString &text);
// A MySQL data source's mode as odbc.ini writes it: SSLMODE (DISABLED, PREFERRED, REQUIRED, VERIFY_CA,
// VERIFY_IDENTITY), or the older SSLVERIFY=1 / FORCETLS=1. *given is false (and the result Preferred)
// when the data source says nothing about TLS.
TlsMode fromOdbc(const QString &sslMode, const QString &sslVerify, const QString &forceTls, bool *given);

// odbc.ini's TLS keys beyond the mode and the client's files, read into ConnectionParams::tlsSettings:
// SSLCAPATH, SSLCRL, SSLCRLPATH (used in checking the server's certificate, under Verify), SSLCIPHER,
// TLSVERSION and TLSPEERFP (the server certificate's SHA-1 fingerprint; with TLS in any mode).
QStringList dataSourceKeys();
// Empty when each of the data source's TLS keys takes effect in the mode; else the refusal naming the
// first that cannot (a key is never passed over in silence).
QString unusableSetting(const ConnectionParams &params);

// Sets the connector's options for the mode before connecting: no client file is ever handed to the
// server (LOAD DATA LOCAL off), and a server asking for the password in clear text is answered only under
// Verify, the one mode whose link is known to be encrypted before the login. MySQL 8's logins go through
// the program's own methods (AuthPlugins), which send a password only over an encrypted link.
void applyOptions(st_mysql *mysql, const ConnectionParams &params);
// After connecting: empty when the link is as the mode demands, else the refusal in the program's words.
QString checkLink(st_mysql *mysql, const ConnectionParams &params);
// "TLSv1.3 TLS_AES_256_GCM_SHA384" for an encrypted link, empty for a plain one.
QString linkDescription(st_mysql *mysql);

}
