#include "store/Server.h"

#include "store/Db.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUuid>

#include <algorithm>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <mutex>

namespace store {
namespace {

// libpq is loaded only once a server is named: linked in, it would pull its Kerberos, LDAP and
// TLS libraries into every start of a program that keeps its data in local files. The QPSQL
// driver loads the same library when it connects.
struct LibPq {
    decltype(&PQconninfoParse) conninfoParse = nullptr;
    decltype(&PQconninfoFree) conninfoFree = nullptr;
    decltype(&PQfreemem) freemem = nullptr;
    decltype(&PQstatus) status = nullptr;
    bool loaded() const { return conninfoParse && conninfoFree && freemem && status; }
};

const LibPq& libpq()
{
    static LibPq lib;
    static std::once_flag once;
    std::call_once(once, [] {
        void* h = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!h)
            return;
        lib.conninfoParse = reinterpret_cast<decltype(&PQconninfoParse)>(dlsym(h, "PQconninfoParse"));
        lib.conninfoFree = reinterpret_cast<decltype(&PQconninfoFree)>(dlsym(h, "PQconninfoFree"));
        lib.freemem = reinterpret_cast<decltype(&PQfreemem)>(dlsym(h, "PQfreemem"));
        lib.status = reinterpret_cast<decltype(&PQstatus)>(dlsym(h, "PQstatus"));
    });
    return lib;
}

// Texts sort and compare by code point, as in the local file: code order, date order and the
// list's name order must not depend on the server's locale.
const QString kText = QStringLiteral("text COLLATE \"C\"");

// Keyword=value pairs of a connection string as libpq reads it; the reason when it cannot.
Error parseConninfo(const QString& conninfo, QList<std::pair<QString, QString>>& out)
{
    const LibPq& pq = libpq();
    if (!pq.loaded())
        return Error(QStringLiteral("PostgreSQL のクライアントライブラリ（libpq.so.5）を読み込めません。"));
    char* message = nullptr;
    PQconninfoOption* options = pq.conninfoParse(conninfo.toUtf8().constData(), &message);
    if (!options) {
        const QString why = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("メモリ不足");
        pq.freemem(message);
        return Error(QStringLiteral("接続文字列を読み取れません: ") + why);
    }
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && *o->val)
            out.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    pq.conninfoFree(options);
    return {};
}

} // namespace

Error checkConninfo(const QString& conninfo)
{
    const QString trimmed = conninfo.trimmed();
    if (trimmed.isEmpty())
        return Error(QStringLiteral("接続文字列が空です。"));
    // Our driver hands the string on in keyword=value form, where a ';' separates options.
    if (trimmed.startsWith(QLatin1String("postgres")) && trimmed.contains(QLatin1String("://")))
        return Error(QStringLiteral("接続文字列は host=… port=… dbname=… user=… の形で書いてください。"));
    if (trimmed.contains(u';'))
        return Error(QStringLiteral("接続文字列に ; は使えません。"));
    QList<std::pair<QString, QString>> pairs;
    if (Error e = parseConninfo(trimmed, pairs); e.failed())
        return e;
    for (const auto& [key, value] : pairs)
        if (key == QLatin1String("password"))
            return Error(QStringLiteral("接続文字列にパスワードを書かないでください。パスワードは ~/.pgpass "
                                        "（または PGPASSFILE、サービスファイル）に書きます。"));
    return {};
}

ServerSetting readServerSetting(const QString& folder)
{
    ServerSetting s;
    const QString path = QDir(folder).filePath(kServerFileName);
    if (!QFileInfo::exists(path))
        return s;
    s.present = true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        s.error = Error(QStringLiteral("設定ファイルを読み込めません: ") + f.errorString());
        return s;
    }
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        s.error = checkConninfo(line);
        if (s.error.ok())
            s.conninfo = line;
        return s;
    }
    s.error = Error(QStringLiteral("設定ファイルに接続文字列がありません。"));
    return s;
}

