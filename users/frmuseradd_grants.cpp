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

QString frmUserAdd::globalList(bool fromTags) const
{
    return keywordListOrUsage(checkedKeywords(ckPrivType, globalPrivileges, fromTags));
}

QString frmUserAdd::globalSuffix(bool fromTags) const
{
    QCheckBox *grant = ckPrivType[GlobalGrantBox];
    const bool on = fromTags ? tag(grant) == QLatin1String("1") : grant->isChecked();
    return on ? GrantOptionSuffix : QString();
}

void frmUserAdd::tryRun(const QStringList &statements)
{
    for (const QString &sql : statements)
        trapped([&] { execute(sql); });
}

void frmUserAdd::createAccount(const QString &tail, const QString &list, const QString &password,
                               const QString &suffix)
{
    const QString identified = QStringLiteral("   IDENTIFIED BY '") + esc(password) + QStringLiteral("'");
    try {
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON *.*") + QStringLiteral("   TO '")
                + tail + identified + suffix);
    } catch (const DbError &e) {
        // Servers that no longer create accounts through GRANT: create it, then grant.
        if (!refusesAccountCreation(e.number(), e.message()))
            throw;
        execute(QStringLiteral("CREATE USER '") + tail + identified);
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON *.*") + QStringLiteral("   TO '")
                + tail + suffix);
    }
}

