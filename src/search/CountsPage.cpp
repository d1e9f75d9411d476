#include "search/CountsPage.h"

#include "search/BarChart.h"
#include "search/Visits.h"
#include "ui/Look.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QSet>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSplitter>
#include <QTableView>
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

} // namespace

// The table over the counts as they came: a cell's text is made when it is drawn, so that
// thousands of places show at once instead of an item made for every cell first.
class CountsModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void setPlaces(const QList<PlaceCount>& places)
    {
        beginResetModel();
        m_places = places;
        m_names.clear();
        m_isPlaces = true;
        m_header = {QStringLiteral("訪問先"), QStringLiteral("訪問回数"), QStringLiteral("行数"),
                    QStringLiteral("最終訪問日"), QStringLiteral("訪問者")};
        endResetModel();
    }
    void setNames(const QList<NameCount>& names, Period p)
    {
        beginResetModel();
        m_names = names;
        m_places.clear();
        m_isPlaces = false;
        m_period = p;
        m_header = {QStringLiteral("氏名"), p == Period::Week ? QStringLiteral("週") : QStringLiteral("月"),
                    QStringLiteral("訪問回数"), QStringLiteral("行数"), QStringLiteral("日報数")};
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        return int(m_isPlaces ? m_places.size() : m_names.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_header.size());
    }
    Qt::ItemFlags flags(const QModelIndex& i) const override
    {
        return i.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_header.size())
            return m_header[section];
        return QAbstractTableModel::headerData(section, o, role);
    }

    QVariant data(const QModelIndex& i, int role) const override
    {
        if (!i.isValid() || i.row() >= rowCount())
            return {};
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(alignment(i.column()));
        if (role != Qt::DisplayRole)
            return {};
        return text(i.row(), i.column());
    }

    QString text(int row, int column) const
    {
        if (m_isPlaces) {
            const PlaceCount& p = m_places.at(row);
            switch (column) {
            case 0:
                return p.訪問先;
            case 1:
                return number(p.visits);
            case 2:
                return number(p.lines);
            case 3:
                return p.last.toString(QStringLiteral("yyyy/MM/dd"));
            default:
                return p.names.join(QStringLiteral("、"));
            }
        }
        const NameCount& n = m_names.at(row);
        switch (column) {
        case 0:
            return n.氏名;
        case 1:
            return CountsPage::periodText(n.start, m_period);
        case 2:
            return number(n.visits);
        case 3:
            return number(n.lines);
        default:
            return number(n.reports);
        }
    }

    QStringList header() const { return m_header; }

  private:
    Qt::Alignment alignment(int column) const
    {
        const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
        if (m_isPlaces)
            return column == 1 || column == 2 ? right
                   : column == 3              ? Qt::Alignment(Qt::AlignCenter)
                                              : Qt::AlignLeft | Qt::AlignVCenter;
        return column >= 2   ? right
               : column == 1 ? Qt::Alignment(Qt::AlignCenter)
                             : Qt::AlignLeft | Qt::AlignVCenter;
    }

    // Shared with the page's own lists, not copied.
    QList<PlaceCount> m_places;
    QList<NameCount> m_names;
    bool m_isPlaces = true;
    Period m_period = Period::Month;
    QStringList m_header;
};

