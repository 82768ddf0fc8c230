#include "frmuseradd.h"
#include "widgets/accessiblenames.h"
#include "ui_frmuseradd.h"

#include "connection.h"
#include "recordset.h"
#include "session.h"
#include "sqltext.h"
#include "trap.h"

#include <QCheckBox>
#include <QEvent>
#include <QTimer>

using namespace UserPrivileges;

namespace {

const QString NewLine = QStringLiteral("新規");

const QString NoDatabase = QStringLiteral("*");

template <std::size_t N>
void resetBoxes(const std::array<QCheckBox *, N> &boxes)
{
    for (QCheckBox *box : boxes) {
        box->setChecked(false);
        frmUserAdd::setTag(box, QStringLiteral("0"));
    }
}

template <std::size_t N>
QStringList boxKeywords(const std::array<Privilege, N> &model)
{
    QStringList keywords;
    for (const Privilege &privilege : model)
        if (*privilege.keyword)
            keywords << QString::fromLatin1(privilege.keyword);
    return keywords;
}

template <std::size_t N>
void tagsFromValues(const std::array<QCheckBox *, N> &boxes)
{
    for (QCheckBox *box : boxes)
        frmUserAdd::setTag(box, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

// Checks each box whose column reads "Y"; a column the server lacks leaves its box as it is.
template <std::size_t N>
void valuesFromRow(const std::array<QCheckBox *, N> &boxes, const std::array<Privilege, N> &model,
                   const Recordset &rs)
{
    for (std::size_t i = 0; i < N; ++i) {
        const int field = rs.FieldIndex(QLatin1String(model[i].column));
        if (field >= 0)
            boxes[i]->setChecked(rs.Value(field) == QLatin1String("Y"));
    }
}

} // namespace

frmUserAdd::frmUserAdd(QWidget *parent, Dialogs *dialogs)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::frmUserAdd>())
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    nameForAssistiveTechnology(this);
    for (int i = 0; i < GlobalCount; ++i)
        ckPrivType[i] = findChild<QCheckBox *>(QStringLiteral("ckPrivType_%1").arg(i));
    for (int i = 0; i < DatabaseCount; ++i)
        ckDBPrivType[i] = findChild<QCheckBox *>(QStringLiteral("ckDBPrivType_%1").arg(i));
    for (int i = 0; i < TableCount; ++i)
        ckTablePrivType[i] = findChild<QCheckBox *>(QStringLiteral("ckTablePrivType_%1").arg(i));
    cmdUserGrantAllCK = {m_ui->cmdUserGrantAllCK_0, m_ui->cmdUserGrantAllCK_1};
    cmdDbGrantAllCK = {m_ui->cmdDbGrantAllCK_0, m_ui->cmdDbGrantAllCK_1};
    cmdTableGrantAllCK = {m_ui->cmdTableGrantAllCK_0, m_ui->cmdTableGrantAllCK_1};
    // The one control without a caption or a label of its own: it lists the tables of cboAddDB.
    m_ui->lstAddTable->setAccessibleName(QStringLiteral("ﾃｰﾌﾞﾙ"));

    connect(m_ui->lstUser, &QListWidget::currentRowChanged, this, [this] { lstUser_Click(); });
    connect(m_ui->lstDB, &QListWidget::currentRowChanged, this, [this] { lstDB_Click(); });
    connect(m_ui->lstTable, &QListWidget::currentRowChanged, this, [this] { lstTable_Click(); });
    connect(m_ui->cboAddDB, &QComboBox::activated, this, [this] { cboAddDB_Click(); });
    m_ui->txtPassword->installEventFilter(this);