void frmUserAdd::grantGlobal(const QString &list, const QString &password, bool withPassword,
                             const QString &suffix)
{
    const QString tail = shownTail();
    const QString identified = QStringLiteral("   IDENTIFIED BY '") + esc(password) + QStringLiteral("'");
    const QString grant =
        QStringLiteral("GRANT ") + list + QStringLiteral("   ON *.*") + QStringLiteral("   TO '") + tail;
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

    int stage = 0;
    const auto error = trapped([&] {
        const QString tail = tailOf(user, host);
        createAccount(tail, globalList(false), password, globalSuffix(false));
        flush();
        stage = 1;

        const QString database = listText(m_ui->lstAddDB);
        if (database != NoDatabase) {
            const QString list =
                requireKeywordList(checkedKeywords(ckDBPrivType, databasePrivileges, false));
            execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(database)
                    + QStringLiteral(".*") + QStringLiteral("   TO '") + tail);
            flush();
            stage = 2;
        }

        const QString tableDb = m_ui->cboAddDB->currentText();
        const QString table = listText(m_ui->lstAddTable);
        if (tableDb != NoDatabase) {
            const QString list =
                requireKeywordList(checkedKeywords(ckTablePrivType, tablePrivileges, false));
            execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(tableDb)
                    + QStringLiteral(".") + name(table) + QStringLiteral("   TO '") + tail);
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
    if (!confirm(QStringLiteral("ﾕｰｻﾞｰを削除します。"), Dialogs::Icon::Critical))
        return;
    const QString host = shownHost();
    const QString user = shownUser();
    const auto error = trapped([&] {
        for (int row = 0; row < m_ui->lstTable->count(); ++row) {
            const QStringList parts = m_ui->lstTable->item(row)->text().split(QLatin1Char('\t'));
            execute(QStringLiteral("delete from mysql.tables_priv") + QStringLiteral(" where user='")
                    + esc(user) + QStringLiteral("'") + QStringLiteral("   and host=\"") + escDq(host)
                    + QStringLiteral("\"") + QStringLiteral("   and db='") + esc(parts.value(0))
                    + QStringLiteral("'") + QStringLiteral("   and Table_name ='") + esc(parts.value(1))
                    + QStringLiteral("'"));
            flush();
        }
        for (int row = 0; row < m_ui->lstDB->count(); ++row) {
            execute(QStringLiteral("delete from mysql.db ") + QStringLiteral("where host = '") + esc(host)
                    + QStringLiteral("'") + QStringLiteral("  and db = '")
                    + esc(m_ui->lstDB->item(row)->text()) + QStringLiteral("'")
                    + QStringLiteral("  and user = '") + esc(user) + QStringLiteral("'"));
            flush();
        }
        const QString tail = tailOf(user, host);
        execute(QStringLiteral("REVOKE ALL PRIVILEGES") + QStringLiteral(" ON *.*")
                + QStringLiteral(" FROM '") + tail);
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
    if (!confirm(QStringLiteral("ﾕｰｻﾞｰ権限を変更します。")))
        return;
    int stage = 0;
    const QString tail = shownTail();
    const QString revokeAll = QStringLiteral("REVOKE ALL PRIVILEGES") + QStringLiteral(" ON *.*")
                              + QStringLiteral(" FROM '") + tail;
    const auto error = trapped([&] {
        execute(QStringLiteral("REVOKE GRANT OPTION") + QStringLiteral(" ON *.*") + QStringLiteral(" FROM '")
                + tail);
        flush();
        stage = 1;
        execute(revokeAll);
        flush();
        stage = 2;
        const bool newPassword
            = m_ui->txtPassword->text() != m_ui->txtPassword->property("Tag").toString();
        grantGlobal(globalList(false), m_ui->txtPassword->text().trimmed(), newPassword,
                    globalSuffix(false));
        flush();
        stage = 3;
    });
    if (!error) {
        showInfo(QStringLiteral("変更しました。"));
        sInit();
        return;
    }

    showError(*error);
    // Put back the privileges as loaded (the tags).
    const QString regrant = QStringLiteral("GRANT ") + globalList(true) + QStringLiteral("   ON *.*")
                            + QStringLiteral("   TO '") + tail + globalSuffix(true);
    if (stage == 1)
        tryRun({regrant, Flush});
    else if (stage == 2)
        tryRun({revokeAll, Flush, regrant, Flush});
}

void frmUserAdd::cmdUserGrantAllCK_Click(int index)
{
    setAll(ckPrivType, index == 0);
}

void frmUserAdd::cmdDbGrantAdd_Click()
{
    const QString database = listText(m_ui->lstAddDB);
    if (database == NoDatabase || database.isEmpty()) {
        showInfo(QStringLiteral("DBを選択して下さい。"));
        return;
    }
    if (!anyChecked(ckDBPrivType)) {
        showInfo(QStringLiteral("権限にﾁｪｯｸを入れてください。"));
        return;
    }
    if (!confirm(QStringLiteral("DB権限を追加します。")))
        return;
    const QString list = keywordListOrUsage(checkedKeywords(ckDBPrivType, databasePrivileges, false));
    const auto error = trapped([&] {
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(database)
                + QStringLiteral(".*") + QStringLiteral("   TO '") + shownTail());
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(QStringLiteral("追加しました。"));
    lstUser_Click();
}

void frmUserAdd::cmdDbGrantEdit_Click()
{
    const QString newDatabase = listText(m_ui->lstAddDB);
    if (newDatabase == NoDatabase || newDatabase.isEmpty()) {
        showInfo(QStringLiteral("DBを選択して下さい。"));
        return;
    }
    if (!anyChecked(ckDBPrivType)) {
        showInfo(QStringLiteral("権限にﾁｪｯｸを入れてください。"));
        return;
    }
    if (!confirm(QStringLiteral("DB権限を変更します。")))
        return;

    const QString list = keywordListOrUsage(checkedKeywords(ckDBPrivType, databasePrivileges, false));
    const QString oldDatabase = m_ui->lblDbName->text();
    const QString tail = shownTail();
    const auto error = trapped([&] {
        execute(QStringLiteral("REVOKE GRANT OPTION") + QStringLiteral(" ON ") + name(oldDatabase)
                + QStringLiteral(".*") + QStringLiteral(" FROM '") + tail);
        flush();
        execute(QStringLiteral("REVOKE ALL PRIVILEGES") + QStringLiteral(" ON ") + name(oldDatabase)
                + QStringLiteral(".*") + QStringLiteral(" FROM '") + tail);
        flush();
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(newDatabase)
                + QStringLiteral(".*") + QStringLiteral("   TO '") + tail);
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
    QStringList restore = {QStringLiteral("delete from mysql.db ") + QStringLiteral("where host = '")
                               + esc(shownHost()) + QStringLiteral("'") + QStringLiteral("  and db = '")
                               + esc(oldDatabase) + QStringLiteral("'") + QStringLiteral("  and user = '")
                               + esc(shownUser()) + QStringLiteral("'"),
                           Flush};
    if (const auto loaded = keywordList(checkedKeywords(ckDBPrivType, databasePrivileges, true)))
        restore << QStringLiteral("GRANT ") + *loaded + QStringLiteral("   ON ") + name(oldDatabase)
                       + QStringLiteral(".*") + QStringLiteral("   TO '") + tail
                << Flush;
    tryRun(restore);
    showError(*error);
}

void frmUserAdd::cmdDbGrantDel_Click()
{
    if (!confirm(QStringLiteral("DB権限を削除します。"), Dialogs::Icon::Critical))
        return;
    const auto error = trapped([&] {
        execute(QStringLiteral("delete from mysql.db ") + QStringLiteral("where host = '") + esc(shownHost())
                + QStringLiteral("'") + QStringLiteral("  and db = '") + esc(m_ui->lblDbName->text())
                + QStringLiteral("'") + QStringLiteral("  and user = '") + esc(shownUser())
                + QStringLiteral("'"));
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(QStringLiteral("削除しました。"));
    lstUser_Click();
}

void frmUserAdd::cmdDbGrantAllCK_Click(int index)
{
    setAll(ckDBPrivType, index == 0);
}

void frmUserAdd::cmdTableGrantAdd_Click()
{
    const QString database = m_ui->cboAddDB->currentText();
    if (database == NoDatabase || database.isEmpty())
        return;
    const QString table = listText(m_ui->lstAddTable);
    if (table.isEmpty()) {
        showError(QStringLiteral("ﾃｰﾌﾞﾙが選択されていません。"));
        return;
    }
    if (!confirm(QStringLiteral("TABLE権限を追加します。")))
        return;
    const QString list = keywordListOrUsage(checkedKeywords(ckTablePrivType, tablePrivileges, false));
    const auto error = trapped([&] {
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(database)
                + QStringLiteral(".") + name(table) + QStringLiteral("   TO '") + shownTail());
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(QStringLiteral("追加しました。"));
    lstUser_Click();
}

void frmUserAdd::cmdTableGrantEdit_Click()
{
    const QString database = m_ui->cboAddDB->currentText();
    if (database == NoDatabase || database.isEmpty())
        return;
    const QString table = listText(m_ui->lstAddTable);
    if (table.isEmpty()) {
        showError(QStringLiteral("ﾃｰﾌﾞﾙが選択されていません。"));
        return;
    }
    if (!confirm(QStringLiteral("TABLE権限を変更します。")))
        return;

    // The row's privileges other than the four boxes go along unchanged.
    const QString list =
        keywordListOrUsage(checkedKeywords(ckTablePrivType, tablePrivileges, false) + m_otherTableKeywords);
    const QString shownDb = m_ui->lblTableNameDB->text();
    const QString shownTable = m_ui->lblTableName->text();
    const QString tail = shownTail();
    const auto error = trapped([&] {
        execute(QStringLiteral("delete from mysql.tables_priv") + QStringLiteral(" where user='")
                + esc(shownUser()) + QStringLiteral("'") + QStringLiteral("   and host=\"")
                + escDq(shownHost()) + QStringLiteral("\"") + QStringLiteral("   and db='") + esc(shownDb)
                + QStringLiteral("'") + QStringLiteral("   and Table_name ='") + esc(shownTable)
                + QStringLiteral("'"));
        flush();
        execute(QStringLiteral("GRANT ") + list + QStringLiteral("   ON ") + name(database)
                + QStringLiteral(".") + name(table) + QStringLiteral("   TO '") + tail);
        flush();
    });
    if (!error) {
        showInfo(QStringLiteral("変更しました。"));
        lstUser_Click();
        setListText(m_ui->lstTable, database + QLatin1Char('\t') + table);
        return;
    }

    // Put back the row as loaded; with nothing loaded to give back, the revoke is the whole restore.
    const QString on = QStringLiteral(" ON ") + name(shownDb) + QStringLiteral(".") + name(shownTable);
    QStringList restore = {QStringLiteral("REVOKE ALL PRIVILEGES") + on + QStringLiteral(" FROM '") + tail,
                           Flush};
    if (const auto loaded =
            keywordList(checkedKeywords(ckTablePrivType, tablePrivileges, true) + m_otherTableKeywords))
        restore << QStringLiteral("GRANT ") + *loaded + QStringLiteral("  ") + on + QStringLiteral("   TO '")
                       + tail
                << Flush;
    tryRun(restore);
    showError(*error);
}

void frmUserAdd::cmdTableGrantDel_Click()
{
    if (!confirm(QStringLiteral("TABLE権限を削除します。"), Dialogs::Icon::Critical))
        return;
    const auto error = trapped([&] {
        execute(QStringLiteral("delete from mysql.tables_priv") + QStringLiteral(" where user='")
                + esc(shownUser()) + QStringLiteral("'") + QStringLiteral("   and host=\"")
                + escDq(shownHost()) + QStringLiteral("\"") + QStringLiteral("   and db='")
                + esc(m_ui->lblTableNameDB->text()) + QStringLiteral("'")
                + QStringLiteral("   and Table_name ='") + esc(m_ui->lblTableName->text())
                + QStringLiteral("'"));
        flush();
    });
    if (error) {
        showError(*error);
        return;
    }
    showInfo(QStringLiteral("削除しました。"));
    lstUser_Click();
}

void frmUserAdd::cmdTableGrantAllCK_Click(int index)
{
    setAll(ckTablePrivType, index == 0);
}
