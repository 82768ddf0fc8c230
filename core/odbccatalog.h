#pragma once

#include <QStringList>

// The data sources and drivers that unixODBC knows of, for the connect panel.
namespace OdbcCatalog {

struct DataSource
{
    QString name;
    QString description; // the driver's name
};

// The program's own driver, always offered: our data-access layer serves it over the MySQL protocol.
inline constexpr const char *DefaultDriver = "MySQL ODBC 3.51 Driver";

// Data sources in the catalogue's order (user and system odbc.ini).
QList<DataSource> dataSources();
// Driver descriptions in the catalogue's order, with DefaultDriver first when the catalogue lacks it.
QStringList drivers();

}
