// The result lines of a search as a CSV file.
#include "search/Csv.h"
#include "search/CsvFile.h"

namespace search {
namespace {

// Lines read per round: the file grows as they come, the memory stays small.
constexpr int kPage = 2000;

} // namespace

CsvFailure writeLinesCsv(const QSqlDatabase& main, const Criteria& c, const QString& path, CsvEncoding enc)
{
    CsvFile file(path, enc);
    if (!file.open() || !file.add({QStringLiteral("日付"), QStringLiteral("時間"), QStringLiteral("氏名"),
                                   QStringLiteral("訪問先"), QStringLiteral("担当"), QStringLiteral("内容"),
                                   QStringLiteral("備考")}))
        return file.commit();
    // Dates and times are written as they are, never guarded.
    const QList<int> plain{0, 1};
    QList<Hit> page;
    Hit last;
    bool first = true;
    for (;;) {
        page.clear();
        if (const store::Error e = findLines(main, c, first ? nullptr : &last, kPage, &page); e.failed()) {
            file.fail(e);
            break;
        }
        for (const Hit& h : page)
            if (!file.add({csvDate(h.日付), csvTime(h.時間), h.氏名, h.訪問先, h.担当, h.内容, h.備考},
                          plain))
                return file.commit();
        if (page.size() < kPage)
            break;
        last = page.constLast();
        first = false;
    }
    return file.commit();
}

} // namespace search
