#include "store/Connection.h"

#include "store/LocalFile.h"
#include "store/PageChecks.h"
#include "store/StatementCache.h"

#include <QSqlDatabase>

namespace store {

Error openDatabase(const QString& connection, const QString& path, DbKind kind)
{
    return openLocalFile(connection, path, kind).error;
}

void closeDatabase(const QString& connection)
{
    const bool damaged = forgetPageCheck(connection).failed();
    StatementCache::forget(connection);
    sealLocalFile(connection, damaged);
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    recordLocalClose(connection);
}

} // namespace store
