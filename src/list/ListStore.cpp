#include "list/ListStore.h"

#include "store/Log.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/FastDelete.h"
#include "store/Review.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"
#include "store/Team.h"

#include <QList>
#include <QUrl>

#include <optional>

namespace list {
namespace {

constexpr int kFields = 4; // 作成日, 氏名, 所属, タイトル
// Rows per insert statement: a list of a team's years is a hundred thousand rows, and one
// statement per row spends most of the copy in the statement round trip.
constexpr int kBatch = 64;

QString insertSql(int rows, bool changes = false)
{
    const QString row = changes ? QStringLiteral("(?, ?, ?, ?, ?, ?)") : QStringLiteral("(?, ?, ?, ?)");
    QStringList values;
    for (int i = 0; i < rows; ++i)
        values << row;
    return QStringLiteral("INSERT INTO w一覧 (作成日, 氏名, 所属, タイトル%1) VALUES ")
               .arg(changes ? QStringLiteral(", 更新者, 更新日時") : QString()) +
           values.join(u',');
}

// A team server's headers with their version and last change (the member's name for the login).
const QString kStampedHeads =
    QStringLiteral("SELECT h.作成日, h.氏名, h.所属, h.タイトル, h.版, coalesce(u.氏名, h.更新者), "
                   "(extract(epoch FROM h.更新日時) * 1000)::bigint FROM 営業日報ヘッダ h "
                   "LEFT JOIN メンバー u ON u.ログイン = h.更新者%1 ORDER BY h.作成日, h.氏名");

// Others' reports the member signed in has not read (their own count as read by them).
const QString kUnread = QStringLiteral(
    "h.氏名 IS DISTINCT FROM (SELECT m.氏名 FROM メンバー m WHERE m.ログイン = current_user) AND NOT EXISTS "
    "(SELECT 1 FROM 日報既読 r WHERE r.作成日 = h.作成日 AND r.氏名 = h.氏名 AND r.読者 = current_user)");

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
    if (const store::Error e = store::run(work, QStringLiteral("DETACH DATABASE listsrc")); e.failed())
        qCInfo(store::lcList).noquote() << "the main file stays attached to the work file:" << e.reason();
    return r;
}

} // namespace

const char* const kChangedBy = "更新者";
const char* const kChangedAt = "更新日時";

bool hasChangeColumns(const QSqlDatabase& work)
{
    QList<store::Row> rows;
    return store::readRows(
               work, QStringLiteral("SELECT count(*) FROM pragma_table_info('w一覧') WHERE name IN (?, ?)"),
               {QString::fromUtf8(kChangedBy), QString::fromUtf8(kChangedAt)}, rows)
               .ok() &&
           !rows.isEmpty() && rows[0][0].toInt() == 2;
}

store::Error addChangeColumns(const QSqlDatabase& work)
{
    if (hasChangeColumns(work))
        return {};
    return store::inTransaction(work, [&]() -> store::Error {
        for (const char* column : {kChangedBy, kChangedAt}) {
            QList<store::Row> have;
            if (store::Error e = store::readRows(
                    work, QStringLiteral("SELECT count(*) FROM pragma_table_info('w一覧') WHERE name = ?"),
                    {QString::fromUtf8(column)}, have);
                e.failed())
                return e;
            if (!have.isEmpty() && have[0][0].toInt() > 0)
                continue;
            if (store::Error e = store::run(
                    work,
                    QStringLiteral("ALTER TABLE w一覧 ADD COLUMN %1 TEXT").arg(QString::fromUtf8(column)));
                e.failed())
                return e;
        }
        return {};
    });
}

QString changeTimeText(const QDateTime& at)
{
    return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
}

QString listKey(const QVariant& date, const QString& name)
{
    return store::toDate(date).toString(Qt::ISODate) + u'\x1f' + name;
}

