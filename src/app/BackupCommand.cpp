#include "app/BackupCommand.h"

#include "app/DataFolder.h"
#include "app/FolderLock.h"
#include "store/Backup.h"
#include "store/Log.h"
#include "store/LocalFile.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <cstdio>

namespace app {
namespace {

int say(std::FILE* to, const QString& text, int code)
{
    std::fputs(text.toUtf8().constData(), to);
    std::fflush(to);
    return code;
}

// The number of reports in the written copy: read back, it also shows the copy opens. Read
// through an ordinary connection, whose close leaves no log files beside the copy (a read-only
// one would).
int reportsIn(const QString& path)
{
    const QString conn = QStringLiteral("backup-check-") + QUuid::createUuid().toString(QUuid::Id128);
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        QUrl url = QUrl::fromLocalFile(path);
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT count(*) FROM 営業日報ヘッダ")) && q.next())
                n = q.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return n;
}

} // namespace

int runBackup(const CommandLine& cmd, Language lang)
{
    const bool ja = lang == Language::Japanese;
    const DataPaths paths = cmd.dataFolder.isEmpty()
                                ? chooseDataFolder(QCoreApplication::applicationDirPath())
                                : givenDataFolder(cmd.dataFolder);
    const QString main = QDir::toNativeSeparators(paths.mainDbPath);
    const store::ServerSetting server = store::readServerSetting(paths.dataFolder);
    if (server.present)
        return say(
            stderr,
            ja ? QStringLiteral("tesvan: 日報とコードマスタはチームのサーバー（%1）にあり、このコンピューター"
                                "のファイルではありません。サーバーのバックアップは pg_dump で取ってください"
                                "（例: pg_dump -Fc -f tesvan.dump 'データベースの接続文字列'）。\n")
               : QStringLiteral("tesvan: the reports and the code master are on the team's server (%1), "
                                "not in a file on this computer. Back the server up with pg_dump (for "
                                "example: pg_dump -Fc -f tesvan.dump 'connection string').\n")
                     .arg(server.conninfo.isEmpty()
                              ? QDir::toNativeSeparators(paths.dataFolder + store::kServerFileName)
                              : store::describeServer(server.conninfo)),
            1);
    // A log beside the file goes into the backup only when a start would take it for the file's
    // own: a copy of another file's log must not be mixed in. A program at work on the folder
    // writes its log meanwhile, so a log that reads as another's is read again before refusing.
    FolderLock folder(paths.dataFolder);
    const bool programThere = folder.take() != FolderLock::State::Held;
    folder.release();
    store::LogState log = store::logBesideFile(paths.mainDbPath);
    const auto refused = [](store::LogState s) {
        return s == store::LogState::Foreign || s == store::LogState::Uncertain;
    };
    for (int tries = 0; programThere && refused(log) && tries < 5; ++tries) {
        QThread::msleep(200);
        log = store::logBesideFile(paths.mainDbPath);
    }
    if (refused(log))
        return say(
            stderr,
            ja ? QStringLiteral("tesvan: %1 の横の書き込みログ（%1-wal）が、このファイルのものか確かめられ"
                                "ないため、バックアップしません。ファイルもログも変えていません。プログラムを"
                                "起動すると、どうすればよいかを表示します。\n")
               : QStringLiteral("tesvan: the log beside %1 (%1-wal) may not be that file's own, so no "
                                "backup was written; neither the file nor the log was changed. Starting "
                                "the program says what to do.\n")
                     .arg(main),
            1);
    const QString target =
        QFileInfo(store::backupTarget(cmd.backup, QDate::currentDate())).absoluteFilePath();
    if (const store::Error e = store::backupFile(paths.mainDbPath, target); e.failed()) {
        qCWarning(store::lcApp).noquote() << "backup of" << main << "to" << target << "failed:" << e.reason();
        return say(stderr,
                   (ja ? QStringLiteral("tesvan: %1 のバックアップを作成できません。\n%2\n")
                       : QStringLiteral("tesvan: could not back up %1.\n%2\n"))
                       .arg(main, e.reason()),
                   1);
    }
    const int reports = reportsIn(target);
    qCInfo(store::lcApp).noquote() << "backup of" << main << "written to" << target << "with" << reports
                                   << "reports";
    return say(stdout,
               ja ? QStringLiteral("バックアップを作成しました: %1（日報 %2 件）\n")
                        .arg(QDir::toNativeSeparators(target))
                        .arg(reports)
                  : QStringLiteral("Backup written: %1 (%2 reports)\n")
                        .arg(QDir::toNativeSeparators(target))
                        .arg(reports),
               0);
}

} // namespace app
