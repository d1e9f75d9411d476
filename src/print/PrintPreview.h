#pragma once
// The preview window of one print run: the pages of its report, printing from there, and
// saving the same pages as a PDF file. Not modal, so the main window stays usable.
#include "print/ReportForm.h"

#include <QPrintPreviewDialog>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QPrinter;
class QToolBar;

class PrintPreview : public QPrintPreviewDialog {
    Q_OBJECT
  public:
    // Takes the report as it stands: later edits on the screen never reach this window. With a
    // thread (a team server that keeps the review, even an empty one) the tool bar offers to
    // print it under the lines; it is not printed until ticked.
    PrintPreview(const print::HeaderValues& header, const QList<print::PrintLine>& lines, QWidget* parent,
                 const std::optional<QList<print::PrintComment>>& thread = std::nullopt);
    ~PrintPreview() override;

    const rpt営業日報& report() const { return m_report; }
    QPrinter* pagePrinter() const { return m_printer.get(); }
    QAction* savePdfAction() const { return m_savePdf; }
    QCheckBox* withComments() const { return m_withComments; } // none without a thread

    // Writes the pages to path; tells the user when that fails. True when written.
    bool savePdf(const QString& path);
    // Asks for a file in the standard dialog, then savePdf.
    void savePdfAs();

  private:
    void arrangeToolBar(QToolBar* bar);
    void offerThread(QToolBar* bar);
    PrintPreview(QPrinter* printer, const print::HeaderValues& header, const QList<print::PrintLine>& lines,
                 QWidget* parent, const std::optional<QList<print::PrintComment>>& thread);

    std::unique_ptr<QPrinter> m_printer;
    rpt営業日報 m_report;
    std::optional<QList<print::PrintComment>> m_thread;
    QAction* m_savePdf = nullptr;
    QCheckBox* m_withComments = nullptr;
};

namespace print {
// Opens a new preview window over parent, deleted when closed.
PrintPreview* showPreview(const HeaderValues& header, const QList<PrintLine>& lines, QWidget* parent,
                          const std::optional<QList<PrintComment>>& thread = std::nullopt);
} // namespace print