    connect(m_ui->cmdOk, &QPushButton::clicked, this, &frmUserAdd::cmdOk_Click);
    connect(m_ui->cmdDelete, &QPushButton::clicked, this, &frmUserAdd::cmdDelete_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &frmUserAdd::cmdCancel_Click);
    connect(m_ui->cmdGrantEdit, &QPushButton::clicked, this, &frmUserAdd::cmdGrantEdit_Click);
    connect(m_ui->cmdDbGrantAdd, &QPushButton::clicked, this, &frmUserAdd::cmdDbGrantAdd_Click);
    connect(m_ui->cmdDbGrantEdit, &QPushButton::clicked, this, &frmUserAdd::cmdDbGrantEdit_Click);
    connect(m_ui->cmdDbGrantDel, &QPushButton::clicked, this, &frmUserAdd::cmdDbGrantDel_Click);
    connect(m_ui->cmdTableGrantAdd, &QPushButton::clicked, this, &frmUserAdd::cmdTableGrantAdd_Click);
    connect(m_ui->cmdTableGrantEdit, &QPushButton::clicked, this, &frmUserAdd::cmdTableGrantEdit_Click);
    connect(m_ui->cmdTableGrantDel, &QPushButton::clicked, this, &frmUserAdd::cmdTableGrantDel_Click);
    for (int i = 0; i < 2; ++i) {
        connect(cmdUserGrantAllCK[i], &QPushButton::clicked, this,
                [this, i] { cmdUserGrantAllCK_Click(i); });
        connect(cmdDbGrantAllCK[i], &QPushButton::clicked, this, [this, i] { cmdDbGrantAllCK_Click(i); });
        connect(cmdTableGrantAllCK[i], &QPushButton::clicked, this,
                [this, i] { cmdTableGrantAllCK_Click(i); });
    }

    Form_Load();
}

frmUserAdd::~frmUserAdd() = default;

QString frmUserAdd::listText(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void frmUserAdd::setListText(QListWidget *list, const QString &text)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == text) {
            list->setCurrentRow(row);
            list->item(row)->setSelected(true);
            return;
        }
    }
    list->setCurrentRow(-1);
    list->clearSelection();
}

QString frmUserAdd::tag(const QCheckBox *box)
{
    return box->property("Tag").toString();
}

void frmUserAdd::setTag(QCheckBox *box, const QString &tag)
{
    box->setProperty("Tag", tag);
}

std::unique_ptr<Recordset> frmUserAdd::execute(const QString &sql)
{
    return Session::instance().db().Execute(sql);
}

QString frmUserAdd::esc(const QString &value) const
{
    return Session::instance().db().escape(value);
}

QString frmUserAdd::escDq(const QString &value) const
{
    // A doubled double quote stands for one in a "..." string and in a "..." identifier (ANSI_QUOTES)
    // alike, and an apostrophe needs nothing there; only a backslash depends on the mode.
    QString escaped = value;
    if (escaped.contains(QLatin1Char('\\')) && backslashEscapes())
        escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return escaped;
}

bool frmUserAdd::backslashEscapes() const
{
    // Under NO_BACKSLASH_ESCAPES the connection's own escaping leaves a backslash alone.
    if (esc(QStringLiteral("\\")) == QLatin1String("\\"))
        return false;
    try {
        std::unique_ptr<Recordset> rs = Session::instance().db().Execute(
            QStringLiteral("select @@session.sql_mode"));
        return !(rs && !rs->Eof() && rs->Value(0).contains(QLatin1String("ANSI_QUOTES")));
    } catch (const std::exception &) {
        return true;
    }
}

QString frmUserAdd::shownUser() const
{
    return m_ui->lblUserName->text();
}

QString frmUserAdd::shownHost() const
{
    return m_ui->lblHostName->text();
}

QString frmUserAdd::tailOf(const QString &user, const QString &host) const
{
    return accountTail(esc(user), escDq(host));
}

QString frmUserAdd::shownTail() const
{
    return tailOf(shownUser(), shownHost());
}

Recordset &frmUserAdd::query(const QString &sql)
{
    Session &session = Session::instance();
    session.CloseRecordset();
    session.recordset = execute(sql);
    if (!session.recordset)
        throw DbError(0, QString(), QStringLiteral("no rows returned: ") + sql);
    return *session.recordset;
}

void frmUserAdd::closeShared()
{
    Session::instance().CloseRecordset();
}

void frmUserAdd::flush()
{
    execute(QStringLiteral("FLUSH PRIVILEGES"));
}

