#include "app/Application.h"
#include "app/BackupCommand.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/LogFile.h"
#include "store/Log.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // --help, --version and a command line not understood are answered before anything opens,
    // without a display.
    const app::CommandLine cmd = app::parseCommandLine(app::argumentsOf(argc, argv), app::messageLanguage());
    if (!cmd.logFile.isEmpty()) {
        if (const QString why = app::startLogFile(cmd.logFile); !why.isEmpty()) {
            const bool ja = app::messageLanguage() == app::Language::Japanese;
            const QString text = ja ? QStringLiteral("tesvan: 記録ファイル %1 に書き込めません: %2\n")
                                    : QStringLiteral("tesvan: cannot write the log %1: %2\n");
            std::fputs(text.arg(cmd.logFile, why).toUtf8().constData(), stderr);
            return 2;
        }
        qCInfo(store::lcApp).noquote() << "tesvan" << TESVAN_VERSION << "started";
    }
    if (cmd.action == app::CommandLine::Action::Backup) {
        // For cron: no display is needed, and none is asked for.
        QCoreApplication core(argc, argv);
        return app::runBackup(cmd, app::messageLanguage());
    }
    if (cmd.action != app::CommandLine::Action::Run)
        return app::answer(cmd);
    QApplication qapp(argc, argv);
    if (cmd.dataFolder.isEmpty())
        return app::runTesvan(qapp);
    return app::runTesvan(qapp, app::givenDataFolder(cmd.dataFolder));
}
