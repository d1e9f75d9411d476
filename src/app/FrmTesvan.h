#pragma once
#include "app/DataFolder.h"
#include "codes/PickLists.h"
#include "ui/TabContext.h"
#include "store/Error.h"
#include "store/LocalFile.h"

#include <QFuture>
#include <QPointer>
#include <QSqlDatabase>
#include <QWidget>

class QTabWidget;
class QLabel;
class ReportTab;
class ListTab;
class CodeTab;
class Hint;
namespace search {
class SearchWindow;
}

// The main window: owns both database connections from load to unload and wires the tabs.
class FrmTesvan : public QWidget, public TabContext {
    Q_OBJECT
  public:
    explicit FrmTesvan(QWidget* parent = nullptr);
    ~FrmTesvan() override;

    // Load step: chooses the data folder beside exeFolder (or the developer's fixed folder),
    // opens both databases, sets the caption and runs the set-up sequence. When a database
    // cannot be opened it shows why, creates and changes nothing, and returns false.
    bool load(const QString& exeFolder);
    bool loadFrom(const app::DataPaths& paths);
    void bringToFront();

    // The set-up sequence, in the order load runs it.
    void Clear設定();
    void FormInit();
    void Clear日報();
    void Readコードマスタ();
    // 実行 on the 設定・情報 tab: every report and code-master name wiped, after confirmation.
    void Data初期化();

    // Rebuilds every pick list from the code master.
    void SetComb();
    // SetComb after the code master changed: what is typed in the name boxes stays.
    void refreshPickLists();
    // After a write of one category on the code master tab: only that category's pick list
    // follows, from the rows as written; what is typed in the name boxes stays.
    void followCategory(const codes::CategoryState& stored);

    QSqlDatabase MainDb() const;
    QSqlDatabase WorkDb() const;

    // What the tabs reach through their context.
    QSqlDatabase mainDb() const override { return MainDb(); }
    QSqlDatabase workDb() const override { return WorkDb(); }
    void rebuildPickLists() override { SetComb(); }
    void openReport(const QString& name, const QString& yyyymmdd, int lineNo = 0) override;
    void showSearch() override;
    void showHint(const QString& ctlName) override;
    QWidget* mainWindow() override { return this; }
    const app::DataPaths& paths() const { return m_paths; }

    QTabWidget* SSTab1 = nullptr;
    ReportTab* reportTab() const { return m_report; }
    ListTab* listTab() const { return m_list; }
    CodeTab* codeTab() const { return m_codes; }
    // The search window once it was opened, else null.
    search::SearchWindow* searchWindow() const;

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void unload();
    void showLoadError(const QString& path, const store::FileOpen& why);
    void showServerError(const QString& conninfo, const store::Error& reason);
    void watchPageCheck(const QFuture<store::Error>& check, const QString& path);
    // The checks that were due at load (connection, path), started once the window shows.
    void startDueChecks();

    app::DataPaths m_paths;
    bool m_mainOpen = false;
    bool m_workOpen = false;
    ReportTab* m_report = nullptr;
    ListTab* m_list = nullptr;
    CodeTab* m_codes = nullptr;
    codes::PickListReader m_pickLists;
    QList<std::pair<QString, QString>> m_dueChecks;
    QPointer<Hint> m_hint;                   // made on the first hint button click, then reused
    QPointer<search::SearchWindow> m_search; // made on the first Ctrl+F or 検索, then reused
    QStringList m_names;                     // the code master's 氏名, for the search window
};
