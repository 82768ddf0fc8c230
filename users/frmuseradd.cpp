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
    // Under NO_BACKSLASH_ESCAPES the connection doubles only the apostrophe, which a "..." literal takes as
    // two: there the double quote is doubled instead and nothing else is touched.
    if (esc(QStringLiteral("\\")) == QLatin1String("\\"))
        return QString(value).replace(QLatin1Char('"'), QLatin1String("\"\""));
    return esc(value);
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
        for (; !rs.Eof(); rs.MoveNext())
            m_ui->lstUser->addItem(rs.Value(QStringLiteral("Host")) + QLatin1Char('\t')
                                   + rs.Value(QStringLiteral("User")));
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

    const QStringList parts = line.split(QLatin1Char('\t'));
    m_ui->lblHostName->setText(parts.value(0));
    m_ui->lblUserName->setText(parts.value(1));

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

        QStringList tables;
        for (Recordset &t = query(QStringLiteral("select * from mysql.tables_priv where ") + where);
             !t.Eof(); t.MoveNext())
            tables << t.Value(QStringLiteral("Db")) + QLatin1Char('\t')
                          + t.Value(QStringLiteral("Table_name"));
        closeShared();
        m_ui->lstTable->addItems(tables);
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
    const QStringList parts = m_ui->lstTable->currentItem()->text().split(QLatin1Char('\t'));
    m_ui->lblTableNameDB->setText(parts.value(0));
    m_ui->lblTableName->setText(parts.value(1));
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