void frmUserAdd::showError(const QString &text)
{
    Dialogs &dialogs = m_dialogs ? *m_dialogs : Dialogs::current();
    dialogs.message(windowTitle(), text, Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
}

void frmUserAdd::showInfo(const QString &text)
{
    Dialogs &dialogs = m_dialogs ? *m_dialogs : Dialogs::current();
    dialogs.message(windowTitle(), text, Dialogs::Icon::Information, Dialogs::Buttons::Ok);
}

bool frmUserAdd::confirm(const QString &text, Dialogs::Icon icon)
{
    Dialogs &dialogs = m_dialogs ? *m_dialogs : Dialogs::current();
    return dialogs.message(windowTitle(), text, icon, Dialogs::Buttons::OkCancel) == Dialogs::Answer::Ok;
}

void frmUserAdd::setComboText(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly));
    // Setting the text runs the click handler, which refills the table chooser.
    if (combo == m_ui->cboAddDB)
        cboAddDB_Click();
}

void frmUserAdd::Form_Load()
{
    ReadCurrentUser();
    sInit();
}

void frmUserAdd::sInit()
{
    MakeList();
    MakeCbo();
    if (m_ui->lstUser->count() >= 1) {
        m_ui->lstUser->setCurrentRow(0);
        m_ui->lstUser->item(0)->setSelected(true);
    }
}

void frmUserAdd::MakeList()
{
    m_ui->lstUser->clear();
    trapped([&] {
        Recordset &rs = query(QStringLiteral("select * from mysql.user"));
        m_ui->lstUser->addItem(NewLine);
        for (; !rs.Eof(); rs.MoveNext()) {
            const QString host = rs.Value(QStringLiteral("Host"));
            const QString user = rs.Value(QStringLiteral("User"));
            // The account stays beside its line: a tab in a name cannot change whom the line acts on.
            auto *item = new QListWidgetItem(host + QLatin1Char('\t') + user, m_ui->lstUser);
            item->setData(HostRole, host);
            item->setData(UserRole, user);
        }
    });
    closeShared();
}

void frmUserAdd::ReadCurrentUser()
{
    trapped([&] {
        // CURRENT_USER() is user@host, the host after the last "@".
        const QString current = query(QStringLiteral("select current_user()")).Value(0);
        const qsizetype at = current.lastIndexOf(QLatin1Char('@'));
        m_currentUser = at < 0 ? current : current.left(at);
        m_currentHost = at < 0 ? QString() : current.mid(at + 1);
    });
    closeShared();
}

void frmUserAdd::MakeCbo()
{
    m_ui->lstAddDB->clear();
    m_ui->lstAddDB->addItem(NoDatabase);
    m_ui->cboAddDB->clear();
    m_ui->cboAddDB->addItem(NoDatabase);
    const auto error = trapped([&] {
        Recordset &rs = query(QStringLiteral("show databases;"));
        for (; !rs.Eof(); rs.MoveNext()) {
            const QString name = rs.Value(QStringLiteral("database"));
            m_ui->lstAddDB->addItem(name);
            m_ui->cboAddDB->addItem(name);
        }
    });
    closeShared();
    if (error)
        showError(*error);
}

