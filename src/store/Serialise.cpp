#include "store/Serialise.h"

#include "store/Db.h"

#include <algorithm>

namespace store {

QString reportKey(const QVariant& date, const QString& name)
{
    return QStringLiteral("営業日報\x1f") + date.toString() + u'\x1f' + name;
}

QString categoryKey(const QString& category)
{
    return QStringLiteral("コードマスタ\x1f") + category;
}

Error serialise(const QSqlDatabase& db, QStringList keys)
{
    if (!isServer(db))
        return {};
    keys.sort();
    keys.removeDuplicates();
    // Up to 32 keys to a statement (few texts, all small): the server takes a select list's
    // locks left to right, so still in the sorted order.
    for (qsizetype done = 0; done < keys.size();) {
        const qsizetype n = std::min<qsizetype>(keys.size() - done, 32);
        QStringList calls(n, QStringLiteral("pg_advisory_xact_lock(hashtextextended(?, 0))"));
        Statement lock(db, QStringLiteral("SELECT ") + calls.join(QStringLiteral(", ")));
        for (qsizetype i = 0; i < n; ++i)
            lock.bind(keys[done + i]);
        if (!lock.exec())
            return lock.error();
        done += n;
    }
    return {};
}

} // namespace store
