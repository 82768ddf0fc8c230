#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <stdexcept>

// The privilege model of the user window: which check box reads which grant-table column and writes which
// GRANT keyword, and the small text rules that the grant statements share. No widgets, no server.
namespace UserPrivileges {

struct Privilege
{
    const char *caption; // the check box's caption
    const char *column;  // column of mysql.user / mysql.db, or the word of tables_priv.Table_priv
    const char *keyword; // GRANT keyword with its comma; empty for the global GRANT box (a suffix instead)
};

inline constexpr int GlobalCount = 26;
inline constexpr int DatabaseCount = 17;
inline constexpr int TableCount = 4;
// The global GRANT box adds " WITH GRANT OPTION" instead of a keyword.
inline constexpr int GlobalGrantBox = 10;
// The database GRANT box writes "GRANT OPTION," into the list.
inline constexpr int DatabaseGrantBox = 6;

extern const std::array<Privilege, GlobalCount> globalPrivileges;
extern const std::array<Privilege, DatabaseCount> databasePrivileges;
extern const std::array<Privilege, TableCount> tablePrivileges;

inline const QString GrantOptionSuffix = QStringLiteral(" WITH GRANT OPTION");
// txtPassword's text and tag after an account is loaded: six characters that nobody types.
inline const QString PasswordPlaceholder = QStringLiteral("\r\n\r\n\r\n");

// A privilege list with nothing checked cannot be cut at its last comma: the statement cannot be built.
class EmptyPrivilegeList : public std::runtime_error
{
public:
    EmptyPrivilegeList()
        : std::runtime_error("empty privilege list")
    {
    }
    static QString description();
};

// The keyword list: the keywords (each ending in a comma) joined in order, cut before the last comma,
// followed by "\r\n". Empty keywords are skipped. Returns nothing when no keyword is left.
std::optional<QString> keywordList(const QStringList &keywords);
// The same, with "USAGE" (no line break) for an empty list.
QString keywordListOrUsage(const QStringList &keywords);
// The same, throwing EmptyPrivilegeList for an empty list.
QString requireKeywordList(const QStringList &keywords);

// The account after the opening apostrophe: user, "'@\"", host, "\"". Both values arrive escaped.
QString accountTail(const QString &escapedUser, const QString &escapedHost);

// Words of a tables_priv.Table_priv set ("Select,Insert,Alter") and whether one of the four shown words is
// among them (a whole word: "Delete versioning rows" is not "Delete").
QStringList tablePrivWords(const QString &tablePriv);
bool hasTablePrivWord(const QString &tablePriv, const QString &word);
// GRANT keywords ("ALTER,", "GRANT OPTION,", ...) of the words other than the four shown, in set order.
QStringList otherTableKeywords(const QString &tablePriv);

// The privileges that SHOW GRANTS gives an account on `on` ("*.*", or "`db`.*" as grantsDatabase writes
// it), in the server's words ("SELECT", "EVENT", "ALL PRIVILEGES", ...), read from its output lines, whose
// names may be quoted with backticks or, under ANSI_QUOTES, with double quotes.
QStringList grantedPrivileges(const QStringList &showGrants, const QString &on);
// The GRANT keywords ("EVENT,", ...) of the granted privileges that no box writes (boxKeywords: the
// boxes' keywords with their commas); USAGE and ALL PRIVILEGES stay out, and so does a privilege the server
// names by another word than its box (BINLOG MONITOR for REPLICATION CLIENT).
QStringList otherKeywords(const QStringList &granted, const QStringList &boxKeywords);
// "`db`.*" as SHOW GRANTS writes a database.
QString grantsDatabase(const QString &database);

// The server refused "GRANT ... IDENTIFIED BY" as MySQL 8 and later do (a syntax error at IDENTIFIED).
bool refusesIdentifiedBy(unsigned int errorNumber, const QString &message);
// The server refused to create the account through GRANT: IDENTIFIED BY not taken (above), "You are not
// allowed to create a user with GRANT" (1410), or no matching account (1133). CREATE USER is the way then.
bool refusesAccountCreation(unsigned int errorNumber, const QString &message);
// DELETE on mysql.user refused because it is a view that cannot take it: DROP USER removes the account.
bool refusesUserTableDelete(unsigned int errorNumber);

}
