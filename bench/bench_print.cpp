// Timings of printing a full report: 100 dated lines from the 印刷 click to a finished PDF
// file, and from the click to the preview window on screen.
#include "app/FrmTesvan.h"
#include "app/controls/Controls.h"
#include "app/controls/DataGrid.h"
#include "app/controls/DataSource.h"
#include "app/controls/DateInput.h"
#include "msg/Msg.h"
#include "print/PrintPreview.h"
#include "print/PrintSnapshot.h"
#include "print/rpt営業日報.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "store/Schema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 15;

bool fail(const QString& what, const store::Error& err)
{
    if (err.ok())
        return false;
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), qPrintable(err.reason()));
    return true;
}

store::Error datedLines(const QSqlDatabase& work)
{
    if (store::Error e = report::resetLines(work); e.failed())
        return e;
    return store::inTransaction(work, [&] {
        store::Statement up(work,
                            QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = ?, 担当 = ?, "
                                           "訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?"));
        for (int r = 1; r <= report::kLineRows; ++r) {
            const QString d = QDate(2026, 12, 1).addDays(r / 10).toString(Qt::ISODate);
            up.bind(d).bind(d).bind(
                QStringLiteral("%1%2").arg(8 + r % 10, 2, 10, QChar(u'0')).arg(r % 2 ? "00" : "30"));
            up.bind(QStringLiteral("担当者%1").arg(r % 7)).bind(QStringLiteral("株式会社訪問先%1").arg(r));
            up.bind(QStringLiteral("新製品の説明と見積の依頼、次回の打合せ日程の確認 %1").arg(r));
            up.bind(QStringLiteral("要フォロー")).bind(r);
            if (!up.exec())
                return up.error();
        }
        return store::Error();
    });
}

struct Timing {
    double first;
    double median;
};

// First and median of kRuns timings in milliseconds; after runs untimed between runs.
Timing measure(const char* what, const std::function<store::Error()>& op, double target,
               const std::function<void()>& after = {})
{
    QList<double> ms;
    double first = 0;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        const store::Error err = op();
        const double took = double(t.nsecsElapsed()) / 1e6;
        if (after)
            after();
        if (fail(QString::fromUtf8(what), err))
            std::exit(1);
        if (i == 0)
            first = took;
        ms << took;
    }
    std::sort(ms.begin(), ms.end());
    const double m = ms[ms.size() / 2];
    std::printf("%-40s first %7.1f ms  median %7.1f ms  (min %6.1f, max %6.1f)  target < %4.0f ms  %s\n",
                what, first, m, ms.first(), ms.last(), target,
                (m < target && first < target) ? "ok" : "SLOW");
    return {first, m};
}

void closePreviews()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PrintPreview*>(w))
            p->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/data/");
    QDir().mkpath(folder);
    if (fail(QStringLiteral("main file"),
             store::createInitialFile(folder + store::kMainFileName, store::DbKind::Main)) ||
        fail(QStringLiteral("work file"),
             store::createInitialFile(folder + store::kWorkFileName, store::DbKind::Work)))
        return 1;
    Msg::setPresenter([](const MsgSpec& s) {
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(s.text));
        return false;
    });
    FrmTesvan w;
    app::DataPaths paths;
    paths.dataFolder = folder;
    paths.mainDbPath = folder + store::kMainFileName;
    paths.workDbPath = folder + store::kWorkFileName;
    if (!w.loadFrom(paths))
        return 1;
    w.show();
    ReportTab* r = w.reportTab();
    r->Dt日付->setDate(QDate(2026, 12, 8));
    r->cmb氏名->setEditText(QStringLiteral("山田太郎"));
    r->cmb所属->setEditText(QStringLiteral("営業一課"));
    r->txtタイトル->setText(QStringLiteral("週次の訪問報告"));
    if (fail(QStringLiteral("lines"), datedLines(w.WorkDb())) ||
        fail(QStringLiteral("refresh"), store::Error(r->dat日報->refresh())))
        return 1;

    // What 印刷 does up to the pages, with the PDF file instead of the preview.
    const QString pdf = dir.path() + QStringLiteral("/r.pdf");
    measure(
        "click to PDF file (100 lines, 4 pages)",
        [&]() -> store::Error {
            if (const QString e = r->Grid日報->commitPending(); !e.isEmpty())
                return store::Error(e);
            QList<print::PrintLine> lines;
            if (store::Error e = print::takeSnapshot(w.WorkDb(), lines); e.failed())
                return e;
            const print::HeaderValues h =
                print::headerValues(r->txtタイトル->text(), r->Dt日付->date(), r->cmb所属->currentText(),
                                    r->cmb氏名->currentText());
            return rpt営業日報(h, lines).writePdf(pdf);
        },
        300);
    std::printf("  PDF size %lld bytes\n", QFileInfo(pdf).size());
    // bench_print FILE keeps the 4-page PDF for a look (pdftoppm -png -r 60 FILE page).
    if (argc > 1) {
        QFile::remove(QString::fromLocal8Bit(argv[1]));
        QFile::copy(pdf, QString::fromLocal8Bit(argv[1]));
    }

    // The real click: snapshot, header values, preview built, shown and on screen.
    measure(
        "click to preview on screen (100 lines)",
        [&]() -> store::Error {
            r->cmd印刷->click();
            QWindow* win = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (qobject_cast<PrintPreview*>(top) && top->isVisible())
                    win = top->windowHandle();
            if (!win)
                return store::Error(QStringLiteral("no preview"));
            QElapsedTimer guard;
            guard.start();
            while (!win->isExposed() && guard.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QCoreApplication::processEvents();
            return win->isExposed() ? store::Error() : store::Error(QStringLiteral("never exposed"));
        },
        500, closePreviews);
    Msg::setPresenter({});
    return 0;
}
