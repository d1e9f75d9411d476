#include "store/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlRecord>
#include <QUuid>

namespace store {
namespace {

struct Table {
    QString name;
    QStringList fields;
};

const QList<Table>& tables(DbKind kind)
{
    static const QList<Table> main = {
        {QStringLiteral("営業日報ヘッダ"), {"作成日", "氏名", "所属", "タイトル"}},
        {QStringLiteral("営業日報"),
         {"作成日", "氏名", "行番号", "表示日付", "日付", "時間", "担当", "訪問先", "内容", "備考"}},
        {QStringLiteral("コードマスタ"), {"kcode", "code", "sname"}},
    };
    static const QStringList lineFields = {"行番号", "チェック", "表示日付", "日付", "時間",
                                           "担当",   "訪問先",   "内容",     "備考"};
    static const QList<Table> work = {
        {QStringLiteral("w営業日報"), lineFields},
        {QStringLiteral("w営業日報印刷"), lineFields},
        {QStringLiteral("w一覧"), {"チェック", "作成日", "氏名", "所属", "タイトル"}},
        {QStringLiteral("wコードマスタ"), {"code", "sname", "チェック"}},
        {QStringLiteral("wコードマスタソート"), {"code", "sname", "チェック"}},
        {QStringLiteral("w訪問先"), {"sname"}},
        {QStringLiteral("w備考"), {"sname"}},
        {QStringLiteral("ClHint"), {"FormName", "CtlName", "FormTitle", "Contents"}},
    };
    return kind == DbKind::Main ? main : work;
}

QString lineTable(const QString& name)
{
    // 行番号 is the rowid, so the table's own order is the line order.
    return QStringLiteral("CREATE TABLE %1 (行番号 INTEGER PRIMARY KEY, "
                          "チェック INTEGER NOT NULL DEFAULT 0, 表示日付 TEXT, 日付 TEXT, 時間 TEXT, "
                          "担当 TEXT, 訪問先 TEXT, 内容 TEXT, 備考 TEXT)")
        .arg(name);
}

QString codeTable(const QString& name)
{
    return QStringLiteral("CREATE TABLE %1 (code TEXT, sname TEXT, チェック INTEGER NOT NULL DEFAULT 0)")
        .arg(name);
}

} // namespace

QStringList schemaStatements(DbKind kind)
{
    if (kind == DbKind::Main) {
        return {
            // The report key is the primary key and also the list's date order.
            QStringLiteral("CREATE TABLE 営業日報ヘッダ (作成日 TEXT NOT NULL, 氏名 TEXT NOT NULL, "
                           "所属 TEXT, タイトル TEXT, PRIMARY KEY (作成日, 氏名)) WITHOUT ROWID"),
            QStringLiteral("CREATE INDEX 営業日報ヘッダ_氏名 ON 営業日報ヘッダ (氏名, 作成日)"),
            QStringLiteral("CREATE TABLE 営業日報 (作成日 TEXT NOT NULL, 氏名 TEXT NOT NULL, "
                           "行番号 INTEGER NOT NULL, 表示日付 TEXT, 日付 TEXT, 時間 TEXT, 担当 TEXT, "
                           "訪問先 TEXT, 内容 TEXT, 備考 TEXT, PRIMARY KEY (作成日, 氏名, 行番号)) "
                           "WITHOUT ROWID"),
            QStringLiteral("CREATE TABLE コードマスタ (kcode TEXT NOT NULL, code TEXT NOT NULL, "
                           "sname TEXT, PRIMARY KEY (kcode, code)) WITHOUT ROWID"),
        };
    }
    return {
        lineTable(QStringLiteral("w営業日報")),
        lineTable(QStringLiteral("w営業日報印刷")),
        QStringLiteral("CREATE TABLE w一覧 (チェック INTEGER NOT NULL DEFAULT 0, 作成日 TEXT, "
                       "氏名 TEXT, 所属 TEXT, タイトル TEXT)"),
        codeTable(QStringLiteral("wコードマスタ")),
        codeTable(QStringLiteral("wコードマスタソート")),
        QStringLiteral("CREATE TABLE w訪問先 (sname TEXT)"),
        QStringLiteral("CREATE TABLE w備考 (sname TEXT)"),
        QStringLiteral("CREATE TABLE ClHint (FormName TEXT NOT NULL, CtlName TEXT NOT NULL, "
                       "FormTitle TEXT, Contents TEXT, PRIMARY KEY (FormName, CtlName))"),
    };
}

QString checkSchema(const QSqlDatabase& db, DbKind kind)
{
    for (const Table& t : tables(kind)) {
        // The first read also tells a file that is not a database at all.
        Statement s(db, QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        s.bind(t.name);
        if (!s.exec())
            return s.error();
        QStringList have;
        while (s.next())
            have << s.value(0).toString();
        if (have.isEmpty())
            return QStringLiteral("表「%1」がありません。このアプリケーションのデータベースではありません。")
                .arg(t.name);
        for (const QString& f : t.fields)
            if (!have.contains(f))
                return QStringLiteral("表「%1」に項目「%2」がありません。").arg(t.name, f);
    }
    return {};
}

QString createInitialFile(const QString& path, DbKind kind)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("ファイルが既にあります。");
    const QString temp = path + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    const QString conn = QStringLiteral("initdb-") + QUuid::createUuid().toString(QUuid::Id128);
    QString err;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(temp);
        if (!db.open()) {
            err = reasonOf(db.lastError());
        } else {
            Transaction tx(db);
            err = tx.error();
            for (const QString& sql : schemaStatements(kind))
                if (err.isEmpty())
                    err = run(db, sql);
            if (err.isEmpty() && kind == DbKind::Main) {
                // Every category starts with its free rows, so registration can learn names at once.
                Statement ins(db, QStringLiteral("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, NULL)"));
                for (const QString& k : kCategories)
                    for (int i = 1; i <= kCodeRows && ins.ok(); ++i)
                        ins.bind(k).bind(QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'))).exec();
                err = ins.error();
            }
            if (err.isEmpty() && !tx.commit())
                err = tx.error();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (err.isEmpty() && !QFile::rename(temp, path))
        err = QStringLiteral("ファイルを作成できません: ") + path;
    if (!err.isEmpty())
        QFile::remove(temp);
    return err;
}

} // namespace store
