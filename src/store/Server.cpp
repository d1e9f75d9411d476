#include "store/Connection.h"
#include "store/Server.h"

#include "store/Db.h"
#include "store/Schema.h"
#include "store/Review.h"
#include "store/Team.h"
#include "store/TextIndex.h"

#include "store/PgDriver.h"

#include <QSqlError>
#include <QUuid>

#include <algorithm>

namespace store {
namespace {

// Texts sort and compare by code point, as in the local file: code order, date order and the
// list's name order must not depend on the server's locale.
const QString kText = QStringLiteral("text COLLATE \"C\"");

// A connection to the server under the name connection, open, or the reason (and no connection).
Error addServer(const QString& connection, const QString& conninfo)
{
    if (Error e = checkConninfo(conninfo); e.failed())
        return e;
    Error err;
    {
        auto* driver = new PgDriver(conninfo); // the connection owns it
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection);
        if (db.open())
            return {};
        err = driver->openFailure();
    }
    QSqlDatabase::removeDatabase(connection);
    return err;
}

} // namespace

Error openServer(const QString& connection, const QString& conninfo)
{
    Error err = addServer(connection, conninfo);
    if (err.failed())
        return err;
    {
        const QSqlDatabase db = QSqlDatabase::database(connection, false);
        err = checkSchema(db, DbKind::Main);
    }
    if (err.failed())
        closeDatabase(connection);
    return err;
}

QStringList serverSchemaStatements()
{
    const QString t = kText;
    return QStringList{
               QStringLiteral("CREATE TABLE 営業日報ヘッダ (作成日 date NOT NULL, 氏名 %1 NOT NULL, 所属 %1, "
                              "タイトル %1, "
                              "PRIMARY KEY (作成日, 氏名))")
                   .arg(t),
               QStringLiteral("CREATE INDEX 営業日報ヘッダ_氏名 ON 営業日報ヘッダ (氏名, 作成日)"),
               QStringLiteral(
                   "CREATE TABLE 営業日報 (作成日 date NOT NULL, 氏名 %1 NOT NULL, 行番号 integer NOT NULL, "
                   "表示日付 date, 日付 date, 時間 %1, 担当 %1, 訪問先 %1, 内容 %1, 備考 %1, "
                   "PRIMARY KEY (作成日, 氏名, 行番号))")
                   .arg(t),
               QStringLiteral("CREATE TABLE コードマスタ (kcode %1 NOT NULL, code %1 NOT NULL, sname %1, "
                              "PRIMARY KEY (kcode, code))")
                   .arg(t),
           } +
           serverTextIndexStatements();
}

Error createServerSchema(const QString& conninfo)
{
    if (Error e = checkConninfo(conninfo); e.failed())
        return e;
    const QString conn = QStringLiteral("initdb-server-") + QUuid::createUuid().toString(QUuid::Id128);
    Error err = addServer(conn, conninfo);
    if (err.failed())
        return err;
    {
        QSqlDatabase db = QSqlDatabase::database(conn, false);
        err = inTransaction(db, [&db]() -> Error {
            // Two tools started at once: the second waits, then finds the tables.
            if (Error e = run(
                    db, QStringLiteral("SELECT pg_advisory_xact_lock(hashtextextended('tesvan-initdb', 0))"));
                e.failed())
                return e;
            Statement have(
                db, QStringLiteral("SELECT count(*) FROM information_schema.tables "
                                   "WHERE table_schema = current_schema() AND table_name IN (?, ?, ?)"));
            have.bind(tbl::営業日報ヘッダ).bind(tbl::営業日報).bind(tbl::コードマスタ);
            int found = 0;
            if (Error e = forEachRow(have, [&found](Statement& s) { found = s.value(0).toInt(); });
                e.failed())
                return e;
            // A database that holds our tables already keeps its data, like an existing file; what
            // an older tool did not make (the search index, the team) is added.
            // The team's rights are brought up to date on either (Team.h).
            if (found == 3) {
                if (!hasTextIndex(db)) {
                    if (Error e = dropTextIndex(db); e.failed())
                        return e;
                    if (Error e = makeTextIndex(db); e.failed())
                        return e;
                }
                return applyTeamSchema(db, reviewSchemaStatements);
            }
            if (found > 0)
                return Error(QStringLiteral(
                    "データベースに一部の表だけがあります。空のデータベースを指定してください。"));
            for (const QString& sql : serverSchemaStatements())
                if (Error e = run(db, sql); e.failed())
                    return e;
            if (Error e = insertFreeCodeRows(db); e.failed())
                return e;
            return applyTeamSchema(db, reviewSchemaStatements);
        });
    }
    closeDatabase(conn);
    return err;
}

} // namespace store
