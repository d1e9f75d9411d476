#pragma once
// The main database on a PostgreSQL server for a team: the setting that names the server, opening
// it, and every point where the server's dialect differs from the local file's. The work database
// is always a local file; only the main connection can be a server.
#include "store/Db.h" // isServer, which tells a connection to the server from a local file
#include "store/Error.h"
#include "store/ServerSetting.h"
#include "store/Serialise.h" // the keys writers wait on, declared apart so the team and review need not include this

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace store {

// Opens the server named by conninfo as connection and checks that it holds our main tables.
// Creates nothing; on failure the connection is removed again.
Error openServer(const QString& connection, const QString& conninfo);

// The CREATE statements of the main tables on the server.
QStringList serverSchemaStatements();

// Creates the main tables, the free code-master rows and the team's rights (Team.h) on the server,
// in one transaction. A database that holds all the tables keeps its data and gets what it lacks;
// one that holds only some is refused.
Error createServerSchema(const QString& conninfo);

} // namespace store
