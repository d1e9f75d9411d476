#include "store/Server.h"

#include "store/Db.h"
#include "store/Schema.h"
#include "store/TextIndex.h"

#include "store/LibPq.h"
#include "store/PgDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QUuid>

namespace store {
namespace {

// Texts sort and compare by code point, as in the local file: code order, date order and the
// list's name order must not depend on the server's locale.
const QString kText = QStringLiteral("text COLLATE \"C\"");

// Keywords whose value is a secret: never accepted in the setting, never shown.
const QStringList kSecretKeys = {QStringLiteral("password"), QStringLiteral("sslpassword")};

bool isUri(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// Keyword=value pairs of a connection string as libpq reads it; the reason when it cannot.
Error parseConninfo(const QString& conninfo, QList<std::pair<QString, QString>>& out)
{
    const LibPq& pq = libpq();
    if (!pq.loaded)
        return Error(QStringLiteral("PostgreSQL のクライアントライブラリ（libpq.so.5）を読み込めません。"));
    char* message = nullptr;
    PQconninfoOption* options = pq.PQconninfoParse(conninfo.toUtf8().constData(), &message);
    if (!options) {
        // libpq's reason quotes the text it stopped at, which may be a password.
        const QString why = message ? QString::fromUtf8(message).trimmed() : QStringLiteral("メモリ不足");
        pq.PQfreemem(message);
        static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
        QString shown = withoutSecrets(why);
        QString plain;
        qsizetype from = 0;
        for (auto it = quoted.globalMatch(shown); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_=]*$"));
            plain += shown.mid(from, m.capturedStart() - from) +
                     (word.match(m.captured(1)).hasMatch() ? m.captured(0) : QStringLiteral("\"…\""));
            from = m.capturedEnd();
        }
        return Error(QStringLiteral("接続文字列を読み取れません: ") + plain + shown.mid(from));
    }
    for (PQconninfoOption* o = options; o->keyword; ++o)
        if (o->val && *o->val)
            out.append({QString::fromUtf8(o->keyword), QString::fromUtf8(o->val)});
    pq.PQconninfoFree(options);
    return {};
}

} // namespace

QString withoutSecrets(const QString& text)
{
    static const QRegularExpression keyword(
        QStringLiteral("\\b((?:ssl)?password)\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'?|\\S*)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression userinfo(QStringLiteral("(postgres(?:ql)?://[^\\s/@:]*):[^\\s@]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression query(QStringLiteral("([?&](?:ssl)?password=)[^&\\s]*"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(keyword, QStringLiteral("\\1=***"));
    out.replace(userinfo, QStringLiteral("\\1:***@"));
    out.replace(query, QStringLiteral("\\1***"));
    return out;
}

Error checkConninfo(const QString& conninfo)
{
    const QString trimmed = conninfo.trimmed();
    if (trimmed.isEmpty())
        return Error(QStringLiteral("接続文字列が空です。"));
    const Error keywordForm(
        QStringLiteral("接続文字列は host=… port=… dbname=… user=… の形で書いてください。"));
    const Error noPassword(
        QStringLiteral("接続文字列にパスワードを書かないでください。パスワードは ~/.pgpass "
                       "（または PGPASSFILE、サービスファイル）に書きます。"));
    // A URI may carry a password in its user part: only the keyword form is taken.
    if (isUri(trimmed))
        return keywordForm;
    QList<std::pair<QString, QString>> pairs;
    if (Error e = parseConninfo(trimmed, pairs); e.failed())
        return e;
    for (const auto& [key, value] : pairs) {
        if (kSecretKeys.contains(key))
            return noPassword;
        // libpq reads a dbname holding '=' or a URI as a connection string of its own, where a
        // password would hide.
        if (key == QLatin1String("dbname") && (isUri(value) || value.contains(u'=')))
            return keywordForm;
    }
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
        return withoutSecrets(conninfo);
    QStringList shown;
    for (const char* key : {"service", "host", "hostaddr", "port", "dbname", "user", "sslmode"})
        for (const auto& [k, v] : pairs)
            if (k == QLatin1String(key))
                shown << k + u'=' + withoutSecrets(v);
    return shown.isEmpty() ? QStringLiteral("（既定のサーバー）") : shown.join(u' ');
}

bool isServer(const QSqlDatabase& db)
{
    return PgDriver::sessionOf(db) != nullptr;
}

namespace {

// A connection to the server under the name connection, open, or the reason (and no connection).
Error addServer(const QString& connection, const QString& conninfo)
{
    if (Error e = checkConninfo(conninfo); e.failed())
        return e;
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(new PgDriver(conninfo), connection);
        if (db.open())
            return {};
        err = Error(db.lastError().driverText());
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
            // A database that holds our tables already is left as it is, like an existing file,
            // but for the search index that an older tool did not make.
            if (found == 3)
                return hasTextIndex(db) ? Error() : makeTextIndex(db);
            if (found > 0)
                return Error(QStringLiteral(
                    "データベースに一部の表だけがあります。空のデータベースを指定してください。"));
            for (const QString& sql : serverSchemaStatements())
                if (Error e = run(db, sql); e.failed())
                    return e;
            return insertFreeCodeRows(db);
        });
    }
    closeDatabase(conn);
    return err;
}

} // namespace store
