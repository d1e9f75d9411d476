#include "print/ReportForm.h"

#include "print/PrintFont.h"
#include "print/TextFit.h"
#include "ui/grid/CellFormat.h"

#include <QHash>
#include <QMutex>
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

const QList<LayoutItem>& threadItems()
{
    static const QList<LayoutItem> items = {
        label("Labelコメント", {75, kThreadGap, 1500, 350}, QStringLiteral("コメント"), kPGothic, 12, true),
        {QStringLiteral("txt投稿者"),
         LayoutItem::Field,
         {70, 0, 15250, kDetailHeight},
         {},
         kPGothic,
         12,
         true,
         Qt::AlignLeft},
        // The text under its author, indented; one row per wrapped line.
        field("txtコメント", {470, 0, 14850, 240 * kLineSpacing}, 12, Qt::AlignLeft),
    };
    return items;
}

QFont layoutFont(const LayoutItem& item)
{
    // A batch PDF paints on a worker thread while 印刷 may paint here.
    static QMutex lock;
    const QMutexLocker guard(&lock);
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

rpt営業日報::rpt営業日報(const HeaderValues& header, const QList<PrintLine>& lines,
                         const QList<PrintComment>& comments)
    : m_header(header), m_lines(lines), m_comments(comments)
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

namespace {
// Left-aligned text keeps off the box's edge; centred text may use the whole width.
QRectF innerBox(const LayoutItem& item, double top)
{
    const double inset = item.align & Qt::AlignHCenter ? 0 : kInset;
    return item.rect.translated(0, top).adjusted(inset, 0, -inset, 0);
}
} // namespace

QList<FittedText> rpt営業日報::fitItems(const QList<LayoutItem>& items, const QStringList& texts,
                                        bool grows) const
{
    QList<FittedText> cells;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items.at(i);
        const QString& text = texts.value(i);
        if (text.isEmpty()) {
            cells << FittedText{};
            continue;
        }
        const QFont font = layoutFont(item);
        const QSizeF box = innerBox(item, 0).size();
        // A detail line grows by whole lines of its text at the form's size.
        const double room =
            grows ? box.height() + (kMaxDetailLines - 1) * font.pixelSize() * kLineSpacing : 0;
        cells << fitText(text, font, box, room);
    }
    return cells;
}

rpt営業日報::DetailRow rpt営業日報::fitDetail(const PrintLine& line) const
{
    DetailRow row{fitItems(detailItems(), Detail_Format(line), true), kDetailHeight};
    for (qsizetype i = 0; i < row.cells.size(); ++i) {
        const double box = detailItems().at(i).rect.height();
        if (!row.cells[i].lines.isEmpty())
            row.height = qMax(row.height, kDetailHeight + row.cells[i].height(box) - box);
    }
    return row;
}

QList<qsizetype> rpt営業日報::pageStarts(const QPaintDevice& device, const QList<DetailRow>& rows)
{
    const double room = pageTwips(device) - kPageHeaderHeight - kPageNumberHeight;
    QList<qsizetype> starts{0};
    double used = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        // Every page holds one line at least, however tall.
        if (used > 0 && used + rows[i].height > room + 0.5) {
            starts << i;
            used = 0;
        }
        used += rows[i].height;
    }
    return starts;
}

QList<rpt営業日報::ThreadRow> rpt営業日報::threadRows() const
{
    QList<ThreadRow> rows;
    if (m_comments.isEmpty())
        return rows;
    rows << ThreadRow{ThreadRow::Heading, threadItems().at(0).text, kThreadHeadingHeight, true, false};
    const LayoutItem& textItem = threadItems().at(2);
    const QFont font = layoutFont(textItem);
    const QSizeF box = innerBox(textItem, 0).size();
    for (const PrintComment& c : m_comments) {
        const QString when =
            c.at.isValid() ? c.at.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
        rows << ThreadRow{ThreadRow::Author, QStringList{c.by, when}.join(u' ').trimmed(), kDetailHeight,
                          true, false};
        // Wrapped at the form's size however long: the thread goes on over the pages it needs,
        // never smaller nor cut.
        const FittedText text = fitText(c.text, font, box, kNoBound);
        for (const QString& line : text.lines)
            if (!line.isEmpty())
                rows << ThreadRow{ThreadRow::Text, line, text.pitch, false, false};
        rows.last().keepWithNext = false;
        rows.last().ruled = true;
        rows.last().height += kThreadRuleRoom;
    }
    return rows;
}

QList<rpt営業日報::PagePlan> rpt営業日報::planPages(const QPaintDevice& device, const QList<DetailRow>& rows,
                                                    const QList<ThreadRow>& thread)
{
    const QList<qsizetype> starts = pageStarts(device, rows);
    QList<PagePlan> plan;
    for (qsizetype i = 0; i < starts.size(); ++i)
        plan << PagePlan{starts[i], i + 1 < starts.size() ? starts[i + 1] : rows.size(), 0, 0, 0};
    // The thread starts under the last line.
    double top = kPageHeaderHeight;
    for (qsizetype k = plan.last().firstLine; k < plan.last().endLine; ++k)
        top += rows[k].height;
    plan.last().threadTop = top;
    const double bottom = pageTwips(device) - kPageNumberHeight;
    for (qsizetype i = 0; i < thread.size();) {
        qsizetype end = i + 1;
        double need = thread[i].height;
        while (end < thread.size() && thread[end - 1].keepWithNext)
            need += thread[end++].height;
        // A new page takes the rows that do not fit, however tall.
        if (top + need > bottom + 0.5) {
            plan << PagePlan{rows.size(), rows.size(), i, i, kThreadPageTop};
            top = kThreadPageTop;
            if (thread[i].kind == ThreadRow::Text) {
                qsizetype author = i;
                while (thread[author].kind != ThreadRow::Author)
                    --author;
                plan.last().continued = author;
                top += thread[author].height;
            }
        }
        plan.last().endThread = end;
        top += need;
        i = end;
    }
    return plan;
}