CountsPage::CountsPage(QWidget* parent) : QWidget(parent)
{
    cmb集計 = new QComboBox(this);
    cmb集計->setObjectName(QStringLiteral("cmb集計"));
    cmb集計->addItems({QStringLiteral("訪問先別"), QStringLiteral("氏名別")});
    cmb集計単位 = new QComboBox(this);
    cmb集計単位->setObjectName(QStringLiteral("cmb集計単位"));
    cmb集計単位->addItems({QStringLiteral("月ごと"), QStringLiteral("週ごと")});
    m_unitLabel = app::makeLabelFor(QStringLiteral("期間"), cmb集計単位, this);
    // Places that are no visits (社内, say): their lines are counted, as visits they are not.
    txt訪問除外 = new QLineEdit(this);
    txt訪問除外->setObjectName(QStringLiteral("txt訪問除外"));
    txt訪問除外->setPlaceholderText(QStringLiteral("例: 社内、自社"));
    txt訪問除外->setToolTip(
        QStringLiteral("訪問回数に数えない訪問先を「、」で区切って入力します（行数には数えます）"));
    txt訪問除外->setClearButtonEnabled(true);
    txt訪問除外->setMinimumWidth(160);
    txt訪問除外->setText(notVisitPlaces().join(QStringLiteral("、")));

    Grid集計 = new QTableView(this);
    Grid集計->setObjectName(QStringLiteral("Grid集計"));
    m_model = new CountsModel(this);
    m_model->setPlaces({});
    Grid集計->setModel(m_model);
    app::nameInput(Grid集計, QStringLiteral("集計結果"));
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
    top->addWidget(app::makeLabelFor(QStringLiteral("集計"), cmb集計, this));
    top->addWidget(cmb集計);
    top->addSpacing(12);
    top->addWidget(m_unitLabel);
    top->addWidget(cmb集計単位);
    top->addSpacing(12);
    top->addWidget(app::makeLabelFor(QStringLiteral("訪問に数えない訪問先"), txt訪問除外, this));
    top->addWidget(txt訪問除外, 1);

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
    // Kept and counted again when the typing is done (Enter or leaving the field), not at each key.
    connect(txt訪問除外, &QLineEdit::editingFinished, this, [this] {
        const QStringList places = notVisits();
        if (places == notVisitPlaces())
            return;
        setNotVisitPlaces(places);
        emit choiceChanged();
    });
    connect(Grid集計, &QTableView::activated, this, [this](const QModelIndex& i) { pickRow(i.row()); });
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

QStringList CountsPage::notVisits() const
{
    return placesOf(txt訪問除外->text());
}

CountsPage::Counts CountsPage::count(const QSqlDatabase& main, const Criteria& c, View v, Period p,
                                     const QStringList& notVisits)
{
    Counts out;
    out.view = v;
    out.period = p;
    out.error = v == View::Places ? countByPlace(main, c, &out.places, notVisits)
                                  : countByName(main, c, p, &out.names, notVisits);
    return out;
}

bool CountsPage::show(const Counts& counts)
{
    if (counts.view != view() || (counts.view == View::Names && counts.period != period()))
        return false;
    const bool ok = counts.error.ok();
    if (view() == View::Places)
        showPlaces(ok ? counts.places : QList<PlaceCount>());
    else
        showNames(ok ? counts.names : QList<NameCount>());
    return ok;
}

QStringList CountsPage::header() const
{
    return m_model->header();
}

int CountsPage::rowCount() const
{
    return m_model->rowCount();
}

QString CountsPage::text(int row, int column) const
{
    return m_model->text(row, column);
}

QList<QStringList> CountsPage::rows() const
{
    QList<QStringList> out;
    const int columns = m_model->columnCount();
    out.reserve(m_model->rowCount());
    for (int r = 0; r < m_model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row << m_model->text(r, c);
        out << row;
    }
    return out;
}

void CountsPage::showPlaces(const QList<PlaceCount>& counts)
{
    m_names.clear();
    m_places = counts;
    m_model->setPlaces(m_places);
    Grid集計->horizontalHeader()->setStretchLastSection(true);
    Grid集計->setColumnWidth(0, 160);
    Grid集計->setColumnWidth(1, 70);
    Grid集計->setColumnWidth(2, 56);
    Grid集計->setColumnWidth(3, 90);

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
    m_places.clear();
    m_names = counts;
    const Period p = period();
    m_model->setNames(m_names, p);
    // The chart's periods and names, each once, in the order they come (sets: there may be
    // thousands of rows).
    QList<QDate> starts;
    QStringList names;
    QSet<QDate> seenStarts;
    QSet<QString> seenNames;
    for (const NameCount& n : counts) {
        if (!seenStarts.contains(n.start)) {
            seenStarts.insert(n.start);
            starts << n.start;
        }
        if (!seenNames.contains(n.氏名)) {
            seenNames.insert(n.氏名);
            names << n.氏名;
        }
    }
    Grid集計->horizontalHeader()->setStretchLastSection(false);
    Grid集計->setColumnWidth(0, 120);
    Grid集計->setColumnWidth(1, 110);
    Grid集計->setColumnWidth(2, 70);
    Grid集計->setColumnWidth(3, 56);
    Grid集計->setColumnWidth(4, 70);

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
    QHash<QDate, qsizetype> column;
    for (qsizetype i = 0; i < starts.size(); ++i)
        column.insert(starts[i], i);
    QList<BarChart::Series> parts;
    QHash<QString, qsizetype> series;
    for (const QString& name : names) {
        series.insert(name, parts.size());
        parts << BarChart::Series{name, QList<qreal>(starts.size(), 0)};
    }
    for (const NameCount& n : counts)
        if (const auto i = column.constFind(n.start); i != column.constEnd())
            parts[series.value(n.氏名)].values[*i] = qreal(n.visits);
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
