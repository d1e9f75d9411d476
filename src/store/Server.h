#pragma once
// The main database on a PostgreSQL server for a team: the setting that names the server, opening
// it, and every point where the server's dialect differs from the local file's. The work database
// is always a local file; only the main connection can be a server.
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace store {

// The settings file beside the two database files. Its first line that is neither empty nor a
// comment (#) is a libpq connection string in keyword=value form, without a password.
inline const QString kServerFileName = QStringLiteral("TesvanServer.conf");

struct ServerSetting {
    bool present = false; // the file exists
    QString conninfo;     // the connection string, when present and sound
    Error error;          // a file that exists but cannot be used
};

// Reads the setting in folder (ending in a separator or not). No file: not present.
ServerSetting readServerSetting(const QString& folder);

// Checks a connection string with libpq's own parser: keyword=value form, no password-bearing
// keyword (password, sslpassword), no URI and no connection string inside dbname (passwords
// come from ~/.pgpass, PGPASSFILE or a service file). Success or the reason, without secrets.
Error checkConninfo(const QString& conninfo);

// text with every secret a connection string or libpq's message about one may hold replaced by
// ***: password and sslpassword values, a URI's password. Anything shown or logged passes here.
QString withoutSecrets(const QString& text);

// "host=… port=… dbname=… user=…" of a connection string, for messages.
QString describeServer(const QString& conninfo);

// True when db is a connection to the server rather than a local file.
bool isServer(const QSqlDatabase& db);

// Opens the server named by conninfo as connection and checks that it holds our main tables.
// Creates nothing; on failure the connection is removed again.
Error openServer(const QString& connection, const QString& conninfo);

// Makes the transaction open on db wait for every other transaction that named any of keys,
// until it ends. Keys are taken in one fixed order, so two operations never wait on each other.
// The local file serialises all writers by itself: nothing to do there.
Error serialise(const QSqlDatabase& db, QStringList keys);

// The key that serialises writes of one report, and of one code-master category.
QString reportKey(const QVariant& date, const QString& name);
QString categoryKey(const QString& category);

// The CREATE statements of the main tables on the server.
QStringList serverSchemaStatements();

// Creates the main tables and the free code-master rows on the server, in one transaction.
// Refuses a database that already holds any of them.
Error createServerSchema(const QString& conninfo);

} // namespace store
