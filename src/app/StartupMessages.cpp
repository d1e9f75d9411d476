#include "app/StartupMessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {
namespace {

QString native(const QString& p)
{
    return QDir::toNativeSeparators(p);
}

QString logFilesOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return QStringLiteral("%1-wal と %1-shm").arg(name);
}

QString program(const QString& name)
{
    return native(QCoreApplication::applicationDirPath() + QLatin1Char('/') + name);
}

} // namespace

QString restoreAdvice(const QString& path, const QString& dataFolder)
{
    const QString name = QFileInfo(path).fileName();
    return QStringLiteral(
               "バックアップ（「バックアップ」ボタンや tesvan --backup で作ったファイル）があれば、その"
               "ファイルを %5 という名前で、データフォルダ\n  %1\nに戻してください。"
               "フォルダに %2 が残っていれば、削除せずに別のフォルダへ移してください"
               "（戻したファイルには使われません。元のファイルの日報が入っていることがあります）。\n"
               "バックアップがないときは、次のコマンドで初期状態のファイルを作成できます"
               "（既にあるファイルは上書きしません。壊れたファイルは別の名前に変えてから実行してく"
               "ださい）:\n  %3 \"%4\"")
        .arg(native(dataFolder), logFilesOf(path), program(QStringLiteral("tesvan-initdb")),
             native(dataFolder), name);
}

QString openFailureText(const QString& path, const store::FileOpen& why, const QString& dataFolder)
{
    using store::ErrorKind;
    QString head =
        QStringLiteral("データベースファイルを開けないため、終了します。\n\n%1\n\n").arg(native(path));
    QString advice;
    switch (why.error.kind()) {
    case ErrorKind::Access:
        advice = QStringLiteral("アクセス権の問題です。ファイルは壊れていません。コピーを戻したり初期化したり"
                                "しないでください。\n"
                                "次の場所に、このユーザーの「%2」の権限が必要です:\n  %1\n"
                                "権限を付けてもらってから（フォルダの所有者かシステム担当者に依頼してください"
                                "）、もう一度起動してください。")
                     .arg(why.place, why.right);
        break;
    case ErrorKind::Full:
        advice =
            QStringLiteral("ディスクの空きがありません。ファイルは壊れていません。コピーを戻したり初期化した"
                           "りしないでください。\n"
                           "次のフォルダのあるディスクに空きを作ってから、もう一度起動してください:\n  %1")
                .arg(why.place.isEmpty() ? native(dataFolder) : why.place);
        break;
    case ErrorKind::ForeignLog:
        advice =
            QStringLiteral("ファイルの横に、このファイルのものではない書き込みログ（%1）があります。"
                           "ファイルを別のコピーで置き換えたときに残ったもので、置き換える前のファイルの、"
                           "まだファイルに書き込まれていない日報が入っていることがあります。"
                           "別の内容が混ざらないよう、ファイルには何も書き込んでいません。\n"
                           "置き換えたファイルを使うときは、データフォルダ\n  %2\nの %3 の2つを、"
                           "削除せずに別のフォルダへ移してから、もう一度起動してください。\n"
                           "置き換える前のファイルが残っていれば、それを %4 という名前で、移した2つと一緒に"
                           "新しいフォルダに置き、「%5 --data そのフォルダ」で開くと、ログの日報も読めます。")
                .arg(QFileInfo(why.place).fileName(), native(dataFolder), logFilesOf(path),
                     QFileInfo(path).fileName(), program(QStringLiteral("tesvan")));
        break;
    case ErrorKind::UncertainLog:
        advice = QStringLiteral(
                     "ファイルの横に、このファイルのものか確かめられない書き込みログ（%1）があります。"
                     "まだファイルに書き込まれていない日報が入っていることがあるため、ログは削除しないで"
                     "ください。別の内容が混ざらないよう、ファイルには何も書き込んでいません。\n"
                     "ファイルとログを一緒にコピーして戻したときは、データフォルダ\n  %2\nの %4 と %3 "
                     "を新しいフォルダに移し、「%5 --data そのフォルダ」で開いてください（ログの日報も"
                     "読めます）。そこで作ったバックアップ（「%5 --data そのフォルダ --backup 保存先」）を、"
                     "%4 としてデータフォルダに戻してください。\n"
                     "ファイルを別のコピーで置き換えたときは、%3 の2つを削除せずに別のフォルダへ移して"
                     "から、もう一度起動してください。")
                     .arg(QFileInfo(why.place).fileName(), native(dataFolder), logFilesOf(path),
                          QFileInfo(path).fileName(), program(QStringLiteral("tesvan")));
        break;
    case ErrorKind::Missing:
        advice = QStringLiteral("ファイルがありません。データフォルダの場所と名前を確かめてください。\n%1")
                     .arg(restoreAdvice(path, dataFolder));
        break;
    case ErrorKind::NotOurs:
        advice = QStringLiteral("このプログラムのデータベースファイルではありません。"
                                "別のファイルが同じ名前で置かれていないか確かめてください。\n%1")
                     .arg(restoreAdvice(path, dataFolder));
        break;
    case ErrorKind::Damaged:
        advice = QStringLiteral("ファイルが壊れています。\n%1").arg(restoreAdvice(path, dataFolder));
        break;
    case ErrorKind::Locked:
    case ErrorKind::Busy:
    case ErrorKind::TimedOut:
    case ErrorKind::ServerGone:
    case ErrorKind::Refused:
    case ErrorKind::Other:
    case ErrorKind::None:
        advice = restoreAdvice(path, dataFolder);
        break;
    }
    return head + advice + QStringLiteral("\n\n（原因）\n") + why.error.reason();
}

QString damageText(const QString& path, const store::Error& found, const QString& dataFolder)
{
    return QStringLiteral(
               "データベースファイルが壊れています。データを守るため、このファイルには書き込みません"
               "（読込と印刷はできます）。\n\n%1\n\n%2\n\n（検査の結果）\n%3")
        .arg(native(path), restoreAdvice(path, dataFolder), found.reason());
}

QString folderInUseText(const QString& dataFolder, const QString& holder)
{
    return QStringLiteral("このデータフォルダは、ほかの営業日報 Tesvan が使用中のため、終了します。\n\n%1\n\n"
                          "%2同じファイルを2つのプログラムで使うと、入力中の日報が消えることがあります。"
                          "使用中のプログラムを閉じてから、もう一度起動してください。")
        .arg(native(dataFolder), holder.isEmpty() ? QString() : QStringLiteral("使用中: %1\n\n").arg(holder));
}

QString folderLockRefusedText(const QString& lockFile, const QString& reason)
{
    return QStringLiteral("データフォルダのロックファイルを開けないため、終了します。\n\n%1\n\n"
                          "アクセス権の問題です。データベースファイルは壊れていません。"
                          "このユーザーに、このファイルの「読み取り」と「書き込み」の権限を付けてもらってから"
                          "（フォルダの所有者かシステム担当者に依頼してください）、もう一度起動してください。"
                          "\n\n（原因）\n%2")
        .arg(native(lockFile), reason);
}

} // namespace app
