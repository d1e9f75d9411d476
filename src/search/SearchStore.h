#pragma once
// Finding report lines across every report of the main database, and counting them.
#include "search/Criteria.h"
#include "store/Error.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace search {

// Up to limit matching lines in c's order (orderBy), the first one after `after` in that order
// (from the start when after is null). Appends to out; on failure out
// keeps what it held.
store::Error findLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                       QList<Hit>* out);

store::Error countLines(const QSqlDatabase& main, const Criteria& c, Totals* out);

// Per 訪問先 of the matching lines (lines without one, or at a place of notVisits, are not
// counted): the visits (search/Visits.h: one per 日付, 氏名 and 訪問先), the lines, the latest
// 日付 and the names that went, most visits first.
struct PlaceCount {
    QString 訪問先;
    qint64 visits = 0;
    qint64 lines = 0;
    QDate last;
    QStringList names; // in name order
};
store::Error countByPlace(const QSqlDatabase& main, const Criteria& c, QList<PlaceCount>* out,
                          const QStringList& notVisits = {});

// Per 氏名 and per week (starting Monday) or month of the line's 日付: visits (as above), lines
// and reports, in name then start order (lines without a 日付 belong to no period and are not
// counted).
struct NameCount {
    QString 氏名;
    QDate start; // first day of the week or month
    qint64 visits = 0;
    qint64 lines = 0;
    qint64 reports = 0;
};
store::Error countByName(const QSqlDatabase& main, const Criteria& c, Period p, QList<NameCount>* out,
                         const QStringList& notVisits = {});

// The reports holding a matching line, in 作成日 then 氏名 order.
struct ReportKey {
    QDate 作成日;
    QString 氏名;
};
store::Error findReports(const QSqlDatabase& main, const Criteria& c, QList<ReportKey>* out);

} // namespace search
