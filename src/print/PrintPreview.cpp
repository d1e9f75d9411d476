#include "print/PrintPreview.h"

#include "ui/Look.h"
#include "ui/Notices.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>

namespace {
// The folder of the last saved file, offered again next time.
QString& lastPdfFolder()
{
    static QString folder;
    return folder;
}
} // namespace

PrintPreview::PrintPreview(const print::HeaderValues& header, const QList<print::PrintLine>& lines,
                           QWidget* parent)
    : PrintPreview(new QPrinter(QPrinter::HighResolution), header, lines, parent)
{
}

PrintPreview::PrintPreview(QPrinter* printer, const print::HeaderValues& header,
                           const QList<print::PrintLine>& lines, QWidget* parent)
    : QPrintPreviewDialog(printer, parent), m_printer(printer), m_report(header, lines)
{
    setObjectName(QStringLiteral("rpt営業日報"));
    setWindowTitle(QStringLiteral("営業日報 印刷プレビュー"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose);
    m_printer->setDocName(QStringLiteral("営業日報"));
    rpt営業日報::prepareDevice(*m_printer);

    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        if (const store::Error e = m_report.render(*p); e.failed())
            app::tellFailure(QStringLiteral("印刷"), e);
    });

    m_savePdf =
        new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("PDFに保存"), this);
    m_savePdf->setObjectName(QStringLiteral("actPDFに保存"));
    m_savePdf->setToolTip(QStringLiteral("PDFに保存"));
    connect(m_savePdf, &QAction::triggered, this, [this] { savePdfAs(); });
    if (auto* bar = findChild<QToolBar*>()) {
        bar->addSeparator();
        bar->addAction(m_savePdf);
        bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
        addAction(m_savePdf);
    }

    // Room for a landscape page at a readable size.
    const QRect avail = (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
                            ->availableGeometry();
    resize(qMin(1200, avail.width() * 9 / 10), qMin(860, avail.height() * 9 / 10));
}

PrintPreview::~PrintPreview() = default;

bool PrintPreview::savePdf(const QString& path)
{
    if (const store::Error e = m_report.writePdf(path); e.failed()) {
        app::tellFailure(QStringLiteral("PDFファイルを保存"), e);
        return false;
    }
    lastPdfFolder() = QFileInfo(path).absolutePath();
    return true;
}

void PrintPreview::savePdfAs()
{
    QString folder = lastPdfFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("PDFに保存"), QDir(folder).filePath(print::suggestedPdfName(m_report.header())),
        QStringLiteral("PDF ファイル (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    savePdf(path);
}

namespace print {

PrintPreview* showPreview(const HeaderValues& header, const QList<PrintLine>& lines, QWidget* parent)
{
    auto* preview = new PrintPreview(header, lines, parent);
    app::returnFocusOnClose(preview);
    preview->show();
    preview->raise();
    preview->activateWindow();
    return preview;
}

} // namespace print
