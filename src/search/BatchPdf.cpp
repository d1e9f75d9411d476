#include "search/BatchPdf.h"

#include "print/PrintSnapshot.h"
#include "print/ReportForm.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QSaveFile>

#include <algorithm>

namespace search {
namespace {

QList<ReportKey> inPrintOrder(const QList<ReportKey>& keys)
{
    QList<ReportKey> sorted = keys;
    const auto before = [](const ReportKey& a, const ReportKey& b) {
        return a.作成日 != b.作成日 ? a.作成日 < b.作成日 : a.氏名 < b.氏名;
    };
    std::stable_sort(sorted.begin(), sorted.end(), before);
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const ReportKey& a, const ReportKey& b) {
                                 return a.作成日 == b.作成日 && a.氏名 == b.氏名;
                             }),
                 sorted.end());
    return sorted;
}

} // namespace

store::Error printReportsPdf(const QSqlDatabase& main, const QList<ReportKey>& keys, const QString& path,
                             const std::function<bool(int done, int total)>& progress, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    const QList<ReportKey> order = inPrintOrder(keys);
    const int total = int(order.size());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return store::Error(file.errorString());
    int printed = 0;
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("営業日報"));
        pdf.setCreator(QStringLiteral("営業日報 Tesvan"));
        rpt営業日報::prepareDevice(pdf);
        QPainter p;
        // Whatever stops the run before the end leaves the old file (or none) as it was.
        const auto drop = [&file, &p](const store::Error& e) {
            if (p.isActive())
                p.end();
            file.cancelWriting();
            file.commit();
            return e;
        };
        for (int i = 0; i < total; ++i) {
            if (progress && !progress(i, total)) {
                if (cancelled)
                    *cancelled = true;
                return drop({});
            }
            print::StoredReport r;
            if (store::Error e = print::storedSnapshot(main, order[i].作成日, order[i].氏名, r); e.failed())
                return drop(e);
            // A report deleted since the search has nothing left to print.
            if (!r.found)
                continue;
            if (printed == 0) {
                if (store::Error e = rpt営業日報::beginTwips(p, pdf); e.failed())
                    return drop(e);
            } else if (!pdf.newPage()) {
                return drop(store::Error(QStringLiteral("次のページを始められません。")));
            }
            if (store::Error e = rpt営業日報(r.header, r.lines).paintPages(p, pdf); e.failed())
                return drop(e);
            ++printed;
        }
        if (progress && !progress(total, total)) {
            if (cancelled)
                *cancelled = true;
            return drop({});
        }
        if (printed == 0)
            return drop(store::Error(QStringLiteral("出力する日報がありません。")));
        if (!p.end())
            return drop(store::Error(QStringLiteral("PDFを書き終えられません。")));
    }
    if (!file.commit())
        return store::Error(file.errorString());
    return {};
}

store::Error exportReportsPdf(QWidget* parent, const QSqlDatabase& main, const QList<ReportKey>& keys,
                              const QString& path, bool* cancelled)
{
    QProgressDialog dialog(QStringLiteral("PDFを作成しています…"), QStringLiteral("キャンセル"), 0,
                           int(keys.size()), parent);
    dialog.setObjectName(QStringLiteral("dlgPDF出力"));
    dialog.setWindowTitle(QStringLiteral("PDF出力"));
    dialog.setWindowModality(Qt::WindowModal);
    // Shown only when the work is long enough to wait for.
    dialog.setMinimumDuration(400);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    const store::Error e = printReportsPdf(
        main, keys, path,
        [&dialog](int done, int total) {
            dialog.setMaximum(total);
            dialog.setLabelText(QStringLiteral("PDFを作成しています… %1 / %2 件").arg(done).arg(total));
            // A modal dialog takes the clicks here, キャンセル among them.
            dialog.setValue(done);
            return !dialog.wasCanceled();
        },
        cancelled);
    dialog.close();
    return e;
}

} // namespace search
