// The check of a local file's search index, run by the file check on its own connection.
#include "store/TextIndex.h"
#include "store/TextIndexTables.h"

#include <sqlite3.h>

namespace store {

namespace {
// One value of a statement on the check's connection; -1 when it fails.
qint64 countOf(sqlite3* h, const QString& sql, QString* why)
{
    sqlite3_stmt* st = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    else
        *why = QString::fromUtf8(sqlite3_errmsg(h));
    sqlite3_finalize(st);
    return n;
}
} // namespace

Error checkTextIndex(sqlite3* h, bool deep)
{
    QString why;
    if (countOf(h, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '%1'").arg(kQueue),
                &why) <= 0)
        return {}; // no index of this version: the start gives it one
    // Every part as this version makes it (a trigger dropped by another tool loses lines).
    for (const QString& sql : textIndexStatements()) {
        QString quoted = sql;
        quoted.replace(u'\'', QStringLiteral("''"));
        if (countOf(h, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE sql = '%1'").arg(quoted),
                    &why) != 1)
            return Error(QStringLiteral("検索用の索引の一部がありません: ") + sql.section(u' ', 0, 3));
    }
    // A rebuild under way is checked when it has finished.
    if (countOf(h, QStringLiteral("SELECT count(*) FROM %1").arg(kRebuild), &why) != 0)
        return {};
    // The rows the index was made from, each the row of a line there is (or queued).
    const qint64 stale = countOf(
        h,
        QStringLiteral(
            "SELECT count(*) FROM %1 s LEFT JOIN %2 n ON n.番号 = s.番号 >> 42 WHERE NOT EXISTS (SELECT 1 "
            "FROM 営業日報 l WHERE l.氏名 = n.氏名 AND l.作成日 = date(((s.番号 >> 20) & 4194303) + 0.5) "
            "AND l.行番号 = (s.番号 & 1048575)) AND NOT EXISTS (SELECT 1 FROM %3 q WHERE q.氏名 = n.氏名 "
            "AND q.作成日 = date(((s.番号 >> 20) & 4194303) + 0.5) AND q.行番号 = (s.番号 & 1048575))")
            .arg(kSource, kNames, kQueue),
        &why);
    if (stale != 0)
        return Error(stale < 0 ? why : QStringLiteral("検索用の索引に、ない行があります。"));
    if (!deep)
        return {};
    // FTS5's own check reads the whole index; it is written as a write, rolled back whole (a
    // commit of this connection, which has none of the session's log marks, never happens).
    const QByteArray check = QStringLiteral("BEGIN; INSERT INTO %1 (%1, rank) VALUES ('integrity-check', 0);")
                                 .arg(kTextIndex)
                                 .toUtf8();
    char* err = nullptr;
    const int rc = sqlite3_exec(h, check.constData(), nullptr, nullptr, &err);
    const QString reason = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && rc != SQLITE_READONLY)
        return Error(QStringLiteral("検索用の索引に異常があります: ") + reason);
    return {};
}

} // namespace store
