#include "store/ReportLines.h"

#include "store/Dates.h"
#include "store/Schema.h"

namespace store {

const QStringList& reportLineFields()
{
    static const QStringList fields = {"表示日付", "日付", "時間", "担当", "訪問先", "内容", "備考"};
    return fields;
}

ReportLines reportLinesOf(QList<Row> rows)
{
    ReportLines r;
    QVariant lastDate;
    for (Row& row : rows) {
        const int number = row.takeFirst().toInt();
        if (row[L内容].isNull()) {
            for (const QVariant& v : row)
                if (!v.isNull()) {
                    r.withoutText << number;
                    break;
                }
            continue;
        }
        if (row[L日付].isNull())
            row[L日付] = lastDate;
        else
            lastDate = row[L日付];
        r.lines << row;
    }
    return r;
}

QString reportLinesSelect(const QString& table)
{
    // The carried-down date is the nearest earlier line's that has both 内容 and 日付: a row
    // without 内容 passes none on. coalesce looks it up only for a line without its own.
    QStringList values;
    for (qsizetype i = 0; i < reportLineFields().size(); ++i)
        values << (i == L日付
                       ? QStringLiteral("coalesce(l.日付, (SELECT p.日付 FROM %1 p WHERE p.行番号 < l.行番号 "
                                        "AND p.内容 IS NOT NULL AND p.日付 IS NOT NULL "
                                        "ORDER BY p.行番号 DESC LIMIT 1))")
                             .arg(table)
                       : QStringLiteral("l.") + reportLineFields()[i]);
    return QStringLiteral("SELECT %1 FROM %2 l "
                          "WHERE l.内容 IS NOT NULL ORDER BY l.行番号")
        .arg(values.join(QStringLiteral(", ")), table);
}

Error readReportLines(const QSqlDatabase& work, ReportLines& out)
{
    QList<Row> rows;
    if (Error e = readRows(work,
                           QStringLiteral("SELECT 行番号, %1 FROM %2 ORDER BY 行番号")
                               .arg(reportLineFields().join(QStringLiteral(", ")), tbl::w営業日報),
                           {}, rows);
        e.failed())
        return e;
    out = reportLinesOf(std::move(rows));
    return {};
}

Error readStoredReportLines(const QSqlDatabase& main, const QDate& date, const QString& name,
                            ReportLines& out)
{
    QList<Row> rows;
    if (Error e = readRows(main,
                           QStringLiteral("SELECT 行番号, %1 FROM %2 WHERE 作成日 = ? AND 氏名 = ? "
                                          "ORDER BY 行番号")
                               .arg(reportLineFields().join(QStringLiteral(", ")), tbl::営業日報),
                           {dateValue(date), name}, rows);
        e.failed())
        return e;
    out = reportLinesOf(std::move(rows));
    return {};
}

} // namespace store
