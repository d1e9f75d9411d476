#pragma once
// What a search asks for and what it finds: the criteria, the folded keywords, one found line,
// the totals and the periods lines are counted by. The reading itself is SearchStore and
// SearchQuery.
#include <QDate>
#include <QString>
#include <QStringList>

namespace search {

// The column the found lines are ordered by first; after it they go newest first.
enum class SortBy { Date, Name, Place };

// Past this many index matches a keyword counts as common. Measured on 1,000,000 lines: taking
// and sorting the index's matches costs about 10 µs a match, walking the lines in order about
// 4 µs a line read, and a screen of 40 needs about 40 × lines / matches lines read; both are
// near 40 ms where they meet, at about 4,000 matches.
inline constexpr int kCommonCount = 4000;

// What the user asks for. Every part that is empty is no bound.
struct Criteria {
    QDate from;       // on the line's 日付, inclusive
    QDate to;         // on the line's 日付, inclusive
    QString name;     // 氏名, exactly
    QString keywords; // words separated by blanks (ASCII or ideographic); every one must occur
                      // in 内容, 訪問先, 担当 or 備考 of the line
    // The order of the found lines (no bound: counting ignores it). By default newest first.
    SortBy sortBy = SortBy::Date;
    bool descending = true;
    // How the lines are read, never which: past this many index matches a keyword is common and
    // a screen walks the lines in order (the tests move it to try each way).
    int commonCount = kCommonCount;
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

struct Totals {
    qint64 lines = 0;
    qint64 reports = 0;
};

// The periods of a count by name: weeks starting on Monday, or months.
enum class Period { Week, Month };

} // namespace search
