#include "list/ListStore.h"

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

} // namespace list
