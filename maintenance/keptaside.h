#pragma once

#include "core/tabletriggers.h"

#include <QDateTime>
#include <QString>

class Connection;

// The table or view that a restore file is about to replace, kept until the file has gone through: a
// table is copied to a dated table (<name>_yyyyMMddHHmmkorv, as an altered table's backup is) with its
// create statement and triggers read; a view's create statement is read. Nothing exists: nothing kept.
class KeptAside
{
public:
    // Reads what exists and keeps it aside. Throws DbError; then nothing has been changed.
    KeptAside(Connection &db, const QString &database, const QString &name, const QDateTime &when);

    // The file went through: the dated copy goes.
    void release();
    // The file went through without bringing any trigger for the table (a dump made without triggers):
    // the triggers the table had are created on it again. The names created; for each trigger that could
    // not be created on the new definition, its name goes into failedNames and its text (message,
    // statement) into failures.
    // Throws DbError when the table's triggers cannot be read.
    QStringList bringBackTriggers(QStringList &failedNames, QStringList &failures);
    // The file failed: what it half-made goes, and the object kept comes back with its rows and
    // triggers. Throws when that fails; the rows then stay in asideTable().
    void putBack();
    // The dated copy, qualified (empty when none was made).
    QString asideTable() const { return m_aside; }
    // A view has no copy: its create statement is what there is to put back.
    bool isView() const { return m_view; }
    QString createStatement() const { return m_create; }

private:
    Connection &m_db;
    QString m_database;
    QString m_name;
    QString m_create; // the server's create statement of what was there
    bool m_view = false;
    QString m_aside;
    QList<TableTriggers::Trigger> m_triggers;
};
