#pragma once
// The 集計 page of the search window: the current result counted per 訪問先 or per 氏名 and
// week or month, as a table and as a bar chart. Clicking a row or a bar narrows the search.
#include "search/SearchStore.h"

#include <QDate>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace search {

class BarChart;
class CountsModel;

class CountsPage : public QWidget {
    Q_OBJECT
  public:
    explicit CountsPage(QWidget* parent = nullptr);

    enum class View { Places = 0, Names = 1 };
    View view() const;
    void setView(View v);
    Period period() const;

    // The counts of one view, read anywhere (a worker's connection) and shown here.
    struct Counts {
        View view = View::Places;
        Period period = Period::Month;
        QList<PlaceCount> places;
        QList<NameCount> names;
        store::Error error;
    };
    static Counts count(const QSqlDatabase& main, const Criteria& c, View v, Period p,
                        const QStringList& notVisits = {});
    // The places not counted as visits, as typed in txt訪問除外 (kept as the user's setting).
    QStringList notVisits() const;
    // Shows counts made for the view and period shown now; false (and nothing shown) when the
    // choice changed since, or the count failed.
    bool show(const Counts& counts);
    void clear();

    // The table as shown, for the CSV.
    QStringList header() const;
    QList<QStringList> rows() const;
    // The rows shown, and the text of one cell.
    int rowCount() const;
    QString text(int row, int column) const;
    // A name for the table's file: "訪問先別", "氏名別_月", "氏名別_週".
    QString tableName() const;

    // The period a row of the per-氏名 table stands for.
    static QDate periodEnd(const QDate& start, Period p);
    static QString periodText(const QDate& start, Period p);

    QComboBox* cmb集計 = nullptr;
    QComboBox* cmb集計単位 = nullptr;
    QLineEdit* txt訪問除外 = nullptr;
    QTableView* Grid集計 = nullptr;
    BarChart* Chart集計 = nullptr;

  signals:
    // The view or the period was changed: the window loads the page again.
    void choiceChanged();
    void placePicked(const QString& place);
    void namePicked(const QString& name, const QDate& from, const QDate& to);

  private:
    void showPlaces(const QList<PlaceCount>& counts);
    void showNames(const QList<NameCount>& counts);
    void pickRow(int row);
    void pickBar(int series, int category);

    QLabel* m_unitLabel = nullptr;
    CountsModel* m_model = nullptr;
    QList<PlaceCount> m_places;
    QList<NameCount> m_names;
    QList<QDate> m_chartStarts; // the per-氏名 chart's periods, left to right
};

} // namespace search
