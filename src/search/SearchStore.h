#pragma once
// Finding report lines across every report of the main database, and counting them.
#include "store/Error.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace search {

// What the user asks for. Every part that is empty is no bound.
struct Criteria {
    QDate from;       // on the line's 日付, inclusive
    QDate to;         // on the line's 日付, inclusive
    QString name;     // 氏名, exactly
    QString keywords; // words separated by blanks (ASCII or ideographic); every one must occur
                      // in 内容, 訪問先, 担当 or 備考 of the line
    bool isEmpty() const;
};

// The form both the stored text and the keywords are compared in: NFKC, then case folded.
QString fold(const QString& text);

// The keywords of c, folded, blanks removed, duplicates dropped, in typed order.
QStringList keywordsOf(const Criteria& c);

// One matching line.
struct Hit {
    QDate 作成日; // the report's key, with 氏名
    QString 氏名;
    int 行番号 = 0;
    QDate 日付;
    QString 時間; // as stored, "hhmm" or empty
    QString 訪問先;
    QString 担当;
    QString 内容;
    QString 備考;
};

// Up to limit matching lines in the order 日付, 時間, 氏名, 作成日, 行番号, the first one after
// `after` in that order (from the start when after is null). Appends to out; on failure out
// keeps what it held.
store::Error findLines(const QSqlDatabase& main, const Criteria& c, const Hit* after, int limit,
                       QList<Hit>* out);

struct Totals {
    qint64 lines = 0;
    qint64 reports = 0;
};
store::Error countLines(const QSqlDatabase& main, const Criteria& c, Totals* out);

// Per 訪問先 of the matching lines (lines without one are not counted): the lines, the latest
// 日付 and the names that went, most visits first.
struct PlaceCount {
    QString 訪問先;
    qint64 visits = 0;
    QDate last;
    QStringList names; // in name order
};
store::Error countByPlace(const QSqlDatabase& main, const Criteria& c, QList<PlaceCount>* out);

// Per 氏名 and per week (starting Monday) or month of the line's 日付: lines and reports, in name
// then start order (lines without a 日付 belong to no period and are not counted).
enum class Period { Week, Month };
struct NameCount {
    QString 氏名;
    QDate start; // first day of the week or month
    qint64 visits = 0;
    qint64 reports = 0;
};
store::Error countByName(const QSqlDatabase& main, const Criteria& c, Period p, QList<NameCount>* out);

// The reports holding a matching line, in 作成日 then 氏名 order.
struct ReportKey {
    QDate 作成日;
    QString 氏名;
};
store::Error findReports(const QSqlDatabase& main, const Criteria& c, QList<ReportKey>* out);

} // namespace search
