#pragma once
// Reports whose lines read like a sales team's: companies visited (株式会社…, …商事), the
// person met, what was done and a note now and then, with full-width letters and digits in
// model numbers. Common words (株, 見積, 価格交渉) and rare ones (鮭, 特許, 防災訓練) both occur.
#include "Floor.h"
#include "search/SearchStore.h"

#include <string>
#include <vector>

namespace bench {

constexpr int kSearchReports = 50000;

class TextMaker {
  public:
    explicit TextMaker(unsigned seed) : m_state(seed) {}
    unsigned next(unsigned n)
    {
        m_state = m_state * 1103515245u + 12345u;
        return (m_state >> 8) % n;
    }
    const std::string& pick(const std::vector<std::string>& v) { return v[next(unsigned(v.size()))]; }

    std::string company()
    {
        static const std::vector<std::string> stems = {
            "山田",   "東京",   "日本",   "大和",   "三和",   "丸井",       "中央",   "富士",
            "北斗",   "朝日",   "昭和",   "光洋",   "新星",   "青葉",       "関東",   "名古屋",
            "大阪",   "浪速",   "横浜",   "湘南",   "千代田", "堀川",       "松本",   "高橋",
            "中村",   "小林",   "太平洋", "ABC",    "NKS",    "サンライズ", "ミライ", "グリーン",
            "アオイ", "ヤマト", "コスモ", "テクノ", "ダイヤ", "みどり"};
        static const std::vector<std::string> kinds = {"商事", "工業", "製作所", "建設",     "電機",
                                                       "物産", "産業", "食品",   "運輸",     "不動産",
                                                       "印刷", "化学", "精機",   "システム", "水産"};
        std::string s = pick(stems) + pick(kinds);
        const unsigned form = next(10);
        if (form < 5)
            s = "株式会社" + s;
        else if (form < 7)
            s += "株式会社";
        else if (form == 7)
            s = "有限会社" + s;
        if (next(6) == 0)
            s += " " +
                 pick(std::vector<std::string>{"本社", "大阪支店", "横浜営業所", "第二工場", "物流センター"});
        return s;
    }
    std::string person()
    {
        static const std::vector<std::string> names = {
            "佐藤",   "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤", "吉田", "山田",
            "佐々木", "山口", "松本", "井上", "木村", "林",   "斎藤", "清水", "山崎", "森",   "池田", "橋本"};
        static const std::vector<std::string> titles = {"様", "部長", "課長", "係長", "主任", "社長", "専務"};
        return pick(names) + pick(titles);
    }
    std::string content()
    {
        static const std::vector<std::string> acts = {"新製品の説明を行った",
                                                      "見積書を提出した",
                                                      "見積の再提出を依頼された",
                                                      "価格交渉を行った",
                                                      "商談を継続",
                                                      "納期の確認",
                                                      "定期訪問",
                                                      "クレーム対応のため訪問",
                                                      "デモ機を持参して説明",
                                                      "契約更新の打診",
                                                      "展示会の案内を渡した",
                                                      "サンプルを手渡し",
                                                      "担当者不在のため資料を置いてきた",
                                                      "年末の挨拶",
                                                      "請求書の件で打合せ",
                                                      "新規取引の相談",
                                                      "競合他社の動向を聞いた",
                                                      "設置工事の立会い",
                                                      "受注のお礼",
                                                      "来期予算の確認",
                                                      "支払条件の相談",
                                                      "技術担当と同行し説明",
                                                      "カタログ送付の依頼",
                                                      "値引きの要望あり",
                                                      "発注予定数量の確認"};
        static const std::vector<std::string> rare = {"防災訓練の日程で訪問延期", "特許の件で法務と打合せ",
                                                      "鮭の加工設備について相談",
                                                      "社内研修の講師を依頼された"};
        std::string s = pick(acts);
        if (next(3) == 0)
            s += "。" + pick(acts);
        if (next(5) == 0)
            s += "。型番ＡＢ-" + std::to_string(100 + next(900)) + "について";
        if (next(4) == 0)
            s += "。次回は" + std::to_string(1 + next(12)) + "月に訪問予定";
        if (next(400) == 0)
            s += "。" + pick(rare);
        return s;
    }
    std::string note()
    {
        static const std::vector<std::string> notes = {"要フォロー",     "至急",          "資料送付済み",
                                                       "上長に報告済み", "見積期限 月末", "次回同行予定",
                                                       "電話でも連絡"};
        return next(10) < 3 ? pick(notes) : std::string();
    }

