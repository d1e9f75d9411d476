#pragma once
// What 集計 counts as a visit: one per 日付, 氏名 and 訪問先 of the matching lines, however many
// lines tell of it (a morning's call and its afternoon follow-up at the same customer are one
// visit). A line without a 訪問先, or at a place the user leaves out (社内, say), is no visit; the
// lines are counted beside the visits all the same.
#include "search/SearchStore.h"

#include <functional>

namespace search {

// A person's matching lines of one day at one place in one report.
struct VisitLines {
    QString 氏名;
    QDate 日付;
    QString 訪問先; // empty: none
    QDate 作成日;
    qint64 lines = 0;
    bool place = false; // a 訪問先 that is not left out
    bool visit = false; // a place, and the first group of its 日付, 氏名 and 訪問先
};

// The groups of c's lines, in 氏名, 日付, 訪問先 order (those of one visit together), each given
// to row; notVisits: the places left out.
store::Error readVisits(const QSqlDatabase& main, const Criteria& c, const QStringList& notVisits,
                        const std::function<void(const VisitLines&)>& row);

// Whether place is a visit's place with notVisits left out (compared folded, so that 社内 and
// ｼｬﾅｲ-like width or case differences in typing do not matter).
bool isVisitPlace(const QString& place, const QStringList& notVisits);

// The places typed in one text, separated by "、", "，", "," or line breaks, blanks around trimmed,
// empty ones and repeats dropped.
QStringList placesOf(const QString& typed);

// The places left out of visits as this user last set them (a setting of the user, kept between
// sessions), and keeping them.
QStringList notVisitPlaces();
void setNotVisitPlaces(const QStringList& places);

} // namespace search
