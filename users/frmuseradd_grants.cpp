// The buttons of the user window: adding and deleting accounts, and changing their global, database and
// table privileges, each with its confirmation, its messages and its way back after a failure.
#include "frmuseradd.h"
#include "ui_frmuseradd.h"

#include "recordset.h"
#include "sqltext.h"
#include "trap.h"

#include <QCheckBox>

using namespace UserPrivileges;

namespace {

const QString NoDatabase = QStringLiteral("*");
const QString Flush = QStringLiteral("FLUSH PRIVILEGES");

QString name(const QString &text)
{
    return SqlText::quoteName(text);
}

// "GRANT <list>   ON <on>   TO '" and the account tail.
QString grantTo(const QString &list, const QString &on, const QString &tail)
{
    return QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + on + QStringLiteral("   TO '")
           + tail;
}

// "<what> ON <on> FROM '" and the account tail (what: REVOKE GRANT OPTION or REVOKE ALL PRIVILEGES).
QString revokeFrom(const QString &what, const QString &on, const QString &tail)
{
    return what + QStringLiteral(" ON ") + on + QStringLiteral(" FROM '") + tail;
}

const QString RevokeGrantOption = QStringLiteral("REVOKE GRANT OPTION");
const QString RevokeAll = QStringLiteral("REVOKE ALL PRIVILEGES");

bool noDatabase(const QString &database)
{
    // Nothing chosen counts as "*".
    return database == NoDatabase || database.isEmpty();
}

template <std::size_t N>
bool anyChecked(const std::array<QCheckBox *, N> &boxes)
{
    for (QCheckBox *box : boxes)
        if (box->isChecked())
            return true;
    return false;
}

template <std::size_t N>
void setAll(const std::array<QCheckBox *, N> &boxes, bool checked)
{
    for (QCheckBox *box : boxes)
        box->setChecked(checked);
}

} // namespace

template <std::size_t N>
QStringList frmUserAdd::checkedKeywords(const std::array<QCheckBox *, N> &boxes,
                                        const std::array<Privilege, N> &model, bool fromTags)
{
    QStringList keywords;
    for (std::size_t i = 0; i < N; ++i) {
        const bool on = fromTags ? tag(boxes[i]) == QLatin1String("1") : boxes[i]->isChecked();
        if (on && *model[i].keyword)
            keywords << QString::fromLatin1(model[i].keyword);
    }
    return keywords;
}

template <std::size_t N>
QStringList frmUserAdd::uncheckedKeywords(const std::array<QCheckBox *, N> &boxes,
                                          const std::array<Privilege, N> &model)
{
    QStringList keywords;
    for (std::size_t i = 0; i < N; ++i)
        if (tag(boxes[i]) == QLatin1String("1") && !boxes[i]->isChecked() && *model[i].keyword)
            keywords << QString::fromLatin1(model[i].keyword);
    return keywords;
}

QString frmUserAdd::globalList(bool fromTags) const
{
    if (m_allGlobal)
        return keywordListOrUsage({QStringLiteral("ALL PRIVILEGES,")});
    return keywordListOrUsage(checkedKeywords(ckPrivType, globalPrivileges, fromTags)
                              + m_otherGlobalKeywords);
}

QStringList frmUserAdd::dbKeywords(bool fromTags) const
{
    if (m_allDb)
        return {QStringLiteral("ALL PRIVILEGES,")};
    return checkedKeywords(ckDBPrivType, databasePrivileges, fromTags) + m_otherDbKeywords;
}

QString frmUserAdd::globalSuffix(bool fromTags) const
{
    QCheckBox *grant = ckPrivType[GlobalGrantBox];
    const bool on = fromTags ? tag(grant) == QLatin1String("1") : grant->isChecked();
    return on ? GrantOptionSuffix : QString();
}

QString frmUserAdd::dbSuffix(bool fromTags) const
{
    QCheckBox *grant = ckDBPrivType[DatabaseGrantBox];
    const bool on = fromTags ? tag(grant) == QLatin1String("1") : grant->isChecked();
    return m_allDb && on ? GrantOptionSuffix : QString();
}

