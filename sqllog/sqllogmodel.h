#pragma once

#include "core/statementlog.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <deque>

// The entries of the SQL log: every statement of the session with its time, duration and outcome, newest
// last, passwords masked. Keeps the last `capacity` statements; a statement that returns a million rows is
// one entry. Reports from other threads (the query window reads on a thread of its own) are carried over
// to the model's thread.
class SqlLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Duration, Outcome, Statement, ColumnCount };
    static constexpr int DefaultCapacity = 10000;

    explicit SqlLogModel(int capacity = DefaultCapacity, QObject *parent = nullptr);
    ~SqlLogModel() override;

    // Listens to the log until destroyed.
    void attach(StatementLog &log);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void clear();
    // One line per entry: time, duration, outcome and statement, separated by tabs.
    QString rowText(int row) const;

    // The texts of the duration and outcome columns.
    static QString durationText(qint64 microseconds);
    static QString outcomeText(const StatementOutcome &outcome);

private:
    struct Entry
    {
        quint64 id;
        QDateTime time;
        QString statement;
        bool ended = false;
        StatementOutcome outcome;
    };
    void add(quint64 id, const QDateTime &time, const QString &statement);
    void end(quint64 id, const StatementOutcome &outcome);

    int m_capacity;
    std::deque<Entry> m_entries;
    StatementLog *m_log = nullptr;
    int m_entryObserver = 0;
    int m_outcomeObserver = 0;
};
