#pragma once
// The printed daily report: a landscape A4 form painted with QPainter in twips, the same
// code for the preview, the printer and PDF files.
#include "print/PrintSnapshot.h"
#include "print/TextFit.h"
#include "store/Error.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <Qt>

class QFont;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace print {

// Twips (1,440 per inch; one twip is 1/20 of a point).
inline constexpr double kPageHeaderHeight = 1100;
inline constexpr double kDetailHeight = 310;
// A detail line whose text wraps grows to hold it, up to this many lines at the form's size;
// beyond that its text gets smaller (TextFit).
inline constexpr int kMaxDetailLines = 4;
// Margins: the layout is 15,465 twips wide on a 16,838-twip page, so left and right together
// may take at most 1,373. Left 800 and no right margin leave the form nearly centred.
inline constexpr double kLeftMargin = 800;
inline constexpr double kTopMargin = 600;
inline constexpr double kRightMargin = 0;
inline constexpr double kBottomMargin = 300;
inline const QColor kLabelBack(0, 0, 128);

// One box of the form. A label has a fixed text; a field gets its text from the page-header
// values or from the line being printed.
struct LayoutItem {
    enum Kind { Label, Field };
    QString name;
    Kind kind;
    QRectF rect; // left, top, width, height within its section
    QString text;
    QString family;
    double points;
    bool bold;
    Qt::Alignment align;
};

const QList<LayoutItem>& pageHeaderItems();
const QList<LayoutItem>& detailItems();
// The rule under every detail line: from x 70 to x 15320 at y 300.
inline constexpr double kRuleLeft = 70, kRuleRight = 15320, kRuleY = 300;

// The font of a box: the form's family first, then a Japanese font our setup installs.
QFont layoutFont(const LayoutItem& item);

// "n / N" at the foot of every page, right-aligned under the end of the rule: the form's
// footer is empty, and the detail lines stop above it.
inline constexpr double kPageNumberHeight = 240;
inline constexpr double kPageNumberPoints = 9;
QRectF pageNumberBox(double pageTwips);

// The comment thread, when printed, follows the last line: a heading, then each comment's
// author and time and its text wrapped across the form, running onto further pages. Those pages
// keep the header's first row (the column headings name nothing there), and the thread starts
// where the headings would.
inline constexpr double kThreadGap = 240; // between the last line and the heading
inline constexpr double kThreadHeadingHeight = kThreadGap + 350 + 60;
inline constexpr double kThreadPageTop = 700;
inline constexpr double kThreadRuleRoom = 120; // under a comment's last line, the rule in its middle
// The heading (a label), the author line and a line of text; rects within their row.
const QList<LayoutItem>& threadItems();

} // namespace print

class rpt営業日報 {
  public:
    // comments, oldest first, are printed after the lines; none: the form as ever.
    rpt営業日報(const print::HeaderValues& header, const QList<print::PrintLine>& lines,
                const QList<print::PrintComment>& comments = {});

    // Page set-up of a device before painting: A4 landscape and the form's margins.
    static void prepareDevice(QPagedPaintDevice& device);

    // The texts of the page-header items, in the order of pageHeaderItems().
    QStringList PageHeader_Format() const;
    // The texts of the detail items for one line, in the order of detailItems().
    QStringList Detail_Format(const print::PrintLine& line) const;

    // Height of one page of device within its margins, in twips.
    static double pageTwips(const QPaintDevice& device);

    // One detail line as printed: its boxes' texts fitted, and the height it takes (twips).
    struct DetailRow {
        QList<print::FittedText> cells; // in the order of detailItems(); no lines for an empty text
        double height = 0;
    };
    DetailRow fitDetail(const print::PrintLine& line) const;
    // The first line of each page of device, for lines of the given rows.
    static QList<qsizetype> pageStarts(const QPaintDevice& device, const QList<DetailRow>& rows);

    // One row of the printed thread. A row kept with the next never ends a page: the heading
    // stays with the first comment, an author with the first line of the text.
    struct ThreadRow {
        enum Kind { Heading, Author, Text };
        Kind kind;
        QString text;
        double height = 0;
        bool keepWithNext = false;
        bool ruled = false; // a comment's last row: the rule under it
    };
    QList<ThreadRow> threadRows() const;
    // What each page of device holds: a run of the lines, then a run of the thread's rows.
    struct PagePlan {
        qsizetype firstLine = 0, endLine = 0;
        qsizetype firstThread = 0, endThread = 0;
        double threadTop = 0; // where its first row of the thread starts
        // A comment split over pages names its author again (続き) above the rest: that row.
        qsizetype continued = -1;
    };
    static QList<PagePlan> planPages(const QPaintDevice& device, const QList<DetailRow>& rows,
                                     const QList<ThreadRow>& thread);

    // Paints every page on device (already set up); the reason when painting cannot start.
    store::Error render(QPagedPaintDevice& device) const;
    // For several reports on one device: begins p on device (already set up) with the twip as
    // its unit; then each report paints its pages, the first on the device's current page,
    // which must be blank (after the first report, device.newPage()).
    static store::Error beginTwips(QPainter& p, QPagedPaintDevice& device);
    store::Error paintPages(QPainter& p, QPagedPaintDevice& device) const;
    // The same pages into a PDF file at path, replaced whole or left as it was.
    store::Error writePdf(const QString& path) const;

    const print::HeaderValues& header() const { return m_header; }
    const QList<print::PrintLine>& lines() const { return m_lines; }
    const QList<print::PrintComment>& comments() const { return m_comments; }
    void setComments(const QList<print::PrintComment>& comments) { m_comments = comments; }

  private:
    QList<print::FittedText> fitItems(const QList<print::LayoutItem>& items, const QStringList& texts,
                                      bool grows) const;
    void paintItems(QPainter& p, const QList<print::LayoutItem>& items, const QList<print::FittedText>& cells,
                    double top, double below = kNoBound) const;
    void paintThreadRow(QPainter& p, const ThreadRow& row, double top) const;
    static constexpr double kNoBound = 1e9;

    print::HeaderValues m_header;
    QList<print::PrintLine> m_lines;
    QList<print::PrintComment> m_comments;
};
