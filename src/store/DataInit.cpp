#include "store/DataInit.h"

#include "store/Db.h"
#include "store/FastDelete.h"
#include "store/Schema.h"
#include "store/TextIndex.h"

#include <QDir>
#include <QFileInfo>

namespace store {

Error createInitialFiles(const QString& folder, QString* failedPath)
{
    const auto fail = [failedPath](const QString& path, const Error& e) {
        if (failedPath)
            *failedPath = path;
        return e;
    };
    if (!QDir().mkpath(folder))
        return fail(folder, Error(QStringLiteral("フォルダを作成できません。")));
    const std::pair<QString, DbKind> files[] = {{kMainFileName, DbKind::Main}, {kWorkFileName, DbKind::Work}};
    for (const auto& [name, kind] : files) {
        const QString path = QDir(folder).filePath(name);
        // Whatever is there, even a damaged or foreign file, is the user's: never replaced.
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            continue;
        if (const Error e = createInitialFile(path, kind); e.failed())
            return fail(path, e);
    }
    return {};
}

} // namespace store

namespace app {

store::Error initialiseData(const QSqlDatabase& main)
{
    const store::FastDelete fast(main);
    const bool indexed = store::hasTextIndex(main);
    return store::inTransaction(main, [&]() -> store::Error {
        if (indexed)
            if (store::Error e = store::dropTextIndex(main); e.failed())
                return e;
        // All three or none: never lines gone with their headers left, or the reverse.
        for (const QString& sql :
             {QStringLiteral("DELETE FROM 営業日報"), QStringLiteral("DELETE FROM 営業日報ヘッダ"),
              QStringLiteral("UPDATE コードマスタ SET sname = NULL")})
            if (store::Error e = store::run(main, sql); e.failed())
                return e;
        return indexed ? store::makeTextIndex(main) : store::Error();
    });
}

} // namespace app
