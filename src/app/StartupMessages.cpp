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

} // namespace

QString restoreAdvice(const QString& path, const QString& dataFolder)
{
    const QString tool = native(QCoreApplication::applicationDirPath() + QStringLiteral("/tesvan-initdb"));
    return QStringLiteral("保存しておいたファイルのコピーがあれば、データフォルダ\n  %1\nに戻してください。"
                          "戻すときは、フォルダにある %2 の2つを必ず一緒に削除してください"
                          "（古いログが戻したファイルに混ざらないように）。\n"
                          "コピーがないときは、次のコマンドで初期状態のファイルを作成できます"
                          "（既にあるファイルは上書きしません。壊れたファイルは別の名前に変えてから実行してく"
                          "ださい）:\n  %3 \"%4\"")
        .arg(native(dataFolder), logFilesOf(path), tool, native(dataFolder));
}

QString openFailureText(const QString& path, const store::FileOpen& why, const QString& dataFolder)
{
    using store::FileProblem;
    QString head =
        QStringLiteral("データベースファイルを開けないため、終了します。\n\n%1\n\n").arg(native(path));
    QString advice;
    switch (why.problem) {
    case FileProblem::NoAccess:
        advice = QStringLiteral("アクセス権の問題です。ファイルは壊れていません。コピーを戻したり初期化したり"
                                "しないでください。\n"
                                "次の場所に、このユーザーの「%2」の権限が必要です:\n  %1\n"
                                "権限を付けてもらってから（フォルダの所有者かシステム担当者に依頼してください"
                                "）、もう一度起動してください。")
                     .arg(why.place, why.right);
        break;
    case FileProblem::DiskFull:
        advice =
            QStringLiteral("ディスクの空きがありません。ファイルは壊れていません。コピーを戻したり初期化した"
                           "りしないでください。\n"
                           "次のフォルダのあるディスクに空きを作ってから、もう一度起動してください:\n  %1")
                .arg(why.place.isEmpty() ? native(dataFolder) : why.place);
        break;
    case FileProblem::ForeignLog:
        advice =
            QStringLiteral("ファイルの横に、このファイルのものではない書き込みログ（%1）があります。"
                           "ファイルを別のコピーで置き換えたときに残ったものです。"
                           "別の内容が混ざらないよう、ファイルには何も書き込んでいません。\n"
                           "置き換えたファイルを使うときは、データフォルダ\n  %2\nの %3 の2つを削除してから、"
                           "もう一度起動してください。")
                .arg(QFileInfo(why.place).fileName(), native(dataFolder), logFilesOf(path));
        break;
    case FileProblem::Missing:
        advice = QStringLiteral("ファイルがありません。データフォルダの場所と名前を確かめてください。\n%1")
                     .arg(restoreAdvice(path, dataFolder));
        break;
    case FileProblem::NotOurs:
        advice = QStringLiteral("このプログラムのデータベースファイルではありません。"
                                "別のファイルが同じ名前で置かれていないか確かめてください。\n%1")
                     .arg(restoreAdvice(path, dataFolder));
        break;
    case FileProblem::Damaged:
        advice = QStringLiteral("ファイルが壊れています。\n%1").arg(restoreAdvice(path, dataFolder));
        break;
    case FileProblem::Other:
    case FileProblem::None:
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

} // namespace app
