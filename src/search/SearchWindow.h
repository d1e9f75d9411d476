#pragma once
// The 日報検索 window: every stored line found by period, name and keywords as they are typed,
// the result counted per 訪問先 and per 氏名, and written out as CSV or one PDF.
#include "search/SearchStore.h"

#include <QWidget>

class CommandButton;
class QCheckBox;
class Combo;
class DateInput;
class QLabel;
class QLineEdit;
class QTableView;
class QTabWidget;
class QTimer;
class TabContext;
namespace app {
class Background;
}

namespace search {

class CommentsPage;
class CountsPage;
class HighlightDelegate;
class ResultsModel;

class SearchWindow : public QWidget {
    Q_OBJECT
  public:
    // A window of its own, owned by parent (the main window), which it never covers modally.
    SearchWindow(TabContext* context, QWidget* parent);
    // A count or file still running is cancelled before the pages it would update go.
    ~SearchWindow() override;

    // Shown in front with the keyword field focused and selected, whether new or open already.
    void showAndFocus();
    // The names offered by cmb氏名検索 (the code master's 氏名); what is typed stays.
    void setNames(const QStringList& names);
    // The stored reports changed: the result is read again, the scroll position not kept.
    void refresh();

    // What the controls ask for now.
    Criteria criteria() const;
    ResultsModel* results() const { return m_model; }
    HighlightDelegate* highlighter() const { return m_highlight; }

    // Orders the result by a column's header (日付, 氏名 or 訪問先; another leaves the order as it
    // is): the date newest first, a name or place from the top of the alphabet; the same column
    // again turns the order round.
    void sortByColumn(int column, Qt::SortOrder order);

    // Opens the result row on the entry tab with its line current, and brings the main window
    // forward. False when the row is not there or its report is gone.
    bool openRow(int row);

    DateInput* dtp期間From = nullptr;
    DateInput* dtp期間To = nullptr;
    Combo* cmb氏名検索 = nullptr;
    QLineEdit* txtキーワード = nullptr;
    // On a team server that keeps the review: the comments searched too, on a page of their own.
    QCheckBox* chkコメントも検索 = nullptr;
    CommentsPage* Tabコメント = nullptr;
    QTabWidget* Tab検索 = nullptr;
    QTableView* Grid検索 = nullptr;
    CountsPage* Tab集計 = nullptr;
    QLabel* lbl件数 = nullptr;
    QLabel* lbl出力結果 = nullptr;
    CommandButton* cmdCSV出力 = nullptr;
    CommandButton* cmdPDF出力 = nullptr;
    CommandButton* cmd閉じる = nullptr;
    // The bars of the work that runs off this window's thread (each with its キャンセル): the
    // count under the result, the 集計 page, and CSV出力 / PDF出力.
    app::Background* counting() const { return m_count; }
    app::Background* tallying() const { return m_tally; }
    app::Background* writing() const { return m_output; }

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    QLayout* buildCriteria();
    void buildPages();
    QLayout* buildButtons();
    void setKeys();

    // Asks for a search once the keys already queued are handled, so a burst of typing runs
    // one search, without a timer's delay.
    void criteriaChanged();
    void runSearch();
    void runCount(quint64 generation);
    // The コメント page shown and read as the tick says.
    void findComments(const Criteria& c);
    void loadCounts();
    void showFailure(const QString& what, const store::Error& e);
    void updateButtons();

    // Narrowing from the counts page.
    void narrowToPlace(const QString& place);
    void narrowToName(const QString& name, const QDate& from, const QDate& to);

    // SearchExport.cpp
    void exportCsv();
    void writeCsv(const QString& path, int encoding);
    void exportPdf();
    void writePdf(const QList<ReportKey>& keys);

    TabContext* m_context;
    ResultsModel* m_model = nullptr;
    HighlightDelegate* m_highlight = nullptr;
    bool m_queued = false;
    QTimer* m_countLater = nullptr; // the count waits for a pause in the typing
    bool m_countsStale = true;
    quint64 m_generation = 0; // of the last search; a count of an older one is dropped
    Totals m_totals;
    bool m_totalsKnown = false;
    QString m_lastFailure; // the same reason is told once while typing, not at every key
    app::Background* m_count = nullptr;
    app::Background* m_tally = nullptr;
    app::Background* m_output = nullptr;
    QString m_writing; // "CSV" or "PDF", the file m_output writes
    SortBy m_sortBy = SortBy::Date;
    bool m_descending = true;
};

} // namespace search
