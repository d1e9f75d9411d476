#include "print/PrintSnapshot.h"

#include "store/Dates.h"
#include "store/Db.h"
#include "store/ReportLines.h"
#include "store/Schema.h"

namespace print {

HeaderValues headerValues(const QString& title, const QDate& created, const QString& department,
                          const QString& name)
{
    HeaderValues h;
    h.Prnタイトル = title;
    h.Prn作成日 = created.isValid() ? created.toString(QStringLiteral("yyyy/MM/dd")) : QString();
    h.Prn所属 = department;
    h.Prn氏名 = name;
    return h;
}

store::Error takeSnapshot(const QSqlDatabase& work, QList<PrintLine>& out)
{
    // The lines 登録 would store, copied inside the file: nothing is read out and bound back.
    // 行番号 is the print table's rowid: the emptied table numbers the rows 1, 2, 3... in the
    // order they are inserted, as 登録 numbers them (a window's row_number() cost twice the copy).
    // チェック takes its default, no tick.
    static const QString copy =
        QStringLiteral("INSERT INTO %1 (%2) ")
            .arg(store::tbl::w営業日報印刷, store::reportLineFields().join(QStringLiteral(", "))) +
        store::reportLinesSelect(store::tbl::w営業日報);
    static const QString clear = QStringLiteral("DELETE FROM %1").arg(store::tbl::w営業日報印刷);
    static const QString read = QStringLiteral("SELECT 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM %1 "
                                               "ORDER BY 行番号")
                                    .arg(store::tbl::w営業日報印刷);
    QList<PrintLine> lines;
    const store::Error e = store::inTransaction(work, [&]() -> store::Error {
        if (store::Error d = store::run(work, clear); d.failed())
            return d;
        store::Statement c(work, copy);
        if (!c.exec())
            return c.error();
        lines.reserve(c.rowsAffected());
        // Read inside the same transaction, so what is printed is exactly what was stored.
        store::Statement s(work, read);
        return store::forEachRow(s, [&](store::Statement& q) {
            lines << PrintLine{q.integer(0), q.value(1), q.value(2), q.value(3),
                               q.value(4),   q.value(5), q.value(6)};
        });
    });
    if (e.ok())
        out = lines;
    return e;
}

store::Error storedSnapshot(const QSqlDatabase& main, const QDate& created, const QString& name,
                            StoredReport& out)
{
    QList<store::Row> head;
    if (store::Error e =
            store::readRows(main,
                            QStringLiteral("SELECT 所属, タイトル FROM %1 WHERE 作成日 = ? AND 氏名 = ?")
                                .arg(store::tbl::営業日報ヘッダ),
                            {store::dateValue(created), name}, head);
        e.failed())
        return e;
    store::ReportLines report;
    if (store::Error e = store::readStoredReportLines(main, created, name, report); e.failed())
        return e;
    StoredReport r;
    r.found = !head.isEmpty() || !report.lines.isEmpty();
    const store::Row h = head.value(0, store::Row(2));
    r.header = headerValues(h[1].toString(), created, h[0].toString(), name);
    int number = 1;
    for (const store::Row& l : report.lines)
        r.lines << PrintLine{number++,        l[store::L日付], l[store::L時間], l[store::L訪問先],
                             l[store::L担当], l[store::L内容], l[store::L備考]};
    out = r;
    return {};
}

QString suggestedPdfName(const HeaderValues& h)
{
    QStringList parts{QStringLiteral("営業日報")};
    const QString digits = QString(h.Prn作成日).remove(u'/');
    if (!digits.isEmpty())
        parts << digits;
    QString name;
    for (const QChar c : h.Prn氏名.trimmed()) {
        // Characters no file system takes, control characters and blanks inside the name.
        if (c.isSpace())
            name += u'_';
        else if (c.category() != QChar::Other_Control && !QStringLiteral("/\\:*?\"<>|").contains(c))
            name += c;
    }
    if (!name.isEmpty())
        parts << name;
    return parts.join(u'_') + QStringLiteral(".pdf");
}

} // namespace print
