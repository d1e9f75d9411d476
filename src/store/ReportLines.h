#pragma once
// Which rows of the entry grid's work table make up a report: registering stores them and
// printing prints them, so both ask here. A stored report is printed by the same rule.
#include "store/Rows.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QStringList>

namespace store {

// The fields a report line carries, in this order.
enum ReportLineField { L表示日付, L日付, L時間, L担当, L訪問先, L内容, L備考 };
const QStringList& reportLineFields();

struct ReportLines {
    QList<Row> lines;       // values of reportLineFields(), in 行番号 order
    QList<int> withoutText; // 行番号 of rows with something typed but no 内容: no line
};

// The lines of the report in w営業日報: each row with 内容, in 行番号 order; a Null 日付 takes
// the 日付 of the nearest earlier line that had one (a row without 内容 passes none on).
// A read that stops part-way is a failure; out is then left as it was.
Error readReportLines(const QSqlDatabase& work, ReportLines& out);

// The same rule over the lines stored in the main database for the report (date, name), in
// their 行番号 order: what 登録 stored comes back as it was; lines another program stored
// without 内容 or 日付 are treated as the grid's rows would be.
Error readStoredReportLines(const QSqlDatabase& main, const QDate& date, const QString& name,
                            ReportLines& out);

// The same rule as one SELECT over a table of lines (w営業日報 or one like it, 行番号 its rowid):
// the values of reportLineFields() of each line, in 行番号 order. For copying the lines inside
// the file without reading them out and binding them back.
QString reportLinesSelect(const QString& table);

// The rule itself: rows hold 行番号 and then the values of reportLineFields(), in 行番号 order.
ReportLines reportLinesOf(QList<Row> rows);

} // namespace store
