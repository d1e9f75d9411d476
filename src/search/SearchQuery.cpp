#include "search/SearchQuery.h"

#include "store/Dates.h"
#include "store/Server.h"
#include "store/TextIndex.h"

#include <algorithm>
#include <cmath>

namespace search {
namespace {

// The lines kCommonCount was measured on.
constexpr double kMeasuredLines = 1000000;
// The lines a walk reads before it first asks whether its keywords are common enough to go on.
constexpr qint64 kFirstLook = 16;

// The first part of the order key of a line's date.
QVariant dateKey(const QDate& d, bool server)
{
    if (d.isValid())
        return d.toString(Qt::ISODate);
    return server ? QStringLiteral("-infinity") : QStringLiteral("");
}

QString dateExpr(bool server)
{
    return server ? QStringLiteral("coalesce(l.日付, '-infinity'::date)")
                  : QStringLiteral("coalesce(l.日付, '')");
}

int charCount(const QString& s)
{
    return int(s.toUcs4().size());
}

// The folded text kept with the index holds blanks for control characters: a keyword holding one
// is decided on the line's own texts.
bool holdsControl(const QString& word)
{
    return std::any_of(word.begin(), word.end(),
                       [](QChar ch) { return ch.category() == QChar::Other_Control; });
}

// The condition that the index's kept text s (folded already) holds word (folded).
QString keptHolds(const QString& word, QVariantList& values)
{
    values << word;
    return QStringLiteral("instr(s.文, ?) > 0");
}

// The bounds of c's period on the line l's 日付, written over the line order's own first part,
// so that the index in that order serves them.
void periodConditions(const Criteria& c, bool server, QStringList* where, QVariantList* values)
{
    if (c.from.isValid()) {
        *where << dateExpr(server) + QStringLiteral(" >= ?");
        *values << store::dateValue(c.from);
    }
    if (c.to.isValid()) {
        *where << dateExpr(server) + QStringLiteral(" <= ?");
        *values << store::dateValue(c.to);
        if (!c.from.isValid()) {
            *where << dateExpr(server) + QStringLiteral(" > ?");
            *values << dateKey({}, server);
        }
    }
}

// How a server folds a text held in column x of l: by the index's function, or without it as
// that function does (lower case by Unicode's rules through ICU; the text columns' "C" collation
// would lower ASCII letters only).
enum class ServerFold { Function, Icu, Plain };

ServerFold serverFoldOf(const QSqlDatabase& main, bool hasIndex)
{
    if (hasIndex)
        return ServerFold::Function;
    store::Statement s(main,
                       QStringLiteral("SELECT count(*) FROM pg_collation WHERE collname = 'und-x-icu'"));
    bool icu = false;
    store::forEachRow(s, [&icu](store::Statement& r) { icu = r.value(0).toInt() > 0; });
    return icu ? ServerFold::Icu : ServerFold::Plain;
}

// The condition that the line holds word (folded) in one of its four texts.
QString holdsCondition(bool server, ServerFold how, const QString& word, QVariantList& values)
{
    if (!server) {
        values << word;
        return QStringLiteral("tesvan_holds(?, l.内容, l.訪問先, l.担当, l.備考) = 1");
    }
    const QString expr = how == ServerFold::Function ? QStringLiteral("tesvan_fold(l.%1)")
                         : how == ServerFold::Icu
                             ? QStringLiteral("lower(normalize(l.%1, NFKC) COLLATE \"und-x-icu\")")
                             : QStringLiteral("lower(normalize(l.%1, NFKC))");
    QStringList parts;
    for (const char* f : {"内容", "訪問先", "担当", "備考"}) {
        parts << QStringLiteral("strpos(%1, ?) > 0").arg(expr.arg(QString::fromUtf8(f)));
        values << word;
    }
    return u'(' + parts.join(QStringLiteral(" OR ")) + u')';
}

// The tokens of words as a server's array value, every element quoted.
QString arrayOf(const QStringList& words)
{
    QStringList parts;
    for (const QString& w : words)
        for (QString t : store::textIndexTokens(w))
            parts << u'"' + t.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\"")) +
                         u'"';
    return u'{' + parts.join(u',') + u'}';
}

