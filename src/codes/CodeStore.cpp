#include "codes/CodeStore.h"

#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QList>

namespace codes {
namespace {

const QStringList kWorkFields = {QStringLiteral("code"), QStringLiteral("sname"), QStringLiteral("チェック")};

// The work table's rows for the given names, position n holding names[n-1] (blank beyond).
QList<store::Row> gridRows(const QVariantList& names)
{
    QList<store::Row> rows;
    rows.reserve(store::kCodeRows);
    for (int n = 1; n <= store::kCodeRows; ++n)
        rows << store::Row{store::codeOf(n), n <= names.size() ? names[n - 1] : QVariant(QString("")), 0};
    return rows;
}

// wコードマスタ rewritten as rows unless it shows them already (a name Null or empty shows
// the same and registers as ''): start-up clears the grid and reads the first category,
// which mostly leaves it as it was.
store::Error rewriteGridIfChanged(const QSqlDatabase& work, const QList<store::Row>& rows)
{
    QList<store::Row> held;
    if (store::Error e = store::readRows(work,
                                         QStringLiteral("SELECT code, COALESCE(sname, ''), チェック FROM "
                                                        "wコードマスタ ORDER BY rowid"),
                                         {}, held);
        e.failed())
        return e;
    const auto blankIfNull = [](const QVariant& v) { return v.isNull() ? QVariant(QString("")) : v; };
    bool same = held.size() == rows.size();
    for (qsizetype i = 0; same && i < held.size(); ++i)
        for (qsizetype f = 0; same && f < rows[i].size(); ++f)
            same = store::sameValue(held[i][f], blankIfNull(rows[i][f]));
    return same ? store::Error() : store::rewriteTable(work, store::tbl::wコードマスタ, kWorkFields, rows);
}

// The grid's rows in code order: their names, and whether each is ticked.
store::Error readGrid(const QSqlDatabase& work, QVariantList& names, QList<bool>* ticks = nullptr)
{
    QList<store::Row> rows;
    const store::Error e = store::readRows(
        work, QStringLiteral("SELECT sname, チェック FROM wコードマスタ ORDER BY code, rowid"), {}, rows);
    if (e.failed())
        return e;
    names.clear();
    for (const store::Row& r : rows) {
        names << r[0];
        if (ticks)
            *ticks << (r[1].toInt() != 0);
    }
    return {};
}

// The stored rows of category, (code, sname) in code order.
store::Error readStored(const QSqlDatabase& main, const QString& category, QList<store::Row>& rows)
{
    return store::readRows(
        main, QStringLiteral("SELECT code, sname FROM コードマスタ WHERE kcode = ? ORDER BY code"),
        {category}, rows);
}

// Inside the writing transaction, once the category is held against other writers: fails, with
// changed set, unless the category is stored exactly as read (a Null name and '' alike).
store::Error refuseIfChanged(const QSqlDatabase& main, const QString& category, const CategoryState& read,
                             bool& changed)
{
    if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
        return e;
    QList<store::Row> now;
    if (store::Error e = readStored(main, category, now); e.failed())
        return e;
    const auto blankIfNull = [](const QVariant& v) { return v.isNull() ? QVariant(QString("")) : v; };
    bool same = read.known && read.category == category && now.size() == read.rows.size();
    for (qsizetype i = 0; same && i < now.size(); ++i)
        same = store::sameValue(now[i][0], read.rows[i][0]) &&
               store::sameValue(blankIfNull(now[i][1]), blankIfNull(read.rows[i][1]));
    if (same)
        return {};
    changed = true;
    return store::Error(QStringLiteral("区分 %1 は読込んだ後に変更されています。").arg(category));
}

} // namespace

store::Error clearCodeRows(const QSqlDatabase& work)
{
    return rewriteGridIfChanged(work, gridRows({}));
}

store::Error readCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                          CategoryState* read)
{
    QList<store::Row> stored;
    if (const store::Error e = readStored(main, category, stored); e.failed())
        return e;
    QVariantList names;
    for (const store::Row& r : stored)
        names << r[1];
    if (const store::Error e = rewriteGridIfChanged(work, gridRows(names)); e.failed())
        return e;
    if (read)
        *read = CategoryState{category, stored, true};
    return {};
}

CategoryWrite registerCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                               CategoryState& read)
{
    CategoryWrite w;
    QVariantList names;
    if ((w.error = readGrid(work, names)).failed())
        return w;
    QList<store::Row> written;
    for (int n = 1; n <= store::kCodeRows; ++n) {
        const QString name = n <= names.size() ? names[n - 1].toString() : QString();
        written << store::Row{store::codeOf(n), name.isEmpty() ? QString("") : name};
    }
    w.error = store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = refuseIfChanged(main, category, read, w.changedSince); e.failed())
            return e;
        if (store::Error e =
                store::run(main, QStringLiteral("DELETE FROM コードマスタ WHERE kcode = ?"), {category});
            e.failed())
            return e;
        store::Statement ins(
            main, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, ?)"));
        for (const store::Row& r : written)
            if (!ins.bind(category).bind(r[0]).bind(r[1]).exec())
                return ins.error();
        return {};
    });
    if (w.error.ok()) {
        w.stored = true;
        read = CategoryState{category, written, true};
    }
    return w;
}

CategoryWrite deleteTickedLines(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                                CategoryState& read)
{
    CategoryWrite w;
    QVariantList names;
    QList<bool> ticks;
    if ((w.error = readGrid(work, names, &ticks)).failed())
        return w;
    QVariantList kept;
    for (int i = 0; i < names.size(); ++i)
        if (!ticks[i])
            kept << names[i];
    const QList<store::Row> rows = gridRows(kept);

    QList<store::Row> written = read.rows;
    w.error = store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = refuseIfChanged(main, category, read, w.changedSince); e.failed())
            return e;
        // Walked in step with the closed-up rows: the n-th stored row takes the n-th name.
        store::Statement up(main,
                            QStringLiteral("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"));
        for (qsizetype n = 0; n < written.size() && n < rows.size(); ++n) {
            written[n][1] = rows[n][1];
            if (!up.bind(written[n][1]).bind(category).bind(written[n][0]).exec())
                return up.error();
        }
        return {};
    });
    if (w.error.failed())
        return w;
    w.stored = true;
    read.rows = written;
    w.error = store::rewriteTable(work, store::tbl::wコードマスタ, kWorkFields, rows);
    return w;
}

store::Error blankCategory(const QSqlDatabase& main, const QString& category, CategoryState* after)
{
    QList<store::Row> stored;
    const store::Error e = store::inTransaction(main, [&] {
        if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
            return e;
        if (store::Error e = store::run(
                main, QStringLiteral("UPDATE コードマスタ SET sname = NULL WHERE kcode = ?"), {category});
            e.failed())
            return e;
        return readStored(main, category, stored);
    });
    if (e.ok() && after)
        *after = CategoryState{category, stored, true};
    return e;
}

} // namespace codes
