#include "search/Visits.h"

#include "search/SearchQuery.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <limits>

namespace search {
namespace {
const char* const kNotVisitsKey = "集計/訪問に数えない訪問先";

QSettings userSettings()
{
    return QSettings(QStringLiteral("PrjTesvan"), QStringLiteral("PrjTesvan"));
}
} // namespace

bool isVisitPlace(const QString& place, const QStringList& notVisits)
{
    if (place.trimmed().isEmpty())
        return false;
    const QString folded = fold(place.trimmed());
    for (const QString& n : notVisits)
        if (fold(n.trimmed()) == folded)
            return false;
    return true;
}

QStringList placesOf(const QString& typed)
{
    static const QRegularExpression separators(QStringLiteral("[、，,\\n\\r]+"));
    QStringList out;
    for (const QString& part : typed.split(separators, Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (!p.isEmpty() && !out.contains(p))
            out << p;
    }
    return out;
}

QStringList notVisitPlaces()
{
    return userSettings().value(QString::fromUtf8(kNotVisitsKey)).toStringList();
}

void setNotVisitPlaces(const QStringList& places)
{
    QSettings s = userSettings();
    if (places.isEmpty())
        s.remove(QString::fromUtf8(kNotVisitsKey));
    else
        s.setValue(QString::fromUtf8(kNotVisitsKey), places);
}

store::Error readVisits(const QSqlDatabase& main, const Criteria& c, const QStringList& notVisits,
                        const std::function<void(const VisitLines&)>& row)
{
    LineSource src;
    if (store::Error e = linesOf(main, c, nullptr, Want::All, &src); e.failed())
        return e;
    // One row per report too, so that the reports can be counted from the same rows; a visit told
    // in two reports of one day is still one, being the rows of one key next to each other.
    const QString place = QStringLiteral("coalesce(l.訪問先, '')");
    bool started = false;
    VisitLines last;
    return readRows(
        main,
        QStringLiteral("SELECT l.氏名, l.日付, %1, l.作成日, count(*) %2 GROUP BY l.氏名, l.日付, %1, "
                       "l.作成日 ORDER BY l.氏名, l.日付, %1")
            .arg(place, src.sql),
        src.values, [&](const store::Statement& s) {
            VisitLines v;
            v.氏名 = s.text(0);
            v.日付 = dateOf(s, 1);
            v.訪問先 = s.text(2);
            v.作成日 = dateOf(s, 3);
            v.lines = s.integer(4);
            const bool same =
                started && v.氏名 == last.氏名 && v.日付 == last.日付 && v.訪問先 == last.訪問先;
            v.place = same ? last.place : isVisitPlace(v.訪問先, notVisits);
            v.visit = v.place && !same;
            started = true;
            last = v;
            row(v);
        });
}

// The two counts of 集計 (declared with the search's store functions), made of the visits.

store::Error countByPlace(const QSqlDatabase& main, const Criteria& c, QList<PlaceCount>* out,
                          const QStringList& notVisits)
{
    QMap<QString, PlaceCount> places;
    QMap<QString, QSet<QString>> names;
    const store::Error e = readVisits(main, c, notVisits, [&](const VisitLines& v) {
        if (!v.place)
            return;
        PlaceCount& p = places[v.訪問先];
        p.訪問先 = v.訪問先;
        p.visits += v.visit ? 1 : 0;
        p.lines += v.lines;
        p.last = std::max(p.last, v.日付);
        names[v.訪問先].insert(v.氏名);
    });
    if (e.failed())
        return e;
    QList<PlaceCount> list;
    for (auto it = places.begin(); it != places.end(); ++it) {
        PlaceCount p = it.value();
        p.names = names.value(it.key()).values();
        std::sort(p.names.begin(), p.names.end());
        list << p;
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const PlaceCount& a, const PlaceCount& b) { return a.visits > b.visits; });
    *out = list;
    return {};
}

store::Error countByName(const QSqlDatabase& main, const Criteria& c, Period p, QList<NameCount>* out,
                         const QStringList& notVisits)
{
    // Keyed by name then start, so the map's order is the result's. The rows come in that order,
    // so the last period's entry is tried first.
    struct Bucket {
        NameCount n;
        QSet<qint64> reports; // their 作成日 as day numbers
    };
    QMap<QPair<QString, QDate>, Bucket> counts;
    Bucket* last = nullptr;
    const store::Error e = readVisits(main, c, notVisits, [&](const VisitLines& v) {
        if (!v.日付.isValid())
            return;
        const QDate start = periodStart(v.日付, p);
        if (!last || last->n.start != start || last->n.氏名 != v.氏名) {
            last = &counts[{v.氏名, start}];
            last->n.氏名 = v.氏名;
            last->n.start = start;
        }
        last->n.visits += v.visit ? 1 : 0;
        last->n.lines += v.lines;
        last->reports.insert(v.作成日.isValid() ? v.作成日.toJulianDay()
                                                : std::numeric_limits<qint64>::min());
    });
    if (e.failed())
        return e;
    QList<NameCount> list;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        NameCount n = it.value().n;
        n.reports = it.value().reports.size();
        list << n;
    }
    *out = list;
    return {};
}

} // namespace search