void frmUserAdd::lstUser_Click()
{
    if (m_ui->lstUser->currentRow() < 0)
        return;
    const QString line = m_ui->lstUser->currentItem()->text();
    const std::array<QPushButton *, 8> accountButtons = {
        m_ui->cmdDelete,        m_ui->cmdGrantEdit,      m_ui->cmdDbGrantDel, m_ui->cmdDbGrantEdit,
        m_ui->cmdTableGrantDel, m_ui->cmdTableGrantEdit, m_ui->cmdDbGrantAdd, m_ui->cmdTableGrantAdd};

    if (line == NewLine) {
        m_ui->txtUser->setText(QString());
        m_ui->txtHost->setText(QString());
        m_ui->txtPassword->setText(QString());
        setListText(m_ui->lstAddDB, NoDatabase);
        setComboText(m_ui->cboAddDB, NoDatabase);
        resetBoxes(ckPrivType);
        m_ui->lstDB->clear();
        resetBoxes(ckDBPrivType);
        m_ui->lstTable->clear();
        resetBoxes(ckTablePrivType);
        m_otherTableKeywords.clear();
        m_ui->cmdOk->setEnabled(true);
        for (QPushButton *button : accountButtons)
            button->setEnabled(false);
        m_ui->txtUser->setEnabled(true);
        m_ui->txtHost->setEnabled(true);
        return;
    }

    resetBoxes(ckPrivType);
    resetBoxes(ckDBPrivType);
    resetBoxes(ckTablePrivType);
    m_otherTableKeywords.clear();
    m_ui->lstDB->clear();
    m_ui->lstTable->clear();
    m_ui->cmdOk->setEnabled(false);
    for (QPushButton *button : accountButtons)
        button->setEnabled(true);
    m_ui->txtUser->setEnabled(false);
    m_ui->txtHost->setEnabled(false);
    m_ui->txtPassword->setText(PasswordPlaceholder);
    m_ui->txtPassword->setProperty("Tag", PasswordPlaceholder);

    const QListWidgetItem *chosen = m_ui->lstUser->currentItem();
    m_ui->lblHostName->setText(chosen->data(HostRole).toString());
    m_ui->lblUserName->setText(chosen->data(UserRole).toString());
    m_grantLines.clear();
    m_otherGlobalKeywords.clear();
    m_otherDbKeywords.clear();
    m_allGlobal = false;
    m_allDb = false;

    trapped([&] {
        const QString where = QStringLiteral("user = '") + esc(shownUser()) + QStringLiteral("'")
                              + QStringLiteral("   and host = '") + esc(shownHost()) + QStringLiteral("'");
        Recordset &user = query(QStringLiteral("select * from mysql.user where ") + where);
        m_ui->txtHost->setText(shownHost());
        m_ui->txtUser->setText(shownUser());
        if (!user.Eof()) {
            valuesFromRow(ckPrivType, globalPrivileges, user);
            tagsFromValues(ckPrivType);
        }
        closeShared();
        // The privileges without a box, which a change keeps: read from the server's own account of them.
        trapped([&] {
            for (Recordset &rs = query(QStringLiteral("SHOW GRANTS FOR '") + shownTail()); !rs.Eof();
                 rs.MoveNext())
                m_grantLines << rs.Value(0);
        });
        closeShared();
        const QStringList global = grantedPrivileges(m_grantLines, QStringLiteral("*.*"));
        m_allGlobal = global.contains(QStringLiteral("ALL PRIVILEGES"));
        m_otherGlobalKeywords = otherKeywords(global, boxKeywords(globalPrivileges));

        QStringList databases;
        for (Recordset &db = query(QStringLiteral("select * from mysql.db where ") + where); !db.Eof();
             db.MoveNext())
            databases << db.Value(QStringLiteral("Db"));
        closeShared();
        m_ui->lstDB->addItems(databases);
        const bool anyDb = m_ui->lstDB->count() > 0;
        if (!anyDb)
            setListText(m_ui->lstAddDB, NoDatabase);
        m_ui->cmdDbGrantDel->setEnabled(anyDb);
        m_ui->cmdDbGrantEdit->setEnabled(anyDb);
        if (anyDb)
            m_ui->lstDB->setCurrentRow(0);

        QList<QPair<QString, QString>> tables;
        for (Recordset &t = query(QStringLiteral("select * from mysql.tables_priv where ") + where);
             !t.Eof(); t.MoveNext())
            tables.append({t.Value(QStringLiteral("Db")), t.Value(QStringLiteral("Table_name"))});
        closeShared();
        for (const auto &[database, table] : tables) {
            auto *item = new QListWidgetItem(database + QLatin1Char('\t') + table, m_ui->lstTable);
            item->setData(DbRole, database);
            item->setData(TableRole, table);
        }
        const bool anyTable = m_ui->lstTable->count() > 0;
        if (!anyTable)
            setComboText(m_ui->cboAddDB, NoDatabase);
        m_ui->cmdTableGrantDel->setEnabled(anyTable);
        m_ui->cmdTableGrantEdit->setEnabled(anyTable);
        if (anyTable)
            m_ui->lstTable->setCurrentRow(0);
    });
    closeShared();
}

