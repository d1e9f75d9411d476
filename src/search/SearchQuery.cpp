#include "search/SearchQuery.h"

#include "store/Dates.h"
#include "store/Server.h"
#include "store/TextIndex.h"

namespace search {
namespace {

// Past this many index matches a keyword counts as common.
int commonCount = 2000;

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

// The condition that the line holds word (folded) in one of its four texts.
QString holdsCondition(bool server, const QString& word, QVariantList& values)
{
    if (!server) {
        values << word;
        return QStringLiteral("tesvan_holds(?, l.内容, l.訪問先, l.担当, l.備考) = 1");
    }
    QStringList parts;
    for (const char* f : {"内容", "訪問先", "担当", "備考"}) {
        parts << QStringLiteral("strpos(lower(normalize(l.%1, NFKC)), ?) > 0").arg(QString::fromUtf8(f));
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

} // namespace

void setCommonCount(int n)
{
    commonCount = n;
}

QString orderKey(bool server)
{
    return dateExpr(server) + QStringLiteral(", coalesce(l.時間, ''), l.氏名, l.作成日, l.行番号");
}

QString hitColumns()
{
    return QStringLiteral("l.作成日, l.氏名, l.行番号, l.日付, l.時間, l.訪問先, l.担当, l.内容, l.備考");
}

Hit hitOf(const store::Statement& s, int first)
{
    Hit h;
    h.作成日 = store::toDate(s.value(first));
    h.氏名 = s.value(first + 1).toString();
    h.行番号 = s.value(first + 2).toInt();
    h.日付 = store::toDate(s.value(first + 3));
    h.時間 = s.value(first + 4).toString();
    h.訪問先 = s.value(first + 5).toString();
    h.担当 = s.value(first + 6).toString();
    h.内容 = s.value(first + 7).toString();
    h.備考 = s.value(first + 8).toString();
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

store::Error linesOf(const QSqlDatabase& main, const Criteria& c, const Hit* after, Want want,
                     LineSource* out)
{
    const bool server = store::isServer(main);
    const QStringList words = keywordsOf(c);
    QStringList where;
    QVariantList values;
    QString from = QStringLiteral("FROM 営業日報 l");
    QString plan = QStringLiteral("scan");
    bool indexed = false;
    if (!words.isEmpty() && store::hasTextIndex(main)) {
        // The index's condition: FTS5's query locally, the containment of every token in the
        // line's characters and pairs on a server.
        const QString condition =
            server ? store::serverGramsOf(QStringLiteral("l")) + QStringLiteral(" @> ?::text[]")
                   : QStringLiteral("f.営業日報検索 MATCH ?");
        const QVariant match = server ? arrayOf(words) : QVariant(store::textIndexQuery(words));
        bool common = false;
        if (want == Want::First) {
            store::Statement n(
                main,
                QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 WHERE %2 LIMIT %3) x")
                    .arg(server ? QStringLiteral("営業日報 l") : QStringLiteral("営業日報検索 f"), condition)
                    .arg(commonCount));
            n.bind(match);
            int found = 0;
            if (store::Error e =
                    store::forEachRow(n, [&found](store::Statement& r) { found = r.value(0).toInt(); });
                e.failed())
                return e;
            common = found >= commonCount;
        }
        if (common) {
            plan = QStringLiteral("walk");
        } else {
            indexed = true;
            plan = QStringLiteral("index");
            where << condition;
            values << match;
            if (!server) {
                // The index's rows, each joined to its line by the key its number holds.
                from =
                    QStringLiteral("FROM 営業日報検索 f CROSS JOIN 営業日報検索氏名 n CROSS JOIN 営業日報 l");
                where << QStringLiteral("n.番号 = f.rowid >> 42") << QStringLiteral("l.氏名 = n.氏名")
                      << QStringLiteral("l.作成日 = date(((f.rowid >> 20) & 4194303) + 0.5)")
                      << QStringLiteral("l.行番号 = (f.rowid & 1048575)");
            }
        }
    }
    // Written over the order's own first part, so that the index in that order serves them.
    if (c.from.isValid()) {
        where << dateExpr(server) + QStringLiteral(" >= ?");
        values << store::dateValue(c.from);
    }
    if (c.to.isValid()) {
        where << dateExpr(server) + QStringLiteral(" <= ?");
        values << store::dateValue(c.to);
        if (!c.from.isValid()) {
            where << dateExpr(server) + QStringLiteral(" > ?");
            values << dateKey({}, server);
        }
    }
    if (!c.name.isEmpty()) {
        where << QStringLiteral("l.氏名 = ?");
        values << c.name;
    }
    if (after) {
        where << QStringLiteral("(%1) > (?, ?, ?, ?, ?)").arg(orderKey(server));
        values << dateKey(after->日付, server) << (after->時間.isNull() ? QStringLiteral("") : after->時間)
               << after->氏名 << store::dateValue(after->作成日) << after->行番号;
    }
    // The index finds exactly the lines holding a word of one or two characters; longer words
    // it narrows down to lines holding all their pairs, and the text itself decides.
    for (const QString& w : words)
        if (!indexed || charCount(w) > 2)
            where << holdsCondition(server, w, values);
    out->sql = from + (where.isEmpty() ? QString()
                                       : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
    out->values = values;
    out->plan = plan;
    return {};
}

QDate periodStart(const QDate& d, Period p)
{
    if (p == Period::Month)
        return QDate(d.year(), d.month(), 1);
    return d.addDays(1 - d.dayOfWeek());
}

} // namespace search
