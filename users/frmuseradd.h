#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "dialogs.h"
#include "privileges.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class Recordset;

namespace Ui {
class frmUserAdd;
}

// The user window: the server's accounts with their global, database and table privileges, read from the
// grant tables and changed with GRANT, REVOKE and FLUSH PRIVILEGES on the session's connection.
// Open it with the constructor and show() or exec(); it loads the lists as it is built.
class frmUserAdd : public QDialog
{
    Q_OBJECT

public:
    // Where the entries of lstUser and lstTable keep the names they stand for, beside their text.
    static constexpr int HostRole = Qt::UserRole;
    static constexpr int UserRole = Qt::UserRole + 1;
    static constexpr int DbRole = Qt::UserRole + 2;
    static constexpr int TableRole = Qt::UserRole + 3;

    // dialogs: the dialogs service for its message boxes (the process-wide one when null).
    explicit frmUserAdd(QWidget *parent = nullptr, Dialogs *dialogs = nullptr);
    ~frmUserAdd() override;

    Ui::frmUserAdd *ui() const { return m_ui.get(); }

    std::array<QCheckBox *, UserPrivileges::GlobalCount> ckPrivType{};
    std::array<QCheckBox *, UserPrivileges::DatabaseCount> ckDBPrivType{};
    std::array<QCheckBox *, UserPrivileges::TableCount> ckTablePrivType{};
    std::array<QPushButton *, 2> cmdUserGrantAllCK{};
    std::array<QPushButton *, 2> cmdDbGrantAllCK{};
    std::array<QPushButton *, 2> cmdTableGrantAllCK{};

    // The text a list box shows as chosen (its selected line, else empty), and choosing a line by its text.
    static QString listText(const QListWidget *list);
    static void setListText(QListWidget *list, const QString &text);
    // A check box's Tag: its Value as loaded from the server, "0" or "1".
    static QString tag(const QCheckBox *box);
    static void setTag(QCheckBox *box, const QString &tag);

    // Loading.
    void Form_Load();
    void sInit();
    void MakeList();
    void MakeCbo();
    void lstUser_Click();
    void lstDB_Click();
    void lstTable_Click();
    void cboAddDB_Click();
    void txtPassword_GotFocus();

    // Buttons.
    void cmdOk_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();
    void cmdGrantEdit_Click();
    void cmdUserGrantAllCK_Click(int index);
    void cmdDbGrantAdd_Click();
    void cmdDbGrantEdit_Click();
    void cmdDbGrantDel_Click();
    void cmdDbGrantAllCK_Click(int index);
    void cmdTableGrantAdd_Click();
    void cmdTableGrantEdit_Click();
    void cmdTableGrantDel_Click();
    void cmdTableGrantAllCK_Click(int index);

protected:
    // Every statement of the window goes through here (a statement with rows returns them).
    virtual std::unique_ptr<Recordset> execute(const QString &sql);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The value escaped for a literal in single quotes, and for one in double quotes.
    QString esc(const QString &value) const;
    QString escDq(const QString &value) const;
    // The account tail of the account shown in lblUserName / lblHostName, and of any user and host.
    QString shownTail() const;
    QString tailOf(const QString &user, const QString &host) const;
    QString shownUser() const;
    QString shownHost() const;
    // Reads a result through the session's shared recordset slot.
    Recordset &query(const QString &sql);
    void closeShared();
    void flush();

    template <std::size_t N>
    static QStringList checkedKeywords(const std::array<QCheckBox *, N> &boxes,
                                       const std::array<UserPrivileges::Privilege, N> &model, bool fromTags);
    // The keywords of the boxes that were loaded checked and are unchecked now.
    template <std::size_t N>
    static QStringList uncheckedKeywords(const std::array<QCheckBox *, N> &boxes,
                                         const std::array<UserPrivileges::Privilege, N> &model);
    // A level's new list. An account that held ALL PRIVILEGES there gets ALL PRIVILEGES again, and the
    // privileges unchecked since are revoked after it (revokeUnchecked): the server alone knows everything
    // ALL holds on its version, boxes or none.
    QString globalList(bool fromTags) const;
    QString globalSuffix(bool fromTags) const;
    // The database level's keywords, the privileges without a box included, and its suffix (" WITH GRANT
    // OPTION" beside ALL PRIVILEGES, which cannot stand beside GRANT OPTION in one list).
    QStringList dbKeywords(bool fromTags) const;
    QString dbSuffix(bool fromTags) const;
    // After ALL PRIVILEGES was granted on `on`: revokes the keywords unchecked since the account was loaded.
    void revokeUnchecked(const QStringList &unchecked, const QString &on, const QString &tail);

    // The row deletes that several buttons share.
    QString dbRowDelete(const QString &user, const QString &host, const QString &database) const;
    QString tableRowDelete(const QString &user, const QString &host, const QString &database,
                           const QString &table) const;
    // The database chosen in lstAddDB for a database grant, after its checks and messages; empty to stop.
    std::optional<QString> chosenGrantDatabase();
    // The database and table chosen in cboAddDB and lstAddTable for a table grant, after their checks.
    std::optional<std::pair<QString, QString>> chosenGrantTable();

    // Account creation with its global privileges, falling back to CREATE USER where GRANT cannot create.
    // stage becomes 1 as soon as the account exists.
    void createAccount(const QString &tail, const QString &list, const QString &password,
                       const QString &suffix, int &stage);
    // The global GRANT of the change button with an optional new password (ALTER USER where GRANT refuses).
    void grantGlobal(const QString &list, const QString &password, bool withPassword, const QString &suffix);
    // Runs a statement and FLUSH PRIVILEGES; then shows done and reloads the account, or shows the error.
    void runAndReload(const QString &sql, const QString &done);
    // Restores: each statement stands alone, so one failure does not stop putting the rest back. Returns
    // the description of the first failure, or nothing when every statement went through.
    std::optional<QString> tryRun(const QStringList &statements);
    // A change failed with error and its restore too: both are reported, with the statements that would
    // put the account back.
    void showRestoreFailed(const QString &error, const QString &restoreError, const QStringList &restore);
    // Before a change to the account the window is connected as: a warning to confirm. True to go on.
    bool confirmOwnAccount();
    // Whether a backslash in a double-quoted value is an escape (not under NO_BACKSLASH_ESCAPES, and not in
    // an identifier, which ANSI_QUOTES makes of it).
    bool backslashEscapes() const;
    // Reads CURRENT_USER() into m_currentUser and m_currentHost.
    void ReadCurrentUser();

    void showError(const QString &text);
    void showInfo(const QString &text);
    bool confirm(const QString &text, Dialogs::Icon icon = Dialogs::Icon::Information);
    void setComboText(QComboBox *combo, const QString &text);

    std::unique_ptr<Ui::frmUserAdd> m_ui;
    Dialogs *m_dialogs;
    // The Table_priv words of the shown row other than the four boxes, as GRANT keywords:
    // a change keeps them.
    QStringList m_otherTableKeywords;
    // The same for the global and the database level (from SHOW GRANTS), and whether the account holds
    // ALL PRIVILEGES there, which a change keeps less the boxes unchecked.
    QStringList m_grantLines;
    QStringList m_otherGlobalKeywords;
    QStringList m_otherDbKeywords;
    bool m_allGlobal = false;
    bool m_allDb = false;
    // The account the window is connected as (CURRENT_USER()), read when the window loads.
    QString m_currentUser;
    QString m_currentHost;
};
