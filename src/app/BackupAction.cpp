#include "app/BackupAction.h"

#include "msg/Msg.h"
#include "ui/SaveChooser.h"
#include "store/Backup.h"
#include "ui/Notices.h"
#include "ui/SaveFolder.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>

namespace app {
void offerBackup(QPushButton* button, const QSqlDatabase& main)
{
    const bool local = store::canBackUp(main);
    button->setEnabled(local);
    if (!local)
        button->setToolTip(
            QStringLiteral("日報とコードマスタはチームのサーバーにあります。サーバーのバックアップは、"
                           "管理者に依頼してください（pg_dump で作成します）。"));
}

void backUpMainFile(QWidget* parent, const QSqlDatabase& main)
{
    const QString folder = suggestedSaveFolder();
    const app::SaveChoice where =
        app::chooseSavePath(parent, {QStringLiteral("dlgバックアップ保存"),
                                     QStringLiteral("バックアップ"),
                                     QDir(folder).filePath(store::backupName(QDate::currentDate())),
                                     {QStringLiteral("データベースファイル (*.mdb)")}});
    if (where.path.isEmpty())
        return;
    rememberSaveFolder(where.path);
    QProgressDialog dialog(QStringLiteral("バックアップを作成しています…"), QStringLiteral("キャンセル"), 0,
                           100, parent);
    dialog.setObjectName(QStringLiteral("dlgバックアップ"));
    dialog.setWindowTitle(QStringLiteral("バックアップ"));
    dialog.setWindowModality(Qt::WindowModal);
    // Shown only when the copy is long enough to wait for.
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0); // the half second counts from here
    bool cancelled = false;
    const store::Error e = store::backupDatabase(
        main, where.path,
        [&dialog](qint64 done, qint64 total) {
            dialog.setMaximum(int(total));
            // Once shown, the modal dialog takes the clicks here, キャンセル among them; before,
            // the window is still painted between steps.
            dialog.setValue(int(done));
            if (!dialog.isVisible())
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return !dialog.wasCanceled();
        },
        &cancelled);
    dialog.close();
    if (e.failed()) {
        tellSaveFailure(QStringLiteral("バックアップを作成"), where.path, e);
        return;
    }
    if (cancelled)
        return;
    Msg::ShowMsg(
        MsgId::その他_メッセージ,
        QStringLiteral("バックアップを作成しました。\n\n%1\n\n"
                       "戻すときは、このアプリケーションを閉じてから、このファイルを Tesvan.mdb という"
                       "名前でデータフォルダに置いてください。")
            .arg(QDir::toNativeSeparators(where.path)));
}

} // namespace app
