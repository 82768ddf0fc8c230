#pragma once

#include "connection.h"
#include "dberror.h"
#include "frmuseradd.h"
#include "scripteddialogs.h"
#include "servertest.h"
#include "session.h"
#include "statementrecorder.h"
#include "ui_frmuseradd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <ostream>
#include <initializer_list>

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// The user window on the sandbox server, with hooks to make chosen statements fail as a server would.
class FaultyUserWindow : public frmUserAdd
{
public:
    using frmUserAdd::frmUserAdd;
    // Statements for which this returns an error number fail with it instead of reaching the server.
    std::function<unsigned int(const QString &sql)> failWith;
    QString failMessage = QStringLiteral("Access denied for this test");
    // Statements sent in another form (as an older server would answer them), when this returns text.
    std::function<QString(const QString &sql)> rewrite;

protected:
    std::unique_ptr<Recordset> execute(const QString &sql) override
    {
        if (failWith) {
            if (const unsigned int number = failWith(sql)) {
                Session::instance().log.report(sql);
                throw DbError(number, QStringLiteral("42000"), failMessage);
            }
        }
        if (rewrite) {
            const QString other = rewrite(sql);
            if (!other.isEmpty())
                return frmUserAdd::execute(other);
        }
        return frmUserAdd::execute(sql);
    }
};

class UserWindowTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(connectSession());
        // Account names of this test alone: the server is shared by tests running side by side.
        m_prefix = QStringLiteral("u%1").arg(qHash(db) % 100000000u, 8, 10, QLatin1Char('0'));
        db2 = db.left(58) + QStringLiteral("_other");
        exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(db2));
        exec(QStringLiteral("CREATE DATABASE `%1`").arg(db2));
        exec(QStringLiteral("CREATE TABLE `%1`.t1 (id INT)").arg(db));
        exec(QStringLiteral("CREATE TABLE `%1`.t2 (id INT)").arg(db));
        exec(QStringLiteral("CREATE TABLE `%1`.t3 (id INT)").arg(db));
    }

    void TearDown() override
    {
        for (const auto &[user, host] : m_accounts) {
            try {
                exec(QStringLiteral("DROP USER IF EXISTS '%1'@'%2'")
                         .arg(admin->escape(user), admin->escape(host)));
            } catch (const DbError &) {
            }
        }
        try {
            exec(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(db2));
        } catch (const DbError &) {
        }
        window.reset();
        ServerTest::TearDown();
    }

    // A user name of this test (dropped at the end), at most 16 characters as the window takes them.
    QString account(const QString &suffix = QString(), const QString &host = QStringLiteral("%"))
    {
        const QString user = m_prefix + suffix;
        m_accounts.push_back({user, host});
        return user;
    }
    QString accountSql(const QString &user, const QString &host = QStringLiteral("%"))
    {
        return QStringLiteral("'%1'@'%2'").arg(admin->escape(user), admin->escape(host));
    }

    FaultyUserWindow &open()
    {
        window = std::make_unique<FaultyUserWindow>();
        return *window;
    }
    Ui::frmUserAdd &ui() { return *window->ui(); }

    // Chooses the account's line in lstUser (host, tab, user).
    void selectAccount(const QString &user, const QString &host = QStringLiteral("%"))
    {
        const auto found = ui().lstUser->findItems(host + QLatin1Char('\t') + user, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << user.toStdString();
        ui().lstUser->setCurrentItem(found.first());
    }
    void selectNew() { ui().lstUser->setCurrentRow(0); }

    template <std::size_t N>
    static void check(const std::array<QCheckBox *, N> &boxes, std::initializer_list<int> on)
    {
        for (QCheckBox *box : boxes)
            box->setChecked(false);
        for (int i : on)
            boxes[i]->setChecked(true);
    }
    template <std::size_t N>
    static QList<int> checked(const std::array<QCheckBox *, N> &boxes)
    {
        QList<int> on;
        for (std::size_t i = 0; i < N; ++i)
            if (boxes[i]->isChecked())
                on << int(i);
        return on;
    }
    template <std::size_t N>
    static QList<int> tagged(const std::array<QCheckBox *, N> &boxes)
    {
        QList<int> on;
        for (std::size_t i = 0; i < N; ++i)
            if (frmUserAdd::tag(boxes[i]) == QLatin1String("1"))
                on << int(i);
        return on;
    }

    void ok(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            dialogs.answer(Dialogs::Answer::Ok);
    }

    // SHOW GRANTS as one text, one grant a line.
    QString grants(const QString &user, const QString &host = QStringLiteral("%"))
    {
        QStringList lines;
        for (const QStringList &row : rows(QStringLiteral("SHOW GRANTS FOR ") + accountSql(user, host)))
            lines << row.value(0);
        return lines.join(QLatin1Char('\n'));
    }
    // The grants of `user` sorted, one a line, written for `as` (the same account when empty): an account
    // given the same grants and changed by plain REVOKEs is the server's own word on what another should hold.
    QStringList sortedGrants(const QString &user, const QString &as = QString())
    {
        QString text = grants(user);
        if (!as.isEmpty())
            text.replace(QStringLiteral("`%1`@").arg(user), QStringLiteral("`%1`@").arg(as));
        QStringList lines = text.split(QLatin1Char('\n'));
        lines.sort();
        return lines;
    }
    // Rows of the account in the grant tables.
    int grantRows(const QString &user)
    {
        int n = 0;
        for (const char *table : {"global_priv", "db", "tables_priv", "columns_priv"})
            n += scalar(QStringLiteral("select count(*) from mysql.%1 where user = '%2'")
                            .arg(QLatin1String(table), admin->escape(user)))
                     .toInt();
        return n;
    }
    // A second connection logged in as the account.
    std::unique_ptr<Connection> login(const QString &user, const QString &password)
    {
        auto c = std::make_unique<Connection>();
        c->setConnectionString(QStringLiteral("driver={MySQL ODBC 3.51 Driver};server=127.0.0.1;uid={%1};"
                                              "pwd={%2};port=%3")
                                   .arg(user, password, server.port));
        c->Open();
        return c;
    }
    bool canLogin(const QString &user, const QString &password)
    {
        try {
            return login(user, password)->State() == 1;
        } catch (const DbError &) {
            return false;
        }
    }

    QString tailOf(const QString &user, const QString &host = QStringLiteral("%"))
    {
        return QStringLiteral("'%1'@\"%2\"").arg(user, host);
    }

    ScriptedDialogs dialogs;
    StatementRecorder recorder;
    std::unique_ptr<FaultyUserWindow> window;
    QString db2;

private:
    QString m_prefix;
    std::vector<std::pair<QString, QString>> m_accounts;
};
