#pragma once
// The 営業日報 tab: one report at a time, header controls above the line grid.
#include "report/ReportStore.h"
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QWidget>

#include <optional>

class QFrame;
class QHBoxLayout;
class PlacedLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class RegisteredNote;
class ReviewPanel;
class CommandButton;
class Combo;
class DataGrid;
class DataSource;
class DateInput;
class DropDown;
class TabContext;

class ReportTab : public QWidget {
    Q_OBJECT
  public:
    explicit ReportTab(QWidget* parent = nullptr);

    // Grid columns, in the order of the grid.
    enum Col { ColNo = 0, ColCheck, ColShowDate, ColDate, ColTime, ColPlace, ColPerson, ColText, ColNote };

    void attach(TabContext* context);
    // Set-up steps of the main window, in its order.
    void bindSources(const QString& workConnection);
    void setupGrid();
    // The name and department lists, rebuilt from the code master.
    // The grid's pick lists re-read their work tables when those changed, and the first time.
    void setPickLists(const QStringList& departments, const QStringList& names, bool tablesChanged);
    // The grid's pick list of one category (備考 or 訪問先) re-reads its work table, written since.
    void pickTableChanged(const QString& category);
    // The list's 選択: the name and the eight-digit date put in, then the report read; the
    // stored line lineNo, when given, becomes the current row. The caller settles first what is
    // not registered (settleUnregistered).
    void openReport(const QString& name, const QString& yyyymmdd, int lineNo = 0);

    // Why the report on screen is about to go.
    enum class Leaving { Read, Open, Close, FromLast };
    // Before 読込, another report opened or the window closing: with input not registered the
    // user registers it (as 登録 does, without asking again), discards it, or stays where they
    // were. True: go on. Nothing is asked when nothing is unregistered; for 読込 and opening
    // another report the creation date and the name alone do not count, since they name the
    // report that comes next.
    bool settleUnregistered(Leaving why);
    // The load step's report: the one a session that ended without closing left unregistered,
    // when the user takes it back; otherwise an empty one (Clear日報).
    void startReport();
    // The session ends without a question (logout, shutdown): the cell, the 内容 panel and the
    // header being typed are kept in the work file, so that the next start offers them.
    void keepForNextStart();
    // The files are about to close: the header's pending write goes now, none after.
    void filesClosing();
    // On a team server, the member signed in (none elsewhere, or for a login that is no member):
    // a new report is theirs, and another's report is only read here.
    void setMember(const std::optional<store::Member>& member);

    void Clear日報リスト();
    void Clear日報();
    void LineDelete日報();
    void Set全選択(bool flag);
    void Read日報();
    void Entry日報();
    void Prn日報();
    // 前回から作成: today's report of the person named, started from their latest report (its
    // 所属, タイトル and the lines' 訪問先, 担当 and 備考); nothing is registered until 登録.
    void createFromLast();

    // Grid reactions, public so the window's set-up and tests can reach them.
    void afterColUpdate(int col);
    void rowColChange();
    void keyDown(int* keyCode, Qt::KeyboardModifiers mods = {});
    void cellAction();
    void acceptTextPanel();
    void closeTextPanel();

    DateInput* Dt日付 = nullptr;
    Combo* cmb氏名 = nullptr;
    Combo* cmb所属 = nullptr;
    QLineEdit* txtタイトル = nullptr;
    DataGrid* Grid日報 = nullptr;
    DataSource* dat日報 = nullptr;
    DataSource* dat備考 = nullptr;
    DataSource* dat訪問先 = nullptr;
    DateInput* Dt日付入力 = nullptr;
    DropDown* DD訪問先 = nullptr;
    DropDown* DD備考 = nullptr;
    QFrame* Cnテキスト入力 = nullptr;
    QPlainTextEdit* txt内容 = nullptr;
    CommandButton* cmd入力書込 = nullptr;
    CommandButton* cmd入力閉じる = nullptr;
    CommandButton* cmdクリア = nullptr;
    CommandButton* cmd前回から作成 = nullptr;
    CommandButton* cmd閉じる = nullptr;
    CommandButton* cmdHint = nullptr;
    CommandButton* cmd読込 = nullptr;
    CommandButton* cmd印刷 = nullptr;
    CommandButton* cmd登録 = nullptr;
    CommandButton* cmd行削除 = nullptr;
    CommandButton* cmd全選択 = nullptr;
    CommandButton* cmd全解除 = nullptr;
    RegisteredNote* lbl登録結果 = nullptr;
    QLabel* lbl最終更新 = nullptr;  // who changed the report read last, and when (team server)
    ReviewPanel* pnl確認 = nullptr; // the report's review under the lines (team server only)

