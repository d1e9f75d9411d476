// Writes the initial database files into the given folder; existing files are kept. With
// --server, creates the main tables on a PostgreSQL server instead; tables already there are kept.
#include "store/Schema.h"
#include "store/Server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
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
        std::fprintf(stderr,
                     "usage: tesvan-initdb DATA_FOLDER\n"
                     "       tesvan-initdb --server 'host=... port=... dbname=... user=... sslmode=...'\n");
        return 2;
    }
    const QString folder = args.at(1);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tesvan-initdb: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    int rc = 0;
    const std::pair<QString, store::DbKind> files[] = {{store::kMainFileName, store::DbKind::Main},
                                                       {store::kWorkFileName, store::DbKind::Work}};
    for (const auto& [name, kind] : files) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path))
            continue;
        const store::Error err = store::createInitialFile(path, kind);
        if (err.failed()) {
            std::fprintf(stderr, "tesvan-initdb: %s: %s\n", qPrintable(path), qPrintable(err.reason()));
            rc = 1;
        }
    }
    return rc;
}