QString describeServer(const QString& conninfo)
{
    QList<std::pair<QString, QString>> pairs;
    if (parseConninfo(conninfo, pairs).failed())
        return conninfo;
    QStringList shown;
    for (const char* key : {"service", "host", "hostaddr", "port", "dbname", "user", "sslmode"})
        for (const auto& [k, v] : pairs)
            if (k == QLatin1String(key))
                shown << k + u'=' + v;
    return shown.isEmpty() ? QStringLiteral("（既定のサーバー）") : shown.join(u' ');
}

bool isServer(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

Error openServer(const QString& connection, const QString& conninfo)
{
    if (Error e = checkConninfo(conninfo); e.failed())
        return e;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return Error(QStringLiteral("PostgreSQL のドライバー（QPSQL）がインストールされていません。"));
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        // Defaults first: a keyword the setting names again wins.
        db.setConnectOptions(QStringLiteral("connect_timeout=5 application_name=tesvan ") +
                             conninfo.trimmed());
        if (!db.open())
            err = Error::of(db.lastError());
        else
            err = checkSchema(db, DbKind::Main);
        if (err.ok())
            return {};
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return err;
}

QString reportKey(const QVariant& date, const QString& name)
{
    return QStringLiteral("営業日報\x1f") + date.toString() + u'\x1f' + name;
}

QString categoryKey(const QString& category)
{
    return QStringLiteral("コードマスタ\x1f") + category;
}

Error serialise(const QSqlDatabase& db, QStringList keys)
{
    if (!isServer(db))
        return {};
    keys.sort();
    keys.removeDuplicates();
    Statement lock(db, QStringLiteral("SELECT pg_advisory_xact_lock(hashtextextended(?, 0))"));
    for (const QString& k : keys)
        if (!lock.bind(k).exec())
            break;
    return lock.error();
}

bool reconnectIfLost(const QSqlDatabase& db)
{
    if (!isServer(db) || !db.driver())
        return false;
    // The driver marks the connection closed itself when it notices the loss.
    const QVariant h = db.driver()->handle();
    if (db.isOpen() && h.isValid() && qstrcmp(h.typeName(), "PGconn*") == 0) {
        PGconn* conn = *static_cast<PGconn* const*>(h.constData());
        // The driver holds a connection, so libpq is loaded already.
        if (conn && libpq().loaded() && libpq().status(conn) == CONNECTION_OK)
            return false;
    }
    QSqlDatabase again = db;
    again.close();
    return again.open();
}

QStringList serverSchemaStatements()
{
    const QString t = kText;
    return {
        QStringLiteral(
            "CREATE TABLE 営業日報ヘッダ (作成日 date NOT NULL, 氏名 %1 NOT NULL, 所属 %1, タイトル %1, "
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
    };
}

Error createServerSchema(const QString& conninfo)
{
    if (Error e = checkConninfo(conninfo); e.failed())
        return e;
    const QString conn = QStringLiteral("initdb-server-") + QUuid::createUuid().toString(QUuid::Id128);
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conn);
        db.setConnectOptions(QStringLiteral("connect_timeout=5 application_name=tesvan-initdb ") +
                             conninfo.trimmed());
        if (!db.open()) {
            err = Error::of(db.lastError());
        } else {
            err = inTransaction(db, [&db]() -> Error {
                // Two tools started at once: the second waits, then finds the tables.
                if (Error e = run(
                        db,
                        QStringLiteral("SELECT pg_advisory_xact_lock(hashtextextended('tesvan-initdb', 0))"));
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
                // A database that holds our tables already is left as it is, like an existing file.
                if (found == 3)
                    return {};
                if (found > 0)
                    return Error(QStringLiteral(
                        "データベースに一部の表だけがあります。空のデータベースを指定してください。"));
                for (const QString& sql : serverSchemaStatements())
                    if (Error e = run(db, sql); e.failed())
                        return e;
                Statement ins(
                    db, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, NULL)"));
                for (const QString& k : kCategories)
                    for (int i = 1; i <= kCodeRows && ins.ok(); ++i)
                        ins.bind(k).bind(codeOf(i)).exec();
                return ins.error();
            });
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    return err;
}

} // namespace store
