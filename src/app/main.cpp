#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // --help, --version and a command line not understood are answered before anything opens,
    // without a display.
    const app::CommandLine cmd = app::parseCommandLine(app::argumentsOf(argc, argv), app::messageLanguage());
    if (cmd.action != app::CommandLine::Action::Run)
        return app::answer(cmd);
    QApplication qapp(argc, argv);
    if (cmd.dataFolder.isEmpty())
        return app::runTesvan(qapp);
    return app::runTesvan(qapp, app::givenDataFolder(cmd.dataFolder));
}
