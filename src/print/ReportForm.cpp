#include "print/ReportForm.h"

#include "print/PrintFont.h"
#include "print/TextFit.h"
#include "ui/grid/CellFormat.h"

#include <QHash>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace print {
namespace {

const QString kGothic = QStringLiteral("ＭＳ ゴシック");
const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
// Horizontal room between a box's edge and its text.
constexpr double kInset = 30;

LayoutItem label(const char* name, QRectF r, const QString& text, const QString& family, double pt, bool bold)
{
    return {QString::fromUtf8(name), LayoutItem::Label, r, text, family, pt, bold, Qt::AlignHCenter};
}

LayoutItem field(const char* name, QRectF r, double pt, Qt::Alignment align)
{
    return {QString::fromUtf8(name), LayoutItem::Field, r, {}, kPGothic, pt, false, align};
}

} // namespace

const QList<LayoutItem>& pageHeaderItems()
{
    const Qt::Alignment left = Qt::AlignLeft;
    static const QList<LayoutItem> items = {
        label("Label1", {71, 50, 1842, 425}, QStringLiteral("営業日報"), kGothic, 18, true),
        label("Label10", {2130, 210, 900, 320}, QStringLiteral("作成日"), kPGothic, 12, false),
        field("txtCday", {3100, 210, 1700, 320}, 12, left),
        label("Label57", {4890, 213, 708, 320}, QStringLiteral("所属"), kPGothic, 12, false),
        field("txt所属", {5620, 210, 1380, 320}, 12, left),
        label("Label58", {7050, 210, 600, 320}, QStringLiteral("氏名"), kPGothic, 12, false),
        field("txt氏名", {7730, 213, 1913, 320}, 12, left),
        field("txtタイトル", {9780, 213, 5456, 320}, 12, left),
        label("Label44", {75, 700, 450, 350}, QStringLiteral("No."), kPGothic, 12, true),
        label("Label53", {496, 700, 1080, 350}, QStringLiteral("日　付"), kPGothic, 12, true),
        label("Label54", {1559, 700, 870, 350}, QStringLiteral("時間"), kPGothic, 12, true),
        label("Label55", {2410, 700, 2690, 350}, QStringLiteral(" 訪　問　先"), kPGothic, 12, true),
        label("Label56", {5102, 700, 940, 350}, QStringLiteral("担当"), kPGothic, 12, true),
        label("Label59", {6024, 700, 6519, 350}, QStringLiteral("内　　　容"), kPGothic, 12, true),
        label("Label60", {12540, 700, 2805, 350}, QStringLiteral("備　　　考"), kPGothic, 12, true),
    };
    return items;
}

const QList<LayoutItem>& detailItems()
{
    const Qt::Alignment centre = Qt::AlignHCenter, left = Qt::AlignLeft;
    static const QList<LayoutItem> items = {
        field("txt行番号", {20, 0, 580, 285}, 11.5, centre),
        field("txt表示日付", {600, 0, 1050, 283}, 12, centre),
        field("txt時間", {1580, 0, 850, 283}, 12, centre),
        field("txt訪問先", {2460, 0, 2685, 285}, 12, left),
        field("txt担当", {5102, 0, 1350, 283}, 12, centre),
        field("txt内容", {6500, 0, 6000, 283}, 12, left),
        field("txt備考", {12543, 0, 2764, 283}, 12, left),
    };
    return items;
}

QFont layoutFont(const LayoutItem& item)
{
    static QHash<QString, QFont> made;
    const QString key = item.family + u'/' + QString::number(item.points) +
                        (item.bold ? QStringLiteral("/b") : QStringLiteral("/"));
    if (const auto it = made.constFind(key); it != made.cend())
        return *it;
    QFont f;
    // The monospaced face stands in for the monospaced family, the proportional for the other.
    f.setFamilies({item.family,
                   item.family == kGothic ? QStringLiteral("Noto Sans Mono CJK JP")
                                          : QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("Noto Sans CJK JP")});
    // Painted in twips: a point is 20 of them.
    f.setPixelSize(qRound(item.points * 20));
    f.setBold(item.bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return *made.insert(key, withSearchableText(f));
}

QRectF pageNumberBox(double pageTwips)
{
    return {kRuleRight - 2000, pageTwips - kPageNumberHeight, 2000, kPageNumberHeight};
}

} // namespace print

using namespace print;

rpt営業日報::rpt営業日報(const HeaderValues& header, const QList<PrintLine>& lines)
    : m_header(header), m_lines(lines)
{
}

void rpt営業日報::prepareDevice(QPagedPaintDevice& device)
{
    const QMarginsF margins(kLeftMargin / 20, kTopMargin / 20, kRightMargin / 20, kBottomMargin / 20);
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, margins, QPageLayout::Point);
    if (!device.setPageLayout(layout)) {
        // A printer whose hardware margins are wider keeps its own; the form still fits.
        device.setPageSize(QPageSize(QPageSize::A4));
        device.setPageOrientation(QPageLayout::Landscape);
        device.setPageMargins(margins, QPageLayout::Point);
    }
}

