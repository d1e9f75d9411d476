#include "store/DataInit.h"

#include "store/Db.h"
#include "store/FastDelete.h"

namespace app {

store::Error initialiseData(const QSqlDatabase& main)
{
    const store::FastDelete fast(main);
    return store::inTransaction(main, [&]() -> store::Error {
        // All three or none: never lines gone with their headers left, or the reverse.
        for (const QString& sql :
             {QStringLiteral("DELETE FROM 営業日報"), QStringLiteral("DELETE FROM 営業日報ヘッダ"),
              QStringLiteral("UPDATE コードマスタ SET sname = NULL")})
            if (store::Error e = store::run(main, sql); e.failed())
                return e;
        return {};
    });
}

} // namespace app
