#pragma once
// The setting that names a team's server: the file beside the database files and the libpq
// connection string in it, checked and shown without secrets. Nothing here opens a connection.
#include "store/Error.h"

#include <QString>

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

} // namespace store
