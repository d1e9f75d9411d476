// The search window's output: CSV of what the page shows, one PDF of the reports found.
#include "search/SearchWindow.h"

#include "search/BatchPdf.h"
#include "search/CountsPage.h"
#include "search/Csv.h"
#include "search/ResultsModel.h"
#include "search/SaveChooser.h"
#include "msg/Msg.h"
#include "ui/Notices.h"
#include "ui/TabContext.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStandardPaths>
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
    if (counts && m_countsStale)
        loadCounts();
    if (m_lastFolder.isEmpty())
        m_lastFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString base = counts ? QStringLiteral("日報集計_%1_%2.csv").arg(Tab集計->tableName(), stamp())
                                : QStringLiteral("日報検索_%1.csv").arg(stamp());
    const SaveChoice where = chooseSavePath(this, {QStringLiteral("dlgCSV保存"),
                                                   QStringLiteral("CSV出力"),
                                                   QDir(m_lastFolder).filePath(base),
                                                   {QStringLiteral("CSV UTF-8 BOM付き (Excel 用) (*.csv)"),
                                                    QStringLiteral("CSV Shift_JIS (*.csv)")}});
    if (where.path.isEmpty())
        return;
    m_lastFolder = QFileInfo(where.path).absolutePath();
    CsvEncoding enc = where.filter == 1 ? CsvEncoding::Cp932 : CsvEncoding::Utf8Bom;
    const QStringList header = counts ? Tab集計->header() : QStringList();
    const QList<QStringList> rows = counts ? Tab集計->rows() : QList<QStringList>();
    const auto write = [&] {
        return counts ? writeTableCsv(where.path, header, rows, enc)
                      : writeLinesCsv(m_context->mainDb(), m_model->criteria(), where.path, enc);
    };
    CsvFailure f = write();
    if (!f.ok() && f.line > 0 && enc == CsvEncoding::Cp932) {
        // Shift_JIS cannot hold the text: nothing was written; UTF-8 can.
        const QString where =
            QStringLiteral("%1 行目「%2」").arg(QLocale(QLocale::Japanese).toString(f.line), f.text);
        if (!Msg::ShowMsg(QStringLiteral("その他"), QStringLiteral("文字コード"), where))
            return;
        enc = CsvEncoding::Utf8Bom;
        f = write();
    }
    if (!f.ok()) {
        app::tellFailure(QStringLiteral("CSV ファイルを書き出し"), f.error);
        return;
    }
    if (!counts && !m_totalsKnown)
        runCount(m_generation);
    const qint64 lines = counts ? rows.size() : (m_totalsKnown ? m_totals.lines : -1);
    lbl出力結果->setText(
        (lines >= 0 ? QStringLiteral("%1 行を").arg(QLocale(QLocale::Japanese).toString(lines)) : QString()) +
        QStringLiteral("書き出しました: %1").arg(QDir::toNativeSeparators(where.path)));
}

void SearchWindow::exportPdf()
{
    QList<ReportKey> keys;
    if (const store::Error e = findReports(m_context->mainDb(), m_model->criteria(), &keys); e.failed()) {
        app::tellFailure(QStringLiteral("検索結果の日報を読込"), e);
        return;
    }
    if (keys.isEmpty())
        return;
    if (m_lastFolder.isEmpty())
        m_lastFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const SaveChoice where =
        chooseSavePath(this, {QStringLiteral("dlgPDF保存"),
                              QStringLiteral("PDF出力"),
                              QDir(m_lastFolder).filePath(QStringLiteral("日報_%1.pdf").arg(stamp())),
                              {QStringLiteral("PDF (*.pdf)")}});
    if (where.path.isEmpty())
        return;
    m_lastFolder = QFileInfo(where.path).absolutePath();
    bool cancelled = false;
    if (const store::Error e = exportReportsPdf(this, m_context->mainDb(), keys, where.path, &cancelled);
        e.failed()) {
        app::tellFailure(QStringLiteral("PDF ファイルを書き出し"), e);
        return;
    }
    lbl出力結果->setText(cancelled ? QStringLiteral("PDF の書き出しを取り消しました")
                                   : QStringLiteral("%1 件の日報を書き出しました: %2")
                                         .arg(QLocale(QLocale::Japanese).toString(keys.size()),
                                              QDir::toNativeSeparators(where.path)));
}

} // namespace search