void frmUserAdd::revokeUnchecked(const QStringList &unchecked, const QString &on, const QString &tail)
{
    if (const auto list = keywordList(unchecked))
        execute(revokeFrom(QStringLiteral("REVOKE ") + list->chopped(2), on, tail));
}

QString frmUserAdd::dbRowDelete(const QString &user, const QString &host, const QString &database) const
{
    return QStringLiteral("delete from mysql.db ") + QStringLiteral("where host = '") + esc(host)
           + QStringLiteral("'") + QStringLiteral("  and db = '") + esc(database) + QStringLiteral("'")
           + QStringLiteral("  and user = '") + esc(user) + QStringLiteral("'");
}

QString frmUserAdd::tableRowDelete(const QString &user, const QString &host, const QString &database,
                                   const QString &table) const
{
    // The host is compared as a string under every sql_mode: in double quotes ANSI_QUOTES would make it a
    // column's name.
    return QStringLiteral("delete from mysql.tables_priv") + QStringLiteral(" where user='") + esc(user)
           + QStringLiteral("'") + QStringLiteral("   and host='") + esc(host) + QStringLiteral("'")
           + QStringLiteral("   and db='") + esc(database) + QStringLiteral("'")
           + QStringLiteral("   and Table_name ='") + esc(table) + QStringLiteral("'");
}

std::optional<QString> frmUserAdd::chosenGrantDatabase()
{
    const QString database = listText(m_ui->lstAddDB);
    if (noDatabase(database)) {
        showInfo(QStringLiteral("DBを選択して下さい。"));
        return std::nullopt;
    }
    if (!anyChecked(ckDBPrivType)) {
        showInfo(QStringLiteral("権限にﾁｪｯｸを入れてください。"));
        return std::nullopt;
    }
    return database;
}

std::optional<std::pair<QString, QString>> frmUserAdd::chosenGrantTable()
{
    const QString database = m_ui->cboAddDB->currentText();
    if (noDatabase(database))
        return std::nullopt;
    const QString table = listText(m_ui->lstAddTable);
    if (table.isEmpty()) {
        showError(QStringLiteral("ﾃｰﾌﾞﾙが選択されていません。"));
        return std::nullopt;
    }
    return std::pair{database, table};
}