ReadResult readList(const QSqlDatabase& main, const QSqlDatabase& work, const QString& filter, Copy how,
                    QHash<QString, int>* versions, bool unreadOnly)
{
    if (versions)
        versions->clear();
    const bool withVersions = versions && store::keepsStamps(main);
    const bool withChanges = withVersions && hasChangeColumns(work);
    const int fields = withChanges ? kFields + 2 : kFields;
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
        QString headSql = kHeads.arg(QString(), filtered ? kByName : QString());
        if (withChanges) {
            QStringList where;
            if (filtered)
                where << QStringLiteral("h.氏名 = ?");
            if (unreadOnly && store::hasReview(main))
                where << kUnread;
            headSql = kStampedHeads.arg(where.isEmpty() ? QString()
                                                        : QStringLiteral(" WHERE ") +
                                                              where.join(QStringLiteral(" AND ")));
        } else if (withVersions)
            headSql.replace(QStringLiteral("タイトル FROM"), QStringLiteral("タイトル, 版 FROM"));
        store::Statement heads(main, headSql);
        if (filtered)
            heads.bind(filter);
        store::Statement batch(work, insertSql(kBatch, withChanges));
        QVariantList pending;
        pending.reserve(kBatch * fields);
        store::Error written;
        const store::Error read = store::forEachRow(heads, [&](store::Statement& s) {
            for (int i = 0; i < kFields; ++i)
                pending << s.value(i);
            if (withVersions)
                versions->insert(listKey(s.value(0), s.text(1)), int(s.integer(kFields)));
            if (withChanges) {
                pending << s.text(kFields + 1);
                pending << (s.value(kFields + 2).isNull()
                                ? QVariant(QStringLiteral(""))
                                : QVariant(changeTimeText(
                                      QDateTime::fromMSecsSinceEpoch(s.integer(kFields + 2)))));
            }
            if (pending.size() < kBatch * fields)
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
            const int rest = int(pending.size() / fields);
            store::Statement last(work, insertSql(rest, withChanges));
            for (const QVariant& v : pending)
                last.bind(v);
            if (!last.exec())
                return last.error();
            r.rows += rest;
        }
        return {};
    });
    if (r.error.failed()) {
        r.rows = 0;
        if (versions)
            versions->clear();
    }
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

store::Error tickedOfOthers(const QSqlDatabase& work, const QString& name, QStringList* shown)
{
    shown->clear();
    QList<store::Row> rows;
    const store::Error e = store::readRows(
        work,
        QStringLiteral("SELECT 氏名, 作成日 FROM %1 WHERE チェック <> 0 AND 氏名 IS NOT ? ORDER BY rowid")
            .arg(store::tbl::w一覧),
        {name}, rows);
    for (const store::Row& r : rows)
        *shown << QStringLiteral("%1 さんの %2")
                      .arg(r[0].toString(), store::toDate(r[1]).toString(QStringLiteral("yyyy/MM/dd")));
    return e;
}

DeleteResult deleteTickedReports(const QSqlDatabase& main, const QSqlDatabase& work,
                                 const QHash<QString, int>* versions)
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
        // Held now: a listed report changed since the list was read is not deleted unseen.
        if (versions && store::keepsStamps(main))
            for (const store::Row& t : ticked) {
                const auto listed = versions->constFind(listKey(t[1], t[0].toString()));
                if (listed == versions->constEnd())
                    continue;
                store::Stamp now;
                if (store::Error e = store::readStamp(main, t[1], t[0].toString(), &now); e.failed())
                    return e;
                if (now.stored() && now.version != *listed) {
                    r.stale = true;
                    r.newer = now;
                    return store::staleError(now);
                }
            }
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

store::Error showRegistered(const QSqlDatabase& work, const Listed& report, bool add,
                            const store::Stamp& stamp)
{
    const QVariant date = store::dateValue(report.作成日);
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    const bool changes = hasChangeColumns(work);
    const QString changedBy = text(stamp.changedBy);
    const QString changedAt = text(changeTimeText(stamp.changedAt));
    return store::inTransaction(work, [&]() -> store::Error {
        store::Statement update(work,
                                QStringLiteral("UPDATE w一覧 SET 所属 = ?, タイトル = ?%1 "
                                               "WHERE 作成日 = ? AND 氏名 = ?")
                                    .arg(changes ? QStringLiteral(", 更新者 = ?, 更新日時 = ?") : QString()));
        update.bind(text(report.所属)).bind(text(report.タイトル));
        if (changes)
            update.bind(changedBy).bind(changedAt);
        if (!update.bind(date).bind(report.氏名).exec())
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
        if (changes)
            return store::run(
                work,
                QStringLiteral("INSERT INTO w一覧 (rowid, チェック, 作成日, 氏名, 所属, タイトル, "
                               "更新者, 更新日時) VALUES (?, 0, ?, ?, ?, ?, ?, ?)"),
                {rowid, date, report.氏名, text(report.所属), text(report.タイトル), changedBy, changedAt});
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
