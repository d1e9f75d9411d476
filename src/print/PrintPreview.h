#pragma once
// The preview window of one print run: the pages of its report, printing from there, and
// saving the same pages as a PDF file. Not modal, so the main window stays usable.
#include "print/ReportForm.h"

#include <QPrintPreviewDialog>
#include <memory>

class QAction;
class QPrinter;
class QToolBar;

class PrintPreview : public QPrintPreviewDialog {
    Q_OBJECT
  public:
    // Takes the report as it stands: later edits on the screen never reach this window.
    PrintPreview(const print::HeaderValues& header, const QList<print::PrintLine>& lines, QWidget* parent);
    ~PrintPreview() override;

    const rpt営業日報& report() const { return m_report; }
    QPrinter* pagePrinter() const { return m_printer.get(); }
    QAction* savePdfAction() const { return m_savePdf; }

    // Writes the pages to path; tells the user when that fails. True when written.
    bool savePdf(const QString& path);
    // Asks for a file in the standard dialog, then savePdf.
    void savePdfAs();

  private:
    void arrangeToolBar(QToolBar* bar);
    PrintPreview(QPrinter* printer, const print::HeaderValues& header, const QList<print::PrintLine>& lines,
                 QWidget* parent);

    std::unique_ptr<QPrinter> m_printer;
    rpt営業日報 m_report;
    QAction* m_savePdf = nullptr;
};

namespace print {
// Opens a new preview window over parent, deleted when closed.
PrintPreview* showPreview(const HeaderValues& header, const QList<PrintLine>& lines, QWidget* parent);
} // namespace print
