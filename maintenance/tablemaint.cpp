// Check, optimise, repair and copy: one procedure over the selected table or all tables of the database.
#include "maintenance/maintenance.h"

#include "core/dberror.h"
#include "core/pipeline.h"
#include "core/recordset.h"
#include "core/session.h"
#include "core/tablecopy.h"
#include "mainwindow/frmtablora.h"
#include "widgets/waitcursor.h"

#include <QDate>

using namespace MaintLogic;

namespace {

const char TagProperty[] = "Tag";

QList<Finding> rowsOf(Recordset &rs)
{
    QList<Finding> rows;
    const int table = rs.FieldIndex(QStringLiteral("Table"));
    const int type = rs.FieldIndex(QStringLiteral("Msg_type"));
    const int text = rs.FieldIndex(QStringLiteral("Msg_text"));
    if (type < 0 || text < 0)
        return rows;
    for (; !rs.Eof(); rs.MoveNext())
        rows.append({table < 0 ? QString() : rs.Value(table), rs.Value(type), rs.Value(text)});
    return rows;
}

} // namespace

Maintenance *attachMaintenance(frmTablora &window)
{
    return new Maintenance(window);
}

Maintenance::Maintenance(frmTablora &window)
    : QObject(&window)
    , m_window(window)
{
    Ui::frmTablora *ui = window.ui;
    // Each button runs as one operation of the window.
    window.operation(ui->cmdCheckTable, this, &Maintenance::cmdCheckTable_Click);
    window.operation(ui->cmdOptimizeTable, this, &Maintenance::cmdOptimizeTable_Click);
    window.operation(ui->cmdRepairTable, this, &Maintenance::cmdRepairTable_Click);
    window.operation(ui->cmdCopyDb, this, &Maintenance::cmdCopyDb_Click);
    window.operation(ui->cmdBackup, this, &Maintenance::cmdBackup_Click);
    window.operation(ui->cmdRestore, this, &Maintenance::cmdRestore_Click);
    window.operation(ui->cmdScriptBackUp, this, &Maintenance::cmdScriptBackUp_Click);
    window.operation(ui->cmdInOut, this, &Maintenance::cmdInOut_Click);
}

QString Maintenance::describe(const std::exception &error)
{
    return describeError(error);
}

QString Maintenance::selectedEntry() const
{
    const QListWidgetItem *item = m_window.ui->lstTables->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void Maintenance::fail(const QString &description)
{
    QString oneLine = description;
    oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    oneLine.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    m_window.RecordError(oneLine);
    m_window.Message(description, Dialogs::Icon::Critical);
}

bool Maintenance::attempt(WaitCursor &wait, const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const std::exception &error) {
        wait.restore();
        fail(describe(error));
        return false;
    }
}

void Maintenance::succeed(WaitCursor &wait, const QString &message, Dialogs::Icon icon)
{
    m_window.DrawStatus(1, true);
    wait.restore();
    m_window.Message(message, icon);
}

QStringList Maintenance::listedEntries() const
{
    QStringList entries;
    for (int i = 0; i < m_window.ui->lstTables->count(); ++i)
        entries << m_window.ui->lstTables->item(i)->text();
    return entries;
}

std::optional<QString> Maintenance::confirmScope(const QString &singleConfirm, const QString &allConfirm)
{
    Ui::frmTablora *ui = m_window.ui;
    const Scope scope = scopeOf(ui->lblPreTable->text());
    if (scope == Scope::None) {
        m_window.Message(Texts::NoDatabase, Dialogs::Icon::Critical);
        return std::nullopt;
    }
    if (ui->lstTables->count() == 0) {
        m_window.Message(Texts::NoTables, Dialogs::Icon::Critical);
        return std::nullopt;
    }
    const QString selected = scope == Scope::One ? selectedEntry() : QString();
    // The marker says a table was chosen last, but the list has lost its selection (refreshed since).
    if (scope == Scope::One && selected.isEmpty()) {
        m_window.Message(Texts::NoTableSelected, Dialogs::Icon::Critical);
        return std::nullopt;
    }
    const QString confirm = scope == Scope::One ? selected + singleConfirm : allConfirm;
    if (m_window.Message(confirm, Dialogs::Icon::Information, Dialogs::Buttons::OkCancel)
        != Dialogs::Answer::Ok)
        return std::nullopt;
    return selected;
}

void Maintenance::cmdCheckTable_Click()
{
    runOperation(Operation::Check);
}

void Maintenance::cmdOptimizeTable_Click()
{
    runOperation(Operation::Optimize);
}

void Maintenance::cmdRepairTable_Click()
{
    runOperation(Operation::Repair);
}

