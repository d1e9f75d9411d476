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

} // namespace

store::Error clearCodeRows(const QSqlDatabase& work)
{
    return rewriteGridIfChanged(work, gridRows({}));
}

store::Error readCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category)
{
    QList<store::Row> stored;
    const store::Error e =
        store::readRows(main, QStringLiteral("SELECT sname FROM コードマスタ WHERE kcode = ? ORDER BY code"),
                        {category}, stored);
    if (e.failed())
        return e;
    QVariantList names;
    for (const store::Row& r : stored)
        names << r[0];
    return rewriteGridIfChanged(work, gridRows(names));
}

store::Error registerCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category)
{
    QVariantList names;
    if (const store::Error e = readGrid(work, names); e.failed())
        return e;
    return store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
            return e;
        if (store::Error e =
                store::run(main, QStringLiteral("DELETE FROM コードマスタ WHERE kcode = ?"), {category});
            e.failed())
            return e;
        store::Statement ins(
            main, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, ?)"));
        for (int n = 1; n <= store::kCodeRows; ++n) {
            const QString name = n <= names.size() ? names[n - 1].toString() : QString();
            if (!ins.bind(category).bind(store::codeOf(n)).bind(name.isEmpty() ? QString("") : name).exec())
                return ins.error();
        }
        return {};
    });
}

LineDeleteResult deleteTickedLines(const QSqlDatabase& main, const QSqlDatabase& work,
                                   const QString& category)
{
    LineDeleteResult r;
    QVariantList names;
    QList<bool> ticks;
    r.error = readGrid(work, names, &ticks);
    if (r.error.failed())
        return r;
    QVariantList kept;
    for (int i = 0; i < names.size(); ++i)
        if (!ticks[i])
            kept << names[i];
    const QList<store::Row> rows = gridRows(kept);

    r.error = store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
            return e;
        QList<store::Row> codes;
        if (store::Error e = store::readRows(
                main, QStringLiteral("SELECT code FROM コードマスタ WHERE kcode = ? ORDER BY code"),
                {category}, codes);
            e.failed())
            return e;
        // Walked in step with the closed-up rows: the n-th stored row takes the n-th name.
        store::Statement up(main,
                            QStringLiteral("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"));
        for (int n = 0; n < codes.size() && n < rows.size(); ++n)
            if (!up.bind(rows[n][1]).bind(category).bind(codes[n][0]).exec())
                return up.error();
        return {};
    });
    if (r.error.failed())
        return r;
    r.stored = true;
    r.error = store::rewriteTable(work, store::tbl::wコードマスタ, kWorkFields, rows);
    return r;
}

store::Error blankCategory(const QSqlDatabase& main, const QString& category)
{
    return store::inTransaction(main, [&] {
        if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
            return e;
        return store::run(main, QStringLiteral("UPDATE コードマスタ SET sname = NULL WHERE kcode = ?"),
                          {category});
    });
}

} // namespace codes
