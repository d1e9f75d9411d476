// The search at 1,000,000 lines with the main database on the server: the same reports as the
// local rows (SearchData.h) copied in, the index made over them, and each search and count as
// ours (the search store through the program's session) against the floor (the statement the
// store chose, sent through libpq with its values, without the choosing).
#include "SearchServer.h"

#include "SearchData.h"
#include "search/SearchQuery.h"
#include "search/SearchStore.h"
#include "store/TextIndex.h"

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

bool good(PGresult* r, int* rows = nullptr)
{
    const ExecStatusType s = PQresultStatus(r);
    const bool fine = s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    if (!fine)
        std::fprintf(stderr, "libpq: %s\n", PQresultErrorMessage(r));
    if (rows)
        *rows = PQntuples(r);
    PQclear(r);
    return fine;
}

std::string copyField(const bench::Text& t)
{
    if (!t)
        return "\\N";
    std::string out;
    for (const char ch : *t) {
        if (ch == '\\' || ch == '\t' || ch == '\n' || ch == '\r')
            out += '\\';
        out += ch;
    }
    return out;
}

// The lines of the local rows' reports, through COPY.
bool copyLines(PGconn* c)
{
    using namespace bench;
    PGresult* r =
        PQexec(c, "COPY 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考) "
                  "FROM STDIN");
    const bool copying = PQresultStatus(r) == PGRES_COPY_IN;
    PQclear(r);
    if (!copying)
        return false;
    TextMaker t(22);
    std::string buf;
    for (int i = 0; i < kSearchReports; ++i) {
        const std::string d = dateText(i / kPersons), name = personName(i % kPersons);
        for (int n = 1; n <= kLines; ++n) {
            char time[8];
            std::snprintf(time, sizeof time, "%02u%02u", 8 + t.next(11), 15 * t.next(4));
            const std::string person = t.person(), company = t.company(), content = t.content(),
                              note = t.note();
            buf += d + '\t' + name + '\t' + std::to_string(n) + '\t' + d + '\t' + d + '\t' + time + '\t' +
                   copyField(person) + '\t' + copyField(company) + '\t' + copyField(content) + '\t' +
                   copyField(note.empty() ? Text() : Text(note)) + '\n';
        }
        if (buf.size() > (1 << 20) || i + 1 == kSearchReports) {
            if (PQputCopyData(c, buf.data(), int(buf.size())) != 1)
                return false;
            buf.clear();
        }
    }
    if (PQputCopyEnd(c, nullptr) != 1)
        return false;
    return good(PQgetResult(c));
}

// The store's statement as libpq takes it: $1, $2… for its placeholders.
std::string numbered(const QString& sql)
{
    QString out;
    int n = 0;
    for (const QChar ch : sql)
        out += ch == u'?' ? QStringLiteral("$%1").arg(++n) : QString(ch);
    return out.toStdString();
}

bool floorRun(PGconn* c, const std::string& sql, const QVariantList& values)
{
    std::vector<QByteArray> texts;
    std::vector<const char*> ptrs;
    for (const QVariant& v : values)
        texts.push_back(v.toString().toUtf8());
    for (const QByteArray& b : texts)
        ptrs.push_back(b.constData());
    int rows = 0;
    return good(PQexecParams(c, sql.c_str(), int(ptrs.size()), nullptr, ptrs.data(), nullptr, nullptr, 0),
                &rows);
}

} // namespace

