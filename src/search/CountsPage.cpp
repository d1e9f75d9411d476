#include "search/CountsPage.h"

#include "search/BarChart.h"
#include "ui/Look.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace search {
namespace {
// A chart keeps to what can be read: the busiest places, the latest periods.
constexpr int kChartPlaces = 15;
constexpr int kChartWeeks = 13;
constexpr int kChartMonths = 12;

QString number(qint64 n)
{
    return QLocale(QLocale::Japanese).toString(n);
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment a = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    it->setTextAlignment(a);
    return it;
}

} // namespace

CountsPage::CountsPage(QWidget* parent) : QWidget(parent)
{
    cmb集計 = new QComboBox(this);
    cmb集計->setObjectName(QStringLiteral("cmb集計"));
    cmb集計->addItems({QStringLiteral("訪問先別"), QStringLiteral("氏名別")});
    cmb集計単位 = new QComboBox(this);
    cmb集計単位->setObjectName(QStringLiteral("cmb集計単位"));
    cmb集計単位->addItems({QStringLiteral("月ごと"), QStringLiteral("週ごと")});
    m_unitLabel = app::makeLabel(QStringLiteral("期間"), this);

    Grid集計 = new QTableWidget(this);
    Grid集計->setObjectName(QStringLiteral("Grid集計"));
    Grid集計->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid集計->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid集計->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid集計->verticalHeader()->setVisible(false);
    Grid集計->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Grid集計->horizontalHeader()->setStretchLastSection(true);
    Grid集計->setToolTip(QStringLiteral("行をダブルクリックまたは Enter で、検索をその行に絞り込みます"));

    Chart集計 = new BarChart(this);
    Chart集計->setObjectName(QStringLiteral("Chart集計"));
    Chart集計->setMinimumWidth(260);
    Chart集計->setToolTip(QStringLiteral("棒をクリックすると、検索をその棒に絞り込みます"));

    auto* top = new QHBoxLayout;
    top->addWidget(app::makeLabel(QStringLiteral("集計"), this));
    top->addWidget(cmb集計);
    top->addSpacing(12);
    top->addWidget(m_unitLabel);
    top->addWidget(cmb集計単位);
    top->addStretch(1);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(Grid集計);
    split->addWidget(Chart集計);
    // The chart needs the room for its labels; the table's columns are narrow.
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setSizes({420, 580});
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    const auto changed = [this] {
        const bool names = view() == View::Names;
        m_unitLabel->setEnabled(names);
        cmb集計単位->setEnabled(names);
        emit choiceChanged();
    };
    connect(cmb集計, &QComboBox::currentIndexChanged, this, changed);
    connect(cmb集計単位, &QComboBox::currentIndexChanged, this, changed);
    m_unitLabel->setEnabled(false);
    cmb集計単位->setEnabled(false);
    connect(Grid集計, &QTableWidget::cellActivated, this, [this](int row, int) { pickRow(row); });
    connect(Chart集計, &BarChart::partClicked, this, &CountsPage::pickBar);
}

CountsPage::View CountsPage::view() const
{
    return cmb集計->currentIndex() == 1 ? View::Names : View::Places;
}

void CountsPage::setView(View v)
{
    cmb集計->setCurrentIndex(v == View::Names ? 1 : 0);
}

Period CountsPage::period() const
{
    return cmb集計単位->currentIndex() == 1 ? Period::Week : Period::Month;
}

QDate CountsPage::periodEnd(const QDate& start, Period p)
{
    return p == Period::Week ? start.addDays(6) : start.addMonths(1).addDays(-1);
}

QString CountsPage::periodText(const QDate& start, Period p)
{
    if (p == Period::Month)
        return start.toString(QStringLiteral("yyyy/MM"));
    return start.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral("〜");
}

QString CountsPage::tableName() const
{
    if (view() == View::Places)
        return QStringLiteral("訪問先別");
    return period() == Period::Week ? QStringLiteral("氏名別_週") : QStringLiteral("氏名別_月");
}

void CountsPage::clear()
{
    m_places.clear();
    m_names.clear();
    if (view() == View::Places)
        showPlaces({});
    else
        showNames({});
}

store::Error CountsPage::load(const QSqlDatabase& main, const Criteria& c)
{
    store::Error e;
    if (view() == View::Places) {
        QList<PlaceCount> counts;
        e = countByPlace(main, c, &counts);
        showPlaces(e.ok() ? counts : QList<PlaceCount>());
    } else {
        QList<NameCount> counts;
        e = countByName(main, c, period(), &counts);
        showNames(e.ok() ? counts : QList<NameCount>());
    }
    return e;
}

QStringList CountsPage::header() const
{
    QStringList h;
    for (int c = 0; c < Grid集計->columnCount(); ++c)
        h << Grid集計->horizontalHeaderItem(c)->text();
    return h;
}

QList<QStringList> CountsPage::rows() const
{
    QList<QStringList> out;
    for (int r = 0; r < Grid集計->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < Grid集計->columnCount(); ++c)
            row << Grid集計->item(r, c)->text();
        out << row;
    }
    return out;
}

