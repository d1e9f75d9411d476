// Timings of the report entry tab's database work on a main database of realistic size:
// 10,000 reports of 20 lines and 199 names in every category.
#include "app/FrmTesvan.h"
#include "app/controls/Controls.h"
#include "app/controls/DataSource.h"
#include "app/controls/DateInput.h"
#include "codes/PickLists.h"
#include "msg/Msg.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "store/Dates.h"
#include "store/Schema.h"

#include <QApplication>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kReports = 10000;
constexpr int kLinesPerReport = 20;
constexpr int kNames = 50;
constexpr int kRuns = 21;

bool fail(const QString& what, const store::Error& err)
{
    if (err.ok())
        return false;
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), qPrintable(err.reason()));
    return true;
}

store::Error fill(const QSqlDatabase& main)
{
    store::Transaction tx(main);
    if (!tx.ok())
        return tx.error();
    store::Error err = store::run(main, QStringLiteral("UPDATE コードマスタ SET sname = kcode || '名' || code"));
    if (err.failed())
        return err;
    store::Statement head(main, QStringLiteral("INSERT INTO 営業日報ヘッダ VALUES (?, ?, ?, ?)"));
    store::Statement line(main, QStringLiteral("INSERT INTO 営業日報 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDate first(2000, 1, 1);
    for (int i = 0; i < kReports; ++i) {
        const QVariant date = store::dateValue(first.addDays(i / kNames));
        const QString name = QStringLiteral("社員%1").arg(i % kNames);
        if (!head.bind(date).bind(name).bind(QStringLiteral("営業部")).bind(QStringLiteral("日報")).exec())
            return head.error();
        for (int n = 1; n <= kLinesPerReport; ++n)
            if (!line.bind(date)
                     .bind(name)
                     .bind(n)
                     .bind(date)
                     .bind(date)
                     .bind(QStringLiteral("0930"))
                     .bind(QStringLiteral("担当者"))
                     .bind(QStringLiteral("訪問先名%1").arg(n))
                     .bind(QStringLiteral("訪問の内容 %1").arg(n))
                     .bind(QStringLiteral("備考名001"))
                     .exec())
                return line.error();
    }
    return tx.commit() ? store::Error() : tx.error();
}

store::Error fullLines(const QSqlDatabase& work)
{
    store::Error err = report::resetLines(work);
    if (err.failed())
        return err;
    store::Transaction tx(work);
    store::Statement up(work,
                        QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '1015', "
                                       "担当 = '担当者', 訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?"));
    for (int r = 1; r <= report::kLineRows; ++r) {
        const QVariant d = r % 3 ? QVariant(QStringLiteral("2024-04-10")) : QVariant();
        // Half the destinations are known, half new (no free row is left for them).
        const QString place = r % 2 ? QStringLiteral("訪問先名%1").arg(r, 3, 10, QLatin1Char('0'))
                                    : QStringLiteral("新規先%1").arg(r);
        if (!up.bind(d)
                 .bind(d)
                 .bind(place)
                 .bind(QStringLiteral("内容の本文 %1 ").arg(r).repeated(8))
                 .bind(QStringLiteral("備考名%1").arg(r % 199 + 1, 3, 10, QLatin1Char('0')))
                 .bind(r)
                 .exec())
            return up.error();
    }
    return tx.commit() ? store::Error() : tx.error();
}

// Median of kRuns timings in milliseconds; a failing run ends the benchmark.
double median(const char* what, const std::function<store::Error()>& op, double target)
{
    QList<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        const store::Error err = op();
        const double took = double(t.nsecsElapsed()) / 1e6;
        if (fail(QString::fromUtf8(what), err))
            std::exit(1);
        ms << took;
    }
    std::sort(ms.begin(), ms.end());
    const double m = ms[ms.size() / 2];
    std::printf("%-34s median %7.2f ms  (min %6.2f, max %6.2f)  target < %4.0f ms  %s\n", what, m, ms.first(),
                ms.last(), target, m < target ? "ok" : "SLOW");
    return m;
}

} // namespace

