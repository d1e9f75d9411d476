#pragma once
// バックアップ on 設定・情報: the main file into one file the user names, with progress and
// キャンセル when it takes a while. The window stays painted throughout.
#include <QSqlDatabase>
#include <QString>

class QPushButton;
class QWidget;

namespace app {

// Asks where (a dated name in the folder a file was saved into last, else Documents, else home:
// app::suggestedSaveFolder), writes the
// backup and says how it went.
void backUpMainFile(QWidget* parent, const QSqlDatabase& main);

// The button offers the backup where the main database is a local file; on a team server it is
// disabled, and its tooltip says why.
void offerBackup(QPushButton* button, const QSqlDatabase& main);

} // namespace app
