#pragma once
// Reports stored straight into the main database for the search tests and the screenshots.
#include "store/Db.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace testing {

struct StoredLine {
    QString 作成日; // yyyy-mm-dd
    QString 氏名;
    QString 日付; // yyyy-mm-dd or empty
    QString 時間; // hhmm or empty
    QString 訪問先, 担当, 内容, 備考;
};

// Stores lines as reports: a header per (作成日, 氏名), lines numbered in the order given. An
// empty text is stored as Null, as the entry tab does. Returns the first failure's reason.
inline QString storeLines(const QSqlDatabase& main, const QList<StoredLine>& lines)
{
    const auto value = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    const store::Error e = store::inTransaction(main, [&]() -> store::Error {
        store::Statement head(main, QStringLiteral("INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '')"));
        store::Statement line(
            main, QStringLiteral("INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, "
                                 "時間, 担当, 訪問先, 内容, 備考) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        QString lastKey;
        int number = 0;
        for (const StoredLine& l : lines) {
            const QString key = l.作成日 + l.氏名;
            if (key != lastKey) {
                if (!head.bind(l.作成日).bind(l.氏名).exec())
                    return head.error();
                lastKey = key;
                number = 0;
            }
            line.bind(l.作成日).bind(l.氏名).bind(++number).bind(value(l.日付)).bind(value(l.日付));
            line.bind(value(l.時間))
                .bind(value(l.担当))
                .bind(value(l.訪問先))
                .bind(value(l.内容))
                .bind(value(l.備考));
            if (!line.exec())
                return line.error();
        }
        return store::Error();
    });
    return e.reason();
}

// Three reports whose lines the window tests search, with widths and signs folding meets.
inline QList<StoredLine> smallSet()
{
    return {
        {"2026-04-01", "山田太郎", "2026-04-01", "0930", "ＡＢＣ商事", "田中", "新製品の見積を提出", ""},
        {"2026-04-01", "山田太郎", "2026-04-01", "1400", "株式会社ミドリ", "鈴木", "定例の商談", "次回5月"},
        {"2026-04-02", "佐藤花子", "2026-04-02", "1000", "ABC商事", "田中", "abc商事へ見積の説明", ""},
        {"2026-04-02", "佐藤花子", "2026-04-02", "1530", "ｶﾞｽﾃｯｸ", "", "ガス設備の点検立会い", ""},
        {"2026-05-10", "山田太郎", "2026-05-10", "0900", "東京物産㈱", "高橋", "年間契約の商談、見積依頼あり",
         ""},
        {"2026-05-10", "山田太郎", "2026-05-10", "", "", "", "事務処理", ""},
    };
}

// A working year of a small team: each person's report on every weekday, a few visits a day.
inline QList<StoredLine> yearSet(int days)
{
    const QStringList names{"山田太郎", "佐藤花子", "鈴木一郎", "高橋美咲"};
    const QStringList places{"ＡＢＣ商事", "株式会社ミドリ", "東京物産㈱", "ｶﾞｽﾃｯｸ",
                             "さくら食品", "北斗工業",       "みなと運輸", "青葉商会"};
    const QStringList persons{"田中部長", "鈴木課長", "伊藤様", "渡辺様", "小林主任"};
    const QStringList texts{"新製品の見積を提出",         "定例の商談。次回は来月",
                            "納期の確認と見積の再提出",   "クレーム対応、代替品を手配",
                            "年間契約の更新について商談", "展示会の案内",
                            "見積依頼あり（ＰＣ２０台）", "請求書の送付と入金確認"};
    QList<StoredLine> out;
    QDate d(2026, 4, 1);
    int n = 0;
    for (int day = 0; day < days; ++day, d = d.addDays(1)) {
        if (d.dayOfWeek() > 5)
            continue;
        for (int p = 0; p < names.size(); ++p) {
            const int visits = 2 + (day + p) % 3;
            for (int v = 0; v < visits; ++v, ++n) {
                const QString date = d.toString(Qt::ISODate);
                const QString time =
                    QStringLiteral("%1%2").arg(9 + v * 2, 2, 10, QChar(u'0')).arg(v % 2 ? "30" : "00");
                out << StoredLine{date,
                                  names[p],
                                  date,
                                  time,
                                  places[(n * 7 + p * 3 + v) % places.size()],
                                  persons[(n + v) % persons.size()],
                                  texts[(n * 5 + day) % texts.size()],
                                  v == visits - 1 ? QStringLiteral("直帰") : QString()};
            }
        }
    }
    return out;
}

} // namespace testing