// The lines holding the rarest of the tokens (a server's array value), as the server's statistics
// of its index estimate them: each listed token by its frequency, one not listed by the least
// frequency listed. -1 when there are no statistics yet.
store::Error serverEstimate(const QSqlDatabase& main, const QVariant& tokens, double* out)
{
    *out = -1;
    store::Statement s(
        main,
        QStringLiteral("WITH s AS (SELECT most_common_elems::text::text[] AS e, most_common_elem_freqs AS f "
                       "FROM pg_stats WHERE schemaname = current_schema() AND tablename = '営業日報_検索') "
                       "SELECT (SELECT reltuples FROM pg_class WHERE oid = to_regclass('営業日報')) * "
                       "min(coalesce(s.f[array_position(s.e, t.t)], s.f[cardinality(s.e) + 1])) "
                       "FROM s, unnest(?::text[]) AS t(t)"));
    s.bind(tokens);
    return store::forEachRow(s, [out](store::Statement& r) {
        if (!r.value(0).isNull() && r.value(0).toDouble() >= 0)
            *out = r.value(0).toDouble();
    });
}

} // namespace

QString planName(Plan p)
{
    switch (p) {
    case Plan::Scan:
        return QStringLiteral("scan");
    case Plan::Index:
        return QStringLiteral("index");
    case Plan::Walk:
        return QStringLiteral("walk");
    }
    return {};
}

namespace {
QStringList keyParts(bool server)
{
    return {dateExpr(server), QStringLiteral("coalesce(l.時間, '')"), QStringLiteral("l.氏名"),
            QStringLiteral("l.作成日"), QStringLiteral("l.行番号")};
}
} // namespace

QString orderKey(bool server)
{
    return keyParts(server).join(QStringLiteral(", "));
}

namespace {

// The column sorting first in c's order, empty for the date.
QString firstColumn(const Criteria& c)
{
    switch (c.sortBy) {
    case SortBy::Name:
        return QStringLiteral("l.氏名");
    case SortBy::Place:
        return QStringLiteral("coalesce(l.訪問先, '')");
    case SortBy::Date:
        break;
    }
    return {};
}

QString keyTerms(bool server, const QString& direction)
{
    QStringList terms;
    for (const QString& t : keyParts(server))
        terms << t + direction;
    return terms.join(QStringLiteral(", "));
}

// The condition that a line comes after `after` in c's order, its values appended to values.
QString afterCondition(const Criteria& c, bool server, const Hit& after, QVariantList& values)
{
    const QVariantList key{dateKey(after.日付, server), after.時間.isNull() ? QStringLiteral("") : after.時間,
                           after.氏名, store::dateValue(after.作成日), after.行番号};
    const QString first = firstColumn(c);
    // The key's rows come after it descending, or ascending for the date sorted upwards.
    const QString keyAfter =
        QStringLiteral("(%1) %2 (?, ?, ?, ?, ?)")
            .arg(orderKey(server),
                 first.isEmpty() && !c.descending ? QStringLiteral(">") : QStringLiteral("<"));
    if (first.isEmpty()) {
        values += key;
        return keyAfter;
    }
    // A line without a place read back as a null text, which as a bound value would compare as
    // nothing at all.
    const QString value = c.sortBy == SortBy::Name ? after.氏名
                          : after.訪問先.isNull()  ? QStringLiteral("")
                                                   : after.訪問先;
    values << value << value;
    values += key;
    return QStringLiteral("(%1 %2 ? OR (%1 = ? AND %3))")
        .arg(first, c.descending ? QStringLiteral("<") : QStringLiteral(">"), keyAfter);
}

} // namespace

bool byDate(const Criteria& c)
{
    return c.sortBy == SortBy::Date;
}

QString orderBy(const Criteria& c, bool server)
{
    const QString first = firstColumn(c);
    if (first.isEmpty())
        return keyTerms(server, c.descending ? QStringLiteral(" DESC") : QString());
    return first + (c.descending ? QStringLiteral(" DESC, ") : QStringLiteral(", ")) +
           keyTerms(server, QStringLiteral(" DESC"));
}

QString hitColumns()
{
    return QStringLiteral("l.作成日, l.氏名, l.行番号, l.日付, l.時間, l.訪問先, l.担当, l.内容, l.備考");
}

