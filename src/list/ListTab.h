#pragma once
// The 日報一覧 tab: the stored reports, all or one person's.
#include <QDate>
#include <QWidget>

#include <optional>

class CommandButton;
class Combo;
class DataGrid;
class DataSource;
class TabContext;

class ListTab : public QWidget {
    Q_OBJECT
  public:
    explicit ListTab(QWidget* parent = nullptr);

    // Grid columns, in the order of the grid.
    enum Col { ColCheck = 0, ColDate, ColName, ColDept, ColTitle };

    void attach(TabContext* context) { m_context = context; }
    // Set-up steps of the main window, in its order.
    void bindSources(const QString& workConnection);
    void setupGrid();
    // The name filter's items, rebuilt from the code master.
    void setPickLists(const QStringList& names);

    void Read一覧();
    void Clear一覧();
    void Delete日報一覧();
    // 選択: the current row's report opened on the entry tab.
    void openSelected();

    // After the entry tab's 登録: the report's row shows what was stored; a list read in this
    // run gains the row when its filter takes the name.
    void showRegistered(const QDate& date, const QString& name, const QString& dept, const QString& title);
    // After every report was deleted: the list holds no row; the filter stays as typed.
    void dropAllRows();

    Combo* cmb氏名選択 = nullptr;
    DataGrid* Grid一覧 = nullptr;
    DataSource* dat一覧 = nullptr;
    CommandButton* cmd一覧クリア = nullptr;
    CommandButton* cmd一覧削除 = nullptr;
    CommandButton* cmd一覧読込 = nullptr;
    CommandButton* cmd選択 = nullptr;
    CommandButton* cmdHint2 = nullptr;
    CommandButton* cmd検索 = nullptr;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void refreshList();
    // Whether the report of a row is still stored; when it is gone, says so and drops its row.
    bool stillStored(const QString& name, const QDate& date);

    TabContext* m_context = nullptr;
    // The filter of the last 読込 of this run; none before it and after クリア.
    std::optional<QString> m_readFor;
    bool m_shownPending = false; // the rows left by the last run are read when the tab shows
};
