#include "codes/CodeStore.h"

#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QList>

namespace codes {
namespace {

const QStringList kWorkFields = {QStringLiteral("code"), QStringLiteral("sname"), QStringLiteral("チェック")};

// "001" … "199", formatted once rather than in every row loop.
const QStringList& allCodes()
{
    static const QStringList codes = [] {
        QStringList c;
        c.reserve(store::kCodeRows);
        for (int n = 1; n <= store::kCodeRows; ++n)
            c << store::codeOf(n);
        return c;
    }();
    return codes;
}

// The work table's rows for the given names, position n holding names[n-1] (blank beyond).
QList<store::Row> gridRows(const QVariantList& names)
{
    const QStringList& codes = allCodes();
    QList<store::Row> rows;
    rows.reserve(store::kCodeRows);
    for (int n = 0; n < store::kCodeRows; ++n)
        rows << store::Row{codes[n], n < names.size() ? names[n] : QVariant(QString("")), 0};
    return rows;
}

QVariant blankIfNull(const QVariant& v)
{
    return v.isNull() ? QVariant(QString("")) : v;
}

// wコードマスタ rewritten as rows unless it shows them already (a name Null or empty shows
// the same and registers as ''): start-up clears the grid and reads the first category,
// which mostly leaves it as it was.
store::Error rewriteGridIfChanged(const QSqlDatabase& work, const QList<store::Row>& rows)
{
    bool same = true;
    qsizetype n = 0;
    store::Statement s(work,
                       QStringLiteral("SELECT code, sname, チェック FROM wコードマスタ ORDER BY rowid"));
    const store::Error e = store::forEachRow(s, [&](store::Statement& r) {
        same = n < rows.size() && r.text(0) == rows[n][0].toString() &&
               r.text(1) == blankIfNull(rows[n][1]).toString() && r.text(2) == rows[n][2].toString();
        ++n;
        return same;
    });
    if (e.failed())
        return e;
    same = same && n == rows.size();
    return same ? store::Error() : store::rewriteTable(work, store::tbl::wコードマスタ, kWorkFields, rows);
}

// The grid's rows in code order.
struct Grid {
    QVariantList names;   // Null as a Null value
    QList<bool> ticks;    // ticked
    QList<bool> settled;  // チェック exactly 0, as a rewrite leaves it
    QList<qint64> ids;    // rowids
    bool numbered = true; // the rows "001" … "199", read in that order
};

store::Error readGrid(const QSqlDatabase& work, Grid& g, const QString& order)
{
    // Whole numbers only, besides the name: a code of three digits is the n-th code when its
    // value is n.
    store::Statement s(work, QStringLiteral("SELECT sname, チェック, チェック IS 0, rowid, code GLOB "
                                            "'[0-9][0-9][0-9]', code FROM wコードマスタ ORDER BY ") +
                                 order);
    g = Grid();
    const store::Error e = store::forEachRow(s, [&](store::Statement& r) {
        const QString name = r.text(0);
        const qsizetype n = g.names.size();
        g.names << (name.isNull() ? QVariant() : QVariant(name));
        g.ticks << (r.integer(1) != 0);
        g.settled << (r.integer(2) != 0);
        g.ids << r.integer(3);
        g.numbered = g.numbered && r.integer(4) != 0 && r.integer(5) == n + 1;
    });
    g.numbered = g.numbered && g.names.size() == store::kCodeRows;
    return e;
}

// The grid's rows in code order: as the rowids have them, unless the codes are out of place.
store::Error readGrid(const QSqlDatabase& work, Grid& g)
{
    if (store::Error e = readGrid(work, g, QStringLiteral("rowid")); e.failed() || g.numbered)
        return e;
    const store::Error e = readGrid(work, g, QStringLiteral("code, rowid"));
    // Whatever the codes, their rowids are out of order: a write renumbers them whole.
    g.numbered = false;
    return e;
}

// The stored rows of category, (code, sname) in code order.
store::Error readStored(const QSqlDatabase& main, const QString& category, QList<store::Row>& rows)
{
    return store::readRows(
        main, QStringLiteral("SELECT code, sname FROM コードマスタ WHERE kcode = ? ORDER BY code"),
        {category}, rows);
}

// Inside the writing transaction, once the category is held against other writers: fails, with
// changed set, unless the category is stored exactly as read (a Null name and '' alike). now
// becomes the rows stored, exactly.
store::Error refuseIfChanged(const QSqlDatabase& main, const QString& category, const CategoryState& read,
                             bool& changed, QList<store::Row>& now)
{
    if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
        return e;
    bool same = read.known && read.category == category;
    // Nothing written to the file since the rows were known to be what it holds.
    if (same && read.mark && store::changeMark(main) == read.mark) {
        now = read.rows;
        return {};
    }
    if (store::Error e = readStored(main, category, now); e.failed())
        return e;
    same = same && now.size() == read.rows.size();
    for (qsizetype i = 0; same && i < now.size(); ++i)
        same = store::sameValue(now[i][0], read.rows[i][0]) &&
               store::sameValue(blankIfNull(now[i][1]), blankIfNull(read.rows[i][1]));
    if (same)
        return {};
    changed = true;
    return store::Error(QStringLiteral("区分 %1 は読込んだ後に変更されています。").arg(category));
}

// Whether rows are the rows "001" … "199", in that order.
bool holdsEveryCode(const QList<store::Row>& rows)
{
    const QStringList& codes = allCodes();
    if (rows.size() != codes.size())
        return false;
    for (qsizetype n = 0; n < rows.size(); ++n)
        if (rows[n][0].toString() != codes[n])
            return false;
    return true;
}

// Sets the names of category's stored rows (stored, in code order) to names, position by
// position, writing only the rows whose name differs (a Null name differs from ''). stored
// becomes what is written.
store::Error updateNames(const QSqlDatabase& main, const QString& category, QList<store::Row>& stored,
                         const QVariantList& names)
{
    store::Statement up(main,
                        QStringLiteral("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"));
    for (qsizetype n = 0; n < stored.size() && n < names.size(); ++n) {
        if (store::sameValue(stored[n][1], names[n]))
            continue;
        stored[n][1] = names[n];
        if (!up.bind(names[n]).bind(category).bind(stored[n][0]).exec())
            return up.error();
    }
    return {};
}

} // namespace

store::Error clearCodeRows(const QSqlDatabase& work)
{
    return rewriteGridIfChanged(work, gridRows({}));
}

store::Error readCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                          CategoryState* read)
{
    // Marked before the read: a write between the two shows as a change, never the reverse.
    const std::optional<store::ChangeMark> mark = store::changeMark(main);
    QList<store::Row> stored;
    if (const store::Error e = readStored(main, category, stored); e.failed())
        return e;
    QVariantList names;
    names.reserve(stored.size());
    for (const store::Row& r : stored)
        names << r[1];
    if (const store::Error e = rewriteGridIfChanged(work, gridRows(names)); e.failed())
        return e;
    if (read)
        *read = CategoryState{category, stored, true, mark};
    return {};
}