void frmUserAdd::lstDB_Click()
{
    if (m_ui->lstDB->currentRow() < 0)
        return;
    m_ui->lblDbName->setText(m_ui->lstDB->currentItem()->text());
    // What the account holds on this database beyond the boxes, read from its grants before anything can
    // fail, so a failed read never leaves another database's privileges to be granted here.
    const QStringList granted = grantedPrivileges(m_grantLines, grantsDatabase(m_ui->lblDbName->text()));
    m_allDb = granted.contains(QStringLiteral("ALL PRIVILEGES"));
    m_otherDbKeywords = otherKeywords(granted, boxKeywords(databasePrivileges));
    trapped([&] {
        Recordset &rs = query(QStringLiteral("select * from mysql.db where user = '") + esc(shownUser())
                              + QStringLiteral("'") + QStringLiteral("   and host = '") + esc(shownHost())
                              + QStringLiteral("'") + QStringLiteral("   and db = '")
                              + esc(m_ui->lblDbName->text()) + QStringLiteral("'"));
        if (!rs.Eof())
            valuesFromRow(ckDBPrivType, databasePrivileges, rs);
        tagsFromValues(ckDBPrivType);
        setListText(m_ui->lstAddDB, m_ui->lblDbName->text());
    });
    closeShared();
}

void frmUserAdd::lstTable_Click()
{
    if (m_ui->lstTable->currentRow() < 0)
        return;
    const QListWidgetItem *chosen = m_ui->lstTable->currentItem();
    m_ui->lblTableNameDB->setText(chosen->data(DbRole).toString());
    m_ui->lblTableName->setText(chosen->data(TableRole).toString());
    trapped([&] {
        Recordset &rs =
            query(QStringLiteral("select * from mysql.tables_priv where user = '") + esc(shownUser())
                  + QStringLiteral("'") + QStringLiteral("   and host = '") + esc(shownHost())
                  + QStringLiteral("'") + QStringLiteral("   and db = '") + esc(m_ui->lblTableNameDB->text())
                  + QStringLiteral("'") + QStringLiteral("   and table_name = '")
                  + esc(m_ui->lblTableName->text()) + QStringLiteral("'"));
        const QString tablePriv = rs.Eof() ? QString() : rs.Value(QStringLiteral("Table_priv"));
        closeShared();
        for (int i = 0; i < TableCount; ++i)
            ckTablePrivType[i]->setChecked(
                hasTablePrivWord(tablePriv, QLatin1String(tablePrivileges[i].column)));
        tagsFromValues(ckTablePrivType);
        m_otherTableKeywords = otherTableKeywords(tablePriv);
        setComboText(m_ui->cboAddDB, m_ui->lblTableNameDB->text());
        setListText(m_ui->lstAddTable, m_ui->lblTableName->text());
    });
    closeShared();
}

void frmUserAdd::cboAddDB_Click()
{
    m_ui->lstAddTable->clear();
    const QString database = m_ui->cboAddDB->currentText();
    if (database == NoDatabase || database.isEmpty())
        return;
    const auto error = trapped([&] {
        for (Recordset &rs = query(QStringLiteral("show tables from ") + SqlText::quoteName(database)
                                   + QStringLiteral(";"));
             !rs.Eof(); rs.MoveNext())
            m_ui->lstAddTable->addItem(rs.Value(0));
    });
    closeShared();
    if (error)
        showError(*error);
}

void frmUserAdd::txtPassword_GotFocus()
{
    m_ui->txtPassword->setSelection(0, int(m_ui->txtPassword->text().length()));
}

bool frmUserAdd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->txtPassword && event->type() == QEvent::FocusIn) {
        txtPassword_GotFocus();
        // A mouse press that gave the focus places the cursor after this: select again once it is done.
        QTimer::singleShot(0, this, [this] { txtPassword_GotFocus(); });
    }
    return QDialog::eventFilter(watched, event);
}

void frmUserAdd::cmdCancel_Click()
{
    close();
}