void Maintenance::cmdCopyDb_Click()
{
    runOperation(Operation::Copy);
}

void Maintenance::runOperation(Operation operation)
{
    Ui::frmTablora *ui = m_window.ui;
    Session &session = Session::instance();
    const Variant &texts = variant(operation);

    ui->lblCkTableName->setProperty(TagProperty, ui->lblCkTableName->text());
    const std::optional<QString> confirmed = confirmScope(texts.singleConfirm, texts.allConfirm);
    if (!confirmed)
        return;
    const QString selected = *confirmed;
    const Scope scope = selected.isEmpty() ? Scope::All : Scope::One;
    const QStringList entries = listedEntries();
    const QString database = session.database;
    const int total = int(entries.size());

    // A failure, or a problem in the server's answer: after a check the repair of the same scope is offered.
    const auto failed = [&](const QString &description) {
        fail(description);
        if (operation == Operation::Check)
            cmdRepairTable_Click();
        m_window.DrawStatus(0, true);
    };

    WaitCursor wait;
    m_window.ShowCount(total, 0);
    QList<Finding> findings;
    int reached = 0; // entries finished in all-tables scope
    try {
        Connection &db = session.db();
        // A copy names every column of a table with invisible ones ("select *" leaves those out): which
        // tables have them is read once for the run.
        const QHash<QString, TableCopy::Source> sources = operation == Operation::Copy
            ? TableCopy::Read(db, database, scope == Scope::One ? frmTablora::EntryName(selected) : QString())
            : QHash<QString, TableCopy::Source>();
        // A check of all tables sends the statements ahead, so a far server is not waited for once per
        // table; the answers are still read, shown and counted one table at a time. A check changes
        // nothing, so the statements already on their way when a run stops do no harm. Optimise, repair
        // and copy change tables: each goes out only when the one before it has succeeded.
        std::optional<StatementPipeline> ahead;
        if (operation == Operation::Check && scope == Scope::All) {
            ahead.emplace(db);
            for (const QString &entry : entries)
                if (frmTablora::EntryKind(entry) != QLatin1String("[ERROR]"))
                    ahead->add(statement(operation, database, frmTablora::EntryName(entry), QDate()));
        }
        const auto work = [&](const QString &entry) {
            const QString kind = frmTablora::EntryKind(entry);
            if (kind == QLatin1String("[ERROR]"))
                return;
            const QString name = frmTablora::EntryName(entry);
            m_window.ShowCurrentTable(name);
            // A copy reads the date for each table, so a run over midnight names each copy by its own day;
            // the other operations name no copy and skip the clock (a time zone lookup per table).
            const QDate day = operation != Operation::Copy ? QDate() : clock ? clock() : QDate::currentDate();
            auto rs = ahead ? ahead->next()
                            : db.Execute(statement(operation, database, name, day, sources.value(name).columns));
            // A view has no storage to optimise or repair: to those the server only answers that it is
            // not a base table, which is no finding (else every run over a database with views fails).
            const bool storageless = kind == QLatin1String("[VIEW]")
                                     && (operation == Operation::Optimize || operation == Operation::Repair);
            if (rs && !storageless)
                findings += problemsOf(operation, rowsOf(*rs));
        };
        if (scope == Scope::One) {
            work(selected);
            m_window.ShowCount(total, 0);
        } else {
            for (int i = 0; i < total; ++i) {
                work(entries[i]);
                reached = i + 1;
                m_window.ShowCount(total, i);
            }
        }
    } catch (const std::exception &error) {
        m_window.ShowCurrentTable(QString()); // no table runs any more
        ui->lblCkTableName->clear();
        wait.restore();
        QString description = describe(error);
        if (scope == Scope::All) {
            // Never a silent half-run: how far it got, and what it did not reach.
            QStringList rest;
            for (int i = reached; i < total; ++i)
                if (frmTablora::EntryKind(entries[i]) != QLatin1String("[ERROR]"))
                    rest << frmTablora::EntryName(entries[i]);
            description += QStringLiteral("\r\n") + Texts::interrupted(reached, total, rest);
        }
        failed(description);
        return;
    }

    wait.restore();
    m_window.ShowCurrentTable(QString());
    ui->lblCkTableName->setText(ui->lblCkTableName->property(TagProperty).toString());
    if (!findings.isEmpty()) {
        // The server answered, but with a problem: reported as a failure, never as success.
        failed(texts.findingsHeading + QStringLiteral("\r\n")
               + formatFindings(findings, QStringLiteral("\r\n")));
        return;
    }
    succeed(wait, texts.resultMessage);
}