QStringList rpt営業日報::PageHeader_Format() const
{
    QStringList texts;
    for (const LayoutItem& item : pageHeaderItems()) {
        if (item.kind == LayoutItem::Label)
            texts << item.text;
        else if (item.name == u"txtCday")
            texts << m_header.Prn作成日;
        else if (item.name == u"txt氏名")
            texts << m_header.Prn氏名;
        else if (item.name == u"txt所属")
            texts << m_header.Prn所属;
        else
            texts << m_header.Prnタイトル;
    }
    return texts;
}

QStringList rpt営業日報::Detail_Format(const PrintLine& line) const
{
    // In the order of detailItems(); the time and the date in the grid's own formats.
    return {controls::formatCell(line.行番号, {}),
            controls::formatCell(line.日付, QStringLiteral("mm/dd")),
            controls::formatCell(line.時間, QStringLiteral("00:00")),
            controls::formatCell(line.訪問先, {}),
            controls::formatCell(line.担当, {}),
            controls::formatCell(line.内容, {}),
            controls::formatCell(line.備考, {})};
}

double rpt営業日報::pageTwips(const QPaintDevice& device)
{
    return device.height() * 1440.0 / device.logicalDpiY();
}

int rpt営業日報::linesPerPage(const QPaintDevice& device)
{
    return qMax(1, int((pageTwips(device) - kPageHeaderHeight - kPageNumberHeight) / kDetailHeight));
}

int rpt営業日報::pageCount(const QPaintDevice& device) const
{
    const int per = linesPerPage(device);
    return qMax(1, int((m_lines.size() + per - 1) / per));
}

void rpt営業日報::paintItems(QPainter& p, const QList<LayoutItem>& items, const QStringList& texts,
                             double top) const
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items.at(i);
        const QRectF box = item.rect.translated(0, top);
        if (item.kind == LayoutItem::Label)
            p.fillRect(box, kLabelBack);
        const QString& text = texts.value(i);
        if (text.isEmpty())
            continue;
        // Left-aligned text keeps off the box's edge; centred text may use the whole width.
        const double inset = item.align & Qt::AlignHCenter ? 0 : kInset;
        const QRectF inner = box.adjusted(inset, 0, -inset, 0);
        const FittedText shown = fitText(text, layoutFont(item), inner.size());
        p.setFont(shown.font);
        p.setPen(item.kind == LayoutItem::Label ? QColor(Qt::white) : QColor(Qt::black));
        p.save();
        p.setClipRect(box);
        const double lineHeight = inner.height() / shown.lines.size();
        for (qsizetype k = 0; k < shown.lines.size(); ++k)
            p.drawText(QRectF(inner.left(), inner.top() + k * lineHeight, inner.width(), lineHeight),
                       int(item.align | Qt::AlignVCenter | Qt::TextSingleLine), shown.lines.at(k));
        p.restore();
    }
}

store::Error rpt営業日報::render(QPagedPaintDevice& device) const
{
    QPainter p;
    if (store::Error e = beginTwips(p, device); e.failed())
        return e;
    if (store::Error e = paintPages(p, device); e.failed())
        return e;
    if (!p.end())
        return store::Error(QStringLiteral("印刷を終えられません。"));
    return {};
}

store::Error rpt営業日報::beginTwips(QPainter& p, QPagedPaintDevice& device)
{
    if (!p.begin(&device))
        return store::Error(QStringLiteral("印刷を始められません。"));
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    // From here on the painter's unit is the twip.
    p.scale(device.logicalDpiX() / 1440.0, device.logicalDpiY() / 1440.0);
    return {};
}

store::Error rpt営業日報::paintPages(QPainter& p, QPagedPaintDevice& device) const
{
    const int per = linesPerPage(device);
    const int pages = pageCount(device);
    const QStringList head = PageHeader_Format();
    QFont numberFont = layoutFont(detailItems().constFirst());
    numberFont.setPixelSize(qRound(kPageNumberPoints * 20));
    // Blanks wide enough to stay blanks when the text is read back from the file.
    numberFont.setWordSpacing(kPageNumberPoints * 20 * 0.4);
    QPen rule(Qt::black);
    rule.setWidthF(15); // three quarters of a point
    qsizetype next = 0;
    int page = 0;
    bool first = true;
    do {
        if (!first && !device.newPage())
            return store::Error(QStringLiteral("次のページを始められません。"));
        first = false;
        paintItems(p, pageHeaderItems(), head, 0);
        p.setFont(numberFont);
        p.setPen(Qt::black);
        p.drawText(pageNumberBox(pageTwips(device)), int(Qt::AlignRight | Qt::AlignVCenter),
                   QStringLiteral("%1 / %2").arg(++page).arg(pages));
        double top = kPageHeaderHeight;
        for (int k = 0; k < per && next < m_lines.size(); ++k, ++next) {
            paintItems(p, detailItems(), Detail_Format(m_lines.at(next)), top);
            p.setPen(rule);
            p.drawLine(QPointF(kRuleLeft, top + kRuleY), QPointF(kRuleRight, top + kRuleY));
            top += kDetailHeight;
        }
    } while (next < m_lines.size());
    return {};
}

store::Error rpt営業日報::writePdf(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return store::Error(file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(QStringLiteral("営業日報"));
        pdf.setCreator(QStringLiteral("営業日報 Tesvan"));
        prepareDevice(pdf);
        if (const store::Error e = render(pdf); e.failed()) {
            file.cancelWriting();
            return e;
        }
    }
    if (!file.commit())
        return store::Error(file.errorString());
    return {};
}
