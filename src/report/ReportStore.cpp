#include "report/ReportStore.h"

#include "codes/CodeMasterAdder.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/ReportLines.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QList>

#include <array>
#include <bit>
#include <memory>
#include <optional>

namespace report {
namespace {

// 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考: the fields a line carries between the files.
const QStringList& kLineFields = store::reportLineFields();
const int kFieldCount = int(kLineFields.size());
const QString kLineFieldList = kLineFields.join(QStringLiteral(", "));

store::Error keyError(const QDate& date, const QString& name)
{
    if (!date.isValid())
        return store::Error(QStringLiteral("作成日がありません。"));
    if (name.isEmpty())
        return store::Error(QStringLiteral("氏名がありません。"));
    return {};
}

// The work table as kLineRows rows, the given lines first, in one transaction.
const QStringList& workLineFields()
{
    static const QStringList fields = QStringList{"行番号", "チェック"} + kLineFields;
    return fields;
}

// Blank rows numbered from `from` to kLineRows, a prepared statement each: one statement making
// them all (a recursive select) takes an ephemeral table, which costs more than the rows.
store::Error addBlankLines(const QSqlDatabase& work, qsizetype from)
{
    static const QString sql =
        QStringLiteral("INSERT INTO %1 (行番号, チェック) VALUES (?, 0)").arg(store::tbl::w営業日報);
    store::Statement ins(work, sql);
    for (qsizetype n = from; n <= kLineRows && ins.ok(); ++n)
        ins.bind(n).exec();
    return ins.error();
}

// The grid's kLineRows rows: the current rows of lines (kFieldCount values each, as stored in
// the main database) first, then blank rows. Opens no transaction. More than kLineRows lines set
// tooLong and leave the table part-written: the caller rolls back.
store::Error replaceLines(const QSqlDatabase& work, store::Statement* lines, bool& tooLong, int& count)
{
    static const QString clear = QStringLiteral("DELETE FROM %1").arg(store::tbl::w営業日報);
    if (store::Error e = store::run(work, clear); e.failed())
        return e;
    count = 0;
    tooLong = false;
    if (lines) {
        static const QString insert =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (?, 0, %3)")
                .arg(store::tbl::w営業日報, workLineFields().join(QStringLiteral(", ")),
                     store::placeholders(kFieldCount));
        store::Statement ins(work, insert);
        // Each value goes over as read: between two local files without a conversion.
        const store::Error e = store::forEachRow(*lines, [&](store::Statement& line) {
            if (++count > kLineRows) {
                tooLong = true;
                return false;
            }
            ins.bind(count);
            for (int i = 0; i < kFieldCount; ++i)
                ins.bindColumn(line, i);
            return ins.exec();
        });
        if (e.failed())
            return e;
        if (ins.error().failed())
            return ins.error();
        if (tooLong)
            return {};
    }
    return addBlankLines(work, count + 1);
}

// replaceLines in one work transaction, which tooLong rolls back as a failure does.
store::Error writeLines(const QSqlDatabase& work, store::Statement* lines, bool& tooLong, int& count)
{
    store::Transaction tx(work);
    if (!tx.ok())
        return tx.error();
    if (store::Error e = replaceLines(work, lines, tooLong, count); e.failed() || tooLong)
        return e;
    if (!tx.commit())
        return tx.error();
    return {};
}

// The insert of n lines at once, n a power of two up to kLineRows.
const QString& insertText(qsizetype n)
{
    static const auto texts = [] {
        std::array<QString, std::bit_width(unsigned(kLineRows))> t;
        const QString head =
            QStringLiteral("INSERT INTO 営業日報 (作成日, 氏名, 行番号, %1) VALUES ").arg(kLineFieldList);
        const QString row = u'(' + store::placeholders(kFieldCount + 3) + u')';
        for (size_t k = 0; k < t.size(); ++k)
            t[k] = head + QStringList(qsizetype(1) << k, row).join(QStringLiteral(", "));
        return t;
    }();
    return texts[size_t(std::countr_zero(size_t(n)))];
}

// The lines of one report into the main database, numbered from 1: on a server a few
// statements of many rows each, since it answers every statement with a round trip of its own;
// a local file takes one row a statement fastest.
store::Error insertLines(const QSqlDatabase& main, const QVariant& key, const QString& name,
                         const QList<store::Row>& lines)
{
    const qsizetype runs = store::isServer(main) ? kLineRows : 1;
    std::unique_ptr<store::Statement> ins; // kept while the runs are of one width
    qsizetype width = 0;
    for (qsizetype done = 0; done < lines.size();) {
        const qsizetype n = store::nextRun(lines.size() - done, runs);
        if (n != width) {
            ins = std::make_unique<store::Statement>(main, insertText(n));
            width = n;
        }
        for (qsizetype i = done; i < done + n; ++i) {
            ins->bind(key).bind(name).bind(int(i + 1));
            for (const QVariant& v : lines[i])
                ins->bind(v);
        }
        if (!ins->exec())
            return ins->error();
        done += n;
    }
    return {};
}

} // namespace

store::Error resetLines(const QSqlDatabase& work, bool shownFilled, bool withKept)
{
    // Usually blank already (start-up, a second クリア): then nothing is written. 行番号 is the
    // rowid, so 100 rows from 1 to 100 are the rows 1..100.
    bool blank = false;
    if (!shownFilled) {
        static const QString sql =
            QStringLiteral("SELECT count(*) = ?1 AND min(行番号) = 1 AND max(行番号) = ?1 AND "
                           "total(チェック IS NOT 0 OR coalesce(%1) IS NOT NULL) = 0 FROM %2")
                .arg(kLineFieldList, store::tbl::w営業日報);
        store::Statement q(work, sql);
        q.bind(kLineRows);
        if (const store::Error e =
                store::forEachRow(q, [&](store::Statement& r) { blank = r.value(0).toInt() == 1; });
            e.failed())
            return e;
    }
    if (blank)
        return withKept ? settleKept(work, {}) : store::Error();
    bool tooLong = false;
    int count = 0;
    if (!withKept)
        return writeLines(work, nullptr, tooLong, count);
    return store::inTransaction(work, [&] {
        const store::Error e = settleKept(work, {});
        return e.failed() ? e : replaceLines(work, nullptr, tooLong, count);
    });
}

store::Error deleteTickedLines(const QSqlDatabase& work)
{
    static const QString mark =
        QStringLiteral("UPDATE %1 SET 明細変更 = 1 WHERE 明細変更 = 0 AND EXISTS (SELECT 1 FROM %2 "
                       "WHERE チェック <> 0 AND coalesce(%3) IS NOT NULL)")
            .arg(store::tbl::w営業日報ヘッダ, store::tbl::w営業日報, kLineFieldList);
    static const QString remove =
        QStringLiteral("DELETE FROM %1 WHERE チェック <> 0").arg(store::tbl::w営業日報);
    return store::inTransaction(work, [&] {
        store::Error e = store::run(work, mark);
        if (e.ok())
            e = store::run(work, remove);
        return e;
    });
}

store::Error setTickAll(const QSqlDatabase& work, bool flag)
{
    return store::setTicks(work, store::tbl::w営業日報, flag, QStringLiteral("表示日付 IS NOT NULL"));
}

ReadResult readReport(const QSqlDatabase& main, const QSqlDatabase& work, const QDate& date,
                      const QString& name)
{
    ReadResult r;
    r.error = keyError(date, name);
    if (r.error.failed())
        return r;
    const QVariant key = store::dateValue(date);

    static const QString headSql = QStringLiteral("SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ "
                                                  "WHERE 作成日 = ? AND 氏名 = ?");
    store::Statement head(main, headSql);
    head.bind(key).bind(name);
    r.error = store::forEachRow(head, [&](store::Statement& h) {
        r.found = true;
        r.header.作成日 = store::toDate(h.value(0));
        r.header.氏名 = h.text(1);
        r.header.所属 = h.text(2);
        r.header.タイトル = h.text(3);
        return false;
    });
    if (r.error.ok() && r.found)
        r.error = store::readStamp(main, key, name, &r.stamp);
    if (r.error.failed())
        return r;

    // The grid has kLineRows rows: a longer report (written by another program) would lose its
    // later lines at the next 登録, so it is not opened at all.
    static const QString linesSql = QStringLiteral("SELECT %1 FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ? "
                                                   "ORDER BY 行番号 LIMIT %2")
                                        .arg(kLineFieldList)
                                        .arg(kLineRows + 1);
    store::Statement lines(main, linesSql);
    lines.bind(key).bind(name);
    int count = 0;
    r.error = writeLines(work, &lines, r.tooLong, count);
    if (r.error.ok() && !r.tooLong)
        r.lines = count;
    return r;
}

CopyResult copyLatest(const QSqlDatabase& main, const QSqlDatabase& work, const QString& name,
                      const QDate& day)
{
    CopyResult r;
    r.error = keyError(day, name);
    if (r.error.failed())
        return r;
    static const QString headSql =
        QStringLiteral("SELECT 作成日, 所属, タイトル FROM 営業日報ヘッダ WHERE 氏名 = ? AND 作成日 < ? "
                       "ORDER BY 作成日 DESC LIMIT 1");
    store::Statement head(main, headSql);
    head.bind(name).bind(store::dateValue(day));
    r.error = store::forEachRow(head, [&](store::Statement& h) {
        r.found = true;
        r.from = {store::toDate(h.value(0)), name, h.text(1), h.text(2)};
        return false;
    });
    if (r.error.failed() || !r.found)
        return r;

    // The line fields in their order: the day for both dates, nothing for the time and 内容.
    static const QString linesSql = [] {
        QStringList shown;
        for (const QString& f : kLineFields)
            // Typed, so that a server knows the parameter's type.
            shown << (f == u"表示日付" || f == u"日付" ? QStringLiteral("CAST(? AS TEXT)")
                      : f == u"時間" || f == u"内容"   ? QStringLiteral("CAST(NULL AS TEXT)")
                                                       : f);
        return QStringLiteral("SELECT %1 FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ? AND "
                              "coalesce(訪問先, 担当, 備考) IS NOT NULL ORDER BY 行番号 LIMIT %2")
            .arg(shown.join(QStringLiteral(", ")))
            .arg(kLineRows + 1);
    }();
    const QVariant today = store::dateValue(day);
    store::Statement lines(main, linesSql);
    lines.bind(today).bind(today).bind(store::dateValue(r.from.作成日)).bind(name);
    int count = 0;
    r.error = writeLines(work, &lines, r.tooLong, count);
    if (r.error.ok() && !r.tooLong)
        r.lines = count;
    return r;
}

store::Error rowOfLine(const QSqlDatabase& main, const QDate& date, const QString& name, int lineNo, int* row)
{
    *row = -1;
    QList<store::Row> r;
    const store::Error e = store::readRows(
        main,
        QStringLiteral(
            "SELECT sum(CASE WHEN 行番号 < ? THEN 1 ELSE 0 END), sum(CASE WHEN 行番号 = ? THEN 1 ELSE 0 END) "
            "FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?"),
        {lineNo, lineNo, store::dateValue(date), name}, r);
    if (e.ok() && !r.isEmpty() && r[0][1].toInt() > 0)
        *row = r[0][0].toInt();
    return e;
}

store::Error registerReport(const QSqlDatabase& main, const QSqlDatabase& work, const Header& h,
                            Registered* done, const store::Stamp* readAt)
{
    if (store::Error e = keyError(h.作成日, h.氏名); e.failed())
        return e;

    // The same lines a print of the grid shows.
    store::ReportLines report;
    if (store::Error e = store::readReportLines(work, report); e.failed())
        return e;
    const QList<store::Row>& lines = report.lines;

    const QVariant key = store::dateValue(h.作成日);
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    const bool checked = readAt && store::keepsStamps(main);
    std::optional<store::Stamp> stale;
    store::Stamp stored;

    const store::Error e = store::inTransaction(main, [&]() -> store::Error {
        // Another user registering the same report, or learning names into the same categories,
        // waits until this one is whole; then it replaces this version whole.
        store::Error err =
            store::serialise(main, {store::reportKey(key, h.氏名), store::categoryKey(store::k訪問先),
                                    store::categoryKey(store::k備考)});
        // The version stored is compared with the one read while the report's key is held.
        if (err.ok() && checked) {
            store::Stamp now;
            err = store::readStamp(main, key, h.氏名, &now);
            if (err.ok() && now.version != readAt->version) {
                stale = now;
                return store::staleError(now);
            }
        }
        // Written over, not deleted and inserted: the server keeps who registered it first.
        if (err.ok())
            err = store::run(main,
                             QStringLiteral("INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) "
                                            "VALUES (?, ?, ?, ?) ON CONFLICT (作成日, 氏名) DO UPDATE SET "
                                            "所属 = excluded.所属, タイトル = excluded.タイトル"),
                             {key, h.氏名, text(h.所属), text(h.タイトル)});
        if (err.ok())
            err = store::run(main, QStringLiteral("DELETE FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?"),
                             {key, h.氏名});
        if (err.ok())
            err = insertLines(main, key, h.氏名, lines);
        if (err.failed())
            return err;
        // New 訪問先 and 備考 names are learnt; the keys of both categories are held above.
        QList<codes::TypedName> names;
        for (const store::Row& l : lines)
            for (const auto& [field, category] :
                 {std::pair{store::L訪問先, store::k訪問先}, std::pair{store::L備考, store::k備考}})
                if (!l[field].isNull())
                    names << codes::TypedName{category, l[field].toString()};
        if (err = codes::learnNames(main, names); err.failed())
            return err;
        return checked ? store::readStamp(main, key, h.氏名, &stored) : store::Error();
    });
    if (done) {
        if (e.ok())
            *done = Registered{int(lines.size()), report.withoutText, stored, false};
        else if (stale)
            *done = Registered{0, {}, *stale, true};
    }
    return e;
}

namespace {

const QString kKeptFields = QStringLiteral("作成日, 氏名, 所属, タイトル, 明細変更, 見出し変更, キー変更");

// Writes the one row: the header and the marks given, the lines' own mark when asked. A row
// that holds all of it already is not written (a start, a second クリア).
store::Error writeKept(const QSqlDatabase& work, const KeptReport& k, bool withLines)
{
    static const auto text = [](bool lines) {
        QStringList set, differs;
        const QStringList fields{"作成日", "氏名", "所属", "タイトル", "見出し変更", "キー変更", "明細変更"};
        for (int i = 0; i < (lines ? 7 : 6); ++i) {
            set << QStringLiteral("%1 = ?%2").arg(fields[i]).arg(i + 1);
            differs << QStringLiteral("%1 IS NOT ?%2").arg(fields[i]).arg(i + 1);
        }
        return QStringLiteral("UPDATE %1 SET %2 WHERE %3")
            .arg(store::tbl::w営業日報ヘッダ, set.join(QStringLiteral(", ")),
                 differs.join(QStringLiteral(" OR ")));
    };
    static const QString sql = text(false), withLinesSql = text(true);
    QVariantList values{store::dateValue(k.header.作成日),
                        k.header.氏名,
                        k.header.所属,
                        k.header.タイトル,
                        int(k.headerChanged),
                        int(k.keyChanged)};
    if (withLines)
        values << int(k.linesChanged);
    return store::run(work, withLines ? withLinesSql : sql, values);
}

} // namespace

store::Error readKept(const QSqlDatabase& work, KeptReport* kept)
{
    *kept = {};
    static const QString sql =
        QStringLiteral("SELECT %1 FROM %2").arg(kKeptFields, store::tbl::w営業日報ヘッダ);
    bool found = false;
    store::Statement q(work, sql);
    if (const store::Error e = store::forEachRow(q,
                                                 [&](store::Statement& r) {
                                                     found = true;
                                                     kept->header.作成日 = store::toDate(r.value(0));
                                                     kept->header.氏名 = r.text(1);
                                                     kept->header.所属 = r.text(2);
                                                     kept->header.タイトル = r.text(3);
                                                     kept->linesChanged = r.value(4).toInt() != 0;
                                                     kept->headerChanged = r.value(5).toInt() != 0;
                                                     kept->keyChanged = r.value(6).toInt() != 0;
                                                     return false;
                                                 });
        e.failed())
        return e;
    if (found)
        return {};
    // Every later write is an update of the one row.
    return store::run(work, QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(store::tbl::w営業日報ヘッダ));
}

store::Error keepHeader(const QSqlDatabase& work, const KeptReport& kept)
{
    return writeKept(work, kept, false);
}

store::Error settleKept(const QSqlDatabase& work, const Header& h)
{
    KeptReport k;
    k.header = h;
    return writeKept(work, k, true);
}

} // namespace report
