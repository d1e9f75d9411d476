#include "report/ReportStore.h"

#include "codes/CodeMasterAdder.h"
#include "store/Db.h"

#include <QList>
#include <array>

namespace report {
namespace {

// 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考: the fields a line carries between the files.
constexpr int kFieldCount = 7;
using Line = std::array<QVariant, kFieldCount>;
enum LineField { F表示日付, F日付, F時間, F担当, F訪問先, F内容, F備考 };

const QString kLineFields = QStringLiteral("表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考");

QString keyError(const QDate& date, const QString& name)
{
    if (!date.isValid())
        return QStringLiteral("作成日がありません。");
    if (name.isEmpty())
        return QStringLiteral("氏名がありません。");
    return {};
}

Line lineOf(const store::Statement& q)
{
    Line l;
    for (int i = 0; i < kFieldCount; ++i)
        l[i] = q.value(i);
    return l;
}

// The work table as kLineRows rows, the given lines first, in one transaction.
QString writeLines(const QSqlDatabase& work, const QList<Line>& lines)
{
    store::Transaction tx(work);
    if (!tx.ok())
        return tx.error();
    QString err = store::run(work, QStringLiteral("DELETE FROM w営業日報"));
    if (!err.isEmpty())
        return err;
    store::Statement ins(work, QStringLiteral("INSERT INTO w営業日報 (行番号, チェック, %1) "
                                              "VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?)")
                                   .arg(kLineFields));
    const QVariant null;
    for (int row = 1; row <= kLineRows; ++row) {
        ins.bind(row);
        const bool stored = row <= lines.size();
        for (int f = 0; f < kFieldCount; ++f)
            ins.bind(stored ? lines[row - 1][f] : null);
        if (!ins.exec())
            return ins.error();
    }
    if (!tx.commit())
        return tx.error();
    return {};
}

} // namespace

QString resetLines(const QSqlDatabase& work)
{
    return writeLines(work, {});
}

QString deleteTickedLines(const QSqlDatabase& work)
{
    store::Transaction tx(work);
    if (!tx.ok())
        return tx.error();
    const QString err = store::run(work, QStringLiteral("DELETE FROM w営業日報 WHERE チェック <> 0"));
    if (!err.isEmpty())
        return err;
    return tx.commit() ? QString() : tx.error();
}

QString setTickAll(const QSqlDatabase& work, bool flag)
{
    store::Transaction tx(work);
    if (!tx.ok())
        return tx.error();
    const QString err = store::run(
        work, QStringLiteral("UPDATE w営業日報 SET チェック = ? WHERE 表示日付 IS NOT NULL"), {flag ? 1 : 0});
    if (!err.isEmpty())
        return err;
    return tx.commit() ? QString() : tx.error();
}

ReadResult readReport(const QSqlDatabase& main, const QSqlDatabase& work, const QDate& date,
                      const QString& name)
{
    ReadResult r;
    r.error = keyError(date, name);
    if (!r.error.isEmpty())
        return r;
    const QVariant key = store::dateValue(date);

    store::Statement head(main, QStringLiteral("SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ "
                                               "WHERE 作成日 = ? AND 氏名 = ?"));
    if (!head.bind(key).bind(name).exec()) {
        r.error = head.error();
        return r;
    }
    if (head.next()) {
        r.found = true;
        r.header.作成日 = store::toDate(head.value(0));
        r.header.氏名 = head.value(1).toString();
        r.header.所属 = head.value(2).toString();
        r.header.タイトル = head.value(3).toString();
    }
    head.finish();

    QList<Line> lines;
    store::Statement q(main, QStringLiteral("SELECT %1 FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ? "
                                            "ORDER BY 行番号")
                                 .arg(kLineFields));
    if (!q.bind(key).bind(name).exec()) {
        r.error = q.error();
        return r;
    }
    // The grid has kLineRows rows; later lines have nowhere to go.
    while (lines.size() < kLineRows && q.next())
        lines << lineOf(q);
    q.finish();

    r.error = writeLines(work, lines);
    if (r.error.isEmpty())
        r.lines = int(lines.size());
    return r;
}

QString registerReport(const QSqlDatabase& main, const QSqlDatabase& work, const Header& h)
{
    QString err = keyError(h.作成日, h.氏名);
    if (!err.isEmpty())
        return err;

    // Only rows with contents become lines; a row without them passes no date on either.
    QList<Line> lines;
    {
        store::Statement w(work, QStringLiteral("SELECT %1 FROM w営業日報 ORDER BY 行番号").arg(kLineFields));
        if (!w.exec())
            return w.error();
        while (w.next())
            if (!w.value(F内容).isNull())
                lines << lineOf(w);
        w.finish();
    }

    const QVariant key = store::dateValue(h.作成日);
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };

    store::Transaction tx(main);
    if (!tx.ok())
        return tx.error();
    err = store::run(main, QStringLiteral("DELETE FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?"),
                     {key, h.氏名});
    if (err.isEmpty())
        err = store::run(main,
                         QStringLiteral("INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) "
                                        "VALUES (?, ?, ?, ?)"),
                         {key, h.氏名, text(h.所属), text(h.タイトル)});
    if (err.isEmpty())
        err = store::run(main, QStringLiteral("DELETE FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?"),
                         {key, h.氏名});
    if (!err.isEmpty())
        return err;

    store::Statement ins(main, QStringLiteral("INSERT INTO 営業日報 (作成日, 氏名, 行番号, %1) "
                                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                   .arg(kLineFields));
    codes::CodeMasterAdder adder(main);
    QVariant lastDate;
    int number = 1;
    for (const Line& l : lines) {
        if (!l[F日付].isNull())
            lastDate = l[F日付];
        ins.bind(key).bind(h.氏名).bind(number);
        for (int f = 0; f < kFieldCount; ++f)
            ins.bind(f == F日付 ? lastDate : l[f]);
        if (!ins.exec())
            return ins.error();
        for (const auto& [field, category] :
             {std::pair{F訪問先, QStringLiteral("訪問先")}, std::pair{F備考, QStringLiteral("備考")}}) {
            if (l[field].isNull())
                continue;
            const codes::AddResult a = adder.add(category, l[field].toString());
            if (!a.error.isEmpty())
                return a.error;
        }
        ++number;
    }
    if (!tx.commit())
        return tx.error();
    return {};
}

} // namespace report
