#include "print/PrintSnapshot.h"

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
    const QStringList& fields = store::reportLineFields();
    QList<PrintLine> lines;
    const store::Error e = store::inTransaction(work, [&]() -> store::Error {
        // The lines 登録 would store, numbered as it numbers them.
        store::ReportLines report;
        if (store::Error r = store::readReportLines(work, report); r.failed())
            return r;
        if (store::Error d =
                store::run(work, QStringLiteral("DELETE FROM %1").arg(store::tbl::w営業日報印刷));
            d.failed())
            return d;
        store::Statement ins(work, QStringLiteral("INSERT INTO %1 (行番号, チェック, %2) VALUES (?, 0%3)")
                                       .arg(store::tbl::w営業日報印刷, fields.join(QStringLiteral(", ")),
                                            QStringLiteral(", ?").repeated(fields.size())));
        int number = 1;
        for (const store::Row& l : report.lines) {
            ins.bind(number++);
            for (const QVariant& v : l)
                ins.bind(v);
            if (!ins.exec())
                return ins.error();
        }
        // Read inside the same transaction, so what is printed is exactly what was stored.
        store::Statement s(work, QStringLiteral("SELECT 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM %1 "
                                                "ORDER BY 行番号")
                                     .arg(store::tbl::w営業日報印刷));
        return store::forEachRow(s, [&](store::Statement& q) {
            lines << PrintLine{q.value(0), q.value(1), q.value(2), q.value(3),
                               q.value(4), q.value(5), q.value(6)};
        });
    });
    if (e.ok())
        out = lines;
    return e;
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
