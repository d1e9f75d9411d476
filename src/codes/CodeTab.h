#pragma once
// The 設定・情報 tab: the code master, data initialisation and the program's notices.
#include "codes/CodeStore.h"

#include <QWidget>

class QFrame;
class QHBoxLayout;
class QVBoxLayout;
class QLabel;
class CommandButton;
class Combo;
class DataGrid;
class DataSource;
class TabContext;

class CodeTab : public QWidget {
    Q_OBJECT
  public:
    explicit CodeTab(QWidget* parent = nullptr);

    // Grid columns, in the order of the grid.
    enum Col { ColNone = 0, ColCheck, ColCode, ColName };

    void attach(TabContext* context) { m_context = context; }
    // Set-up steps of the main window, in its order; setupGrid also fills the category list.
    void bindSources(const QString& workConnection);
    void setupGrid();

    void Clearコード明細();
    void Readコードマスタ();
    // No confirmation of its own: the 登録 button asks first.
    void Entryコードマスタ();
    void LineDeleteコードマスタ(const QString& category);
    void Deleteコードマスタ();
    void Clear設定();
    // On a team server a member only reads the code master here (its names are learnt at 登録);
    // keeping it is for managers and administrators.
    void setMaintains(bool maintains);
    // The grid's reaction to its current cell moving.
    void rowColChange();

    Combo* cmbコード区分 = nullptr;
    DataGrid* Gridコード表 = nullptr;
    DataSource* datコードマスタ = nullptr;
    CommandButton* cmd設定登録 = nullptr;
    CommandButton* cmd設定クリア = nullptr;
    CommandButton* cmd設定削除 = nullptr;
    CommandButton* cmd設定読込 = nullptr;
    CommandButton* cmd設定行削除 = nullptr;
    CommandButton* cmdHint3 = nullptr;
    QFrame* fraバックアップ = nullptr;
    CommandButton* cmdバックアップ = nullptr;
    QFrame* fra初期化 = nullptr;
    CommandButton* cmd一括削除7 = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblSupport = nullptr;
    QLabel* imgBanner = nullptr;

  signals:
    // A category of the code master was written (登録, 行削除, 削除) and is now stored as given:
    // its pick list follows.
    void categoryStored(const codes::CategoryState& stored);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    // Steps of the constructor.
    QHBoxLayout* buildTop();
    QHBoxLayout* buildButtons();
    QVBoxLayout* buildNotices(); // data initialisation and the program's notices
    void connectCommands();

    void confirmRegister(); // 登録: confirm, commit the open cell, register
    void refreshGrid();
    bool commitGrid(); // the open cell's value into the table; false (after the notice) on failure
    // The notice of a write refused because the category changed since the grid read it.
    void tellChangedSince(const QString& category);

    TabContext* m_context = nullptr;
    codes::CategoryState m_read; // the stored category the grid shows, as read or last written
};