void rpt営業日報::paintThreadRow(QPainter& p, const ThreadRow& row, double top) const
{
    const LayoutItem& item = threadItems().at(row.kind);
    p.setFont(layoutFont(item));
    if (row.kind == ThreadRow::Heading) {
        const QRectF box = item.rect.translated(0, top);
        p.fillRect(box, kLabelBack);
        p.setPen(Qt::white);
        p.drawText(box, int(item.align | Qt::AlignVCenter | Qt::TextSingleLine), row.text);
        return;
    }
    p.setPen(Qt::black);
    p.drawText(innerBox(item, top), int(item.align | Qt::AlignVCenter | Qt::TextSingleLine), row.text);
    if (row.ruled) {
        QPen rule(Qt::black);
        rule.setWidthF(10);
        p.setPen(rule);
        const double y = top + row.height - kThreadRuleRoom / 2;
        p.drawLine(QPointF(kRuleLeft, y), QPointF(kRuleRight, y));
    }
}

void rpt営業日報::paintItems(QPainter& p, const QList<LayoutItem>& items, const QList<FittedText>& cells,
                             double top, double below) const
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items.at(i);
        if (item.rect.top() >= below)
            continue;
        const QRectF box = item.rect.translated(0, top);
        if (item.kind == LayoutItem::Label)
            p.fillRect(box, kLabelBack);
        const FittedText& shown = cells.at(i);
        if (shown.lines.isEmpty())
            continue;
        const QRectF inner = innerBox(item, top);
        p.setFont(shown.font);
        p.setPen(item.kind == LayoutItem::Label ? QColor(Qt::white) : QColor(Qt::black));
        // The first line sits where a line of one would; the others follow it downwards.
        const double first = (inner.height() - shown.pitch) / 2;
        for (qsizetype k = 0; k < shown.lines.size(); ++k) {
            const QRectF at =
                shown.lines.size() == 1
                    ? inner
                    : QRectF(inner.left(), inner.top() + first + k * shown.pitch, inner.width(), shown.pitch);
            p.drawText(at, int(item.align | Qt::AlignVCenter | Qt::TextSingleLine), shown.lines.at(k));
        }
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
    QList<DetailRow> rows;
    rows.reserve(m_lines.size());
    for (const PrintLine& line : m_lines)
        rows << fitDetail(line);
    const QList<ThreadRow> thread = threadRows();
    const QList<PagePlan> plan = planPages(device, rows, thread);
    const QList<FittedText> head = fitItems(pageHeaderItems(), PageHeader_Format(), false);
    QFont numberFont = layoutFont(detailItems().constFirst());
    numberFont.setPixelSize(qRound(kPageNumberPoints * 20));
    // Blanks wide enough to stay blanks when the text is read back from the file.
    numberFont.setWordSpacing(kPageNumberPoints * 20 * 0.4);
    QPen rule(Qt::black);
    rule.setWidthF(15); // three quarters of a point
    for (qsizetype page = 0; page < plan.size(); ++page) {
        if (page > 0 && !device.newPage())
            return store::Error(QStringLiteral("次のページを始められません。"));
        const PagePlan& on = plan[page];
        const bool threadOnly = page > 0 && on.firstLine == on.endLine;
        paintItems(p, pageHeaderItems(), head, 0, threadOnly ? kThreadPageTop : kNoBound);
        p.setFont(numberFont);
        p.setPen(Qt::black);
        p.drawText(pageNumberBox(pageTwips(device)), int(Qt::AlignRight | Qt::AlignVCenter),
                   QStringLiteral("%1 / %2").arg(page + 1).arg(plan.size()));
        double top = kPageHeaderHeight;
        for (qsizetype k = on.firstLine; k < on.endLine; ++k) {
            paintItems(p, detailItems(), rows[k].cells, top);
            p.setPen(rule);
            // The rule stays under the line, as far below its text as under a line of one.
            const double ruleY = top + rows[k].height - kDetailHeight + kRuleY;
            p.drawLine(QPointF(kRuleLeft, ruleY), QPointF(kRuleRight, ruleY));
            top += rows[k].height;
        }
        top = on.threadTop;
        if (on.continued >= 0) {
            ThreadRow again = thread[on.continued];
            again.text += QStringLiteral("（続き）");
            paintThreadRow(p, again, top);
            top += again.height;
        }
        for (qsizetype k = on.firstThread; k < on.endThread; ++k) {
            paintThreadRow(p, thread[k], top);
            top += thread[k].height;
        }
    }
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
