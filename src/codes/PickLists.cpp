#include "codes/PickLists.h"

#include "store/Db.h"

namespace codes {
namespace {

QString writeNames(const QSqlDatabase& work, const QString& table, const QStringList& names)
{
    QString err = store::run(work, QStringLiteral("DELETE FROM %1").arg(table));
    if (!err.isEmpty())
        return err;
    store::Statement ins(work, QStringLiteral("INSERT INTO %1 (sname) VALUES (?)").arg(table));
    for (const QString& n : names)
        if (!ins.bind(n).exec())
            break;
    return ins.error();
}

} // namespace

AddResult addCodeMaster(const QSqlDatabase& main, const QString& category, const QString& value)
{
    CodeMasterAdder adder(main);
    return adder.add(category, value);
}

PickLists loadPickLists(const QSqlDatabase& main, const QSqlDatabase& work)
{
    PickLists r;
    QStringList notes;
    QStringList places;
    {
        // A Null sname fails "<> ''" as well, so only rows with a name come back.
        store::Statement q(main,
                           QStringLiteral("SELECT sname FROM コードマスタ WHERE kcode = ? AND sname <> '' "
                                          "ORDER BY code"));
        const auto read = [&q](const QString& category, QStringList& out) {
            if (!q.bind(category).exec())
                return false;
            while (q.next())
                out << q.value(0).toString();
            q.finish();
            return true;
        };
        if (!read(QStringLiteral("所属"), r.所属) || !read(QStringLiteral("氏名"), r.氏名) ||
            !read(QStringLiteral("備考"), notes) || !read(QStringLiteral("訪問先"), places)) {
            r.所属.clear();
            r.氏名.clear();
            r.error = q.error();
            return r;
        }
    }

    store::Transaction tx(work);
    QString err = tx.error();
    if (err.isEmpty())
        err = writeNames(work, QStringLiteral("w備考"), notes);
    if (err.isEmpty())
        err = writeNames(work, QStringLiteral("w訪問先"), places);
    if (err.isEmpty() && !tx.commit())
        err = tx.error();
    r.error = err;
    return r;
}

} // namespace codes
