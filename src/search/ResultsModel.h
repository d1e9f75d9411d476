#pragma once
// The matching lines of the search window, read a page at a time as the view scrolls to them.
#include "search/SearchStore.h"

#include <QAbstractTableModel>
#include <QSqlDatabase>

namespace search {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Col { ColDate = 0, ColTime, ColName, ColPlace, ColPerson, ColText, ColNote, ColCount };

    explicit ResultsModel(QObject* parent = nullptr);

    // Rows per read: the first one fills a tall window, the later ones follow the scrolling.
    static constexpr int kFirstPage = 100;
    static constexpr int kNextPage = 200;

    // Replaces the rows with the first page of what c finds in main. On failure the model is
    // empty and says it has nothing more.
    store::Error setCriteria(const QSqlDatabase& main, const Criteria& c);
    // No rows, nothing to fetch (the window before its first search, or a criterion not valid).
    void clear();

    const Criteria& criteria() const { return m_criteria; }
    const Hit& hit(int row) const { return m_hits.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // "hhmm" as "hh:mm"; anything else as stored.
    static QString timeText(const QString& stored);

  signals:
    // A later page could not be read; the rows read so far stay, and no more are asked for.
    void fetchFailed(const store::Error& error);

  private:
    QString m_connection; // by name: the main window closes the connection before its children go
    Criteria m_criteria;
    QList<Hit> m_hits;
    bool m_atEnd = true;
};

} // namespace search