  signals:
    // 登録 stored the report with this header.
    void registered(const QDate& date, const QString& name, const QString& dept, const QString& title);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Steps of the constructor.
    QWidget* buildHeader();
    void buildGrid();
    QHBoxLayout* buildButtons();
    void buildPopup();
    void setKeys();
    void connectCommands();

    bool checkKey(); // the creation date and the name are both given
    // Team server (ReportTabTeam.cpp): the report on screen is another member's.
    bool showsOthers() const;
    bool showsApproved() const; // the report shown is approved: its owner changes it no more
    bool refuseOthers();        // 登録 or 行削除 on another's report: told why; true when refused
    void showOwnership();       // 登録 and 行削除 enabled, or disabled with the reason
    void keepStamp(const QDate& date, const QString& name, const store::Stamp& stamp);
    store::Stamp stampOf(const report::Header& h) const; // as read for that key; version 0 if not
    void offerNewer(const store::Stamp& newer);          // a stale 登録 refused: read the stored one?
    void readShown();                                    // Read日報 once what is unregistered is settled
    // After the checks: stores the report with header h and tells the outcome; true when stored.
    bool registerShown(const report::Header& h);

    // What is not registered: the header as on screen, and the marks kept in the work file.
    report::Header shownHeader() const;
    struct Changes {
        bool content = false; // lines, 所属, タイトル
        bool key = false;     // 作成日, 氏名
    };
    Changes changes() const;
    bool askClear();    // クリア with input not registered: the catalogue's question; true: clear
    bool takePending(); // the 内容 panel's text and the cell being typed into the work table
    void noteContentEdit();
    void setSettled();  // nothing on screen is unregistered (登録, 読込, クリア, or discarded)
    void markSettled(); // the same, where the work file holds it already
    void clearLines(bool withKept); // Clear日報リスト, and the kept report with it
    void scheduleKeep();
    void keepHeaderNow();
    void restoreKept(const report::KeptReport& kept);
    void placePopup();
    void refreshLines();
    bool refreshSource(DataSource* source); // false after the notice
    bool commitGrid(); // the open cell's value into the table; false (after the notice) on failure
    void setPanelOpen(bool open);
    bool headerEnter(QObject* watched, QKeyEvent* k);
    void fillDown();
    void toFirstLine();

    TabContext* m_context = nullptr;
    PlacedLayout* m_headerPlaces = nullptr;
    int m_popupRow = -1;           // the line the 内容 panel was opened on
    QList<QWidget*> m_panelBlocks; // what does not act while the panel is open
    // The grid's pick lists hold their work tables, or have not been read yet: a drop-down reads
    // its list as it opens on a cell, so none is read at start.
    bool m_pickSourcesRead = true;
    bool m_readRefused = false; // the last 読込 found a report longer than the grid

    // Unregistered input: the header as last registered, read or cleared; after a restore what
    // was unregistered before it stays so until settled.
    report::Header m_settled;
    bool m_heldContent = false;
    bool m_heldKey = false;
    // The key on screen when the report's content was last edited: a 読込 that registers first
    // stores it under this key, not under the one just typed to name the report to read.
    QDate m_editDate;
    QString m_editName;
    report::KeptReport m_kept; // what the work file holds of the header and its marks
    bool m_keeping = false;    // the work file keeps the report (from the load step on)
    bool m_keepTold = false;   // a failed keep was told; told again after one succeeds
    QTimer* m_keepTimer = nullptr;

    // Team server: the member signed in, and the stamp of the report as last read or registered.
    std::optional<store::Member> m_member;
    bool m_reviewWired = false;
    QDate m_stampDate;
    QString m_stampName;
    store::Stamp m_stamp;
};
