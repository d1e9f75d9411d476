// The search window's output: CSV of what the page shows, one PDF of the reports found.
#include "search/SearchWindow.h"

#include "search/BatchPdf.h"
#include "search/CountsPage.h"
#include "search/Csv.h"
#include "search/ResultsModel.h"
#include "ui/Background.h"
#include "ui/SaveChooser.h"
#include "msg/Msg.h"
#include "ui/Notices.h"
#include "ui/SaveFolder.h"
#include "ui/TabContext.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTabWidget>

namespace search {
namespace {
QString stamp()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}
} // namespace

void SearchWindow::exportCsv()
{
    const bool counts = Tab検索->currentWidget() == Tab集計;
    // The button waits (disabled) for a file being written and for the counts being made.
    if (m_output->isRunning() || (counts && (m_countsStale || m_tally->isRunning())))
        return;
    const QString base = counts ? QStringLiteral("日報集計_%1_%2.csv").arg(Tab集計->tableName(), stamp())
                                : QStringLiteral("日報検索_%1.csv").arg(stamp());
    const app::SaveChoice where = app::chooseSavePath(
        this,
        {QStringLiteral("dlgCSV保存"),
         QStringLiteral("CSV出力"),
         QDir(app::suggestedSaveFolder()).filePath(base),
         {QStringLiteral("CSV UTF-8 BOM付き (Excel 用) (*.csv)"), QStringLiteral("CSV Shift_JIS (*.csv)")}});
    if (where.path.isEmpty())
        return;
    app::rememberSaveFolder(where.path);
    writeCsv(where.path, int(where.filter == 1 ? CsvEncoding::Cp932 : CsvEncoding::Utf8Bom));
}

void SearchWindow::writeCsv(const QString& path, int encoding)
{
    const bool counts = Tab検索->currentWidget() == Tab集計;
    const auto enc = CsvEncoding(encoding);
    lbl出力結果->clear();
    const auto written = [this, path, enc](const CsvFailure& f) {
        if (!f.ok() && f.line > 0 && enc == CsvEncoding::Cp932) {
            // Shift_JIS cannot hold the text: nothing was written; UTF-8 can.
            const QString where =
                QStringLiteral("%1 行目「%2」").arg(QLocale(QLocale::Japanese).toString(f.line), f.text);
            if (Msg::ShowMsg(MsgId::その他_文字コード, where))
                writeCsv(path, int(CsvEncoding::Utf8Bom));
            return;
        }
        if (!f.ok()) {
            app::tellSaveFailure(QStringLiteral("CSV ファイルを書き出し"), path, f.error);
            return;
        }
        lbl出力結果->setText(
            QStringLiteral("%1 行を書き出しました: %2")
                .arg(QLocale(QLocale::Japanese).toString(f.written), QDir::toNativeSeparators(path)));
    };
    if (counts) {
        // The table on screen: a few hundred rows at most, written at once.
        written(writeTableCsv(path, Tab集計->header(), Tab集計->rows(), enc));
        return;
    }
    // Every line of the result: read and written on a worker; キャンセル leaves no file.
    const Criteria c = m_model->criteria();
    m_writing = QStringLiteral("CSV");
    m_output->setLabel(QStringLiteral("CSV を書き出しています…"));
    m_output->start<CsvFailure>(
        m_context->mainDb(),
        [c, path, enc](app::JobContext& job) { return writeLinesCsv(job.db(), c, path, enc); }, written,
        [path](const store::Error& e) {
            app::tellSaveFailure(QStringLiteral("CSV ファイルを書き出し"), path, e);
        });
}

void SearchWindow::exportPdf()
{
    if (m_output->isRunning())
        return;
    using Found = std::pair<store::Error, QList<ReportKey>>;
    const Criteria c = m_model->criteria();
    const auto failed = [](const store::Error& e) {
        app::tellFailure(QStringLiteral("検索結果の日報を読込"), e);
    };
    lbl出力結果->clear();
    m_writing = QStringLiteral("PDF");
    m_output->setLabel(QStringLiteral("日報を探しています…"));
    m_output->start<Found>(
        m_context->mainDb(),
        [c](app::JobContext& job) {
            Found f;
            f.first = findReports(job.db(), c, &f.second);
            return f;
        },
        [this, failed](const Found& f) {
            if (f.first.failed())
                failed(f.first);
            else if (!f.second.isEmpty())
                writePdf(f.second);
        },
        failed);
}

void SearchWindow::writePdf(const QList<ReportKey>& keys)
{
    const app::SaveChoice where = app::chooseSavePath(
        this, {QStringLiteral("dlgPDF保存"),
               QStringLiteral("PDF出力"),
               QDir(app::suggestedSaveFolder()).filePath(QStringLiteral("日報_%1.pdf").arg(stamp())),
               {QStringLiteral("PDF (*.pdf)")}});
    if (where.path.isEmpty())
        return;
    app::rememberSaveFolder(where.path);
    const QString path = where.path;
    const auto failed = [path](const store::Error& e) {
        app::tellSaveFailure(QStringLiteral("PDF ファイルを書き出し"), path, e);
    };
    m_output->setLabel(QStringLiteral("PDFを作成しています…"));
    // Painted on a worker, the window answering meanwhile; キャンセル leaves no file.
    m_output->start<store::Error>(
        m_context->mainDb(),
        [keys, path](app::JobContext& job) {
            return printReportsPdf(job.db(), keys, path, [&job](int done, int total) {
                job.progress(done, total);
                return !job.cancelled();
            });
        },
        [this, failed, path, n = keys.size()](const store::Error& e) {
            if (e.failed()) {
                failed(e);
                return;
            }
            lbl出力結果->setText(
                QStringLiteral("%1 件の日報を書き出しました: %2")
                    .arg(QLocale(QLocale::Japanese).toString(n), QDir::toNativeSeparators(path)));
        },
        failed);
}

} // namespace search
