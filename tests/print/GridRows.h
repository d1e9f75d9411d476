#pragma once
// Entry-grid rows for the print tests.
#include "store/Rows.h"
#include "store/Schema.h"

#include <QtTest>

namespace testing {

// A line of the entry grid: number, shown date, effective date, time, contents, remark;
// an empty text stands for Null.
inline store::Row gridLine(int no, const QString& shown, const QString& date, const QString& time = {},
                           const QString& text = {}, const QString& note = {}, const QString& place = {},
                           const QString& person = {})
{
    auto v = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    return {no, 0, v(shown), v(date), v(time), v(person), v(place), v(text), v(note)};
}

// w営業日報 becomes rows.
inline void setGridRows(const QSqlDatabase& work, const QList<store::Row>& rows)
{
    const store::Error e =
        store::rewriteTable(work, store::tbl::w営業日報, store::fieldsOf(store::tbl::w営業日報), rows);
    QVERIFY2(e.ok(), qPrintable(e.reason()));
}

} // namespace testing
