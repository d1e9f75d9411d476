#pragma once
// The search window's コメント page, on a team server that keeps the review: the comments whose
// text holds every keyword, on the reports the criteria's period and name take. A thread is
// small beside the lines: read in one statement at each search, at most kShown of them.
#include "search/Criteria.h"
#include "store/Error.h"

#include <QDate>
#include <QTableWidget>

class QSqlDatabase;

namespace search {

class CommentsPage : public QTableWidget {
    Q_OBJECT
  public:
    static constexpr int kShown = 200;
    enum Col { ColDay = 0, ColName, ColBy, ColAt, ColText, ColCount };

    explicit CommentsPage(QWidget* parent = nullptr);

    // Reads the comments c finds; without a keyword there is nothing to look for and the page
    // is empty. The rows found, or the failure (the page then empty).
    store::Error find(const QSqlDatabase& main, const Criteria& c);
    // The page's caption: "コメント (n)", "コメント (200+)" when cut at kShown.
    QString caption() const;

  signals:
    // Enter or a double click on a row: its report, to open on the entry tab.
    void reportPicked(const QString& name, const QDate& day);

  private:
    bool m_cut = false;
};

} // namespace search