QDate dateOf(const store::Statement& s, int i)
{
    // A date as stored, "yyyy-MM-dd", read digit by digit: Qt's format parser took two thirds
    // of a screen's time. Any other text goes the general way.
    const QString t = s.text(i);
    if (t.size() == 10 && t[4] == u'-' && t[7] == u'-') {
        const auto digits = [&t](int from, int count) {
            int v = 0;
            for (int j = from; j < from + count; ++j) {
                const char16_t c = t[j].unicode();
                if (c < u'0' || c > u'9')
                    return -1;
                v = v * 10 + (c - u'0');
            }
            return v;
        };
        const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
        if (year > 0 && month >= 0 && day >= 0)
            return QDate(year, month, day);
    }
    return store::toDate(t);
}

Hit hitOf(const store::Statement& s, int first)
{
    Hit h;
    h.作成日 = dateOf(s, first);
    h.氏名 = s.text(first + 1);
    h.行番号 = int(s.integer(first + 2));
    h.日付 = dateOf(s, first + 3);
    h.時間 = s.text(first + 4);
    h.訪問先 = s.text(first + 5);
    h.担当 = s.text(first + 6);
    h.内容 = s.text(first + 7);
    h.備考 = s.text(first + 8);
    return h;
}

store::Error readRows(const QSqlDatabase& main, const QString& sql, const QVariantList& values,
                      const std::function<void(const store::Statement&)>& row)
{
    store::Statement s(main, sql);
    for (const QVariant& v : values)
        s.bind(v);
    return store::forEachRow(s, [&row](store::Statement& st) { row(st); });
}

namespace {

// A statement's FROM and WHERE as they are built, with the values bound to them in order.
struct Query {
    QString from = QStringLiteral("FROM 営業日報 l");
    QStringList where;
    QVariantList values;
};

// Whether the keywords, found by the index's condition bound to match, have more than
// c.commonCount matches: then a screen is best read by walking the lines in order.
store::Error keywordsCommon(const QSqlDatabase& main, const Criteria& c, bool server,
                            const QString& condition, const QVariant& match, const IndexMatches* matches,
                            bool* common)
{
    if (matches) {
        *common = matches->truncated;
        return {};
    }
    // A server's GIN index cannot stop counting early (it gathers every match first), so
    // there the statistics of the index say how common the rarest token is, when it has
    // them.
    double estimate = -1;
    if (server)
        if (store::Error e = serverEstimate(main, match, &estimate); e.failed())
            return e;
    if (estimate >= 0) {
        *common = estimate > c.commonCount;
        return {};
    }
    // Whether there is a match past the cap: skipping rows costs less than counting them
    // (a third less on a file, where this is most of a common keyword's first screen).
    store::Statement n(
        main, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1 OFFSET %3")
                  .arg(server ? QStringLiteral("営業日報 l") : QStringLiteral("営業日報検索 f"), condition)
                  .arg(std::max(c.commonCount, 0)));
    n.bind(match);
    return store::forEachRow(n, [common](store::Statement&) {
        *common = true;
        return false;
    });
}

// The index's matches as the lines' source: those read already, or the index's condition bound
// to match, each joined to its line on a local file. True when the folded text kept with the
// index is joined too, as s.
bool readThroughIndex(bool server, const QString& condition, const QVariant& match, const QStringList& words,
                      const IndexMatches* matches, Query* q)
{
    QString key = QStringLiteral("f.rowid");
    if (matches && !server) {
        // The matches read already, as a JSON array: the index is not read again.
        q->from = QStringLiteral("FROM json_each(?) f");
        key = QStringLiteral("f.value");
        QStringList ids;
        ids.reserve(matches->ids.size());
        for (const qint64 id : matches->ids)
            ids << QString::number(id);
        q->values << QVariant(u'[' + ids.join(u',') + u']');
    } else {
        q->where << condition;
        q->values << match;
        if (!server)
            q->from = QStringLiteral("FROM 営業日報検索 f");
    }
    if (server)
        return false;
    // A longer keyword is decided on the folded text kept with the index, read by
    // the index row's number, before any line is read: only the lines that hold it
    // are sought in the line table.
    const bool kept =
        std::any_of(words.begin(), words.end(), [](const QString& w) { return charCount(w) > 2; }) &&
        std::none_of(words.begin(), words.end(), holdsControl);
    if (kept) {
        q->from += QStringLiteral(" CROSS JOIN 営業日報検索元 s");
        q->where << QStringLiteral("s.番号 = %1").arg(key);
    }
    // The index's rows, each joined to its line by the key its number holds.
    q->from += QStringLiteral(" CROSS JOIN 営業日報検索氏名 n CROSS JOIN 営業日報 l");
    q->where << QStringLiteral("n.番号 = %1 >> 42").arg(key) << QStringLiteral("l.氏名 = n.氏名")
             << QStringLiteral("l.作成日 = date(((%1 >> 20) & 4194303) + 0.5)").arg(key)
             << QStringLiteral("l.行番号 = (%1 & 1048575)").arg(key);
    return kept;
}

// The keywords' own tests: a walk's, nested in out->test, or those the index leaves to the
// statement. The index finds exactly the lines holding a word of one or two characters; longer
// words it narrows down to lines holding all their pairs, and the text itself decides.
void keywordTests(const QStringList& words, bool server, ServerFold fold, Want want, bool indexed, bool kept,
                  Query* q, LineSource* out)
{
    QStringList tests;
    for (const QString& w : words)
        if (want == Want::Walk)
            tests << holdsCondition(server, fold, w, out->testValues);
        else if (kept && charCount(w) > 2)
            q->where << keptHolds(w, q->values);
        else if (!indexed || charCount(w) > 2)
            q->where << holdsCondition(server, fold, w, q->values);
    // Nested, so that a line failing one keyword is not searched for the next.
    out->test = tests.isEmpty() ? QStringLiteral("1") : tests.takeLast();
    while (!tests.isEmpty())
        out->test = QStringLiteral("CASE WHEN %1 THEN %2 ELSE 0 END").arg(tests.takeLast(), out->test);
}

} // namespace

