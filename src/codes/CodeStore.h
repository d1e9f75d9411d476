#pragma once
// Database work of the code master tab: the code grid's work table wコードマスタ and one
// category of コードマスタ, matched by position (the n-th grid row is the n-th stored row).
#include "store/Engine.h"
#include "store/Error.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <optional>

namespace codes {

// wコードマスタ becomes kCodeRows blank, unticked rows "001" … "199". One work transaction.
store::Error clearCodeRows(const QSqlDatabase& work);

// What the grid was read from: the stored rows of one category (code and name, in code order)
// at the moment they were read or last written from the grid. A write based on the grid goes
// ahead only while the category still holds exactly these rows, so that names learnt meanwhile
// (by a report's registration, or by another user on a server) are never written over.
struct CategoryState {
    QString category;
    QList<QVariantList> rows; // empty for a category never registered
    bool known = false;       // false until a read: every write is then refused
    // The main file's mark (store::changeMark) at a moment rows were what it held. While the file
    // still shows this mark nothing was written to it since, and a write need not read the
    // category again to know it unchanged. None on a server, which others write unheard.
    std::optional<store::ChangeMark> mark;
};

// wコードマスタ rewritten as kCodeRows unticked rows whose n-th sname is the n-th stored name of
// category in code order (Null stays Null; rows beyond the stored ones blank, rows beyond the
// 199th ignored). A category never registered gives blank rows. If reading the main file fails,
// even part-way, wコードマスタ stays as it was. read, when given, becomes what was read.
store::Error readCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                          CategoryState* read = nullptr);

struct CategoryWrite {
    bool stored = false;       // the main file's write was committed (or there was nothing to write)
    bool changedSince = false; // category is no longer as read: nothing was written (error says so)
    store::Error error;
};

// Replaces category in one main transaction by kCodeRows rows "001" … "199" whose names are the
// grid's rows in code order, a blank or Null name stored as ''. A category is never left
// with fewer rows or half rewritten. Refused, with nothing written, unless read is category as
// it is still stored; on success read becomes what is stored now.
CategoryWrite registerCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                               CategoryState& read);

// Drops the ticked grid rows and closes the others up, in their order, over kCodeRows positions
// (the last ones blank). When category is registered, its stored names become the closed-up
// names, position by position, in one main transaction; a category never registered is not
// created. Only after that, wコードマスタ is rewritten in one work transaction with the
// closed-up rows, renumbered and unticked. Refused as registerCategory is, before anything of
// either file is written; read follows the stored category.
CategoryWrite deleteTickedLines(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                                CategoryState& read);

// Sets every stored name of category to Null in one main transaction; its rows stay. after, when
// given, becomes the blanked category.
store::Error blankCategory(const QSqlDatabase& main, const QString& category, CategoryState* after = nullptr);

} // namespace codes
