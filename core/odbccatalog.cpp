#include "odbccatalog.h"

#include <sql.h>
#include <sqlext.h>

namespace OdbcCatalog {

QList<DataSource> dataSources()
{
    QList<DataSource> sources;
    SQLHENV env = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return sources;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[1024];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                        sizeof description, &descriptionLength))) {
        direction = SQL_FETCH_NEXT;
        sources.append({QString::fromUtf8(reinterpret_cast<char *>(name), nameLength),
                        QString::fromUtf8(reinterpret_cast<char *>(description), descriptionLength)});
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return sources;
}

QStringList drivers()
{
    QStringList list;
    SQLHENV env = nullptr;
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLCHAR description[512];
        SQLCHAR attributes[512];
        SQLSMALLINT descriptionLength = 0, attributesLength = 0;
        SQLUSMALLINT direction = SQL_FETCH_FIRST;
        while (SQL_SUCCEEDED(SQLDrivers(env, direction, description, sizeof description,
                                        &descriptionLength, attributes, sizeof attributes,
                                        &attributesLength))) {
            direction = SQL_FETCH_NEXT;
            list << QString::fromUtf8(reinterpret_cast<char *>(description), descriptionLength);
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    if (!list.contains(QLatin1String(DefaultDriver)))
        list.prepend(QLatin1String(DefaultDriver));
    return list;
}

}
