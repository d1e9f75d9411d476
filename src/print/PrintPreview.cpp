#include "print/PrintPreview.h"

#include "ui/Look.h"
#include "ui/Notices.h"
#include "ui/SaveChooser.h"
#include "ui/SaveFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace {
// A printer already set to the form's page: the dialog takes its orientation when it is built.
QPrinter* formPrinter()
{
    auto* printer = new QPrinter(QPrinter::HighResolution);
    rpt営業日報::prepareDevice(*printer);
    return printer;
}

// The dialog's own commands that would put the landscape A4 form on another page.
bool changesPage(const QAction* a)
{
    for (const char* text : {"Portrait", "Landscape", "Page setup"})
        if (a->text() == QCoreApplication::translate("QPrintPreviewDialog", text))
            return true;
    return false;
}

bool printsPages(const QAction* a)
{
    return a->text() == QCoreApplication::translate("QPrintPreviewDialog", "Print");
}
} // namespace

PrintPreview::PrintPreview(const print::HeaderValues& header, const QList<print::PrintLine>& lines,
                           QWidget* parent, const std::optional<QList<print::PrintComment>>& thread)
    : PrintPreview(formPrinter(), header, lines, parent, thread)
{
}

PrintPreview::PrintPreview(QPrinter* printer, const print::HeaderValues& header,
                           const QList<print::PrintLine>& lines, QWidget* parent,
                           const std::optional<QList<print::PrintComment>>& thread)
    : QPrintPreviewDialog(printer, parent), m_printer(printer), m_report(header, lines), m_thread(thread)
{
    setObjectName(QStringLiteral("rpt営業日報"));
    setWindowTitle(QStringLiteral("営業日報 印刷プレビュー"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose);
    m_printer->setDocName(QStringLiteral("営業日報"));

    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        // The print dialog may have offered another page: the form is landscape A4 only.
        rpt営業日報::prepareDevice(*p);
        if (const store::Error e = m_report.render(*p); e.failed())
            app::tellFailure(QStringLiteral("印刷"), e);
    });

    m_savePdf =
        new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("PDFに保存"), this);
    m_savePdf->setObjectName(QStringLiteral("actPDFに保存"));
    m_savePdf->setToolTip(QStringLiteral("PDFに保存"));
    connect(m_savePdf, &QAction::triggered, this, [this] { savePdfAs(); });
    auto* bar = findChild<QToolBar*>();
    if (bar)
        arrangeToolBar(bar);
    else
        addAction(m_savePdf);
    if (m_thread && bar)
        offerThread(bar);

    // Room for a landscape page at a readable size.
    const QRect avail = (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
                            ->availableGeometry();
    resize(qMin(1200, avail.width() * 9 / 10), qMin(860, avail.height() * 9 / 10));
}

PrintPreview::~PrintPreview() = default;

void PrintPreview::arrangeToolBar(QToolBar* bar)
{
    // Printing and saving come first and carry their words, so a narrow window never hides them
    // behind the overflow; the page commands that would break the form go.
    QAction* print = nullptr;
    for (QAction* a : bar->actions()) {
        if (changesPage(a))
            a->setVisible(false);
        else if (!print && printsPages(a))
            print = a;
    }
    QAction* first = bar->actions().value(0);
    if (print) {
        bar->removeAction(print);
        bar->insertAction(first, print);
    }
    bar->insertAction(first, m_savePdf);
    bar->insertSeparator(first);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QAction* a : {print, m_savePdf})
        if (auto* button = a ? qobject_cast<QToolButton*>(bar->widgetForAction(a)) : nullptr)
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

void PrintPreview::offerThread(QToolBar* bar)
{
    m_withComments = new QCheckBox(QStringLiteral("コメントも印刷"), this);
    m_withComments->setObjectName(QStringLiteral("chkコメント印刷"));
    m_withComments->setToolTip(
        QStringLiteral("日報の下にコメントを古い順に続けて印刷します。PDFにも入ります (Alt+C)"));
    m_withComments->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
    // The pages shown are the pages printed and saved: the preview follows the tick at once.
    connect(m_withComments, &QCheckBox::toggled, this, [this](bool on) {
        m_report.setComments(on ? *m_thread : QList<print::PrintComment>());
        if (auto* pages = findChild<QPrintPreviewWidget*>())
            pages->updatePreview();
    });
    // Beside printing and saving, which it changes.
    QAction* after = nullptr;
    const QList<QAction*> actions = bar->actions();
    for (qsizetype i = 0; i + 1 < actions.size() && !after; ++i)
        if (actions[i] == m_savePdf)
            after = actions[i + 1];
    bar->insertWidget(after, m_withComments);
}

bool PrintPreview::savePdf(const QString& path)
{
    if (const store::Error e = m_report.writePdf(path); e.failed()) {
        app::tellSaveFailure(QStringLiteral("PDFファイルを保存"), path, e);
        return false;
    }
    app::rememberSaveFolder(path);
    return true;
}

void PrintPreview::savePdfAs()
{
    // Qt's own dialog, as CSV出力 and バックアップ open it: in the program's language everywhere.
    const QString folder = app::suggestedSaveFolder();
    QString path =
        app::chooseSavePath(this, {QStringLiteral("dlgPDF保存"),
                                   QStringLiteral("PDFに保存"),
                                   QDir(folder).filePath(print::suggestedPdfName(m_report.header())),
                                   {QStringLiteral("PDF ファイル (*.pdf)")}})
            .path;
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    savePdf(path);
}

namespace print {

PrintPreview* showPreview(const HeaderValues& header, const QList<PrintLine>& lines, QWidget* parent,
                          const std::optional<QList<PrintComment>>& thread)
{
    auto* preview = new PrintPreview(header, lines, parent, thread);
    app::returnFocusOnClose(preview);
    preview->show();
    preview->raise();
    preview->activateWindow();
    return preview;
}

} // namespace print
