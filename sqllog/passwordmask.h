#pragma once

#include <QString>

// The statement as the SQL log shows it: the password literals of IDENTIFIED BY '…', IDENTIFIED WITH
// plugin BY/AS '…', PASSWORD('…') and SET PASSWORD … = '…' replaced by '****' in the same quotes.
QString maskPasswords(const QString &statement);
