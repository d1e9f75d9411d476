#pragma once
// The 日報一覧 tab: the stored reports, all or one person's.
#include <QWidget>

class CommandButton;
class Combo;
class DataGrid;
class DataSource;

class ListTab : public QWidget {
    Q_OBJECT
public:
    explicit ListTab(QWidget* parent = nullptr);

    Combo* cmb氏名選択 = nullptr;
    DataGrid* Grid一覧 = nullptr;
    DataSource* dat一覧 = nullptr;
    CommandButton* cmd一覧クリア = nullptr;
    CommandButton* cmd一覧削除 = nullptr;
    CommandButton* cmd一覧読込 = nullptr;
    CommandButton* cmd選択 = nullptr;
    CommandButton* cmdHint2 = nullptr;
};