int searchRows(const QSqlDatabase& main, PGconn* c, int runs)
{
    using namespace bench;
    QElapsedTimer t;
    t.start();
    for (const char* sql :
         {"DROP INDEX 営業日報_検索", "DROP INDEX 営業日報_日時", "DROP INDEX 営業日報_氏名日時",
          "DROP FUNCTION tesvan_grams", "DROP FUNCTION tesvan_fold"})
        if (!good(PQexec(c, sql)))
            return 1;
    if (!copyLines(c))
        return 1;
    std::printf("search: %d lines copied in %.1f s\n", kSearchReports * kLines, double(t.elapsed()) / 1e3);
    t.restart();
    for (const QString& sql : store::serverTextIndexStatements())
        if (!good(PQexec(c, sql.toUtf8().constData())))
            return 1;
    const double made = double(t.elapsed()) / 1e3;
    if (!good(PQexec(c, "ANALYZE 営業日報")))
        return 1;
    {
        PGresult* r = PQexec(c, "SELECT pg_relation_size('営業日報'), pg_relation_size('営業日報_検索'), "
                                "pg_relation_size('営業日報_日時') + pg_relation_size('営業日報_氏名日時')");
        if (PQresultStatus(r) == PGRES_TUPLES_OK)
            std::printf("search: index made in %.1f s; lines %.0f MB, GIN index %.0f MB, the two line orders "
                        "%.0f MB\n",
                        made, atof(PQgetvalue(r, 0, 0)) / 1048576, atof(PQgetvalue(r, 0, 1)) / 1048576,
                        atof(PQgetvalue(r, 0, 2)) / 1048576);
        PQclear(r);
    }
    std::printf("search at 1,000,000 lines, first 40 lines (median ms)\n");
    for (const SearchAsk& ask : searchAsks(false)) {
        if (ask.fileOnly)
            continue;
        const char* what = ask.what.c_str();
        const search::Criteria& k = ask.c;
        search::LineSource src;
        if (search::linesOf(main, k, nullptr, search::Want::First, &src).failed())
            return 1;
        const std::string sql = numbered(QStringLiteral("SELECT %1 %2 ORDER BY %3 LIMIT 40")
                                             .arg(search::hitColumns(), src.sql, search::orderBy(k, true)));
        int got = 0;
        const double ours = medianOf(
            [&] {
                QList<search::Hit> hits;
                const bool fine = search::findLines(main, k, nullptr, 40, &hits).ok();
                got = int(hits.size());
                return fine;
            },
            runs);
        const double floor = medianOf([&] { return floorRun(c, sql, src.values); }, runs);
        std::printf("%-40s plan %-5s %8.2f   libpq floor %8.2f   ratio %.2f%s\n", what,
                    qPrintable(search::planName(src.plan)), ours, floor, ours / floor,
                    got == 0 ? "   (found nothing)" : "");
    }
    std::printf("counts (median ms)\n");
    for (const SearchAsk& ask : searchAsks(true)) {
        const char* what = ask.what.c_str();
        const search::Criteria& k = ask.c;
        search::LineSource src;
        if (search::linesOf(main, k, nullptr, search::Want::All, &src).failed())
            return 1;
        const auto row = [&](const char* name, const std::function<bool()>& ours, const QString& select,
                             const QString& tail) {
            const std::string sql = numbered(select + u' ' + src.sql + u' ' + tail);
            const double a = medianOf(ours, std::max(3, runs / 3));
            const double b = medianOf([&] { return floorRun(c, sql, src.values); }, std::max(3, runs / 3));
            std::printf("%-14s %-10s %8.2f   libpq floor %8.2f   ratio %.2f\n", name, what, a, b, a / b);
        };
        row("countLines",
            [&] {
                search::Totals tt;
                return search::countLines(main, k, &tt).ok();
            },
            QStringLiteral("SELECT count(*), count(DISTINCT (l.作成日, l.氏名))"), {});
        row(
            "countByPlace",
            [&] {
                QList<search::PlaceCount> p;
                return search::countByPlace(main, k, &p).ok();
            },
            QStringLiteral("SELECT l.訪問先, l.氏名, count(*), max(l.日付)"),
            QStringLiteral("AND l.訪問先 <> '' GROUP BY l.訪問先, l.氏名"));
        row(
            "countByName",
            [&] {
                QList<search::NameCount> n;
                return search::countByName(main, k, search::Period::Month, &n).ok();
            },
            QStringLiteral("SELECT l.氏名, date_trunc('month', l.日付), count(*), count(DISTINCT l.作成日)"),
            QStringLiteral("GROUP BY l.氏名, date_trunc('month', l.日付)"));
    }
    return 0;
}
