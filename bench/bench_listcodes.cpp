// Timings of the report list and the code master tab on a main database of a team's years:
// 100,000 report headers (50 persons of 2,000 reports each), and of data initialisation on
// 10,000 reports of 20 lines. Each operation runs as the window runs it, grid drawn included.
#include "app/DataInit.h"
#include "app/FrmTesvan.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "codes/CodeStore.h"
#include "codes/CodeTab.h"
#include "list/ListStore.h"
#include "list/ListTab.h"
#include "msg/Msg.h"
#include "store/Dates.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kPersons = 50;
constexpr int kReportsEach = 2000;

void check(const QString& what, const store::Error& err)
{
    if (err.ok())
        return;
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), qPrintable(err.reason()));
    std::exit(1);
}

store::Error fillHeaders(const QSqlDatabase& main)
{
    return store::inTransaction(main, [&]() -> store::Error {
        store::Statement head(main, QStringLiteral("INSERT INTO 営業日報ヘッダ VALUES (?, ?, ?, ?)"));
        const QDate first(2000, 1, 1);
        for (int d = 0; d < kReportsEach; ++d)
            for (int p = 0; p < kPersons; ++p)
                if (!head.bind(store::dateValue(first.addDays(d)))
                         .bind(QStringLiteral("社員%1").arg(p))
                         .bind(QStringLiteral("営業部"))
                         .bind(QStringLiteral("%1日目の訪問").arg(d))
                         .exec())
                    return head.error();
        return {};
    });
}

store::Error fillReports(const QSqlDatabase& main, int reports, int lines)
{
    return store::inTransaction(main, [&]() -> store::Error {
        store::Statement head(main,
                              QStringLiteral("INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '日報')"));
        store::Statement line(main,
                              QStringLiteral("INSERT INTO 営業日報 VALUES (?, ?, ?, ?, ?, '0930', '担当者', "
                                             "'訪問先', '訪問の内容', '備考')"));
        for (int i = 0; i < reports; ++i) {
            const QVariant date = store::dateValue(QDate(2000, 1, 1).addDays(i / kPersons));
            const QString name = QStringLiteral("社員%1").arg(i % kPersons);
            if (!head.bind(date).bind(name).exec())
                return head.error();
            for (int n = 1; n <= lines; ++n)
                if (!line.bind(date).bind(name).bind(n).bind(date).bind(date).exec())
                    return line.error();
        }
        return store::run(main, QStringLiteral("UPDATE コードマスタ SET sname = kcode || code"));
    });
}

struct Stats {
    double median, min, max;
};

Stats stats(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.first(), ms.last()};
}

void report(const char* what, const Stats& s, double target)
{
    std::printf("%-46s median %8.2f ms  (min %7.2f, max %7.2f)  target < %5.0f ms  %s\n", what, s.median,
                s.min, s.max, target, target <= 0 ? "" : (s.median < target ? "ok" : "SLOW"));
}

Stats time(int runs, const std::function<void()>& op, const std::function<void()>& before = {})
{
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        QElapsedTimer t;
        t.start();
        op();
        ms << double(t.nsecsElapsed()) / 1e6;
    }
    return stats(ms);
}