CategoryWrite registerCategory(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                               CategoryState& read)
{
    CategoryWrite w;
    Grid grid;
    if ((w.error = readGrid(work, grid)).failed())
        return w;
    const QVariantList& names = grid.names;
    const QStringList& codes = allCodes();
    QVariantList written;
    written.reserve(store::kCodeRows);
    for (int n = 0; n < store::kCodeRows; ++n) {
        const QString name = n < names.size() ? names[n].toString() : QString();
        written << (name.isEmpty() ? QString("") : name);
    }
    QList<store::Row> stored;
    std::optional<store::ChangeMark> mark;
    w.error = store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = refuseIfChanged(main, category, read, w.changedSince, stored); e.failed())
            return e;
        // A category already holding every code keeps its rows: only the names that differ are
        // written, which mostly are few.
        if (holdsEveryCode(stored)) {
            if (store::Error e = updateNames(main, category, stored, written); e.failed())
                return e;
        } else {
            if (store::Error e =
                    store::run(main, QStringLiteral("DELETE FROM コードマスタ WHERE kcode = ?"), {category});
                e.failed())
                return e;
            store::Statement ins(
                main, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, ?)"));
            stored.clear();
            for (int n = 0; n < store::kCodeRows; ++n) {
                if (!ins.bind(category).bind(codes[n]).bind(written[n]).exec())
                    return ins.error();
                stored << store::Row{codes[n], written[n]};
            }
        }
        // Taken before the commit, which changes neither part of it.
        mark = store::changeMark(main);
        return {};
    });
    if (w.error.ok()) {
        w.stored = true;
        read = CategoryState{category, stored, true, mark};
    }
    return w;
}

CategoryWrite deleteTickedLines(const QSqlDatabase& main, const QSqlDatabase& work, const QString& category,
                                CategoryState& read)
{
    CategoryWrite w;
    Grid grid;
    if ((w.error = readGrid(work, grid)).failed())
        return w;
    QVariantList kept;
    kept.reserve(grid.names.size());
    for (int i = 0; i < grid.names.size(); ++i)
        if (!grid.ticks[i])
            kept << grid.names[i];
    const QList<store::Row> rows = gridRows(kept);
    QVariantList closedUp;
    closedUp.reserve(rows.size());
    for (const store::Row& r : rows)
        closedUp << r[1];

    QList<store::Row> stored;
    std::optional<store::ChangeMark> mark;
    w.error = store::inTransaction(main, [&]() -> store::Error {
        if (store::Error e = refuseIfChanged(main, category, read, w.changedSince, stored); e.failed())
            return e;
        // The n-th stored row takes the n-th closed-up name.
        if (store::Error e = updateNames(main, category, stored, closedUp); e.failed())
            return e;
        mark = store::changeMark(main);
        return {};
    });
    if (w.error.failed())
        return w;
    w.stored = true;
    read.rows = stored;
    read.mark = mark;
    if (!grid.numbered) {
        w.error = store::rewriteTable(work, store::tbl::wコードマスタ, kWorkFields, rows);
        return w;
    }
    // The rows keep their places: only those whose name or tick changes are written.
    w.error = store::inTransaction(work, [&]() -> store::Error {
        store::Statement up(
            work, QStringLiteral("UPDATE wコードマスタ SET sname = ?, チェック = 0 WHERE rowid = ?"));
        for (qsizetype n = 0; n < rows.size(); ++n)
            if (!grid.settled[n] || !store::sameValue(grid.names[n], rows[n][1]))
                if (!up.bind(rows[n][1]).bind(grid.ids[n]).exec())
                    return up.error();
        return {};
    });
    return w;
}

store::Error blankCategory(const QSqlDatabase& main, const QString& category, CategoryState* after)
{
    QList<store::Row> stored;
    std::optional<store::ChangeMark> mark;
    const store::Error e = store::inTransaction(main, [&] {
        if (store::Error e = store::serialise(main, {store::categoryKey(category)}); e.failed())
            return e;
        if (store::Error e = store::run(
                main, QStringLiteral("UPDATE コードマスタ SET sname = NULL WHERE kcode = ?"), {category});
            e.failed())
            return e;
        mark = store::changeMark(main);
        return readStored(main, category, stored);
    });
    if (e.ok() && after)
        *after = CategoryState{category, stored, true, mark};
    return e;
}

} // namespace codes
