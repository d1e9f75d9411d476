#include "codes/PickLists.h"

#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"

namespace codes {

AddResult addCodeMaster(const QSqlDatabase& main, const QString& category, const QString& value)
{
    AddResult r;
    r.error = store::inTransaction(main, [&] {
        CodeMasterAdder adder(main);
        r = adder.add(category, value);
        return r.error;
    });
    if (r.error.failed())
        r.added = false;
    return r;
}

PickLists loadPickLists(const QSqlDatabase& main, const QSqlDatabase& work)
{
    PickLists r;
    QList<store::Row> names[4];
    {
        // The four categories in one read, each in code order. A Null sname fails "<> ''" as
        // well, so only rows with a name come back.
        store::Statement s(main, QStringLiteral("SELECT kcode, sname FROM コードマスタ WHERE kcode IN (%1) "
                                                "AND sname <> '' ORDER BY kcode, code")
                                     .arg(store::placeholders(int(store::kCategories.size()))));
        for (const QString& k : store::kCategories)
            s.bind(k);
        r.error = store::forEachRow(s, [&names](store::Statement& row) {
            const qsizetype i = store::kCategories.indexOf(row.text(0));
            if (i >= 0)
                names[i].append(store::Row{row.value(1)});
        });
        if (r.error.failed())
            return r;
    }
    const auto texts = [](const QList<store::Row>& rows) {
        QStringList out;
        for (const store::Row& row : rows)
            out << row[0].toString();
        return out;
    };
    r.所属 = texts(names[store::kCategories.indexOf(store::k所属)]);
    r.氏名 = texts(names[store::kCategories.indexOf(store::k氏名)]);
    const QStringList fields{QStringLiteral("sname")};
    // Start-up and every クリア rebuild the lists; mostly they already hold these names.
    bool same備考 = false, same訪問先 = false;
    r.error = store::holdsRows(work, store::tbl::w備考, fields,
                               names[store::kCategories.indexOf(store::k備考)], same備考);
    if (r.error.ok())
        r.error = store::holdsRows(work, store::tbl::w訪問先, fields,
                                   names[store::kCategories.indexOf(store::k訪問先)], same訪問先);
    if (r.error.failed() || (same備考 && same訪問先))
        return r;
    r.tablesChanged = true;
    r.error = store::inTransaction(work, [&] {
        store::Error e = store::replaceRows(work, store::tbl::w備考, fields,
                                            names[store::kCategories.indexOf(store::k備考)]);
        if (e.ok())
            e = store::replaceRows(work, store::tbl::w訪問先, fields,
                                   names[store::kCategories.indexOf(store::k訪問先)]);
        return e;
    });
    return r;
}

namespace {

// Writes table (a pick table: sname in rowid order, its rows ids holding held) to hold names,
// writing as little as it can. Inside the caller's transaction.
store::Error writeDifferences(const QSqlDatabase& work, const QString& table, const QList<qint64>& ids,
                              const QStringList& held, const QStringList& names)
{
    // Renamed in place.
    if (held.size() == names.size()) {
        store::Statement up(work, QStringLiteral("UPDATE %1 SET sname = ? WHERE rowid = ?").arg(table));
        for (qsizetype i = 0; i < held.size(); ++i)
            if (held[i].isEmpty() || held[i] != names[i])
                if (!up.bind(names[i]).bind(ids[i]).exec())
                    return up.error();
        return {};
    }
    // names is held with some rows taken out: those rows go, the others keep their order.
    QList<qint64> gone;
    qsizetype j = 0;
    for (qsizetype i = 0; i < held.size(); ++i) {
        if (j < names.size() && !held[i].isEmpty() && held[i] == names[j])
            ++j;
        else
            gone << ids[i];
    }
    if (j == names.size() && held.size() - gone.size() == names.size()) {
        store::Statement del(work, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(table));
        for (const qint64 id : gone)
            if (!del.bind(id).exec())
                return del.error();
        return {};
    }
    // Names added after those held: a new row takes a rowid above every other.
    qsizetype p = 0;
    while (p < held.size() && p < names.size() && !held[p].isEmpty() && held[p] == names[p])
        ++p;
    if (p == held.size()) {
        store::Statement ins(work, QStringLiteral("INSERT INTO %1 (sname) VALUES (?)").arg(table));
        for (qsizetype i = p; i < names.size(); ++i)
            if (!ins.bind(names[i]).exec())
                return ins.error();
        return {};
    }
    QList<store::Row> rows;
    rows.reserve(names.size());
    for (const QString& n : names)
        rows << store::Row{n};
    return store::replaceRows(work, table, {QStringLiteral("sname")}, rows);
}

// Brings table to names in one work transaction: read, and written only where it differs.
store::Error bringPickTable(const QSqlDatabase& work, const QString& table, const QStringList& names,
                            bool& changed)
{
    return store::inTransaction(work, [&]() -> store::Error {
        QList<qint64> ids;
        QStringList held;
        store::Statement s(work, QStringLiteral("SELECT rowid, sname FROM %1 ORDER BY rowid").arg(table));
        if (store::Error e = store::forEachRow(s,
                                               [&](store::Statement& r) {
                                                   ids << r.integer(0);
                                                   held << r.text(1);
                                               });
            e.failed())
            return e;
        s.finish();
        // A Null or blank row is never a name: names hold none.
        bool same = held.size() == names.size();
        for (qsizetype i = 0; same && i < held.size(); ++i)
            same = !held[i].isEmpty() && held[i] == names[i];
        if (same)
            return {};
        changed = true;
        return writeDifferences(work, table, ids, held, names);
    });
}

} // namespace

CategoryPick followCategory(const QSqlDatabase& work, const CategoryState& stored)
{
    CategoryPick r;
    for (const QVariantList& row : stored.rows) {
        const QString name = row.value(1).toString();
        if (!name.isEmpty())
            r.names << name;
    }
    const QString table = stored.category == store::k備考     ? store::tbl::w備考
                          : stored.category == store::k訪問先 ? store::tbl::w訪問先
                                                              : QString();
    if (!table.isEmpty())
        r.error = bringPickTable(work, table, r.names, r.tableChanged);
    return r;
}

PickLists PickListReader::load(const QSqlDatabase& main, const QSqlDatabase& work)
{
    const std::optional<store::ChangeMark> before = store::changeMark(main);
    m_reused = before && m_mark && *before == *m_mark;
    if (m_reused) {
        PickLists r = m_last;
        r.tablesChanged = false;
        return r;
    }
    m_last = loadPickLists(main, work);
    m_mark.reset();
    if (m_last.error.ok())
        m_mark = before;
    return m_last;
}

} // namespace codes
