#pragma once
// Database work of the code master tab: the code grid's work table wコードマスタ and one
// category of コードマスタ, matched by position (the n-th grid row is the n-th stored row).
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>

namespace codes {

// wコードマスタ becomes kCodeRows blank, unticked rows "001" … "199". One work transaction.
store::Error clearCodeRows(const QSqlDatabase& work);

// wコードマスタ rewritten as kCodeRows unticked rows whose n-th sname is the n-th stored name of
// category in code order (Null stays Null; rows beyond the stored ones blank, rows beyond the
// 199th ignored). A category never registered gives blank rows. If reading the main file fails,
// even part-way, wコードマスタ stays as it was.
store::Error readCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category);

// Replaces category in one main transaction by kCodeRows rows "001" … "199" whose names are the
// grid's rows in code order, a blank or Null name stored as ''. A category is never left
// with fewer rows or half rewritten.
store::Error registerCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category);

struct LineDeleteResult {
    bool stored = false; // the main file's write was committed (or there was nothing to write)
    store::Error error;
};

// Drops the ticked grid rows and closes the others up, in their order, over kCodeRows positions
// (the last ones blank). When category is registered, its stored names become the closed-up
// names, position by position, in one main transaction; a category never registered is not
// created. Only after that, wコードマスタ is rewritten in one work transaction with the
// closed-up rows, renumbered and unticked.
LineDeleteResult deleteTickedLines(const QSqlDatabase& main, const QSqlDatabase& work,
                                   const QString& category);

// Sets every stored name of category to Null in one main transaction; its rows stay.
store::Error blankCategory(const QSqlDatabase& main, const QString& category);

} // namespace codes
