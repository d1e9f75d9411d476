#pragma once
// The 営業日報 tab: one report at a time, header controls above the line grid.
#include "store/Error.h"

#include <QDate>
#include <QSqlDatabase>
#include <QWidget>

class QFrame;
class QHBoxLayout;
class PlacedLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class RegisteredNote;
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
    // stored line lineNo, when given, becomes the current row.
    void openReport(const QString& name, const QString& yyyymmdd, int lineNo = 0);

    void Clear日報リスト();
    void Clear日報();
    void LineDelete日報();
    void Set全選択(bool flag);
    void Read日報();
    void Entry日報();
    void Prn日報();

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
    CommandButton* cmd閉じる = nullptr;
    CommandButton* cmdHint = nullptr;
    CommandButton* cmd読込 = nullptr;
    CommandButton* cmd印刷 = nullptr;
    CommandButton* cmd登録 = nullptr;
    CommandButton* cmd行削除 = nullptr;
    CommandButton* cmd全選択 = nullptr;
    CommandButton* cmd全解除 = nullptr;
    RegisteredNote* lbl登録結果 = nullptr;

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
};
