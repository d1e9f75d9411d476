#include "store/Schema.h"

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
    QStringList extra;       // further statements (an index, a first row, a trigger)
    bool addedLater = false; // files made before it lack it until addMissingTables
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

// Marks the kept report's lines changed when a value of a line of w営業日報 changes; an update
// that writes the same values (a tick, a cell left as it was) marks nothing.
QString lineChangeTrigger()
{
    QStringList changed;
    for (const Field& f : lineValueFields())
        changed << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(f.name);
    QStringList fields;
    for (const Field& f : lineValueFields())
        fields << f.name;
    return QStringLiteral("CREATE TRIGGER %1_明細変更 AFTER UPDATE OF %2 ON %1 WHEN %3 BEGIN "
                          "UPDATE %4 SET 明細変更 = 1 WHERE 明細変更 = 0; END")
        .arg(tbl::w営業日報, fields.join(QStringLiteral(", ")), changed.join(QStringLiteral(" OR ")),
             tbl::w営業日報ヘッダ);
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
         {"CREATE INDEX 営業日報ヘッダ_氏名 ON 営業日報ヘッダ (氏名, 作成日)"}},
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
        // The report on the entry tab between runs: its header as typed (the controls hold it
        // otherwise) and what of it is not registered, in one row. A line's value that changes
        // marks the lines in the same statement, so that a kill cannot separate the two.
        {DbKind::Work,
         tbl::w営業日報ヘッダ,
         {{"作成日", "TEXT"},
          {"氏名", "TEXT"},
          {"所属", "TEXT"},
          {"タイトル", "TEXT"},
          {"明細変更", "INTEGER NOT NULL DEFAULT 0"},
          {"見出し変更", "INTEGER NOT NULL DEFAULT 0"},
          {"キー変更", "INTEGER NOT NULL DEFAULT 0"}},
         {},
         false,
         {QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(tbl::w営業日報ヘッダ), lineChangeTrigger()},
         true},
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
        out << createStatement(t) << t.extra;
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
        if (t.kind != kind || t.addedLater)
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

Error addMissingTables(const QSqlDatabase& db, DbKind kind)
{
    if (isServer(db))
        return {};
    QStringList missing;
    Statement has(db, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?"));
    for (const Table& t : tables()) {
        if (t.kind != kind || !t.addedLater)
            continue;
        has.bind(t.name);
        bool there = false;
        if (const Error e = forEachRow(has, [&there](Statement& r) { there = r.value(0).toInt() > 0; });
            e.failed())
            return e;
        if (!there)
            missing << createStatement(t) << t.extra;
    }
    if (missing.isEmpty())
        return {};
    return inTransaction(db, [&]() -> Error {
        for (const QString& sql : missing)
            if (Error e = run(db, sql); e.failed())
                return e;
        return {};
    });
}

Error createInitialFile(const QString& path, DbKind kind)
{
    if (QFileInfo::exists(path))
        return Error(QStringLiteral("ファイルが既にあります。"));
    const QString temp = path + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString conn = QStringLiteral("initdb-") + QUuid::createUuid().toString(QUuid::Id128);
    registerTextFunctions();
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
