#include "list/ListStore.h"

#include "store/Dates.h"
#include "store/Db.h"
#include "store/FastDelete.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QList>
#include <QUrl>

#include <optional>

namespace list {
namespace {

constexpr int kFields = 4; // 作成日, 氏名, 所属, タイトル
// Rows per insert statement: a list of a team's years is a hundred thousand rows, and one
// statement per row spends most of the copy in the statement round trip.
constexpr int kBatch = 64;

QString insertSql(int rows)
{
    QStringList values;
    for (int i = 0; i < rows; ++i)
        values << QStringLiteral("(?, ?, ?, ?)");
    return QStringLiteral("INSERT INTO w一覧 (作成日, 氏名, 所属, タイトル) VALUES ") + values.join(u',');
}

const QString kHeads =
    QStringLiteral("SELECT 作成日, 氏名, 所属, タイトル FROM %1営業日報ヘッダ%2 ORDER BY 作成日, 氏名");
const QString kByName = QStringLiteral(" WHERE 氏名 = ?");

// The main file as a read-only URI for ATTACH, or "" when main is not an SQLite file.
QString mainFileUri(const QSqlDatabase& main)
{
    if (main.driverName() != u"QSQLITE")
        return {};
    const QUrl url(main.databaseName());
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (path.isEmpty())
        return {};
    QUrl ro = QUrl::fromLocalFile(path);
    ro.setQuery(QStringLiteral("mode=ro"));
    return ro.toString(QUrl::FullyEncoded);
}

// One INSERT … SELECT inside the engine: a hundred thousand headers take a fraction of the
// time that reading them into the program and writing them back costs.
std::optional<ReadResult> copyInEngine(const QSqlDatabase& main, const QSqlDatabase& work,
                                       const QString& filter)
{
    const QString uri = mainFileUri(main);
    if (uri.isEmpty())
        return std::nullopt;
    if (store::run(work, QStringLiteral("ATTACH DATABASE ? AS listsrc"), {uri}).failed())
        return std::nullopt;
    ReadResult r;
    r.error = store::inTransaction(work, [&]() -> store::Error {
        if (store::Error e = store::run(work, QStringLiteral("DELETE FROM w一覧")); e.failed())
            return e;
        store::Statement copy(
            work, QStringLiteral("INSERT INTO w一覧 (作成日, 氏名, 所属, タイトル) ") +
                      kHeads.arg(QStringLiteral("listsrc."), filter.isEmpty() ? QString() : kByName));
        if (!filter.isEmpty())
            copy.bind(filter);
        if (!copy.exec())
            return copy.error();
        r.rows = copy.rowsAffected();
        return {};
    });
    // The attachment never outlives the statement: the main file is left to its own connection.
    store::run(work, QStringLiteral("DETACH DATABASE listsrc"));
    return r;
}

} // namespace

ReadResult readList(const QSqlDatabase& main, const QSqlDatabase& work, const QString& filter, Copy how)
{
    // The list of a team's years is a hundred thousand rows to drop.
    const store::FastDelete fastDelete(work);
    if (how == Copy::Auto)
        if (std::optional<ReadResult> fast = copyInEngine(main, work, filter)) {
            if (fast->error.failed())
                fast->rows = 0;
            return *fast;
        }
    ReadResult r;
    const bool filtered = !filter.isEmpty();
    r.error = store::inTransaction(work, [&]() -> store::Error {
        if (store::Error e = store::run(work, QStringLiteral("DELETE FROM w一覧")); e.failed())
            return e;
        store::Statement heads(main, kHeads.arg(QString(), filtered ? kByName : QString()));
        if (filtered)
            heads.bind(filter);
        store::Statement batch(work, insertSql(kBatch));
        QVariantList pending;
        pending.reserve(kBatch * kFields);
        store::Error written;
        const store::Error read = store::forEachRow(heads, [&](store::Statement& s) {
            for (int i = 0; i < kFields; ++i)
                pending << s.value(i);
            if (pending.size() < kBatch * kFields)
                return true;
            for (const QVariant& v : pending)
                batch.bind(v);
            pending.clear();
            if (!batch.exec()) {
                written = batch.error();
                return false;
            }
            r.rows += kBatch;
            return true;
        });
        if (written.failed())
            return written;
        if (read.failed())
            return read;
        if (!pending.isEmpty()) {
            const int rest = int(pending.size() / kFields);
            store::Statement last(work, insertSql(rest));
            for (const QVariant& v : pending)
                last.bind(v);
            if (!last.exec())
                return last.error();
            r.rows += rest;
        }
        return {};
    });
    if (r.error.failed())
        r.rows = 0;
    return r;
}

store::Error clearList(const QSqlDatabase& work)
{
    return store::inTransaction(work, [&] { return store::run(work, QStringLiteral("DELETE FROM w一覧")); });
}

store::Error tickedCount(const QSqlDatabase& work, int& count)
{
    QList<store::Row> rows;
    const store::Error e = store::readRows(
        work, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE チェック <> 0").arg(store::tbl::w一覧), {}, rows);
    if (e.ok())
        count = rows.isEmpty() ? 0 : rows[0][0].toInt();
    return e;
}

DeleteResult deleteTickedReports(const QSqlDatabase& main, const QSqlDatabase& work)
{
    DeleteResult r;
    QList<store::Row> ticked;
    r.error = store::tickedRows(work, store::tbl::w一覧, {QStringLiteral("氏名"), QStringLiteral("作成日")},
                                QStringLiteral("rowid"), ticked);
    if (r.error.failed() || ticked.isEmpty())
        return r;
    r.error = store::inTransaction(main, [&]() -> store::Error {
        QStringList keys;
        for (const store::Row& t : ticked)
            keys << store::reportKey(t[1], t[0].toString());
        if (store::Error e = store::serialise(main, keys); e.failed())
            return e;
        // The header first, then the lines of the same report.
        store::Statement head(main,
                              QStringLiteral("DELETE FROM 営業日報ヘッダ WHERE 氏名 = ? AND 作成日 = ?"));
        store::Statement lines(main, QStringLiteral("DELETE FROM 営業日報 WHERE 氏名 = ? AND 作成日 = ?"));
        for (const store::Row& t : ticked) {
            if (!head.bind(t[0]).bind(t[1]).exec())
                return head.error();
            if (!lines.bind(t[0]).bind(t[1]).exec())
                return lines.error();
        }
        return {};
    });
    if (r.error.failed())
        return r;
    r.stored = true;
    r.deleted = int(ticked.size());
    r.error = store::deleteTicked(work, store::tbl::w一覧);
    return r;
}

store::Error showRegistered(const QSqlDatabase& work, const Listed& report, bool add)
{
    const QVariant date = store::dateValue(report.作成日);
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    return store::inTransaction(work, [&]() -> store::Error {
        store::Statement update(work, QStringLiteral("UPDATE w一覧 SET 所属 = ?, タイトル = ? "
                                                     "WHERE 作成日 = ? AND 氏名 = ?"));
        if (!update.bind(text(report.所属)).bind(text(report.タイトル)).bind(date).bind(report.氏名).exec())
            return update.error();
        if (update.rowsAffected() > 0 || !add)
            return {};
        // The list is shown in the order its rows were written (rowid): the new row goes before
        // the first row that sorts after it, and the rows on the shorter side of that place move
        // by one to make room (tens of thousands of rows take a noticeable moment to move).
        QList<store::Row> after;
        if (store::Error e =
                store::readRows(work,
                                QStringLiteral("SELECT min(rowid) FROM w一覧 WHERE 作成日 > ? OR "
                                               "(作成日 = ? AND 氏名 > ?)"),
                                {date, date, report.氏名}, after);
            e.failed())
            return e;
        QVariant rowid; // Null: after the last row
        if (!after.isEmpty() && !after[0][0].isNull()) {
            const qint64 place = after[0][0].toLongLong();
            QList<store::Row> sides;
            if (store::Error e =
                    store::readRows(work,
                                    QStringLiteral("SELECT (SELECT count(*) FROM w一覧 WHERE rowid < ?), "
                                                   "(SELECT count(*) FROM w一覧 WHERE rowid >= ?)"),
                                    {place, place}, sides);
                e.failed())
                return e;
            const bool moveAbove = sides[0][0].toLongLong() <= sides[0][1].toLongLong();
            // Through rowids far from any in use, so that no two rows ever share one on the way.
            constexpr qint64 kAside = qint64(1) << 40;
            const QString moveAside =
                moveAbove ? QStringLiteral("UPDATE w一覧 SET rowid = rowid - ? WHERE rowid < ?")
                          : QStringLiteral("UPDATE w一覧 SET rowid = rowid + ? WHERE rowid >= ?");
            const QString moveBack =
                moveAbove ? QStringLiteral("UPDATE w一覧 SET rowid = rowid + ? WHERE rowid < ?")
                          : QStringLiteral("UPDATE w一覧 SET rowid = rowid - ? WHERE rowid > ?");
            if (store::Error e = store::run(work, moveAside, {kAside + 1, place}); e.failed())
                return e;
            if (store::Error e = store::run(work, moveBack, {kAside, moveAbove ? -kAside / 2 : kAside / 2});
                e.failed())
                return e;
            rowid = moveAbove ? place - 1 : place;
        }
        return store::run(work,
                          QStringLiteral("INSERT INTO w一覧 (rowid, チェック, 作成日, 氏名, 所属, タイトル) "
                                         "VALUES (?, 0, ?, ?, ?, ?)"),
                          {rowid, date, report.氏名, text(report.所属), text(report.タイトル)});
    });
}

store::Error dropListed(const QSqlDatabase& work, const QDate& date, const QString& name)
{
    return store::inTransaction(work, [&] {
        return store::run(work, QStringLiteral("DELETE FROM w一覧 WHERE 作成日 = ? AND 氏名 = ?"),
                          {store::dateValue(date), name});
    });
}

StoredResult isStored(const QSqlDatabase& main, const QDate& date, const QString& name)
{
    StoredResult r;
    const QVariant key = store::dateValue(date);
    QList<store::Row> found;
    r.error =
        store::readRows(main,
                        QStringLiteral("SELECT 1 FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ? UNION ALL "
                                       "SELECT 1 FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ? LIMIT 1"),
                        {key, name, key, name}, found);
    r.stored = r.error.ok() && !found.isEmpty();
    return r;
}

} // namespace list