  private:
    unsigned m_state;
};

// reports reports of lines lines, report i (dateText(i / kPersons), personName(i % kPersons)).
inline void insertSearchReports(Raw& main, int reports = kSearchReports, int lines = kLines)
{
    TextMaker t(22);
    main.exec("BEGIN");
    sqlite3_stmt* h = main.st("INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '日報')");
    sqlite3_stmt* l = main.st("INSERT INTO 営業日報 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < reports; ++i) {
        const std::string d = dateText(i / kPersons), name = personName(i % kPersons);
        sqlite3_reset(h);
        bindText(h, 1, d);
        bindText(h, 2, name);
        main.done(h);
        for (int n = 1; n <= lines; ++n) {
            char time[8];
            std::snprintf(time, sizeof time, "%02u%02u", 8 + t.next(11), 15 * t.next(4));
            const std::string note = t.note();
            sqlite3_reset(l);
            bindText(l, 1, d);
            bindText(l, 2, name);
            sqlite3_bind_int(l, 3, n);
            bindText(l, 4, d);
            bindText(l, 5, d);
            bindText(l, 6, std::string(time));
            bindText(l, 7, t.person());
            bindText(l, 8, t.company());
            bindText(l, 9, t.content());
            bindText(l, 10, note.empty() ? Text() : Text(note));
            main.done(l);
        }
    }
    main.exec("COMMIT");
}

// What the search rows ask, on a file and on the server alike.
struct SearchAsk {
    std::string what;
    search::Criteria c;
    bool fileOnly = false; // a row the server table leaves out
};

inline search::Criteria searchCriteria(const QString& from, const QString& to, const QString& name,
                                       const QString& words)
{
    search::Criteria c;
    c.from = QDate::fromString(from, Qt::ISODate);
    c.to = QDate::fromString(to, Qt::ISODate);
    c.name = name;
    c.keywords = words;
    return c;
}

// The first screen's rows (all == false) or the counts' rows (all == true).
inline std::vector<SearchAsk> searchAsks(bool all)
{
    const QString month0 = QString::fromStdString(dateText(400)),
                  month1 = QDate::fromString(month0, Qt::ISODate).addDays(30).toString(Qt::ISODate);
    const QString person = QString::fromStdString(personName(7));
    const auto word = [](const char* w) { return searchCriteria({}, {}, {}, QString::fromUtf8(w)); };
    const QString year1 =
        QDate::fromString(month0, Qt::ISODate).addYears(1).addDays(-1).toString(Qt::ISODate);
    if (all)
        return {{"見積", word("見積")},
                {"a month", searchCriteria(month0, month1, {}, {})},
                {"a year", searchCriteria(month0, year1, {}, {})},
                {"a year, 価格交渉", searchCriteria(month0, year1, {}, QStringLiteral("価格交渉"))}};
    return {
        {"keyword 1 char, common (株)", word("株")},
        {"keyword 1 char, rare (鮭)", word("鮭")},
        {"keyword 2 chars, common (見積)", word("見積")},
        {"keyword 2 chars, rare (特許)", word("特許")},
        {"keyword 4 chars, common (価格交渉)", word("価格交渉")},
        {"keyword 4 chars, rare (防災訓練)", word("防災訓練")},
        {"keyword 4 chars, near the plans' meeting (佐藤社長)", word("佐藤社長")},
        {"keyword 5 chars, near the plans' meeting (コスモ水産)", word("コスモ水産")},
        {"keyword ASCII, folded (ＡＢ-1)", word("ＡＢ-1"), true},
        {"name (社員7)", searchCriteria({}, {}, person, {})},
        {"period (a month)", searchCriteria(month0, month1, {}, {})},
        {"name, period and keyword (見積)", searchCriteria(month0, month1, person, QStringLiteral("見積"))},
        {"name, period and rare keyword (特許)",
         searchCriteria(month0, month1, person, QStringLiteral("特許"))},
    };
}

} // namespace bench