// The same operations as the window runs them, grid and pick lists refreshed included.
void windowTimings(const QString& folder, const report::Header& h)
{
    Msg::setPresenter([](const MsgSpec& s) { return s.yesNo; });
    FrmTesvan w;
    app::DataPaths paths;
    paths.dataFolder = folder + QLatin1Char('/');
    paths.mainDbPath = paths.dataFolder + store::kMainFileName;
    paths.workDbPath = paths.dataFolder + store::kWorkFileName;
    if (!w.loadFrom(paths))
        std::exit(1);
    w.show();
    ReportTab* r = w.reportTab();
    const auto showReport = [&] {
        r->Dt日付->setDate(h.作成日);
        r->cmb氏名->setEditText(h.氏名);
        r->cmb所属->setEditText(h.所属);
        r->txtタイトル->setText(h.タイトル);
    };
    median(
        "window Clear日報", [&] { r->Clear日報(); return store::Error(); }, 5);
    showReport();
    if (fail(QStringLiteral("lines"), fullLines(w.WorkDb())) || fail(QStringLiteral("refresh"), store::Error(r->dat日報->refresh())))
        std::exit(1);
    median(
        "window Entry日報 (100 full lines)", [&] { r->Entry日報(); return store::Error(); }, 20);
    median(
        "window Read日報 (100 lines)", [&] { r->Read日報(); return store::Error(); }, 10);
    median(
        "window SetComb (199 names each)", [&] { w.SetComb(); return store::Error(); }, 5);
    Msg::setPresenter({});
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString mainPath = dir.filePath(store::kMainFileName);
    const QString workPath = dir.filePath(store::kWorkFileName);
    if (fail(QStringLiteral("main file"), store::createInitialFile(mainPath, store::DbKind::Main)) ||
        fail(QStringLiteral("work file"), store::createInitialFile(workPath, store::DbKind::Work)) ||
        fail(QStringLiteral("open main"),
             store::openDatabase(QStringLiteral("BenchMain"), mainPath, store::DbKind::Main)) ||
        fail(QStringLiteral("open work"),
             store::openDatabase(QStringLiteral("BenchWork"), workPath, store::DbKind::Work)))
        return 1;
    {
        const QSqlDatabase main = QSqlDatabase::database(QStringLiteral("BenchMain"));
        const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("BenchWork"));

        QElapsedTimer t;
        t.start();
        if (fail(QStringLiteral("fill"), fill(main)))
            return 1;
        std::printf("built %d reports of %d lines and 199 names per category in %lld ms\n", kReports,
                    kLinesPerReport, t.elapsed());

        const report::Header h{QDate(2000, 3, 1), QStringLiteral("社員7"), QStringLiteral("営業部"),
                               QStringLiteral("月初の日報")};
        median(
            "resetLines", [&] { return report::resetLines(work); }, 5);
        if (fail(QStringLiteral("lines"), fullLines(work)))
            return 1;
        median(
            "registerReport (100 full lines)", [&] { return report::registerReport(main, work, h); }, 20);
        median(
            "readReport (100 lines)",
            [&] {
                const report::ReadResult r = report::readReport(main, work, h.作成日, h.氏名);
                return r.error.ok() && r.lines != report::kLineRows ? store::Error(QStringLiteral("lines missing"))
                                                                    : r.error;
            },
            10);
        median(
            "loadPickLists", [&] { return codes::loadPickLists(main, work).error; }, 5);
    }
    store::closeDatabase(QStringLiteral("BenchMain"));
    store::closeDatabase(QStringLiteral("BenchWork"));
    windowTimings(dir.path(), {QDate(2000, 3, 1), QStringLiteral("社員7"), QStringLiteral("営業部"),
                               QStringLiteral("月初の日報")});
    return 0;
}
