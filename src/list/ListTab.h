#pragma once
// The 日報一覧 tab: the stored reports, all or one person's.
#include "store/Team.h"

#include <QDate>
#include <QHash>
#include <QWidget>
#include <Qt>

#include <optional>

class CommandButton;
class QCheckBox;
class Combo;
class DataGrid;
class DataSource;
class TabContext;

class ListTab : public QWidget {
    Q_OBJECT
  public:
    explicit ListTab(QWidget* parent = nullptr);

    // Grid columns, in the order of the grid; the last change's two only on a team server.
    enum Col { ColCheck = 0, ColDate, ColName, ColDept, ColTitle, ColChangedBy, ColChangedAt };

    void attach(TabContext* context) { m_context = context; }
    // Set-up steps of the main window, in its order.
    void bindSources(const QString& workConnection);
    void setupGrid();
    // The name filter's items, rebuilt from the code master.
    void setPickLists(const QStringList& names);

    void Read一覧();
    void Clear一覧();
    void Delete日報一覧();
    // On a team server, the member signed in: 削除 takes only their own reports, and the grid
    // (set up after) shows each report's last change.
    void setMember(const std::optional<store::Member>& member) { m_member = member; }
    // 選択: the current row's report opened on the entry tab.
    void openSelected();

    // After the entry tab's 登録: the report's row shows what was stored; a list read in this
    // run gains the row when its filter takes the name.
    void showRegistered(const QDate& date, const QString& name, const QString& dept, const QString& title);
    // After every report was deleted: the list holds no row; the filter stays as typed.
    void dropAllRows();
    // A click on a column's header: the rows by that column (names with numbers as people
    // count them), the other way round at a second click. 読込 and クリア show the list's own
    // order again; the list's other refreshes keep the column's.
    void sortByColumn(int col);

    Combo* cmb氏名選択 = nullptr;
    DataGrid* Grid一覧 = nullptr;
    DataSource* dat一覧 = nullptr;
    CommandButton* cmd一覧クリア = nullptr;
    CommandButton* cmd一覧削除 = nullptr;
    CommandButton* cmd一覧読込 = nullptr;
    CommandButton* cmd選択 = nullptr;
    CommandButton* cmdHint2 = nullptr;
    CommandButton* cmd検索 = nullptr;
    // On a team server that keeps the review: only others' reports not read yet (Alt+U).
    QCheckBox* chk未読のみ = nullptr;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void refreshList();
    void applySort();
    void dropSort();
    // Whether the report of a row is still stored; when it is gone, says so and drops its row.
    bool stillStored(const QString& name, const QDate& date);

    TabContext* m_context = nullptr;
    // The filter of the last 読込 of this run; none before it and after クリア.
    std::optional<QString> m_readFor;
    std::optional<store::Member> m_member;
    // On a team server, each listed report's version as read (list::readList); a report listed
    // by a 登録 since is not among them, and its deletion is not checked against one.
    QHash<QString, int> m_versions;
    bool m_shownPending = false; // the rows left by the last run are read when the tab shows
    int m_lastColumn = ColTitle; // the grid's last column
    int m_sortColumn = -1;       // the column the rows are shown by; -1: the list's own order
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