void frmUserAdd::runAndReload(const QString &sql, const QString &done)
{
    const auto error = trapped([&] {
        execute(sql);
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(done);
    lstUser_Click();
}

std::optional<QString> frmUserAdd::tryRun(const QStringList &statements)
{
    std::optional<QString> first;
    for (const QString &sql : statements) {
        const auto error = trapped([&] { execute(sql); });
        if (error && !first)
            first = error;
    }
    return first;
}

void frmUserAdd::showRestoreFailed(const QString &error, const QString &restoreError,
                                   const QStringList &restore)
{
    showError(error + QStringLiteral("\n\n権限を元に戻せませんでした。\n") + restoreError
              + QStringLiteral("\n\n次の文で元に戻せます:\n") + restore.join(QStringLiteral(";\n"))
              + QLatin1Char(';'));
}

bool frmUserAdd::confirmOwnAccount()
{
    if (m_currentUser.isEmpty() || shownUser() != m_currentUser || shownHost() != m_currentHost)
        return true;
    return confirm(QStringLiteral("接続中のﾕｰｻﾞｰ (CURRENT_USER()) の権限を変更します。\n"
                                  "権限は一度取り消してから付け直すため、途中で失敗すると元の権限を"
                                  "付け直せなくなることがあります。続けますか？"),
                   Dialogs::Icon::Warning);
}

void frmUserAdd::createAccount(const QString &tail, const QString &list, const QString &password,
                               const QString &suffix, int &stage)
{
    const QString identified = QStringLiteral("   IDENTIFIED BY '") + esc(password) + QStringLiteral("'");
    try {
        execute(grantTo(list, QStringLiteral("*.*"), tail) + identified + suffix);
    } catch (const DbError &e) {
        // Servers that no longer create accounts through GRANT: create it, then grant.
        if (!refusesAccountCreation(e.number(), e.message()))
            throw;
        execute(QStringLiteral("CREATE USER '") + tail + identified);
        // The account exists from here on, whatever the grant below does.
        stage = 1;
        execute(grantTo(list, QStringLiteral("*.*"), tail) + suffix);
    }
}

void frmUserAdd::grantGlobal(const QString &list, const QString &password, bool withPassword,
                             const QString &suffix)
{
    const QString tail = shownTail();
    const QString identified = QStringLiteral("   IDENTIFIED BY '") + esc(password) + QStringLiteral("'");
    const QString grant = grantTo(list, QStringLiteral("*.*"), tail);
    try {
        execute(grant + (withPassword ? identified : QString()) + suffix);
    } catch (const DbError &e) {
        // Servers that refuse IDENTIFIED BY in GRANT take the password through ALTER USER.
        if (!withPassword || !refusesIdentifiedBy(e.number(), e.message()))
            throw;
        execute(grant + suffix);
        execute(QStringLiteral("ALTER USER '") + tail + identified);
    }
}

void frmUserAdd::cmdOk_Click()
{
    const QString host = m_ui->txtHost->text().trimmed();
    const QString user = m_ui->txtUser->text().trimmed();
    const QString password = m_ui->txtPassword->text().trimmed();
    if (user.isEmpty()) {
        showError(QStringLiteral("ﾕｰｻﾞｰ名を入力して下さい。"));
        return;
    }
    if (password.isEmpty()) {
        showError(QStringLiteral("ﾊﾟｽﾜｰﾄﾞを入力して下さい。"));
        return;
    }
    if (!confirm(QStringLiteral("ﾕｰｻﾞｰを追加します。")))
        return;
    // An account that exists already (one of the list's, host names without regard to case as the server
    // compares them) would get a new password and more privileges: asked first.
    bool exists = false;
    for (int row = 1; row < m_ui->lstUser->count(); ++row) {
        const QListWidgetItem *item = m_ui->lstUser->item(row);
        exists = exists
                 || (item->data(UserRole).toString() == user
                     && item->data(HostRole).toString().compare(host, Qt::CaseInsensitive) == 0);
    }
    if (exists && !confirm(QStringLiteral("ﾕｰｻﾞｰ ") + user + QLatin1Char('@') + host
                               + QStringLiteral(" は既にあります。ﾊﾟｽﾜｰﾄﾞと権限を変更しますか？"),
                           Dialogs::Icon::Warning))
        return;

    int stage = 0;
    const auto error = trapped([&] {
        const QString tail = tailOf(user, host);
        createAccount(tail, globalList(false), password, globalSuffix(false), stage);
        flush();
        stage = 1;

        const QString database = listText(m_ui->lstAddDB);
        if (!noDatabase(database)) {
            const QString list =
                requireKeywordList(checkedKeywords(ckDBPrivType, databasePrivileges, false));
            execute(grantTo(list, name(database) + QStringLiteral(".*"), tail));
            flush();
            stage = 2;
        }

        const QString tableDb = m_ui->cboAddDB->currentText();
        const QString table = listText(m_ui->lstAddTable);
        if (!noDatabase(tableDb)) {
            const QString list =
                requireKeywordList(checkedKeywords(ckTablePrivType, tablePrivileges, false));
            execute(grantTo(list, name(tableDb) + QStringLiteral(".") + name(table), tail));
            flush();
            stage = 3;
        }
    });

    if (error) {
        showError(*error);
        if (stage == 1)
            showInfo(QStringLiteral("ﾕｰｻﾞｰ作成までは成功しています。"));
        else if (stage == 2)
            showInfo(QStringLiteral("DB権限作成までは成功しています。"));
    } else {
        showInfo(QStringLiteral("追加しました。"));
    }
    sInit();
}

void frmUserAdd::cmdDelete_Click()
{
    if (!confirm(QStringLiteral("ﾕｰｻﾞｰを削除します。"), Dialogs::Icon::Critical) || !confirmOwnAccount())
        return;
    const QString host = shownHost();
    const QString user = shownUser();
    const auto error = trapped([&] {
        for (int row = 0; row < m_ui->lstTable->count(); ++row) {
            const QListWidgetItem *item = m_ui->lstTable->item(row);
            execute(tableRowDelete(user, host, item->data(DbRole).toString(),
                                   item->data(TableRole).toString()));
            flush();
        }
        for (int row = 0; row < m_ui->lstDB->count(); ++row) {
            execute(dbRowDelete(user, host, m_ui->lstDB->item(row)->text()));
            flush();
        }
        const QString tail = tailOf(user, host);
        execute(revokeFrom(RevokeAll, QStringLiteral("*.*"), tail));
        flush();
        try {
            execute(QStringLiteral("DELETE FROM mysql.user WHERE user='") + esc(user)
                    + QStringLiteral("' and host='") + esc(host) + QStringLiteral("'"));
        } catch (const DbError &e) {
            // A grant-table view that cannot take the DELETE: the server removes the account itself.
            if (!refusesUserTableDelete(e.number()))
                throw;
            execute(QStringLiteral("DROP USER '") + tail);
        }
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(QStringLiteral("削除しました。"));
    sInit();
}

void frmUserAdd::cmdGrantEdit_Click()
{
    if (!confirm(QStringLiteral("ﾕｰｻﾞｰ権限を変更します。")) || !confirmOwnAccount())
        return;
    int stage = 0;
    const QString tail = shownTail();
    const QString revokeAll = revokeFrom(RevokeAll, QStringLiteral("*.*"), tail);
    const auto error = trapped([&] {
        execute(revokeFrom(RevokeGrantOption, QStringLiteral("*.*"), tail));
        flush();
        stage = 1;
        execute(revokeAll);
        flush();
        stage = 2;
        const bool newPassword
            = m_ui->txtPassword->text() != m_ui->txtPassword->property("Tag").toString();
        grantGlobal(globalList(false), m_ui->txtPassword->text().trimmed(), newPassword,
                    globalSuffix(false));
        if (m_allGlobal)
            revokeUnchecked(uncheckedKeywords(ckPrivType, globalPrivileges), QStringLiteral("*.*"), tail);
        flush();
        stage = 3;
    });
    if (!error) {
        showInfo(QStringLiteral("変更しました。"));
        sInit();
        return;
    }

    // Put back the privileges as loaded (the tags).
    const QString regrant = grantTo(globalList(true), QStringLiteral("*.*"), tail) + globalSuffix(true);
    QStringList restore;
    if (stage == 1)
        restore = {regrant, Flush};
    else if (stage == 2)
        restore = {revokeAll, Flush, regrant, Flush};
    if (const auto restoreError = tryRun(restore))
        showRestoreFailed(*error, *restoreError, restore);
    else
        showError(*error);
}

void frmUserAdd::cmdUserGrantAllCK_Click(int index)
{
    setAll(ckPrivType, index == 0);
}

void frmUserAdd::cmdDbGrantAdd_Click()
{
    const auto database = chosenGrantDatabase();
    if (!database || !confirm(QStringLiteral("DB権限を追加します。")))
        return;
    const QString list = keywordListOrUsage(checkedKeywords(ckDBPrivType, databasePrivileges, false));
    runAndReload(grantTo(list, name(*database) + QStringLiteral(".*"), shownTail()),
                 QStringLiteral("追加しました。"));
}

void frmUserAdd::cmdDbGrantEdit_Click()
{
    const auto chosen = chosenGrantDatabase();
    if (!chosen || !confirm(QStringLiteral("DB権限を変更します。")) || !confirmOwnAccount())
        return;
    const QString newDatabase = *chosen;

    const QString list = keywordListOrUsage(dbKeywords(false));
    QStringList unchecked;
    if (m_allDb)
        unchecked = uncheckedKeywords(ckDBPrivType, databasePrivileges);
    // The grant option is the suffix beside ALL PRIVILEGES, and the revoke before the grant took it.
    unchecked.removeAll(QStringLiteral("GRANT OPTION,"));
    const QString oldDatabase = m_ui->lblDbName->text();
    const QString tail = shownTail();
    const auto error = trapped([&] {
        execute(revokeFrom(RevokeGrantOption, name(oldDatabase) + QStringLiteral(".*"), tail));
        flush();
        execute(revokeFrom(RevokeAll, name(oldDatabase) + QStringLiteral(".*"), tail));
        flush();
        execute(grantTo(list, name(newDatabase) + QStringLiteral(".*"), tail) + dbSuffix(false));
        revokeUnchecked(unchecked, name(newDatabase) + QStringLiteral(".*"), tail);
        flush();
    });
    if (!error) {
        showInfo(QStringLiteral("変更しました。"));
        lstUser_Click();
        setListText(m_ui->lstDB, newDatabase);
        return;
    }

    // Put the privileges as loaded back on the database they were loaded from; with nothing loaded to
    // give back, clearing that database's row is the whole restore.
    QStringList restore = {dbRowDelete(shownUser(), shownHost(), oldDatabase), Flush};
    if (const auto loaded = keywordList(dbKeywords(true)))
        restore << grantTo(*loaded, name(oldDatabase) + QStringLiteral(".*"), tail) + dbSuffix(true) << Flush;
    if (const auto restoreError = tryRun(restore))
        showRestoreFailed(*error, *restoreError, restore);
    else
        showError(*error);
}

void frmUserAdd::cmdDbGrantDel_Click()
{
    if (!confirm(QStringLiteral("DB権限を削除します。"), Dialogs::Icon::Critical) || !confirmOwnAccount())
        return;
    runAndReload(dbRowDelete(shownUser(), shownHost(), m_ui->lblDbName->text()),
                 QStringLiteral("削除しました。"));
}

void frmUserAdd::cmdDbGrantAllCK_Click(int index)
{
    setAll(ckDBPrivType, index == 0);
}

void frmUserAdd::cmdTableGrantAdd_Click()
{
    const auto chosen = chosenGrantTable();
    if (!chosen || !confirm(QStringLiteral("TABLE権限を追加します。")))
        return;
    const auto &[database, table] = *chosen;
    const QString list = keywordListOrUsage(checkedKeywords(ckTablePrivType, tablePrivileges, false));
    runAndReload(grantTo(list, name(database) + QStringLiteral(".") + name(table), shownTail()),
                 QStringLiteral("追加しました。"));
}

void frmUserAdd::cmdTableGrantEdit_Click()
{
    const auto chosen = chosenGrantTable();
    if (!chosen || !confirm(QStringLiteral("TABLE権限を変更します。")) || !confirmOwnAccount())
        return;
    const auto [database, table] = *chosen;

    // The row's privileges other than the four boxes go along unchanged.
    const QString list =
        keywordListOrUsage(checkedKeywords(ckTablePrivType, tablePrivileges, false) + m_otherTableKeywords);
    const QString shownDb = m_ui->lblTableNameDB->text();
    const QString shownTable = m_ui->lblTableName->text();
    const QString tail = shownTail();
    const auto error = trapped([&] {
        execute(tableRowDelete(shownUser(), shownHost(), shownDb, shownTable));
        flush();
        execute(grantTo(list, name(database) + QStringLiteral(".") + name(table), tail));
        flush();
    });
    if (!error) {
        showInfo(QStringLiteral("変更しました。"));
        lstUser_Click();
        setListText(m_ui->lstTable, database + QLatin1Char('\t') + table);
        return;
    }

    // Put back the row as loaded; with nothing loaded to give back, the revoke is the whole restore.
    const QString shown = name(shownDb) + QStringLiteral(".") + name(shownTable);
    QStringList restore = {revokeFrom(RevokeAll, shown, tail), Flush};
    if (const auto loaded =
            keywordList(checkedKeywords(ckTablePrivType, tablePrivileges, true) + m_otherTableKeywords))
        restore << grantTo(*loaded, shown, tail) << Flush;
    if (const auto restoreError = tryRun(restore))
        showRestoreFailed(*error, *restoreError, restore);
    else
        showError(*error);
}

void frmUserAdd::cmdTableGrantDel_Click()
{
    if (!confirm(QStringLiteral("TABLE権限を削除します。"), Dialogs::Icon::Critical) || !confirmOwnAccount())
        return;
    runAndReload(tableRowDelete(shownUser(), shownHost(), m_ui->lblTableNameDB->text(),
                                m_ui->lblTableName->text()),
                 QStringLiteral("削除しました。"));
}

void frmUserAdd::cmdTableGrantAllCK_Click(int index)
{
    setAll(ckTablePrivType, index == 0);
}
