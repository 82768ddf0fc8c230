#include "maintenance/scriptbackup.h"

#include "core/connection.h"
#include "core/recordset.h"
#include "core/sqltext.h"
#include "maintenance/logicalbackup.h"

#include <QDateTime>
#include <QFile>
#include <stdexcept>

namespace ScriptBackup {

QList<SchemaObject> listObjects(Connection &db, const QString &database)
{
    QList<SchemaObject> tables, views, routines;
    {
        auto rs = db.Execute(QStringLiteral("show full tables from ") + SqlText::quoteName(database));
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            const bool view = rs->Value(1).compare(QLatin1String("VIEW"), Qt::CaseInsensitive) == 0;
            (view ? views : tables).append({view ? QStringLiteral("view") : QStringLiteral("table"),
                                            rs->Value(0)});
        }
    }
    const QString where = QStringLiteral(" where Db = '") + db.escape(database) + QLatin1Char('\'');
    for (const auto &[sql, kind] :
         {std::pair{QStringLiteral("show procedure status"), QStringLiteral("proc")},
          std::pair{QStringLiteral("show function status"), QStringLiteral("func")}}) {
        auto rs = db.Execute(sql + where);
        const int name = rs ? rs->FieldIndex(QStringLiteral("Name")) : -1;
        for (; rs && !rs->Eof(); rs->MoveNext())
            routines.append({kind, rs->Value(name)});
    }
    return tables + views + routines;
}

void write(Connection &db, const QString &database, const SchemaObject &object, const QString &path)
{
    const bool routine = object.kind == QLatin1String("proc") || object.kind == QLatin1String("func");
    const QString qualified = SqlText::qualified(database, object.name);
    QString create;
    QString sqlMode;
    if (routine) {
        const bool function = object.kind == QLatin1String("func");
        auto rs = db.Execute((function ? QStringLiteral("show create function ")
                                       : QStringLiteral("show create procedure ")) + qualified);
        if (!rs || rs->Eof())
            throw std::runtime_error("the server gave no definition");
        const int column = rs->FieldIndex(function ? QStringLiteral("Create Function")
                                                   : QStringLiteral("Create Procedure"));
        if (column < 0 || rs->IsNull(column))
            throw std::runtime_error("the server gave no definition (no right to read it?)");
        create = rs->Value(column);
        sqlMode = rs->Value(QStringLiteral("sql_mode"));
    } else {
        auto rs = db.Execute(QStringLiteral("show create table ") + qualified);
        if (!rs || rs->Eof())
            throw std::runtime_error("the server gave no definition");
        create = rs->Value(1);
    }

    QByteArray out;
    out += "-- Tablora create script: " + object.kind.toUtf8() + " "
           + commentText(SqlText::quoteName(object.name)) + " of database "
           + commentText(SqlText::quoteName(database)) + "\n";
    out += "-- Written " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n\n";
    out += "SET NAMES utf8mb4;\n";
    if (routine) {
        out += "SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='" + db.escape(sqlMode).toUtf8() + "';\n";
        out += "DELIMITER ;;\n" + create.toUtf8() + " ;;\nDELIMITER ;\n";
        out += "SET SQL_MODE=@OLD_SQL_MODE;\n";
    } else if (object.kind == QLatin1String("table")) {
        // Tables refer to each other by foreign keys: each can be created before the ones it names.
        out += "SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0;\n";
        out += create.toUtf8() + ";\n";
        out += "SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS;\n";
    } else {
        out += create.toUtf8() + ";\n";
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
        || file.write(out) != out.size() || !file.flush()) {
        const std::string message = (path + QStringLiteral(": ") + file.errorString()).toStdString();
        if (file.isOpen()) {
            file.close();
            file.remove();
        }
        throw std::runtime_error(message);
    }
}

}
