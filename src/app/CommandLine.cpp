#include "app/CommandLine.h"

#include "app/Version.h"

#include <cstdio>

namespace app {

Language languageOf(const QString& lcAll, const QString& lcMessages, const QString& lang)
{
    // The first variable that is set decides, even when it names another language.
    for (const QString& v : {lcAll, lcMessages, lang})
        if (!v.isEmpty())
            return v.startsWith(QLatin1String("ja")) ? Language::Japanese : Language::English;
    return Language::English;
}

Language messageLanguage()
{
    return languageOf(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
                      qEnvironmentVariable("LANG"));
}

namespace {

QString usageLine(Language lang)
{
    return lang == Language::Japanese
               ? QStringLiteral("使い方: tesvan [--data フォルダ] [--log ファイル] [--backup ファイル | "
                                "--help | --version]\n")
               : QStringLiteral(
                     "Usage: tesvan [--data DIR] [--log FILE] [--backup FILE | --help | --version]\n");
}

QString help(Language lang)
{
    if (lang == Language::Japanese)
        return usageLine(lang) +
               QStringLiteral(
                   "営業日報を入力・登録・印刷するアプリケーションです。\n\n"
                   "  --data フォルダ    このフォルダのデータを使います（Tesvan.mdb、TesvanWork.mdb、\n"
                   "                     チームのサーバーを使うときは TesvanServer.conf）\n"
                   "  --backup ファイル  Tesvan.mdb（日報とコードマスタ）のバックアップを1つのファイルに\n"
                   "                     書いて終了します。プログラムが動いている間でもかまいません。\n"
                   "                     フォルダを指定すると、その中に Tesvan-年-月-日.mdb を作ります。\n"
                   "                     画面を使わないので cron からも実行できます\n"
                   "  --log ファイル     動作の記録（開いたファイル、失敗した検査、あえて無視した\n"
                   "                     エラー）をこのファイルに追記します。パスワードや日報の\n"
                   "                     内容は書きません\n"
                   "  --help             この説明を表示して終了します\n"
                   "  --version          バージョンを表示して終了します\n\n"
                   "データフォルダは、--data で指定したフォルダ、なければプログラムの横の data/\n"
                   "（ビルドフォルダや持ち運び用のコピー）、それもなければ ~/.local/share/tesvan\n"
                   "（$XDG_DATA_HOME/tesvan）です。最後のフォルダは、まったくないときに限り、\n"
                   "初めての起動で初期状態のファイルとともに作成されます。\n"
                   "バックアップから戻すには、プログラムを閉じ、そのファイルを Tesvan.mdb という名前で\n"
                   "データフォルダに置きます。\n"
                   "ほかのフォルダに初期状態のファイルを作るには: tesvan-initdb フォルダ\n");
    return usageLine(lang) +
           QStringLiteral("Sales daily reports (営業日報): enter, register, list and print them.\n\n"
                          "  --data DIR     use the data in DIR (Tesvan.mdb, TesvanWork.mdb and, for a\n"
                          "                 team server, TesvanServer.conf)\n"
                          "  --backup FILE  write a backup of Tesvan.mdb (the reports and the code master)\n"
                          "                 into one file and exit; the program may be running meanwhile.\n"
                          "                 Given a folder, writes Tesvan-YYYY-MM-DD.mdb into it. Needs no\n"
                          "                 display, so cron can run it\n"
                          "  --log FILE     append a record of what the program did (files opened, failed\n"
                          "                 checks, errors it went past) to FILE; never a password nor\n"
                          "                 what a report says\n"
                          "  --help         show this help and exit\n"
                          "  --version      show the version and exit\n\n"
                          "The data folder is DIR given with --data; else data/ beside the program (a\n"
                          "build folder or a portable copy); else ~/.local/share/tesvan\n"
                          "($XDG_DATA_HOME/tesvan), which the very first start creates with the initial\n"
                          "files when it does not exist at all.\n"
                          "To restore a backup, close the program and put the file into the data folder\n"
                          "as Tesvan.mdb.\n"
                          "Initial files for another folder: tesvan-initdb DIR\n");
}

QString version()
{
    return kCaption + QLatin1Char('\n');
}

CommandLine done(CommandLine::Action action, const QString& output, int exitCode = 0)
{
    CommandLine c;
    c.action = action;
    c.output = output;
    c.exitCode = exitCode;
    return c;
}

CommandLine refused(const QString& program, const QString& what, const QString& usage, Language lang)
{
    const QString text = lang == Language::Japanese
                             ? QStringLiteral("%1: %2\n%3「%1 --help」で説明を表示します。\n")
                             : QStringLiteral("%1: %2\n%3Try '%1 --help' for more information.\n");
    return done(CommandLine::Action::Error, text.arg(program, what, usage), 2);
}

} // namespace

CommandLine parseCommandLine(const QStringList& args, Language lang)
{
    const bool ja = lang == Language::Japanese;
    const QString program = QStringLiteral("tesvan");
    const auto refuse = [&](const QString& what) { return refused(program, what, usageLine(lang), lang); };
    CommandLine run;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return done(CommandLine::Action::Help, help(lang));
        if (a == QLatin1String("--version"))
            return done(CommandLine::Action::Version, version());
        if (a == QLatin1String("--backup") || a.startsWith(QLatin1String("--backup="))) {
            const bool joined = a.startsWith(QLatin1String("--backup="));
            if (!joined && i + 1 >= args.size())
                return refuse(ja ? QStringLiteral("--backup には保存先のファイルを指定してください")
                                 : QStringLiteral("option '--backup' needs a file"));
            run.backup = joined ? a.mid(9) : args.at(++i);
            if (run.backup.isEmpty())
                return refuse(ja ? QStringLiteral("--backup には保存先のファイルを指定してください")
                                 : QStringLiteral("option '--backup' needs a file"));
            run.action = CommandLine::Action::Backup;
            continue;
        }
        if (a == QLatin1String("--log") || a.startsWith(QLatin1String("--log="))) {
            const bool joined = a.startsWith(QLatin1String("--log="));
            run.logFile = joined ? a.mid(6) : i + 1 < args.size() ? args.at(++i) : QString();
            if (run.logFile.isEmpty())
                return refuse(ja ? QStringLiteral("--log には記録するファイルを指定してください")
                                 : QStringLiteral("option '--log' needs a file"));
            continue;
        }
        QString dir;
        if (a == QLatin1String("--data")) {
            if (i + 1 >= args.size())
                return refuse(ja ? QStringLiteral("--data にはフォルダを指定してください")
                                 : QStringLiteral("option '--data' needs a folder"));
            dir = args.at(++i);
        } else if (a.startsWith(QLatin1String("--data="))) {
            dir = a.mid(7);
        } else if (a.startsWith(QLatin1Char('-'))) {
            return refuse(ja ? QStringLiteral("「%1」というオプションはありません").arg(a)
                             : QStringLiteral("unknown option '%1'").arg(a));
        } else {
            return refuse(ja ? QStringLiteral("余分な引数「%1」があります").arg(a)
                             : QStringLiteral("unexpected argument '%1'").arg(a));
        }
        if (dir.isEmpty())
            return refuse(ja ? QStringLiteral("--data にはフォルダを指定してください")
                             : QStringLiteral("option '--data' needs a folder"));
        run.dataFolder = dir;
    }
    return run;
}

