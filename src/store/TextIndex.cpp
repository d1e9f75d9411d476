#include "store/TextIndex.h"
#include "store/Log.h"
#include "store/TextIndexParts.h"
#include "store/TextIndexTables.h"

#include "store/SqliteEngine.h"
#include "store/TextFold.h"

#include <QDate>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <sqlite3.h>

#include <array>
#include <functional>
#include <optional>

namespace store {
namespace {

// A line's key in the index's row number: name number (21 bits), report date as a Julian day
// (22 bits), line number (20 bits). A line whose key does not fit (a date not written as a
// date, a line number out of range) is left out.
constexpr int kLineBits = 20, kDayBits = 22;
constexpr qint64 kLineMask = (qint64(1) << kLineBits) - 1, kDayMask = (qint64(1) << kDayBits) - 1;

std::optional<qint64> dayOf(const QVariant& date)
{
    if (date.metaType().id() != QMetaType::QString)
        return std::nullopt;
    // Only "yyyy-MM-dd" exactly, read digit by digit (Qt's parser and a check by writing the
    // date again were a tenth of making the index).
    const QString t = date.toString();
    if (t.size() != 10 || t[4] != u'-' || t[7] != u'-')
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    for (const auto [part, from, to] : {std::array{0, 0, 4}, std::array{1, 5, 7}, std::array{2, 8, 10}})
        for (int i = from; i < to; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            parts[part] = parts[part] * 10 + (c - u'0');
        }
    const QDate d(parts[0], parts[1], parts[2]);
    if (!d.isValid() || parts[0] < 1)
        return std::nullopt;
    // SQLite's julianday() of a date is its Julian day number less a half, cast down.
    const qint64 day = d.toJulianDay() - 1;
    if (day < 0 || day > kDayMask)
        return std::nullopt;
    return day;
}

std::optional<qint64> lineOf(const QVariant& line)
{
    if (line.metaType().id() != QMetaType::LongLong && line.metaType().id() != QMetaType::Int)
        return std::nullopt;
    const qint64 n = line.toLongLong();
    if (n < 0 || n > kLineMask)
        return std::nullopt;
    return n;
}

QMutex& knownLock()
{
    static QMutex m;
    return m;
}
QHash<QString, Known>& known()
{
    static QHash<QString, Known> h;
    return h;
}
QSet<QString>& damagedPaths()
{
    static QSet<QString> s;
    return s;
}

} // namespace

Known knownOf(const QSqlDatabase& db)
{
    QMutexLocker guard(&knownLock());
    return known().value(db.connectionName());
}

void setKnown(const QSqlDatabase& db, Known k)
{
    QMutexLocker guard(&knownLock());
    known().insert(db.connectionName(), k);
}

namespace {

QString pathOf(const QSqlDatabase& db)
{
    sqlite3* h = SqliteEngine::handleOf(db);
    const char* f = h ? sqlite3_db_filename(h, "main") : nullptr;
    return f ? QFileInfo(QString::fromUtf8(f)).canonicalFilePath() : QString();
}

QString triggerOf(const char* name, const char* event, const QString& rows)
{
    return QStringLiteral(
               "CREATE TRIGGER %1 AFTER %2 ON 営業日報 BEGIN INSERT INTO %3 (作成日, 氏名, 行番号) "
               "VALUES %4; END")
        .arg(QString::fromUtf8(name), QString::fromUtf8(event), kQueue, rows);
}

QStringList queueTriggers()
{
    return {
        triggerOf("営業日報検索_待ち追加", "INSERT", QStringLiteral("(new.作成日, new.氏名, new.行番号)")),
        triggerOf("営業日報検索_待ち削除", "DELETE", QStringLiteral("(old.作成日, old.氏名, old.行番号)")),
        triggerOf("営業日報検索_待ち変更", "UPDATE OF 作成日, 氏名, 行番号, 内容, 訪問先, 担当, 備考",
                  QStringLiteral("(old.作成日, old.氏名, old.行番号), (new.作成日, new.氏名, new.行番号)")),
    };
}

} // namespace

QString ftsStatement()
{
    return QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(語, content='', detail='none', columnsize=0, "
                          "tokenize='ascii')")
        .arg(kTextIndex);
}

QString sourceStatement()
{
    return QStringLiteral("CREATE TABLE %1 (番号 INTEGER PRIMARY KEY, 文 TEXT NOT NULL)").arg(kSource);
}

namespace {

// The index's own tables and triggers (the line orders aside).
QStringList indexStatements()
{
    return QStringList{
               QStringLiteral("CREATE TABLE %1 (番号 INTEGER PRIMARY KEY, 氏名 TEXT NOT NULL UNIQUE)")
                   .arg(kNames),
               ftsStatement(),
               sourceStatement(),
               QStringLiteral("CREATE TABLE %1 (作成日, 氏名, 行番号)").arg(kQueue),
               QStringLiteral("CREATE TABLE %1 (作成日, 氏名, 行番号)").arg(kRebuild),
           } +
           queueTriggers();
}

QStringList orderStatements()
{
    return {
        QStringLiteral("CREATE INDEX 営業日報_日時 ON 営業日報 "
                       "(coalesce(日付, ''), coalesce(時間, ''), 氏名, 作成日, 行番号)"),
        QStringLiteral("CREATE INDEX 営業日報_氏名日時 ON 営業日報 "
                       "(氏名, coalesce(日付, ''), coalesce(時間, ''), 作成日, 行番号)"),
    };
}

} // namespace

// The folded text a line is indexed by: its four texts, folded, blanks and control characters
// (a NUL among them) made blanks, one line apart. Bytes that are not UTF-8 read as U+FFFD.
QString indexedText(const Statement& s, int first)
{
    QString out;
    for (int i = first; i < first + 4; ++i) {
        const QVariant v = s.value(i);
        if (v.isNull())
            continue;
        const QString t =
            v.metaType().id() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
        if (!out.isEmpty())
            out += u'\n';
        out += foldText(t);
    }
    for (QChar& ch : out)
        if (ch.category() == QChar::Other_Control || (ch.isSpace() && ch != u'\n'))
            ch = u' ';
    return out;
}

Statement& bindAll(Statement& s, const QVariantList& values)
{
    for (const QVariant& v : values)
        s.bind(v);
    return s;
}

namespace {

Error exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    Statement s(db, sql);
    bindAll(s, values);
    s.exec();
    return s.error();
}

// The row number of the name, made when `make`; none when it has none.
std::optional<qint64> nameNumber(const QSqlDatabase& db, const QVariant& name, bool make, Error* e)
{
    if (name.metaType().id() != QMetaType::QString || name.toString().isEmpty())
        return std::nullopt;
    for (int round = 0; round < 2; ++round) {
        Statement s(db, QStringLiteral("SELECT 番号 FROM %1 WHERE 氏名 = ?").arg(kNames));
        std::optional<qint64> n;
        *e = forEachRow(s.bind(name), [&n](Statement& r) { n = r.integer(0); });
        if (e->failed() || n || !make || round > 0)
            return n;
        if ((*e = exec(db, QStringLiteral("INSERT INTO %1 (氏名) VALUES (?)").arg(kNames), {name})).failed())
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

// Takes the index row out (by the text it was made from), then puts the line in again as it now
// stands, when it exists. `read`: the line's indexed text read already (a walk over the lines),
// or none (then read by its key). `fresh`: the index holds nothing of the line yet (it is being
// filled from empty), so there is nothing to take out.
Error reindexKey(const QSqlDatabase& db, const QVariant& date, const QVariant& name, const QVariant& line,
                 const QString* read, bool fresh, NameNumbers* names)
{
    const std::optional<qint64> day = dayOf(date), no = lineOf(line);
    if (!day || !no)
        return {};
    Error e;
    std::optional<qint64> number;
    if (names && name.metaType().id() == QMetaType::QString)
        if (const auto it = names->constFind(name.toString()); it != names->constEnd())
            number = *it;
    if (!number)
        number = nameNumber(db, name, false, &e);
    if (e.failed())
        return e;
    if (number && !fresh) {
        const qint64 key = (*number << (kDayBits + kLineBits)) | (*day << kLineBits) | *no;
        Statement old(db, QStringLiteral("SELECT 文 FROM %1 WHERE 番号 = ?").arg(kSource));
        std::optional<QString> was;
        if ((e = forEachRow(old.bind(key), [&was](Statement& r) { was = r.text(0); })).failed())
            return e;
        if (was) {
            if ((e = exec(
                     db,
                     QStringLiteral("INSERT INTO %1 (%1, rowid, 語) VALUES ('delete', ?, ?)").arg(kTextIndex),
                     {key, textIndexWords(*was)}))
                    .failed())
                return e;
            if ((e = exec(db, QStringLiteral("DELETE FROM %1 WHERE 番号 = ?").arg(kSource), {key})).failed())
                return e;
        }
    }
    QString text;
    bool exists = false;
    if (read) {
        exists = true;
        text = *read;
    } else {
        Statement now(db, QStringLiteral("SELECT 内容, 訪問先, 担当, 備考 FROM 営業日報 WHERE 作成日 = ? AND "
                                         "氏名 = ? AND 行番号 = ?"));
        if ((e = forEachRow(bindAll(now, {date, name, line}), [&](Statement& r) {
                 exists = true;
                 text = indexedText(r, 0);
             })).failed())
            return e;
    }
    const QString words = exists ? textIndexWords(text) : QString();
    if (words.isEmpty())
        return {};
    if (!number && !(number = nameNumber(db, name, true, &e)))
        return e;
    if (names)
        names->insert(name.toString(), *number);
    const qint64 key = (*number << (kDayBits + kLineBits)) | (*day << kLineBits) | *no;
    if ((e = exec(db, QStringLiteral("INSERT INTO %1 (rowid, 語) VALUES (?, ?)").arg(kTextIndex),
                  {key, words}))
            .failed())
        return e;
    return exec(db, QStringLiteral("INSERT INTO %1 (番号, 文) VALUES (?, ?)").arg(kSource), {key, text});
}

// Whether the index is being made again: 0 no, 1 marked (not started: its rows may be
// damaged), 2 started (the lines up to the mark's key are in).
int rebuildStage(const QSqlDatabase& db, QVariantList* after)
{
    Statement s(db, QStringLiteral("SELECT 作成日, 氏名, 行番号 FROM %1 LIMIT 1").arg(kRebuild));
    int stage = 0;
    forEachRow(s, [&](Statement& r) {
        stage = r.value(0).isNull() && r.value(1).isNull() && r.value(2).isNull() ? 1 : 2;
        if (after)
            *after = {r.value(0), r.value(1), r.value(2)};
    });
    return stage;
}

namespace {

// Past this many keys queued (another program wrote many lines) the index is made again a part
// at a time instead, with the window shown, rather than within one write or search.
constexpr int kMostQueued = 20000;

std::function<void(const QString&)>& markedNotice()
{
    static std::function<void(const QString&)> notice;
    return notice;
}

// Within the caller's transaction: the keys queued, each brought into the index, then taken
// from the queue. Nothing while a rebuild is marked and not started (its start empties both).
Error applyQueue(const QSqlDatabase& db)
{
    QVariantList mark;
    const int stage = rebuildStage(db, &mark);
    if (stage == 1)
        return {};
    Statement many(
        db,
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 LIMIT %2)").arg(kQueue).arg(kMostQueued + 1));
    qint64 queued = 0;
    if (Error e = forEachRow(many, [&queued](Statement& r) { queued = r.integer(0); }); e.failed())
        return e;
    if (queued > kMostQueued) {
        const Error e = markInFile(db);
        if (e.ok() && markedNotice())
            markedNotice()(db.connectionName());
        return e;
    }
    Statement last(db, QStringLiteral("SELECT max(rowid) FROM %1").arg(kQueue));
    qint64 upTo = -1;
    if (Error e = forEachRow(last,
                             [&upTo](Statement& r) {
                                 if (!r.value(0).isNull())
                                     upTo = r.integer(0);
                             });
        e.failed() || upTo < 0)
        return e;
    // While a rebuild walks the lines, those past its mark are left to the walk, which reads
    // them as they are then (compared as the walk compares them).
    Statement keys(db,
                   QStringLiteral("SELECT DISTINCT 作成日, 氏名, 行番号 FROM %1 WHERE rowid <= ?%2")
                       .arg(kQueue, stage == 2 ? QStringLiteral(" AND (作成日, 氏名, 行番号) <= (?, ?, ?)")
                                               : QString()));
    keys.bind(upTo);
    if (stage == 2)
        bindAll(keys, mark);
    QList<QVariantList> all;
    if (Error e = forEachRow(keys,
                             [&all](Statement& r) {
                                 all << QVariantList{r.value(0), r.value(1), r.value(2)};
                             });
        e.failed())
        return e;
    for (const QVariantList& k : std::as_const(all))
        if (Error e = reindexKey(db, k[0], k[1], k[2]); e.failed())
            return e;
    return exec(db, QStringLiteral("DELETE FROM %1 WHERE rowid <= ?").arg(kQueue), {upTo});
}

} // namespace

Error markInFile(const QSqlDatabase& db)
{
    return exec(db,
                QStringLiteral("INSERT INTO %1 SELECT NULL, NULL, NULL WHERE NOT EXISTS (SELECT 1 FROM %1)")
                    .arg(kRebuild));
}

// Before a local file's transaction commits: the queue into the index, in a savepoint of its own,
// so that an index that cannot take it never fails the caller's write. Then the keys stay
// queued, and the index is marked to be made again.
void settleQueue(const QString& connection)
{
    {
        QMutexLocker guard(&knownLock());
        const auto it = known().constFind(connection);
        if (it == known().constEnd() || !it->queue)
            return;
    }
    const QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (const Error e = exec(db, QStringLiteral("SAVEPOINT 営業日報検索")); e.failed()) {
        qCInfo(lcStore).noquote() << "search index of" << connection
                                  << "not brought up to date:" << e.reason();
        return;
    }
    const Error applied = applyQueue(db);
    if (applied.ok() && exec(db, QStringLiteral("RELEASE 営業日報検索")).ok())
        return;
    qCWarning(lcStore).noquote() << "search index of" << connection
                                 << "to be made again:" << applied.reason();
    exec(db, QStringLiteral("ROLLBACK TO 営業日報検索"));
    exec(db, QStringLiteral("RELEASE 営業日報検索"));
    Known k = knownOf(db);
    k.damaged = true;
    setKnown(db, k);
    markInFile(db);
    if (markedNotice())
        markedNotice()(connection);
}

QStringList textIndexStatements()
{
    return indexStatements() + orderStatements();
}

bool hasTextIndex(const QSqlDatabase& db)
{
    Statement s(db, isServer(db) ? QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = "
                                                  "current_schema() AND indexname IN (?, ?)")
                                 : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (?, ?)"));
    s.bind(isServer(db) ? QStringLiteral("営業日報_検索") : kQueue).bind(QStringLiteral("営業日報_氏名日時"));
    bool have = false;
    forEachRow(s, [&have](Statement& r) { have = r.value(0).toInt() == 2; });
    return have;
}

QStringList textIndexDropStatements()
{
    QStringList out;
    for (const char* t :
         {"営業日報検索_追加", "営業日報検索_削除", "営業日報検索_変更前", "営業日報検索_変更後",
          "営業日報検索_待ち追加", "営業日報検索_待ち削除", "営業日報検索_待ち変更"})
        out << QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QString::fromUtf8(t));
    for (const QString& t : {kTextIndex, kNames, kSource, kQueue, kRebuild})
        out << QStringLiteral("DROP TABLE IF EXISTS %1").arg(t);
    out << QStringLiteral("DROP INDEX IF EXISTS 営業日報_日時")
        << QStringLiteral("DROP INDEX IF EXISTS 営業日報_氏名日時");
    return out;
}

Error dropTextIndex(const QSqlDatabase& db)
{
    if (isServer(db)) {
        if (Error e = run(
                db, QStringLiteral("DROP INDEX IF EXISTS 営業日報_検索, 営業日報_日時, 営業日報_氏名日時"));
            e.failed())
            return e;
        if (Error e = run(db, QStringLiteral("DROP FUNCTION IF EXISTS tesvan_grams")); e.failed())
            return e;
        return run(db, QStringLiteral("DROP FUNCTION IF EXISTS tesvan_fold"));
    }
    setKnown(db, {});
    for (const QString& sql : textIndexDropStatements())
        if (Error e = run(db, sql); e.failed())
            return e;
    return {};
}

Error addTextIndex(const QSqlDatabase& db)
{
    // What the file holds of ours, by name, as it was made.
    QHash<QString, QString> have;
    Statement s(db, QStringLiteral("SELECT name, sql FROM sqlite_master WHERE name LIKE '営業日報検索%' OR "
                                   "name IN ('営業日報_日時', '営業日報_氏名日時')"));
    if (Error e = forEachRow(s, [&have](Statement& r) { have.insert(r.text(0), r.text(1)); }); e.failed())
        return e;
    QStringList wanted = textIndexStatements();
    QStringList missing;
    for (const QString& sql : std::as_const(wanted))
        if (std::none_of(have.cbegin(), have.cend(), [&sql](const QString& v) { return v == sql; }))
            missing << sql;
    if (missing.isEmpty()) {
        setKnown(db, {true, false}); // what an earlier connection of the name knew is no more
        return {};
    }
    // Made again in one transaction: the parts that differ from this version's, and the index
    // marked to be filled from the lines (a part at a time, while the program works).
    return inTransaction(db, [&]() -> Error {
        const QSet<QString> orders{QStringLiteral("営業日報_日時"), QStringLiteral("営業日報_氏名日時")};
        for (const QString& sql : textIndexDropStatements()) {
            const QString name = sql.section(u' ', -1);
            // The line orders stay when they are as this version makes them.
            if (orders.contains(name) && std::any_of(wanted.cbegin(), wanted.cend(),
                                                     [&](const QString& w) { return w == have.value(name); }))
                continue;
            if (Error e = run(db, sql); e.failed())
                return e;
            if (orders.contains(name))
                have.remove(name);
        }
        for (const QString& sql : std::as_const(wanted)) {
            if (std::any_of(orders.cbegin(), orders.cend(),
                            [&](const QString& o) { return have.value(o) == sql; }))
                continue;
            if (Error e = run(db, sql); e.failed())
                return e;
        }
        setKnown(db, {true, false});
        return markInFile(db);
    });
}

void catchUpTextIndex(const QSqlDatabase& db)
{
    if (isServer(db) || !knownOf(db).queue)
        return;
    Statement s(db, QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(kQueue));
    bool queued = false;
    forEachRow(s, [&queued](Statement& r) { queued = r.integer(0) != 0; });
    if (queued) // the commit brings the index up to the queue
        inTransaction(db, [] { return Error(); });
}

bool textIndexReady(const QSqlDatabase& db)
{
    if (isServer(db))
        return hasTextIndex(db);
    catchUpTextIndex(db);
    return hasTextIndex(db) && !textIndexRebuilding(db);
}

void markTextIndexDamaged(const QSqlDatabase& db)
{
    Known k = knownOf(db);
    k.damaged = true;
    setKnown(db, k);
    inTransaction(db, [&db] { return markInFile(db); });
}

void onTextIndexMarked(std::function<void(const QString& connection)> notice)
{
    markedNotice() = std::move(notice);
}

void noteTextIndexDamaged(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    qCWarning(lcStore).noquote() << "search index of" << canonical << "damaged; it is made again";
    QMutexLocker guard(&knownLock());
    damagedPaths().insert(canonical);
}

bool textIndexRebuilding(const QSqlDatabase& db)
{
    if (isServer(db))
        return false;
    bool told = false;
    if (const QString path = pathOf(db); !path.isEmpty()) {
        QMutexLocker guard(&knownLock());
        told = damagedPaths().remove(path);
    }
    if (told)
        markTextIndexDamaged(db);
    return knownOf(db).damaged || rebuildStage(db) != 0;
}

int textIndexPercent(const QSqlDatabase& db)
{
    return knownOf(db).percent;
}

} // namespace store
