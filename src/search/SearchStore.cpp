#include "search/SearchStore.h"

#include "search/SearchQuery.h"
#include "store/Db.h"
#include "store/TextFold.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace search {

bool Criteria::isEmpty() const
{
    return from.isNull() && to.isNull() && name.isEmpty() && keywordsOf(*this).isEmpty();
}

QString fold(const QString& text)
{
    return store::foldText(text);
}

QStringList keywordsOf(const Criteria& c)
{
    QStringList out;
    // NFKC turns the ideographic blank into a plain one, so one split serves both.
    const QStringList words =
        fold(c.keywords).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& w : words)
        if (!out.contains(w))
            out << w;
    return out;
}

store::Error findLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                       QList<Hit>* out)
{
    if (limit <= 0)
        return {};
    QList<Hit> found;
    const store::Error e = walkLines(main, c, after, limit, [&](const Hit& h) {
        found << h;
        return found.size() < limit;
    });
    if (e.ok())
        *out += found;
    return e;
}

store::Error countLines(const QSqlDatabase& main, const Criteria& c, Totals* out)
{
    Totals t;
    QSet<QPair<QDate, QString>> reports;
    const store::Error e = walkLines(main, c, nullptr, -1, [&](const Hit& h) {
        ++t.lines;
        reports.insert({h.作成日, h.氏名});
        return true;
    });
    if (e.failed())
        return e;
    t.reports = reports.size();
    *out = t;
    return {};
}

store::Error countByPlace(const QSqlDatabase& main, const Criteria& c, QList<PlaceCount>* out)
{
    QHash<QString, PlaceCount> places;
    QHash<QString, QSet<QString>> names;
    const store::Error e = walkLines(main, c, nullptr, -1, [&](const Hit& h) {
        if (h.訪問先.isEmpty())
            return true;
        PlaceCount& p = places[h.訪問先];
        p.訪問先 = h.訪問先;
        ++p.visits;
        if (p.last.isNull() || h.日付 > p.last)
            p.last = h.日付;
        names[h.訪問先].insert(h.氏名);
        return true;
    });
    if (e.failed())
        return e;
    QList<PlaceCount> list;
    list.reserve(places.size());
    for (auto it = places.begin(); it != places.end(); ++it) {
        PlaceCount p = it.value();
        const QSet<QString>& who = names[it.key()];
        p.names = QStringList(who.begin(), who.end());
        std::sort(p.names.begin(), p.names.end());
        list << p;
    }
    std::sort(list.begin(), list.end(), [](const PlaceCount& a, const PlaceCount& b) {
        if (a.visits != b.visits)
            return a.visits > b.visits;
        return a.訪問先 < b.訪問先;
    });
    *out = list;
    return {};
}

store::Error countByName(const QSqlDatabase& main, const Criteria& c, Period p, QList<NameCount>* out)
{
    // Keyed by name then start, so the map's order is the result's.
    QMap<QPair<QString, QDate>, NameCount> counts;
    QMap<QPair<QString, QDate>, QSet<QDate>> reports;
    const store::Error e = walkLines(main, c, nullptr, -1, [&](const Hit& h) {
        if (!h.日付.isValid())
            return true;
        const QPair<QString, QDate> key{h.氏名, periodStart(h.日付, p)};
        NameCount& n = counts[key];
        n.氏名 = h.氏名;
        n.start = key.second;
        ++n.visits;
        reports[key].insert(h.作成日);
        return true;
    });
    if (e.failed())
        return e;
    QList<NameCount> list;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        NameCount n = it.value();
        n.reports = reports[it.key()].size();
        list << n;
    }
    *out = list;
    return {};
}

QDate periodStart(const QDate& d, Period p)
{
    if (p == Period::Month)
        return QDate(d.year(), d.month(), 1);
    return d.addDays(1 - d.dayOfWeek());
}

store::Error findReports(const QSqlDatabase& main, const Criteria& c, QList<ReportKey>* out)
{
    QSet<QPair<QDate, QString>> seen;
    QList<ReportKey> list;
    const store::Error e = walkLines(main, c, nullptr, -1, [&](const Hit& h) {
        if (!seen.contains({h.作成日, h.氏名})) {
            seen.insert({h.作成日, h.氏名});
            list << ReportKey{h.作成日, h.氏名};
        }
        return true;
    });
    if (e.failed())
        return e;
    std::sort(list.begin(), list.end(), [](const ReportKey& a, const ReportKey& b) {
        if (a.作成日 != b.作成日)
            return a.作成日 < b.作成日;
        return a.氏名 < b.氏名;
    });
    *out = list;
    return {};
}

} // namespace search
