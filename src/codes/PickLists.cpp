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
    for (int i = 0; i < 4; ++i) {
        // A Null sname fails "<> ''" as well, so only rows with a name come back.
        r.error =
            store::readRows(main,
                            QStringLiteral("SELECT sname FROM コードマスタ WHERE kcode = ? AND sname <> '' "
                                           "ORDER BY code"),
                            {store::kCategories[i]}, names[i]);
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
