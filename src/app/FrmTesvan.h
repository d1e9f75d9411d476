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
class TeamTab;
class Hint;
namespace search {
class SearchWindow;
}
namespace app {
class IndexRebuild;
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
    // The session ends from outside (logout, shutdown, a service manager): the window closes as
    // by 閉じる but asks nothing, whatever box is open; what is not registered is kept for the
    // next start. Both files close cleanly and the run ends with 0.
    void endSession();
    bool isEnding() const { return m_ending; }

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
    bool openReport(const QString& name, const QString& yyyymmdd, int lineNo = 0) override;
    void showSearch() override;
    void showHint(const QString& ctlName) override;
    QWidget* mainWindow() override { return this; }
    const app::DataPaths& paths() const { return m_paths; }

    QTabWidget* SSTab1 = nullptr;
    ReportTab* reportTab() const { return m_report; }
    ListTab* listTab() const { return m_list; }
    CodeTab* codeTab() const { return m_codes; }
    TeamTab* teamTab() const { return m_team; } // on a team server only
    // The search window once it was opened, else null.
    search::SearchWindow* searchWindow() const;
    app::IndexRebuild* indexRebuild() const { return m_indexRebuild; }

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void unload();
    void showLoadError(const QString& path, const store::FileOpen& why);
    void showTeam(const QString& conninfo); // the title and the tabs' member; empty: no server
    void showServerError(const QString& conninfo, const store::Error& reason);
    void watchPageCheck(const QFuture<store::Error>& check, const QString& path);
    // The checks that were due at load (connection, path), started once the window shows.
    void startDueChecks();
    // The ending's close, on the outermost event loop once every modal box and dialog is gone.
    void finishEnding(int attempt);

    app::DataPaths m_paths;
    bool m_mainOpen = false;
    bool m_workOpen = false;
    bool m_loading = false; // inside loadFrom: an ending waits for the start to return
    bool m_ending = false;
    ReportTab* m_report = nullptr;
    ListTab* m_list = nullptr;
    CodeTab* m_codes = nullptr;
    TeamTab* m_team = nullptr;
    QString m_title; // the title without the count of notices
    codes::PickListReader m_pickLists;
    QList<std::pair<QString, QString>> m_dueChecks;
    app::IndexRebuild* m_indexRebuild = nullptr; // the search index made again, part by part
    QPointer<Hint> m_hint;                       // made on the first hint button click, then reused
    QPointer<search::SearchWindow> m_search;     // made on the first Ctrl+F or 検索, then reused
    QStringList m_names;                         // the code master's 氏名, for the search window
};