// Paints the grid now, as the event loop would after the click.
void draw(DataGrid* g)
{
    g->viewport()->repaint();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Msg::setPresenter([](const MsgSpec&) { return true; });
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data/");
    QDir().mkpath(data);
    check(QStringLiteral("initial main file"),
          store::createInitialFile(data + store::kMainFileName, store::DbKind::Main));
    check(QStringLiteral("initial work file"),
          store::createInitialFile(data + store::kWorkFileName, store::DbKind::Work));

    FrmTesvan w;
    if (!w.loadFrom(app::chooseDataFolder(dir.path())))
        return 1;
    w.resize(1000, 700);
    w.show();
    w.SSTab1->setCurrentIndex(1);
    QApplication::processEvents();
    QElapsedTimer fill;
    fill.start();
    check(QStringLiteral("headers"), fillHeaders(w.MainDb()));
    std::printf("stored %d report headers in %lld ms\n", kPersons * kReportsEach, fill.elapsed());

    // The database work alone, without the grid.
    report("  core: readList, no filter",
           time(5,
                [&] {
                    check(QStringLiteral("readList"),
                          list::readList(w.MainDb(), w.WorkDb(), QString()).error);
                }),
           0);
    report("  core: readList, no filter, row by row",
           time(5,
                [&] {
                    check(QStringLiteral("readList"),
                          list::readList(w.MainDb(), w.WorkDb(), QString(), list::Copy::RowByRow).error);
                }),
           0);
    // What every commit of this machine costs now (the disk's flush), for reading the figures.
    report("  baseline: commit of one row on the work file",
           time(21,
                [&] {
                    check(QStringLiteral("commit"), store::inTransaction(w.WorkDb(), [&] {
                              store::Error e = store::run(
                                  w.WorkDb(), QStringLiteral("INSERT INTO w備考 (sname) VALUES ('x')"));
                              return e.failed()
                                         ? e
                                         : store::run(w.WorkDb(),
                                                      QStringLiteral("DELETE FROM w備考 WHERE sname = 'x'"));
                          }));
                }),
           0);
    report("  core: readList, one person",
           time(21,
                [&] {
                    check(QStringLiteral("readList"),
                          list::readList(w.MainDb(), w.WorkDb(), QStringLiteral("社員7")).error);
                }),
           0);

    ListTab* list = w.listTab();
    DataGrid* grid = list->Grid一覧;
    list->cmb氏名選択->setEditText(QString());
    report("読込, no filter: click to first rows drawn",
           time(9,
                [&] {
                    list->cmd一覧読込->click();
                    draw(grid);
                }),
           300);
    std::printf("    rows listed: %d\n", grid->model()->rowCount());

    // The same without fetching on demand: the copy followed by a full re-read of w一覧.
    list->dat一覧->setFetchOnDemand(false);
    report("  (for comparison: whole-table grid re-read)",
           time(5,
                [&] {
                    list->cmd一覧読込->click();
                    draw(grid);
                }),
           0);
    list->dat一覧->setFetchOnDemand(true);
    list->cmd一覧読込->click();

    // Scrolling from the first row to the last, a page at a time, and jumps.
    QScrollBar* bar = grid->verticalScrollBar();
    const int page = std::max(1, bar->pageStep());
    QList<double> steps;
    for (int v = 0; v <= bar->maximum(); v += page) {
        QElapsedTimer t;
        t.start();
        bar->setValue(v);
        draw(grid);
        steps << double(t.nsecsElapsed()) / 1e6;
    }
    report("scroll a page, first to last row (per step)", stats(steps), 16);
    std::printf("    %lld page steps\n", qint64(steps.size()));
    QList<double> jumps;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer t;
        t.start();
        bar->setValue(i % 2 ? 0 : bar->maximum() - (i * 977) % 5000);
        draw(grid);
        jumps << double(t.nsecsElapsed()) / 1e6;
    }
    report("jump between the top and the end (per jump)", stats(jumps), 16);

    list->cmb氏名選択->setEditText(QStringLiteral("社員7"));
    report("読込, one person of 2,000 reports",
           time(21,
                [&] {
                    list->cmd一覧読込->click();
                    draw(grid);
                }),
           20);
    std::printf("    rows listed: %d\n", grid->model()->rowCount());

    // The code master tab.
    w.SSTab1->setCurrentIndex(2);
    CodeTab* codeTab = w.codeTab();
    check(QStringLiteral("names"),
          store::run(w.MainDb(), QStringLiteral("UPDATE コードマスタ SET sname = kcode || code")));
    codeTab->cmbコード区分->setCurrentIndex(3);
    report("  core: readCategory",
           time(21,
                [&] {
                    check(QStringLiteral("readCategory"),
                          codes::readCategory(w.MainDb(), w.WorkDb(), store::k訪問先));
                }),
           0);
    report("  core: registerCategory",
           time(21,
                [&] {
                    check(QStringLiteral("registerCategory"),
                          codes::registerCategory(w.MainDb(), w.WorkDb(), store::k訪問先));
                }),
           0);
    report("Readコードマスタ (199 names)",
           time(21,
                [&] {
                    codeTab->Readコードマスタ();
                    draw(codeTab->Gridコード表);
                }),
           10);
    report("Entryコードマスタ",
           time(21,
                [&] {
                    codeTab->Entryコードマスタ();
                    draw(codeTab->Gridコード表);
                }),
           10);
    report("LineDeleteコードマスタ (2 ticked of 199)",
           time(
               21,
               [&] {
                   codeTab->LineDeleteコードマスタ(codeTab->cmbコード区分->currentText());
                   draw(codeTab->Gridコード表);
               },
               [&] {
                   codeTab->Readコードマスタ();
                   check(QStringLiteral("ticks"),
                         store::run(w.WorkDb(), QStringLiteral("UPDATE wコードマスタ SET チェック = 1 "
                                                               "WHERE code IN ('002', '050')")));
               }),
           10);

    // Data initialisation on 10,000 reports of 20 lines.
    const QSqlDatabase main = w.MainDb();
    report("Data初期化 (10,000 reports of 20 lines)",
           time(
               5, [&] { w.Data初期化(); },
               [&] {
                   check(QStringLiteral("wipe"), app::initialiseData(main));
                   check(QStringLiteral("reports"), fillReports(main, 10000, 20));
               }),
           200);
    return 0;
}
