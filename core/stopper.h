#pragma once

#include "connection.h"

#include <QByteArray>
#include <QString>

struct st_mysql;
class StatementLog;

// How a statement of a connection is stopped from a second connection (its sibling): where the sibling
// goes, and the KILL QUERY it sends only once it has found that statement on the server it reached. The
// members of Connection that run a stop live in stopper.cpp beside these helpers.
namespace Stopper {

// The address the link is connected to: the peer's numeric address and port of a TCP link (a name that
// resolves to several servers is not resolved again), the socket path of a Unix-socket link. `used` where
// the socket cannot tell.
ConnectionEndpoint peerOf(st_mysql *link, const ConnectionEndpoint &used);
bool sameAddress(const ConnectionEndpoint &a, const ConnectionEndpoint &b);

enum class Found {
    Killed,     // the statement ran there, as the same user; KILL QUERY was delivered
    NotRunning, // the connection is there, as the same user, but runs nothing or another statement now
    Elsewhere,  // no connection of that id and user on the server reached: another server, or no answer
};
// On the server that sibling reached: KILL QUERY id, sent only when connection id belongs to the sibling's
// own user and runs the statement given (compared by its first hundred characters). The KILL is logged.
Found killStatement(st_mysql *sibling, unsigned long id, const QByteArray &statement, StatementLog *log);

}