QString initdbUsage(Language lang)
{
    return lang == Language::Japanese
               ? QStringLiteral(
                     "使い方: tesvan-initdb フォルダ\n"
                     "        tesvan-initdb --server 'host=... port=... dbname=... user=... sslmode=...'\n"
                     "        tesvan-initdb --help | --version\n")
               : QStringLiteral(
                     "Usage: tesvan-initdb DIR\n"
                     "       tesvan-initdb --server 'host=... port=... dbname=... user=... sslmode=...'\n"
                     "       tesvan-initdb --help | --version\n");
}

CommandLine parseInitdbCommandLine(const QStringList& args, Language lang)
{
    const QString a = args.value(1);
    if (args.size() == 2 && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
        const QString text =
            lang == Language::Japanese
                ? QStringLiteral(
                      "営業日報 Tesvan の初期状態のデータベースファイルを作ります。\n\n"
                      "  フォルダ     Tesvan.mdb と TesvanWork.mdb をこのフォルダに作ります（フォルダも\n"
                      "               なければ作ります）。既にあるファイルはそのまま残し、上書きしません。\n"
                      "  --server …   PostgreSQL サーバーのデータベースに、チームで使う表を作ります\n"
                      "               （libpq の接続文字列。パスワードは ~/.pgpass に書きます）。\n"
                      "  --help       この説明を表示して終了します\n"
                      "  --version    バージョンを表示して終了します\n")
                : QStringLiteral("Writes the initial database files of 営業日報 Tesvan.\n\n"
                                 "  DIR          write Tesvan.mdb and TesvanWork.mdb into DIR (made when\n"
                                 "               missing); a file already there is kept, never overwritten\n"
                                 "  --server …   create the team's tables in a PostgreSQL database (a libpq\n"
                                 "               connection string; the password goes into ~/.pgpass)\n"
                                 "  --help       show this help and exit\n"
                                 "  --version    show the version and exit\n");
        return done(CommandLine::Action::Help, initdbUsage(lang) + text);
    }
    if (args.size() == 2 && a == QLatin1String("--version"))
        return done(CommandLine::Action::Version, version());
    return {};
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int answer(const CommandLine& cmd)
{
    std::FILE* to = cmd.action == CommandLine::Action::Error ? stderr : stdout;
    std::fputs(cmd.output.toUtf8().constData(), to);
    std::fflush(to);
    return cmd.exitCode;
}

} // namespace app
