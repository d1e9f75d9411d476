// Writes the initial database files into the given folder; existing files are kept. With
// --server, creates the main tables on a PostgreSQL server instead; tables already there are kept.
#include "app/CommandLine.h"
#include "store/DataInit.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    const app::Language lang = app::messageLanguage();
    if (const app::CommandLine cmd = app::parseInitdbCommandLine(app::argumentsOf(argc, argv), lang);
        cmd.action != app::CommandLine::Action::Run)
        return app::answer(cmd);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--server")) {
        const store::Error err = store::createServerSchema(args.at(2));
        if (err.failed()) {
            std::fprintf(stderr, "tesvan-initdb: %s: %s\n", qPrintable(store::describeServer(args.at(2))),
                         qPrintable(err.reason()));
            return 1;
        }
        return 0;
    }
    if (args.size() != 2 || args.at(1).startsWith(QLatin1String("--"))) {
        std::fputs(app::initdbUsage(lang).toUtf8().constData(), stderr);
        return 2;
    }
    QString failed;
    if (const store::Error err = store::createInitialFiles(args.at(1), &failed); err.failed()) {
        std::fprintf(stderr, "tesvan-initdb: %s: %s\n", qPrintable(failed), qPrintable(err.reason()));
        return 1;
    }
    return 0;
}
