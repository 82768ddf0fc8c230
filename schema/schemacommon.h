#pragma once

#include "core/connection.h"
#include "core/dberror.h"
#include "core/recordset.h"
#include "core/session.h"
#include "schema/schemalogic.h"

#include <QString>
#include <exception>
#include <memory>

// Small helpers shared by the schema handlers.
namespace SchemaCommon {

inline QString describe(const std::exception &error)
{
    return describeError(error);
}
using ::closeQuietly;

// The database the connection stands in; empty when it stands in none.
inline QString CurrentDatabase(Connection &db)
{
    std::unique_ptr<Recordset> rs = db.Execute(QStringLiteral("select database()"));
    const QString name = rs && !rs->Eof() && !rs->IsNull(0) ? rs->Value(0) : QString();
    closeQuietly(rs);
    return name;
}

// After statements were run in the database `used`, puts the connection back into `previous`, so that
// statements typed later without a database (the query window) go where they went before. Without a
// previous database the connection stays; a failure (a lost connection) is left to the next statement.
inline void ReturnTo(const QString &previous, const QString &used)
{
    if (previous.isEmpty() || previous == used)
        return;
    try {
        Session::instance().db().Execute(SchemaLogic::UseStatement(previous));
    } catch (const std::exception &) {
    }
}

}