store::Error linesOf(const QSqlDatabase& main, const Criteria& c, const Hit* after, Want want,
                     LineSource* out, const IndexMatches* matches)
{
    const bool server = store::isServer(main);
    const QStringList words = keywordsOf(c);
    Query q;
    Plan plan = want == Want::Walk ? Plan::Walk : Plan::Scan;
    bool indexed = false;
    bool kept = false; // the index's kept text joined as s
    const bool hasIndex = want != Want::Walk && !words.isEmpty() && (matches || store::textIndexReady(main));
    if (hasIndex) {
        // The index's condition: FTS5's query locally, the containment of every token in the
        // line's characters and pairs on a server.
        const QString condition =
            server ? store::serverGramsOf(QStringLiteral("l")) + QStringLiteral(" @> ?::text[]")
                   : QStringLiteral("f.営業日報検索 MATCH ?");
        const QVariant match = server ? arrayOf(words) : QVariant(store::textIndexQuery(words));
        bool common = false;
        if (want == Want::First)
            if (store::Error e = keywordsCommon(main, c, server, condition, match, matches, &common);
                e.failed())
                return e;
        if (common) {
            plan = Plan::Walk;
        } else {
            indexed = true;
            plan = Plan::Index;
            kept = readThroughIndex(server, condition, match, words, matches, &q);
        }
    }
    periodConditions(c, server, &q.where, &q.values);
    if (!c.name.isEmpty()) {
        q.where << QStringLiteral("l.氏名 = ?");
        q.values << c.name;
    }
    if (after)
        q.where << afterCondition(c, server, *after, q.values);
    const ServerFold fold = server && !words.isEmpty() ? serverFoldOf(main, hasIndex) : ServerFold::Plain;
    keywordTests(words, server, fold, want, indexed, kept, &q, out);
    out->sql =
        q.from +
        (q.where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + q.where.join(QStringLiteral(" AND ")));
    out->values = q.values;
    out->plan = plan;
    return {};
}

