#pragma once

#include <QString>

// The statement as the SQL log shows it, each password literal replaced by '****' in the same quotes:
// IDENTIFIED BY/AS/USING/REPLACE '…' (with or without a plugin), PASSWORD('…') and OLD_PASSWORD('…'),
// PASSWORD '…' and any …PASSWORD = '…' (MASTER_PASSWORD, CREATE SERVER's OPTIONS), SET PASSWORD … = '…',
// and the password of a federated CONNECTION='mysql://user:…@host'. The text is read as the server reads
// it, so comments between the words, a missing blank, escaped quotes or an executable comment hide
// nothing; an unterminated literal is masked to the end.
QString maskPasswords(const QString &statement);
