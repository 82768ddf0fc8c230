#include "sqllogmodel.h"

#include "passwordmask.h"

#include <QThread>

namespace {

// A statement is kept up to this many characters (a restore sends statements of megabytes), so that the
// log's memory stays bounded by its number of entries.
constexpr qsizetype MaxStatementLength = 4000;

QString keptText(const QString &statement)
{
    if (statement.size() <= MaxStatementLength)
        return maskPasswords(statement);
    return maskPasswords(statement.left(MaxStatementLength))
           + QStringLiteral(" …(%1文字)").arg(statement.size());
}

} // namespace

SqlLogModel::SqlLogModel(int capacity, QObject *parent)
    : QAbstractTableModel(parent)
    , m_capacity(capacity)
{
}

SqlLogModel::~SqlLogModel()
{
    if (m_log) {
        m_log->removeObserver(m_entryObserver);
        m_log->removeObserver(m_outcomeObserver);
    }
}

void SqlLogModel::attach(StatementLog &log)
{
    m_log = &log;
    // Reports from another thread are queued to this one, in the order they were made.
    m_entryObserver = log.addEntryObserver([this](quint64 id, const QString &statement) {
        const QDateTime now = QDateTime::currentDateTime();
        QString text = keptText(statement);
        if (QThread::currentThread() == thread())
            add(id, now, text);
        else
            QMetaObject::invokeMethod(this, [this, id, now, text] { add(id, now, text); }, Qt::QueuedConnection);
    });
    m_outcomeObserver = log.addOutcomeObserver([this](quint64 id, const StatementOutcome &outcome) {
        if (QThread::currentThread() == thread())
            end(id, outcome);
        else
            QMetaObject::invokeMethod(this, [this, id, outcome] { end(id, outcome); }, Qt::QueuedConnection);
    });
}

void SqlLogModel::add(quint64 id, const QDateTime &time, const QString &statement)
{
    if (m_capacity <= 0)
        return;
    if (int(m_entries.size()) >= m_capacity) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_entries.pop_front();
        endRemoveRows();
    }
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back({id, time, statement, false, {}});
    endInsertRows();
}

void SqlLogModel::end(quint64 id, const StatementOutcome &outcome)
{
    // The statement that ended is nearly always one of the last few.
    for (int row = int(m_entries.size()) - 1; row >= 0; --row) {
        Entry &entry = m_entries[size_t(row)];
        if (entry.id != id)
            continue;
        entry.ended = true;
        entry.outcome = outcome;
        emit dataChanged(index(row, Duration), index(row, Outcome));
        return;
    }
}

int SqlLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int SqlLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString SqlLogModel::durationText(qint64 microseconds)
{
    if (microseconds < 1000000)
        return QString::number(double(microseconds) / 1000.0, 'f', 1) + QStringLiteral(" ms");
    return QString::number(double(microseconds) / 1000000.0, 'f', 2) + QStringLiteral(" 秒");
}

QString SqlLogModel::outcomeText(const StatementOutcome &outcome)
{
    if (outcome.error != 0)
        return QStringLiteral("ｴﾗｰ ") + QString::number(outcome.error);
    if (outcome.rows < 0)
        return QStringLiteral("OK");
    return QString::number(outcome.rows) + QStringLiteral(" 行");
}

QVariant SqlLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_entries.size()))
        return {};
    const Entry &entry = m_entries[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Time:
            return entry.time.toString(QStringLiteral("HH:mm:ss.zzz"));
        case Duration:
            return entry.ended ? durationText(entry.outcome.microseconds) : QString();
        case Outcome:
            return entry.ended ? outcomeText(entry.outcome) : QStringLiteral("実行中");
        case Statement:
            return entry.statement.simplified();
        }
    } else if (role == Qt::ToolTipRole && index.column() == Statement) {
        return entry.statement;
    } else if (role == Qt::TextAlignmentRole && (index.column() == Duration || index.column() == Outcome)) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant SqlLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return QStringLiteral("時刻");
    case Duration:
        return QStringLiteral("所要時間");
    case Outcome:
        return QStringLiteral("結果");
    case Statement:
        return QStringLiteral("SQL");
    }
    return {};
}

void SqlLogModel::clear()
{
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

QString SqlLogModel::rowText(int row) const
{
    QStringList cells;
    for (int column = 0; column < Statement; ++column)
        cells << data(index(row, column)).toString();
    cells << m_entries[size_t(row)].statement;
    return cells.join(QLatin1Char('\t'));
}