namespace {

// The first screen by walking the lines in order, for as long as the keywords keep proving
// common on the way.
store::Error walkWhileCommon(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                             QList<Hit>* out, bool* done)
{
    // A keyword walks on when it is in one line of every `spacing` or more: four times the
    // count that makes it common, so that one near it still goes the measured way, and a walk that
    // gives up (its lines read for nothing) gives up soon: after 62 lines at 4,000.
    const double spacing = kMeasuredLines / (4.0 * std::max(c.commonCount, 1));
    if (spacing < 1)
        return {};
    // Deciding by the index alone means reading up to c.commonCount of its matches, which for a
    // word in most lines costs more than the screen. The walk itself tells, from the lines it
    // has read and the matches among them, looked at after 16, 32, 64 … lines: it goes on while
    // there are at least as many matches as those lines hold spacings, and otherwise gives up
    // (having read at most about twice the lines a screen at that density needs). Whichever
    // way it goes, the lines are the same: only what they cost changes.
    LineSource src;
    if (store::Error e = linesOf(main, c, after, Want::Walk, &src); e.failed())
        return e;
    store::Statement s(main, QStringLiteral("SELECT %1, %2 %3 ORDER BY %4")
                                 .arg(hitColumns(), src.test, src.sql, orderBy(c, false)));
    for (const QVariant& v : src.testValues + src.values)
        s.bind(v);
    const int flag = 9; // the column after hitColumns
    QList<Hit> found;
    qint64 lines = 0, look = kFirstLook;
    bool gaveUp = false;
    const store::Error e = store::forEachRow(s, [&](store::Statement& r) {
        ++lines;
        if (r.integer(flag) != 0) {
            found << hitOf(r);
            if (found.size() >= limit)
                return false;
        }
        if (lines == look) {
            // Without a name a stretch of one spacing without the keywords is not yet enough
            // to give up on (a keyword in one line of 50 is absent from 16 lines as often as
            // not), and the index's matches to read instead are all of the file's; with a name
            // only that name's are taken from them.
            const double due = double(lines) / spacing;
            if (double(found.size()) < (c.name.isEmpty() ? std::floor(due) : due)) {
                gaveUp = true;
                return false;
            }
            look *= 2;
        }
        return true;
    });
    if (e.failed() || gaveUp)
        return e;
    *out += found;
    *done = true;
    return {};
}

} // namespace

store::Error readIndexMatches(const QSqlDatabase& main, const Criteria& c, IndexMatches* out)
{
    // With a name, only its matches are read: its number is the top of each row number, so they
    // are one range of them, which the index reads alone. Then a keyword is common when that name
    // alone has more than the cap's matches, the index's lines being only those.
    const QString number = QStringLiteral("(SELECT 番号 FROM 営業日報検索氏名 WHERE 氏名 = ?)");
    store::Statement m(
        main, QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ?%2 LIMIT ?")
                  .arg(store::kTextIndex, c.name.isEmpty() ? QString()
                                                           : QStringLiteral(" AND rowid BETWEEN %1 << 42 AND "
                                                                            "(%1 << 42) + 4398046511103")
                                                                 .arg(number)));
    m.bind(store::textIndexQuery(keywordsOf(c)));
    if (!c.name.isEmpty())
        m.bind(c.name).bind(c.name);
    // One past the cap tells whether there are more.
    const int cap = std::max(c.commonCount, 0);
    m.bind(qint64(cap) + 1);
    IndexMatches found;
    if (store::Error e = store::forEachRow(m, [&found](store::Statement& r) { found.ids << r.integer(0); });
        e.failed())
        return e;
    found.truncated = found.ids.size() > cap;
    if (found.truncated)
        found.ids.removeLast();
    *out = std::move(found);
    return {};
}

