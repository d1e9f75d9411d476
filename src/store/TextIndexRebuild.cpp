// The search index made again from the lines, a transaction at a time while the program works,
// or at once inside the caller's (makeTextIndex).
#include "store/TextIndex.h"
#include "store/TextIndexParts.h"
#include "store/TextIndexTables.h"

#include "store/SqliteEngine.h"

#include <sqlite3.h>

#include <optional>

namespace store {

namespace {

// A larger page cache for a connection while it fills the index (FTS5's segments and the kept
// texts are written all over the file), its own size given back after.
class BuildCache {
  public:
    explicit BuildCache(const QSqlDatabase& db) : m_h(SqliteEngine::handleOf(db))
    {
        if (!m_h)
            return;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(m_h, "PRAGMA cache_size", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            m_was = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        if (m_was)
            sqlite3_exec(m_h, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    }
    ~BuildCache()
    {
        if (m_h && m_was)
            sqlite3_exec(m_h, ("PRAGMA cache_size = " + QByteArray::number(*m_was)).constData(), nullptr,
                         nullptr, nullptr);
    }
    BuildCache(const BuildCache&) = delete;
    BuildCache& operator=(const BuildCache&) = delete;

  private:
    sqlite3* m_h;
    std::optional<qint64> m_was;
};

// One step of a rebuild inside the caller's transaction (see rebuildTextIndexStep). `fresh`: the
// index was made empty in this transaction.
Error rebuildStep(const QSqlDatabase& db, int lines, RebuildStep& out, bool fresh = false)
{
    QVariantList after;
    int stage = rebuildStage(db, &after);
    if (stage == 0 && knownOf(db).damaged) {
        if (Error e = markInFile(db); e.failed())
            return e;
        stage = 1;
    }
    if (stage == 0) {
        out.finished = true;
        out.done = out.total = qMax(out.total, qint64(0));
        return {};
    }
    if (stage == 1) {
        // The index and what it was made from go whole (their rows may be damaged), and with
        // them the queue: every line is walked.
        for (const QString& sql : {QStringLiteral("DROP TABLE IF EXISTS %1").arg(kTextIndex),
                                   QStringLiteral("DROP TABLE IF EXISTS %1").arg(kSource), ftsStatement(),
                                   sourceStatement(), QStringLiteral("DELETE FROM %1").arg(kQueue)})
            if (Error e = run(db, sql); e.failed())
                return e;
        after = {QStringLiteral(""), QStringLiteral(""), -1};
        fresh = true;
        Known k = knownOf(db);
        k.freshWalk = true;
        setKnown(db, k);
        out.done = 0;
        out.total = -1;
    } else if (out.done < 0) {
        // Going on with a rebuild an earlier session began: how far it came.
        Statement done(
            db, QStringLiteral("SELECT count(*) FROM 営業日報 WHERE (作成日, 氏名, 行番号) <= (?, ?, ?)"));
        if (Error e = forEachRow(bindAll(done, after), [&out](Statement& r) { out.done = r.integer(0); });
            e.failed())
            return e;
    }
    if (out.total < 0) {
        Statement total(db, QStringLiteral("SELECT count(*) FROM 営業日報"));
        if (Error e = forEachRow(total, [&out](Statement& r) { out.total = r.integer(0); }); e.failed())
            return e;
    }
    Statement walk(db,
                   QStringLiteral("SELECT 作成日, 氏名, 行番号, 内容, 訪問先, 担当, 備考 FROM 営業日報 "
                                  "WHERE (作成日, 氏名, 行番号) > (?, ?, ?) ORDER BY 作成日, 氏名, 行番号 "
                                  "LIMIT ?"));
    struct Row {
        QVariant date, name, line;
        QString text;
    };
    QList<Row> rows;
    if (Error e = forEachRow(bindAll(walk, after).bind(lines),
                             [&rows](Statement& r) {
                                 rows << Row{r.value(0), r.value(1), r.value(2), indexedText(r, 3)};
                             });
        e.failed())
        return e;
    NameNumbers names;
    fresh = fresh || knownOf(db).freshWalk;
    for (const Row& r : std::as_const(rows))
        if (Error e = reindexKey(db, r.date, r.name, r.line, &r.text, fresh, &names); e.failed())
            return e;
    out.done = qMin(out.done + rows.size(), qMax(out.total, qint64(0)));
    if (rows.size() < lines) {
        out.finished = true;
        out.done = out.total;
        return run(db, QStringLiteral("DELETE FROM %1").arg(kRebuild));
    }
    return run(db, QStringLiteral("UPDATE %1 SET 作成日 = ?, 氏名 = ?, 行番号 = ?").arg(kRebuild),
               {rows.last().date, rows.last().name, rows.last().line});
}

void noteFinished(const QSqlDatabase& db)
{
    Known k = knownOf(db);
    k.damaged = false;
    k.freshWalk = false;
    setKnown(db, k);
}

} // namespace

Error makeTextIndex(const QSqlDatabase& db)
{
    const QStringList all = isServer(db) ? serverTextIndexStatements() : textIndexStatements();
    for (const QString& sql : all)
        if (Error e = run(db, sql); e.failed())
            return e;
    if (isServer(db))
        return {};
    setKnown(db, {true, false});
    const BuildCache cache(db);
    // Every line, as a rebuild walks them, inside the caller's transaction; started past its
    // first stage, which would drop the tables just made and leave their pages free in the file.
    if (Error e = run(db, QStringLiteral("INSERT INTO %1 VALUES ('', '', -1)").arg(kRebuild)); e.failed())
        return e;
    RebuildStep s;
    s.done = 0;
    s.total = -1;
    if (Error e = rebuildStep(db, 1 << 30, s, true); e.failed())
        return e;
    noteFinished(db);
    return {};
}

RebuildStep rebuildTextIndexStep(const QSqlDatabase& db, int lines)
{
    RebuildStep out;
    const Known before = knownOf(db);
    out.done = before.done;
    out.total = before.total;
    {
        const BuildCache cache(db);
        out.error = inTransaction(db, [&] { return rebuildStep(db, lines, out); });
    }
    if (out.error.ok() && out.finished)
        noteFinished(db);
    Known k = knownOf(db);
    if (out.error.ok()) {
        k.done = out.finished ? -1 : out.done;
        k.total = out.finished ? -1 : out.total;
        k.percent = out.total > 0 ? int(out.done * 100 / out.total) : 100;
    }
    setKnown(db, k);
    return out;
}

Error rebuildTextIndex(const QSqlDatabase& db)
{
    for (;;) {
        const RebuildStep s = rebuildTextIndexStep(db, 20000);
        if (s.error.failed() || s.finished)
            return s.error;
    }
}

} // namespace store
