#pragma once
// The command line of tesvan and tesvan-initdb: what was asked, and the texts that answer it,
// in Japanese or English after the user's locale.
#include <QString>
#include <QStringList>

namespace app {

enum class Language { Japanese, English };

// The language of messages from the locale variables, in POSIX order (LC_ALL, LC_MESSAGES, LANG):
// Japanese for ja…, English otherwise.
Language languageOf(const QString& lcAll, const QString& lcMessages, const QString& lang);
Language messageLanguage(); // from the environment

struct CommandLine {
    enum class Action { Run, Backup, Help, Version, Error };
    Action action = Action::Run;
    QString dataFolder; // --data DIR; empty for the usual rule
    QString backup;     // --backup FILE: the file (or folder) a backup of the main file goes to
    QString logFile;    // --log FILE: where the program's log goes (app/LogFile.h)
    QString output;     // what to print for Help, Version (stdout) and Error (stderr)
    int exitCode = 0;   // for everything but Run: 0, or 2 for a command line not understood
};

// args as QCoreApplication::arguments() gives them, the program's name first.
CommandLine parseCommandLine(const QStringList& args, Language lang);

// tesvan-initdb's own --help and --version; Run for everything else (it parses the rest itself).
CommandLine parseInitdbCommandLine(const QStringList& args, Language lang);
QString initdbUsage(Language lang);

// The arguments of main() before any QCoreApplication exists.
QStringList argumentsOf(int argc, char** argv);

// Prints the output of a command line that does not run the program and returns its exit code.
int answer(const CommandLine& cmd);

} // namespace app
