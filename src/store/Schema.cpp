#include "store/Schema.h"

#include "store/Server.h"
#include "store/TextIndex.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUuid>

namespace store {
namespace {

struct Field {
    QString name;
    QString type;
};

struct Table {
    DbKind kind;
    QString name;
    QList<Field> fields;
    QString key; // table constraint, e.g. "PRIMARY KEY (作成日, 氏名)"
    bool withoutRowid = false;
    QString extra; // a further statement (an index), or empty
};

// What a report line holds, stored and in the entry grid alike, after its key.
QList<Field> lineValueFields()
{
    return {{"表示日付", "TEXT"}, {"日付", "TEXT"}, {"時間", "TEXT"}, {"担当", "TEXT"},
            {"訪問先", "TEXT"},   {"内容", "TEXT"}, {"備考", "TEXT"}};
}

QList<Field> lineFields()
{
    // 行番号 is the rowid, so the table's own order is the line order.
    return QList<Field>{{"行番号", "INTEGER PRIMARY KEY"}, {"チェック", "INTEGER NOT NULL DEFAULT 0"}} +
           lineValueFields();
}

QList<Field> codeFields()
{
    return {{"code", "TEXT"}, {"sname", "TEXT"}, {"チェック", "INTEGER NOT NULL DEFAULT 0"}};
}

const QList<Table>& tables()
{
    static const QList<Table> all = {
        // The report key is the primary key and also the list's date order.
        {DbKind::Main,
         tbl::営業日報ヘッダ,
         {{"作成日", "TEXT NOT NULL"}, {"氏名", "TEXT NOT NULL"}, {"所属", "TEXT"}, {"タイトル", "TEXT"}},
         "PRIMARY KEY (作成日, 氏名)",
         true,
         "CREATE INDEX 営業日報ヘッダ_氏名 ON 営業日報ヘッダ (氏名, 作成日)"},
        {DbKind::Main,
         tbl::営業日報,
         QList<Field>{
             {"作成日", "TEXT NOT NULL"}, {"氏名", "TEXT NOT NULL"}, {"行番号", "INTEGER NOT NULL"}} +
             lineValueFields(),
         "PRIMARY KEY (作成日, 氏名, 行番号)",
         true,
         {}},
        {DbKind::Main,
         tbl::コードマスタ,
         {{"kcode", "TEXT NOT NULL"}, {"code", "TEXT NOT NULL"}, {"sname", "TEXT"}},
         "PRIMARY KEY (kcode, code)",
         true,
         {}},
        {DbKind::Work, tbl::w営業日報, lineFields(), {}, false, {}},
        {DbKind::Work, tbl::w営業日報印刷, lineFields(), {}, false, {}},
        {DbKind::Work,
         tbl::w一覧,
         {{"チェック", "INTEGER NOT NULL DEFAULT 0"},
          {"作成日", "TEXT"},
          {"氏名", "TEXT"},
          {"所属", "TEXT"},
          {"タイトル", "TEXT"}},
         {},
         false,
         {}},
        {DbKind::Work, tbl::wコードマスタ, codeFields(), {}, false, {}},
        {DbKind::Work, tbl::wコードマスタソート, codeFields(), {}, false, {}},
        {DbKind::Work, tbl::w訪問先, {{"sname", "TEXT"}}, {}, false, {}},
        {DbKind::Work, tbl::w備考, {{"sname", "TEXT"}}, {}, false, {}},
        {DbKind::Work,
         tbl::ClHint,
         {{"FormName", "TEXT NOT NULL"},
          {"CtlName", "TEXT NOT NULL"},
          {"FormTitle", "TEXT"},
          {"Contents", "TEXT"}},
         "PRIMARY KEY (FormName, CtlName)",
         false,
         {}},
    };
    return all;
}

QString createStatement(const Table& t)
{
    QStringList parts;
    for (const Field& f : t.fields)
        parts << f.name + u' ' + f.type;
    if (!t.key.isEmpty())
        parts << t.key;
    return QStringLiteral("CREATE TABLE %1 (%2)%3")
        .arg(t.name, parts.join(QStringLiteral(", ")),
             t.withoutRowid ? QStringLiteral(" WITHOUT ROWID") : QString());
}

} // namespace

QString codeOf(int n)
{
    return QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
}

Error insertFreeCodeRows(const QSqlDatabase& db)
{
    Statement ins(db, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, NULL)"));
    for (const QString& k : kCategories)
        for (int i = 1; i <= kCodeRows && ins.ok(); ++i)
            ins.bind(k).bind(codeOf(i)).exec();
    return ins.error();
}

QStringList fieldsOf(const QString& table)
{
    for (const Table& t : tables())
        if (t.name == table) {
            QStringList names;
            for (const Field& f : t.fields)
                names << f.name;
            return names;
        }
    return {};
}

QStringList schemaStatements(DbKind kind)
{
    QStringList out;
    for (const Table& t : tables()) {
        if (t.kind != kind)
            continue;
        out << createStatement(t);
        if (!t.extra.isEmpty())
            out << t.extra;
    }
    return out;
}

Error checkSchema(const QSqlDatabase& db, DbKind kind)
{
    // One statement for every table: preparing it is most of the work of a check at start.
    Statement s(db, isServer(db) ? QStringLiteral("SELECT column_name FROM information_schema.columns "
                                                  "WHERE table_schema = current_schema() AND table_name = ?")
                                 : QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    for (const Table& t : tables()) {
        if (t.kind != kind)
            continue;
        // The first read also tells a file that is not a database at all.
        s.bind(t.name);
        QStringList have;
        const Error e = forEachRow(s, [&have](Statement& r) { have << r.value(0).toString(); });
        if (e.failed())
            return e;
        if (have.isEmpty())
            return Error(
                QStringLiteral("表「%1」がありません。このアプリケーションのデータベースではありません。")
                    .arg(t.name));
        for (const Field& f : t.fields)
            if (!have.contains(f.name))
                return Error(QStringLiteral("表「%1」に項目「%2」がありません。").arg(t.name, f.name));
    }
    return {};
}

Error createInitialFile(const QString& path, DbKind kind)
{
    if (QFileInfo::exists(path))
        return Error(QStringLiteral("ファイルが既にあります。"));
    const QString temp = path + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString conn = QStringLiteral("initdb-") + QUuid::createUuid().toString(QUuid::Id128);
    registerTextTokenizer();
    Error err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(temp);
        if (!db.open()) {
            err = Error::of(db.lastError());
        } else {
            err = inTransaction(db, [&db, kind]() -> Error {
                for (const QString& sql : schemaStatements(kind))
                    if (Error e = run(db, sql); e.failed())
                        return e;
                if (kind != DbKind::Main)
                    return {};
                if (Error e = makeTextIndex(db); e.failed())
                    return e;
                return insertFreeCodeRows(db);
            });
            // Kept in the file: every later connection writes through the log.
            if (err.ok())
                err = run(db, QStringLiteral("PRAGMA journal_mode = WAL"));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (err.ok() && !QFile::rename(temp, path))
        err = Error(QStringLiteral("ファイルを作成できません: ") + path);
    if (err.failed())
        QFile::remove(temp);
    return err;
}

} // namespace store
