// The search's output: a CSV file of 100,000 result lines and one PDF of 100 reports.
//
// CSV floor: the same lines read with one plain query through SQLite's C API in the result's
// order and written by a plain loop (dates and times reformatted, a field quoted when it must
// be) into a plain file; for cp932 the loop's text is converted once, whole.
// PDF floor: the same 100 reports read with plain queries and painted by a bare QPdfWriter loop
// into a plain file: the same boxes, fonts, texts and rules, without fitting texts into their
// boxes and without a temporary file.
#include "Ops.h"
#include "print/ReportForm.h"
#include "search/BatchPdf.h"
#include "search/Csv.h"
#include "search/SearchQuery.h"
#include "store/Connection.h"
#include "store/Db.h"

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QStringEncoder>

namespace bench {
namespace {

constexpr int kCsvReports = 5000; // of 20 lines: 100,000 lines
constexpr int kPdfReports = 100;
// Every text of ours crosses from the file's UTF-8 into a QString and back, where the floor
// copies bytes; about twice the floor is that cost.
constexpr double kCsvTarget = 2.5;
// Ours fits every text into its box (a smaller size, two lines, the mark of a cut text), which
// the bare loop does not; the target that counts is the absolute one, 100 reports in 2 s.
constexpr double kPdfTarget = 2.0;

void writeFile(const QString& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.toUtf8().constData(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
        die("write " + path.toStdString());
}

// The floor's CSV: every line newest first, as UTF-8 text.
std::string rawCsv(Raw& main)
{
    std::string out = "日付,時間,氏名,訪問先,担当,内容,備考\r\n";
    // The search's own order, so that both read the lines the same way.
    static const std::string sql =
        "SELECT l.日付, l.時間, l.氏名, l.訪問先, l.担当, l.内容, l.備考 FROM 営業日報 l "
        "ORDER BY " +
        search::orderBy(search::Criteria{}, false).toStdString();
    sqlite3_stmt* s = main.st(sql.c_str());
    while (main.row(s)) {
        for (int i = 0; i < 7; ++i) {
            if (i)
                out += ',';
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
            if (!t)
                continue;
            std::string f(t, size_t(sqlite3_column_bytes(s, i)));
            if (i == 0)
                std::replace(f.begin(), f.end(), '-', '/');
            else if (i == 1 && f.size() == 4)
                f.insert(2, ":");
            if (f.find_first_of(",\"\r\n") != std::string::npos) {
                std::string q = "\"";
                for (char c : f)
                    q += c == '"' ? std::string("\"\"") : std::string(1, c);
                f = q + '"';
            }
            out += f;
        }
        out += "\r\n";
    }
    return out;
}

// The floor's PDF: each report's header and lines read plainly and painted on one page each
// (20 lines fit one page) with the form's boxes and fonts.
void rawPdf(Raw& main, const QString& path, const std::vector<std::pair<std::string, std::string>>& keys)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        die("pdf floor file");
    QPdfWriter pdf(&file);
    rpt営業日報::prepareDevice(pdf);
    QPainter p(&pdf);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    p.scale(pdf.logicalDpiX() / 1440.0, pdf.logicalDpiY() / 1440.0);
    const QList<print::LayoutItem>& head = print::pageHeaderItems();
    const QList<print::LayoutItem>& detail = print::detailItems();
    QPen rule(Qt::black);
    rule.setWidthF(15);
    bool first = true;
    for (const auto& [date, name] : keys) {
        if (!first)
            pdf.newPage();
        first = false;
        sqlite3_stmt* h = main.st("SELECT 所属, タイトル FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?");
        bindText(h, 1, date);
        bindText(h, 2, name);
        QStringList headTexts;
        while (main.row(h))
            headTexts = {QString::fromStdString(*column(h, 0)), QString::fromStdString(*column(h, 1))};
        for (const print::LayoutItem& item : head) {
            QString text = item.text;
            if (item.kind == print::LayoutItem::Label)
                p.fillRect(item.rect, print::kLabelBack);
            else if (item.name == u"txtCday")
                text = QString::fromStdString(date);
            else if (item.name == u"txt氏名")
                text = QString::fromStdString(name);
            else
                text = headTexts.value(item.name == u"txt所属" ? 0 : 1);
            p.setFont(print::layoutFont(item));
            p.setPen(item.kind == print::LayoutItem::Label ? Qt::white : Qt::black);
            p.drawText(item.rect, int(item.align | Qt::AlignVCenter), text);
        }
        sqlite3_stmt* l = main.st("SELECT 行番号, 日付, 時間, 訪問先, 担当, 内容, 備考 FROM 営業日報 "
                                  "WHERE 作成日 = ? AND 氏名 = ? ORDER BY 行番号");
        bindText(l, 1, date);
        bindText(l, 2, name);
        double top = print::kPageHeaderHeight;
        while (main.row(l)) {
            for (int i = 0; i < 7; ++i) {
                const print::LayoutItem& item = detail[i];
                const Text t = column(l, i);
                p.setFont(print::layoutFont(item));
                p.setPen(Qt::black);
                p.drawText(item.rect.translated(0, top), int(item.align | Qt::AlignVCenter),
                           t ? QString::fromStdString(*t) : QString());
            }
            p.setPen(rule);
            p.drawLine(QPointF(print::kRuleLeft, top + print::kRuleY),
                       QPointF(print::kRuleRight, top + print::kRuleY));
            top += print::kDetailHeight;
        }
        p.drawText(print::pageNumberBox(rpt営業日報::pageTwips(pdf)), int(Qt::AlignRight),
                   QStringLiteral("1 / 1"));
    }
    p.end();
}

} // namespace

void outputOps(const QString& root)
{
    const std::string csvUtf8 = "CSV of 100,000 lines (writeLinesCsv, UTF-8)";
    const std::string csvCp932 = "CSV of 100,000 lines (writeLinesCsv, cp932)";
    const std::string pdfRow = "PDF of 100 reports of 20 lines (printReportsPdf)";
    if (skipped(csvUtf8) && skipped(csvCp932) && skipped(pdfRow))
        return;
    // No window here: the earlier parts' windows are gone.
    g_calm = [] { settle(); };
    const app::DataPaths paths = freshFolder(root);
    {
        Raw main(paths.mainDbPath, true);
        rawInsertReports(main, 0, kCsvReports, kPersons, 20);
        // Texts a CSV must quote or guard, on some lines.
        main.exec("UPDATE 営業日報 SET 内容 = '見積, 提出' WHERE 行番号 % 5 = 0");
        main.exec("UPDATE 営業日報 SET 備考 = '=1+2' WHERE 行番号 % 7 = 0");
    }
    const QString conn = QStringLiteral("bench-output");
    check("open", store::openDatabase(conn, paths.mainDbPath, store::DbKind::Main));
    const QSqlDatabase db = QSqlDatabase::database(conn, false);
    Raw main(paths.mainDbPath, true);
    const QString csv = root + QStringLiteral("/out.csv"), floorCsv = root + QStringLiteral("/floor.csv");
    const auto ourCsv = [&](search::CsvEncoding enc) {
        const search::CsvFailure f = search::writeLinesCsv(db, search::Criteria{}, csv, enc);
        check("csv", f.error);
    };
    const std::string state = "5,000 reports of 20 lines, every line in the result";
    compare({csvUtf8,
             state,
             {[&] { ourCsv(search::CsvEncoding::Utf8Bom); }},
             {[&] { writeFile(floorCsv, "\xEF\xBB\xBF" + rawCsv(main)); }},
             {},
             5,
             kCsvTarget});
    compare({csvCp932,
             state,
             {[&] { ourCsv(search::CsvEncoding::Cp932); }},
             {[&] {
                 QStringEncoder enc("windows-31j");
                 const QByteArray b = enc.encode(QString::fromStdString(rawCsv(main)));
                 writeFile(floorCsv, b.toStdString());
             }},
             {},
             5,
             kCsvTarget});

    // 100 reports of 20 lines, one page each.
    QList<search::ReportKey> keys;
    std::vector<std::pair<std::string, std::string>> rawKeys;
    for (int i = 0; i < kPdfReports; ++i) {
        const int r = i * 37 % kCsvReports;
        keys << search::ReportKey{QDate(2000, 1, 1).addDays(r / kPersons),
                                  QString::fromStdString(personName(r % kPersons))};
    }
    std::sort(keys.begin(), keys.end(), [](const search::ReportKey& a, const search::ReportKey& b) {
        return a.作成日 != b.作成日 ? a.作成日 < b.作成日 : a.氏名 < b.氏名;
    });
    for (const search::ReportKey& k : keys)
        rawKeys.emplace_back(k.作成日.toString(Qt::ISODate).toStdString(), k.氏名.toStdString());
    const QString pdf = root + QStringLiteral("/out.pdf"), floorPdf = root + QStringLiteral("/floor.pdf");
    compare({pdfRow,
             "100 pages, 100 reports stored",
             {[&] { check("pdf", search::printReportsPdf(db, keys, pdf, {})); }},
             {[&] { rawPdf(main, floorPdf, rawKeys); }},
             {},
             5,
             kPdfTarget});
    alone(
        pdfRow + ", alone (target ≤ 2,000 ms)", "100 pages, 100 reports stored",
        [&] { check("pdf", search::printReportsPdf(db, keys, pdf, {})); }, {}, 5);
    store::closeDatabase(conn);
}

} // namespace bench
