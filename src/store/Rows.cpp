#include "store/Rows.h"

#include <QSqlRecord>

#include <algorithm>

namespace store {

Error replaceRows(const QSqlDatabase& db, const QString& table, const QStringList& fields, qsizetype count,
                  const std::function<void(Statement&, qsizetype)>& bindRow)
{
    if (Error e = run(db, QStringLiteral("DELETE FROM %1").arg(table)); e.failed())
        return e;
    if (count == 0)
        return {};
    QStringList marks;
    for (qsizetype i = 0; i < fields.size(); ++i)
        marks << QStringLiteral("?");
    Statement ins(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(table, fields.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (qsizetype n = 0; n < count && ins.ok(); ++n) {
        bindRow(ins, n);
        ins.exec();
    }
    return ins.error();
}

Error replaceRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                  const QList<Row>& rows)
{
    return replaceRows(db, table, fields, rows.size(), [&rows](Statement& ins, qsizetype n) {
        for (const QVariant& v : rows[n])
            ins.bind(v);
    });
}

Error rewriteTable(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                   const QList<Row>& rows)
{
    return inTransaction(db, [&] { return replaceRows(db, table, fields, rows); });
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.toString() == b.toString();
}

Error holdsRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                const QList<Row>& rows, bool& same)
{
    same = false;
    // Compared as read, stopping at the first difference.
    Statement s(
        db, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(fields.join(QStringLiteral(", ")), table));
    qsizetype n = 0;
    bool differs = false;
    const Error e = forEachRow(s, [&](Statement& q) {
        // rowid order is insertion order here: every work table is written by replaceRows.
        differs = n >= rows.size() || rows[n].size() != fields.size();
        for (qsizetype i = 0; !differs && i < fields.size(); ++i)
            differs = !sameValue(q.value(int(i)), rows[n][i]);
        ++n;
        return !differs;
    });
    if (e.failed())
        return e;
    same = !differs && n == rows.size();
    return {};
}

Error rewriteTableIfChanged(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                            const QList<Row>& rows)
{
    bool same = false;
    if (Error e = holdsRows(db, table, fields, rows, same); e.failed() || same)
        return e;
    return rewriteTable(db, table, fields, rows);
}

Error readRows(const QSqlDatabase& db, const QString& sql, const QVariantList& values, QList<Row>& out)
{
    Statement s(db, sql);
    for (const QVariant& v : values)
        s.bind(v);
    QList<Row> rows;
    int width = -1;
    const Error e = forEachRow(s, [&](Statement& q) {
        if (width < 0)
            width = q.columnCount();
        Row r;
        r.reserve(width);
        for (int i = 0; i < width; ++i)
            r << q.value(i);
        rows << r;
    });
    if (e.ok())
        out = rows;
    return e;
}

Error setTicks(const QSqlDatabase& db, const QString& table, bool flag, const QString& where)
{
    return inTransaction(db, [&] {
        return run(db,
                   QStringLiteral("UPDATE %1 SET チェック = ?%2")
                       .arg(table, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                   {flag ? 1 : 0});
    });
}

Error deleteTicked(const QSqlDatabase& db, const QString& table)
{
    return inTransaction(
        db, [&] { return run(db, QStringLiteral("DELETE FROM %1 WHERE チェック <> 0").arg(table)); });
}

Error tickedRows(const QSqlDatabase& db, const QString& table, const QStringList& fields,
                 const QString& orderBy, QList<Row>& out)
{
    return readRows(db,
                    QStringLiteral("SELECT %1 FROM %2 WHERE チェック <> 0%3")
                        .arg(fields.join(QStringLiteral(", ")), table,
                             orderBy.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + orderBy),
                    {}, out);
}

} // namespace store