store::Error firstScreen(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                         QList<Hit>* out, bool* done)
{
    *done = false;
    const QStringList words = keywordsOf(c);
    // Another column's order sorts every match, which the index's matches serve as well as any.
    if (limit <= 0 || words.isEmpty() || !byDate(c) || store::isServer(main) || !store::textIndexReady(main))
        return {};
    if (store::Error e = walkWhileCommon(main, c, after, limit, out, done); e.failed() || *done)
        return e;
    // For a single token without a name, the check that skips past the cap and a second reading
    // of the index (linesOf's way) cost less than taking the matches out and passing them back.
    // Otherwise the index's matches up to the cap are read once: when whole they are the lines
    // to take (a name leaves few of them; several tokens' matches cost more to find
    // again).
    if (c.name.isEmpty() && words.size() == 1 && store::textIndexTokens(words[0]).size() == 1)
        return {};
    IndexMatches matches;
    if (store::Error e = readIndexMatches(main, c, &matches); e.failed())
        return e;
    LineSource src;
    if (store::Error e = linesOf(main, c, after, Want::First, &src, &matches); e.failed())
        return e;
    QList<Hit> found;
    const store::Error e = readRows(
        main,
        QStringLiteral("SELECT %1 %2 ORDER BY %3 LIMIT ?").arg(hitColumns(), src.sql, orderBy(c, false)),
        src.values + QVariantList{limit}, [&found](const store::Statement& r) { found << hitOf(r); });
    if (e.failed())
        return e;
    *out += found;
    *done = true;
    return {};
}

store::Error countFromIndex(const QSqlDatabase& main, const Criteria& c, Totals* out, bool* done)
{
    *done = false;
    const QStringList words = keywordsOf(c);
    if (words.isEmpty() || store::isServer(main) || !store::textIndexReady(main))
        return {};
    // The folded text kept with the index holds blanks for control characters: a keyword holding
    // one is left to the lines themselves.
    if (std::any_of(words.begin(), words.end(), holdsControl))
        return {};
    // Each index row is one line, and its number without the line number is the report.
    QString from = QStringLiteral("FROM 営業日報検索 f");
    QStringList where{QStringLiteral("f.営業日報検索 MATCH ?")};
    QVariantList values{store::textIndexQuery(words)};
    if (!c.name.isEmpty()) {
        // A name is one range of row numbers, which FTS5 reads alone.
        where << QStringLiteral("f.rowid BETWEEN %1 << 42 AND (%1 << 42) + 4398046511103")
                     .arg(QStringLiteral("(SELECT 番号 FROM 営業日報検索氏名 WHERE 氏名 = ?)"));
        values << c.name << c.name;
    }
    // The index finds the lines holding all the pairs of a longer keyword; the folded text kept
    // beside it, read by the same row number (near the previous one: no seek across the file),
    // decides, without folding anything again.
    bool source = false;
    for (const QString& w : words)
        if (charCount(w) > 2) {
            if (!source)
                from += QStringLiteral(" CROSS JOIN 営業日報検索元 s");
            if (!source)
                where << QStringLiteral("s.番号 = f.rowid");
            source = true;
            where << keptHolds(w, values);
        }
    if (c.from.isValid() || c.to.isValid()) {
        // Only a period needs the lines themselves: their 日付 is not in the index.
        from += QStringLiteral(" CROSS JOIN 営業日報検索氏名 n CROSS JOIN 営業日報 l");
        where << QStringLiteral("n.番号 = f.rowid >> 42") << QStringLiteral("l.氏名 = n.氏名")
              << QStringLiteral("l.作成日 = date(((f.rowid >> 20) & 4194303) + 0.5)")
              << QStringLiteral("l.行番号 = (f.rowid & 1048575)");
        periodConditions(c, false, &where, &values);
    }
    // FTS5 gives its rows in their numbers' order, so the reports are the runs of the number
    // without its line part; counted without that order should it ever not hold.
    Totals t;
    bool sorted = true;
    const QString sql = QStringLiteral("SELECT count(*), %1 %2 WHERE %3")
                            .arg(QStringLiteral("%1"), from, where.join(QStringLiteral(" AND ")));
    const auto read = [&](const store::Statement& s) {
        t.lines = s.integer(0);
        sorted = !s.value(1).isNull();
        t.reports = s.integer(1);
    };
    store::Error e = readRows(main, sql.arg(QStringLiteral("tesvan_runs(f.rowid >> 20)")), values, read);
    if (e.ok() && !sorted)
        e = readRows(main, sql.arg(QStringLiteral("count(DISTINCT f.rowid >> 20)")), values, read);
    if (e.ok()) {
        *out = t;
        *done = true;
    }
    return e;
}

QDate periodStart(const QDate& d, Period p)
{
    if (p == Period::Month)
        return QDate(d.year(), d.month(), 1);
    return d.addDays(1 - d.dayOfWeek());
}

} // namespace search