void CountsPage::showPlaces(const QList<PlaceCount>& counts)
{
    m_places = counts;
    m_names.clear();
    Grid集計->clear();
    Grid集計->setColumnCount(4);
    Grid集計->setHorizontalHeaderLabels({QStringLiteral("訪問先"), QStringLiteral("訪問回数"),
                                         QStringLiteral("最終訪問日"), QStringLiteral("訪問者")});
    Grid集計->setRowCount(int(counts.size()));
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    for (int r = 0; r < counts.size(); ++r) {
        const PlaceCount& p = counts[r];
        Grid集計->setItem(r, 0, cell(p.訪問先));
        Grid集計->setItem(r, 1, cell(number(p.visits), right));
        Grid集計->setItem(r, 2, cell(p.last.toString(QStringLiteral("yyyy/MM/dd")), Qt::AlignCenter));
        Grid集計->setItem(r, 3, cell(p.names.join(QStringLiteral("、"))));
    }
    Grid集計->horizontalHeader()->setStretchLastSection(true);
    Grid集計->setColumnWidth(0, 160);
    Grid集計->setColumnWidth(1, 70);
    Grid集計->setColumnWidth(2, 90);

    // The busiest places, the busiest on top.
    const int shown = int(qMin<qsizetype>(counts.size(), kChartPlaces));
    BarChart::Series visits{QStringLiteral("訪問回数"), {}};
    QStringList places;
    for (int i = 0; i < shown; ++i) {
        visits.values << qreal(counts[i].visits);
        places << counts[i].訪問先;
    }
    Chart集計->setData(counts.size() > shown ? QStringLiteral("訪問回数（上位 %1 件）").arg(shown)
                                             : QStringLiteral("訪問回数"),
                       Qt::Horizontal, places, {visits});
}

void CountsPage::showNames(const QList<NameCount>& counts)
{
    m_names = counts;
    m_places.clear();
    const Period p = period();
    Grid集計->clear();
    Grid集計->setColumnCount(4);
    Grid集計->setHorizontalHeaderLabels({QStringLiteral("氏名"),
                                         p == Period::Week ? QStringLiteral("週") : QStringLiteral("月"),
                                         QStringLiteral("訪問回数"), QStringLiteral("日報数")});
    Grid集計->setRowCount(int(counts.size()));
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    QList<QDate> starts;
    QStringList names;
    for (int r = 0; r < counts.size(); ++r) {
        const NameCount& n = counts[r];
        Grid集計->setItem(r, 0, cell(n.氏名));
        Grid集計->setItem(r, 1, cell(periodText(n.start, p), Qt::AlignCenter));
        Grid集計->setItem(r, 2, cell(number(n.visits), right));
        Grid集計->setItem(r, 3, cell(number(n.reports), right));
        if (!starts.contains(n.start))
            starts << n.start;
        if (!names.contains(n.氏名))
            names << n.氏名;
    }
    Grid集計->horizontalHeader()->setStretchLastSection(false);
    Grid集計->setColumnWidth(0, 120);
    Grid集計->setColumnWidth(1, 110);
    Grid集計->setColumnWidth(2, 70);
    Grid集計->setColumnWidth(3, 70);

    // One bar per period, a part of it per person; the latest periods when there are many.
    std::sort(starts.begin(), starts.end());
    const int most = p == Period::Week ? kChartWeeks : kChartMonths;
    const bool cut = starts.size() > most;
    if (cut)
        starts = starts.mid(starts.size() - most);
    QStringList categories;
    for (const QDate& d : starts)
        categories << (p == Period::Month ? d.toString(QStringLiteral("yyyy/MM"))
                                          : d.toString(QStringLiteral("M/d")));
    QList<BarChart::Series> parts;
    for (const QString& name : names) {
        BarChart::Series part{name, QList<qreal>(starts.size(), 0)};
        for (const NameCount& n : counts)
            if (const qsizetype i = starts.indexOf(n.start); n.氏名 == name && i >= 0)
                part.values[i] = qreal(n.visits);
        parts << part;
    }
    m_chartStarts = starts;
    Chart集計->setData(!cut                ? QStringLiteral("氏名別の訪問回数")
                       : p == Period::Week ? QStringLiteral("氏名別の訪問回数（直近 %1 週）").arg(most)
                                           : QStringLiteral("氏名別の訪問回数（直近 %1 か月）").arg(most),
                       Qt::Vertical, categories, parts);
}

void CountsPage::pickBar(int series, int category)
{
    if (view() == View::Places) {
        pickRow(category); // the chart's bars are the table's first rows
    } else if (series < Chart集計->series().size() && category < m_chartStarts.size()) {
        const QDate start = m_chartStarts[category];
        emit namePicked(Chart集計->series()[series].name, start, periodEnd(start, period()));
    }
}

void CountsPage::pickRow(int row)
{
    if (view() == View::Places) {
        if (row >= 0 && row < m_places.size())
            emit placePicked(m_places[row].訪問先);
    } else if (row >= 0 && row < m_names.size()) {
        const NameCount& n = m_names[row];
        emit namePicked(n.氏名, n.start, periodEnd(n.start, period()));
    }
}

} // namespace search
