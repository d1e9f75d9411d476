// Start-up at the sizes users reach. The program finds its data folder beside its executable,
// so each size is a folder of its own under the temporary folder holding a link to the
// executable and its two files; the files are kept there between runs and made again only
// when the schema of the initial files changes.
#include "Ops.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QCoreApplication>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {
namespace {

std::string schemaOf(const QString& path)
{
    Raw db(path, false);
    std::string all;
    sqlite3_stmt* s = db.st("SELECT coalesce(sql, '') FROM sqlite_master ORDER BY name");
    while (db.row(s))
        all += *column(s, 0) + ";";
    return all;
}

// The executable beside the folder's data: a hard link, or a copy on another file system.
std::string placeExe(const QString& folder)
{
    const QString exe = folder + QStringLiteral("/tesvan");
    QFile::remove(exe);
    if (link(TESVAN_EXE, exe.toLocal8Bit().constData()) != 0 && !QFile::copy(QStringLiteral(TESVAN_EXE), exe))
        die("cannot place the executable in " + folder.toStdString());
    return exe.toStdString();
}

// A folder of reports reports of kLines lines (none: the initial files), the list table
// holding every header, as after a 一覧 読込 of everyone.
std::string sizedFolder(const QString& base, int reports, const std::string& schema)
{
    const QString folder = base + QStringLiteral("/%1").arg(reports);
    const QString data = folder + QStringLiteral("/data/");
    const QString stampPath = folder + QStringLiteral("/stamp");
    const std::string stamp = std::to_string(reports) + "x" + std::to_string(kLines) + "|" + schema;
    QFile f(stampPath);
    const bool kept = reports > 0 && f.open(QIODevice::ReadOnly) && f.readAll().toStdString() == stamp;
    f.close();
    if (!kept) {
        QDir(folder).removeRecursively();
        const app::DataPaths paths = freshFolder(folder);
        if (reports > 0) {
            const double t = nowMs();
            {
                Raw main(paths.mainDbPath, true);
                // Written straight into the file rather than through the log, then back to the
                // log the program keeps.
                main.exec("PRAGMA journal_mode = DELETE");
                main.exec("PRAGMA synchronous = OFF");
                main.exec("PRAGMA cache_size = -262144");
                rawInsertReports(main, 0, reports, kPersons, kLines);
                rawNames(main);
                main.exec("PRAGMA journal_mode = WAL");
            }
            Raw work(paths.workDbPath, false);
            work.exec(("ATTACH DATABASE 'file:" + paths.mainDbPath.toStdString() + "?mode=ro' AS m").c_str());
            work.exec("BEGIN");
            work.exec("INSERT INTO w一覧 (チェック, 作成日, 氏名, 所属, タイトル) "
                      "SELECT 0, 作成日, 氏名, 所属, タイトル FROM m.営業日報ヘッダ ORDER BY 作成日, 氏名");
            work.exec("COMMIT");
            std::fprintf(stderr, "made %d reports of %d lines and their list in %.0f s\n", reports, kLines,
                         (nowMs() - t) / 1e3);
            QFile out(stampPath);
            if (!out.open(QIODevice::WriteOnly) || out.write(stamp.data(), qint64(stamp.size())) < 0)
                die("stamp");
        }
    }
    (void)data;
    return placeExe(folder);
}

// The folders are made in a child process: a spawned program's peak resident size counts the
// pages of the process that spawned it, so this one stays small.
void prepareFolder(const QString& base, int reports)
{
    const pid_t pid = fork();
    if (pid < 0)
        die("fork");
    if (pid == 0) {
        int argc = 1;
        char name[] = "bench";
        char* argv[] = {name, nullptr};
        QCoreApplication qapp(argc, argv);
        const QString schemaFolder = base + QStringLiteral("/schema");
        const app::DataPaths fresh = freshFolder(schemaFolder);
        const std::string schema = schemaOf(fresh.mainDbPath) + "|" + schemaOf(fresh.workDbPath);
        QDir(schemaFolder).removeRecursively();
        sizedFolder(base, reports, schema);
        std::fflush(stderr);
        _exit(0);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die("making the data for start-up failed");
}

} // namespace

void startupSizes(int runs, bool big)
{
    const QString base = QDir::tempPath() + QStringLiteral("/tesvan-bench-startup");
    QDir().mkpath(base);
    struct Size {
        int reports;
        const char* state;
        double target;
    };
    std::vector<Size> sizes = {{0, "the initial files", 1.3},
                               {10000, "10,000 reports of 20 lines, a full list", 1.3},
                               {100000, "100,000 reports of 20 lines, a full list", 1.3}};
    if (big)
        sizes.push_back({1000000, "1,000,000 reports of 20 lines, a full list", 1.5});
    for (const Size& s : sizes) {
        prepareFolder(base, s.reports);
        const std::string exe = (base + QStringLiteral("/%1/tesvan").arg(s.reports)).toStdString();
        // The bigger sizes take seconds a start: fewer runs.
        const int n = s.reports >= 1000000  ? std::max(2, runs / 3)
                      : s.reports >= 100000 ? std::max(2, runs / 2)
                                            : runs;
        startup(s.state, exe, BARE_EXE, BARE_PLAIN_EXE, n, s.target);
    }
}

} // namespace bench
