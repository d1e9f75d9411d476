// Statements taken again from the cache of prepared statements behave as freshly prepared ones,
// and tables rewritten only when changed end up exactly as rewritten.
#include "TestFiles.h"
#include "store/Db.h"
#include "store/PgEngine.h"
#include "store/Rows.h"
#include "store/FastDelete.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStatements : public QObject {
    Q_OBJECT
  private slots:
    void reusedStatementStartsAfresh_data();
    void reusedStatementStartsAfresh();
    void connectionOpenedAgainUnderItsName();
    void valuesAsTheDriverHasThem();
    void rewriteOnlyWhenChanged_data();
    void rewriteOnlyWhenChanged();
    void nulInTextAlikeOnEveryEngine_data();
    void nulInTextAlikeOnEveryEngine();
    void placeholdersNumberedForTheServer_data();
    void placeholdersNumberedForTheServer();
    void lockToldByTheEnginesCode_data();
    void lockToldByTheEnginesCode();
    void serialiseHoldsEveryKey_data();
    void serialiseHoldsEveryKey();
    void typedBindsAsTheVariantBind_data();
    void typedBindsAsTheVariantBind();
    void fastDeleteForOneDeletion();
};

namespace {
int count(const QSqlDatabase& db, const QString& sql)
{
    return testing::firstValue(db, sql).toInt();
}
} // namespace

void TestStatements::reusedStatementStartsAfresh_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("values bound but never run by the last user") << u"unrun"_s;
    QTest::newRow("the same statement twice at once") << u"nested"_s;
    QTest::newRow("a read left part-way by the last user") << u"partread"_s;
}

void TestStatements::reusedStatementStartsAfresh()
{
    QFETCH(QString, situation);
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"st"_s, main, work), QString());
    const QString ins = u"INSERT INTO w備考 (sname) VALUES (?)"_s;
    if (situation == u"unrun"_s) {
        {
            store::Statement s(work, ins);
            s.bind(u"never"_s); // and never run
        }
        store::Statement s(work, ins);
        QVERIFY2(s.bind(u"run"_s).exec(), qPrintable(s.error().reason()));
        QCOMPARE(testing::firstValue(work, u"SELECT group_concat(sname) FROM w備考"_s).toString(), u"run"_s);
    } else if (situation == u"nested"_s) {
        store::Statement a(work, ins);
        store::Statement b(work, ins);
        QVERIFY(a.bind(u"a"_s).exec());
        QVERIFY(b.bind(u"b"_s).exec());
        QVERIFY(a.bind(u"c"_s).exec());
        QCOMPARE(testing::firstValue(work, u"SELECT group_concat(sname, '') FROM w備考"_s).toString(),
                 u"abc"_s);
    } else {
        for (const QString& n : {u"x"_s, u"y"_s, u"z"_s})
            QVERIFY(store::run(work, ins, {n}).ok());
        const QString sel = u"SELECT sname FROM w備考 ORDER BY sname"_s;
        {
            store::Statement s(work, sel);
            QVERIFY(s.exec());
            QVERIFY(s.next()); // and left there
        }
        // A write on another connection of the file is not held up by the read left open.
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(tmp.path() + u"/TesvanWork.mdb"_s);
        other.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=0"_s);
        QVERIFY(other.open());
        QVERIFY(store::inTransaction(other, [&] {
                    return store::run(other, u"DELETE FROM w備考 WHERE sname = 'z'"_s);
                }).ok());
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"other"_s);
        QStringList seen;
        store::Statement s(work, sel);
        QVERIFY(store::forEachRow(s, [&](store::Statement& q) { seen << q.value(0).toString(); }).ok());
        QCOMPARE(seen, QStringList({u"x"_s, u"y"_s}));
    }
    testing::closeFreshFiles(u"st"_s, main, work);
}

void TestStatements::connectionOpenedAgainUnderItsName()
{
    // The same connection name on another file: statements of the first file must not serve it.
    QTemporaryDir a, b;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(a.path(), u"again"_s, main, work), QString());
    QVERIFY(store::run(work, u"INSERT INTO w備考 (sname) VALUES (?)"_s, {u"first"_s}).ok());
    testing::closeFreshFiles(u"again"_s, main, work);
    QCOMPARE(testing::openFreshFiles(b.path(), u"again"_s, main, work), QString());
    QVERIFY(store::run(work, u"INSERT INTO w備考 (sname) VALUES (?)"_s, {u"second"_s}).ok());
    QCOMPARE(count(work, u"SELECT COUNT(*) FROM w備考"_s), 1);
    testing::closeFreshFiles(u"again"_s, main, work);
}

void TestStatements::valuesAsTheDriverHasThem()
{
    // What a statement binds and reads back is what the Qt driver binds and reads on the same
    // file: Null apart from the empty text, numbers as numbers, texts whole.
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"kinds"_s, main, work), QString());
    const QString wal = tmp.path() + u"/TesvanWork.mdb-wal"_s;
    QVERIFY(store::run(work, u"CREATE TABLE kinds (n INTEGER, v)"_s).ok());
    const QVariantList given = {QVariant(),
                                QVariant(QString()),
                                QVariant(u""_s),
                                QVariant(42),
                                QVariant(true),
                                QVariant(2.5),
                                QVariant(u"訪問先 🙂"_s),
                                QVariant(QByteArray("\0b", 2)),
                                QVariant(qlonglong(1) << 40)};
    {
        store::Statement ins(work, u"INSERT INTO kinds (n, v) VALUES (?, ?)"_s);
        for (int i = 0; i < given.size(); ++i)
            QVERIFY2(ins.bind(i).bind(given[i]).exec(), qPrintable(ins.error().reason()));
        QCOMPARE(ins.rowsAffected(), 1);
    }
    {
        store::Statement read(work, u"SELECT v, typeof(v) FROM kinds ORDER BY n"_s);
        QSqlQuery byDriver(work);
        QVERIFY(byDriver.exec(u"SELECT v, typeof(v) FROM kinds ORDER BY n"_s));
        QVERIFY(read.exec());
        QCOMPARE(read.columnCount(), 2);
        QStringList types;
        while (read.next()) {
            QVERIFY(byDriver.next());
            QCOMPARE(read.value(0), byDriver.value(0));
            QCOMPARE(read.value(0).isNull(), byDriver.value(0).isNull());
            QCOMPARE(read.value(0).metaType(), byDriver.value(0).metaType());
            types << read.value(1).toString();
        }
        QVERIFY(read.ok());
        QVERIFY(!byDriver.next());
        byDriver.finish();
        QCOMPARE(types, QStringList({u"null"_s, u"null"_s, u"text"_s, u"integer"_s, u"integer"_s, u"real"_s,
                                     u"text"_s, u"blob"_s, u"integer"_s}));

        // A run with too few values is refused, not run with the last ones.
        store::Statement two(work, u"SELECT ? + ?"_s);
        QVERIFY(!two.bind(1).exec());
        QVERIFY(two.error().failed());
    }

    // Kept statements do not keep the file open once it is closed: its log is folded back.
    QVERIFY(QFile::exists(wal));
    testing::closeFreshFiles(u"kinds"_s, main, work);
    QVERIFY(!QFile::exists(wal));
}

void TestStatements::rewriteOnlyWhenChanged_data()
{
    QTest::addColumn<QList<store::Row>>("held");
    QTest::addColumn<QList<store::Row>>("wanted");
    QTest::addColumn<bool>("written");
    const store::Row nullName{QVariant()}, empty{u""_s};
    QTest::newRow("same rows: nothing written")
        << QList<store::Row>{{u"a"_s}, nullName} << QList<store::Row>{{u"a"_s}, nullName} << false;
    QTest::newRow("Null and empty text differ")
        << QList<store::Row>{{u"a"_s}, nullName} << QList<store::Row>{{u"a"_s}, empty} << true;
    QTest::newRow("same rows in another order")
        << QList<store::Row>{{u"a"_s}, {u"b"_s}} << QList<store::Row>{{u"b"_s}, {u"a"_s}} << true;
    QTest::newRow("one row fewer") << QList<store::Row>{{u"a"_s}, {u"b"_s}} << QList<store::Row>{{u"a"_s}}
                                   << true;
    QTest::newRow("empty table stays empty") << QList<store::Row>{} << QList<store::Row>{} << false;
}

void TestStatements::rewriteOnlyWhenChanged()
{
    QFETCH(QList<store::Row>, held);
    QFETCH(QList<store::Row>, wanted);
    QFETCH(bool, written);
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"rw"_s, main, work), QString());
    const QStringList fields{u"sname"_s};
    QVERIFY(store::rewriteTable(work, store::tbl::w備考, fields, held).ok());
    const int changesBefore = count(work, u"SELECT total_changes()"_s);
    QVERIFY(store::rewriteTableIfChanged(work, store::tbl::w備考, fields, wanted).ok());
    QCOMPARE(count(work, u"SELECT total_changes()"_s) != changesBefore, written);
    QList<store::Row> now;
    QVERIFY(store::readRows(work, u"SELECT sname FROM w備考 ORDER BY rowid"_s, {}, now).ok());
    QCOMPARE(now.size(), wanted.size());
    for (qsizetype i = 0; i < now.size(); ++i)
        QVERIFY2(store::sameValue(now[i][0], wanted[i][0]), qPrintable(u"row %1"_s.arg(i)));
    testing::closeFreshFiles(u"rw"_s, main, work);
}

// A text holding U+0000 is refused with the same notice whichever engine holds the table (the
// suite runs this once with the main database on a server), and nothing of the operation stays.
void TestStatements::nulInTextAlikeOnEveryEngine_data()
{
    QTest::addColumn<bool>("onMain");
    QTest::addColumn<bool>("inTransaction");
    QTest::newRow("the main database, alone") << true << false;
    QTest::newRow("the main database, after a write of the same operation") << true << true;
    QTest::newRow("the work file") << false << false;
}

void TestStatements::nulInTextAlikeOnEveryEngine()
{
    QFETCH(bool, onMain);
    QFETCH(bool, inTransaction);
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"nul"_s, main, work), QString());
    const QSqlDatabase db = onMain ? main : work;
    const QString table = onMain ? u"コードマスタ"_s : u"wコードマスタ"_s;
    if (!onMain)
        QCOMPARE(store::run(work, u"INSERT INTO wコードマスタ (code) VALUES ('001'), ('002')"_s), QString());
    const QString update = u"UPDATE %1 SET sname = ? WHERE code = ?"_s.arg(table) +
                           (onMain ? u" AND kcode = '訪問先'"_s : QString());
    const QString text = u"前"_s + QChar(0) + u"後"_s;
    const store::Error e = store::inTransaction(db, [&] {
        if (inTransaction)
            if (store::Error first = store::run(db, update, {u"先"_s, u"002"_s}); first.failed())
                return first;
        return store::run(db, update, {text, u"001"_s});
    });
    QCOMPARE(e, store::nulRefused());
    QCOMPARE(count(db, u"SELECT count(sname) FROM %1"_s.arg(table)), 0);
    // The same text without it is stored as it is.
    QCOMPARE(store::run(db, update, {u"前後"_s, u"001"_s}), QString());
    QCOMPARE(testing::firstValue(db,
                                 u"SELECT sname FROM %1 WHERE code = ?"_s.arg(table) +
                                     (onMain ? u" AND kcode = '訪問先'"_s : QString()),
                                 {u"001"_s})
                 .toString(),
             u"前後"_s);
    testing::closeFreshFiles(u"nul"_s, main, work);
}

void TestStatements::placeholdersNumberedForTheServer_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("numbered");
    QTest::addColumn<int>("count");
    QTest::newRow("plain") << u"SELECT a FROM t WHERE b = ? AND c IN (?, ?)"_s
                           << u"SELECT a FROM t WHERE b = $1 AND c IN ($2, $3)"_s << 3;
    QTest::newRow("inside texts and names") << u"SELECT '?', 'it''s ?', \"?\" FROM t WHERE x = ?"_s
                                            << u"SELECT '?', 'it''s ?', \"?\" FROM t WHERE x = $1"_s << 1;
    QTest::newRow("comments") << u"SELECT ? -- why?\n, /* ? */ ?"_s << u"SELECT $1 -- why?\n, /* ? */ $2"_s
                              << 2;
    QTest::newRow("a dollar-quoted body")
        << u"CREATE FUNCTION f() RETURNS int AS $b$ SELECT ? $b$; SELECT ?"_s
        << u"CREATE FUNCTION f() RETURNS int AS $b$ SELECT ? $b$; SELECT $1"_s << 1;
    QTest::newRow("Japanese around it")
        << u"UPDATE 表 SET 名 = ? WHERE 番号 = ?"_s << u"UPDATE 表 SET 名 = $1 WHERE 番号 = $2"_s << 2;
}

void TestStatements::placeholdersNumberedForTheServer()
{
    QFETCH(QString, sql);
    QFETCH(QString, numbered);
    QFETCH(int, count);
    int n = -1;
    QCOMPARE(QString::fromUtf8(store::numberPlaceholders(sql, n)), numbered);
    QCOMPARE(n, count);
}

void TestStatements::lockToldByTheEnginesCode_data()
{
    using K = store::ErrorKind;
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<store::ErrorKind>("kind");
    QTest::newRow("SQLite busy") << u"5"_s << u"database is locked"_s << K::Locked;
    QTest::newRow("SQLite table locked") << u"6"_s << u"database table is locked"_s << K::Locked;
    QTest::newRow("SQLite busy, extended (snapshot)") << u"517"_s << u"database is locked"_s << K::Locked;
    QTest::newRow("SQLite constraint") << u"19"_s << u"UNIQUE constraint failed"_s << K::Other;
    // A trigger's own words are no lock, whatever they say.
    QTest::newRow("SQLite abort naming a lock") << u"4"_s << u"database is locked"_s << K::Other;
    QTest::newRow("SQLite full, worded as damage")
        << u"13"_s << u"database disk image is malformed"_s << K::Full;
    QTest::newRow("SQLite corrupt, extended (index)") << u"779"_s << u"disk is full"_s << K::Damaged;
    QTest::newRow("SQLite read-only") << u"8"_s << u"attempt to write a readonly database"_s << K::Access;
    QTest::newRow("SQLite not a database") << u"26"_s << u"file is not a database"_s << K::NotOurs;
    QTest::newRow("server lock not available") << u"55P03"_s << u"could not obtain lock"_s << K::Busy;
    QTest::newRow("server deadlock") << u"40P01"_s << u"deadlock detected"_s << K::Busy;
    QTest::newRow("server statement timeout") << u"57014"_s << u"canceling statement"_s << K::Busy;
    QTest::newRow("server unique violation") << u"23505"_s << u"duplicate key"_s << K::Other;
    QTest::newRow("server rights") << u"42501"_s << u"permission denied"_s << K::Refused;
    QTest::newRow("server shut down") << u"57P01"_s << u"terminating connection"_s << K::ServerGone;
    QTest::newRow("server connection failure") << u"08006"_s << u"connection failure"_s << K::ServerGone;
}

// Everything above the store carries the error value as it is; its kind is known from the
// engine's code, never guessed from the wording.
void TestStatements::lockToldByTheEnginesCode()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    QFETCH(store::ErrorKind, kind);
    const store::Error e =
        store::Error::of(QSqlError(u"Unable to execute statement"_s, text, QSqlError::StatementError, code));
    QVERIFY(e.failed());
    QVERIFY(e.reason().contains(text));
    QCOMPARE(e.kind(), kind);
    QCOMPARE(e.isLocked(), kind == store::ErrorKind::Locked || kind == store::ErrorKind::Busy);
    QCOMPARE(e.isServerBusy(), kind == store::ErrorKind::Busy);
}

// The keys go to the server several to a statement; every one of them is held until the end.
void TestStatements::serialiseHoldsEveryKey_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("repeated");
    QTest::newRow("one") << 1 << 0;
    QTest::newRow("a report and two categories") << 3 << 0;
    QTest::newRow("one past a statement's") << 33 << 0;
    QTest::newRow("a hundred, some twice") << 100 << 20;
}

void TestStatements::serialiseHoldsEveryKey()
{
    QFETCH(int, keys);
    QFETCH(int, repeated);
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"ser"_s, main, work), QString());
    if (!store::isServer(main)) {
        testing::closeFreshFiles(u"ser"_s, main, work);
        QSKIP("a local file serialises its writers by itself");
    }
    QStringList names;
    for (int i = 0; i < keys; ++i)
        names << store::reportKey(u"2026-04-01"_s, u"社員%1"_s.arg(i));
    names += names.mid(0, repeated);
    int held = -1;
    const store::Error e = store::inTransaction(main, [&] {
        if (store::Error s = store::serialise(main, names); s.failed())
            return s;
        held = count(
            main, u"SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND pid = pg_backend_pid()"_s);
        return store::Error();
    });
    QCOMPARE(e, QString());
    QCOMPARE(held, keys);
    QCOMPARE(count(main,
                   u"SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND pid = pg_backend_pid()"_s),
             0);
    testing::closeFreshFiles(u"ser"_s, main, work);
}

// A text or a whole number bound by its own overload, or copied from another statement's row,
// is stored exactly as the same value bound as a QVariant: Null, '' and the value's kind kept.
void TestStatements::typedBindsAsTheVariantBind_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("Null text") << QVariant(QString());
    QTest::newRow("empty text") << QVariant(u""_s);
    QTest::newRow("text of every width") << QVariant(u"a 訪問先 😀 é"_s);
    QTest::newRow("lone surrogate: stored as U+FFFD") << QVariant(u"前"_s + QChar(0xD800) + u"後"_s);
    QTest::newRow("long text") << QVariant(QString(5000, u'長') + u"x"_s);
    QTest::newRow("zero") << QVariant(0);
    QTest::newRow("whole number") << QVariant(42);
    QTest::newRow("beyond 32 bits, negative") << QVariant(-(qlonglong(1) << 40));
}

void TestStatements::typedBindsAsTheVariantBind()
{
    QFETCH(QVariant, value);
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"typed"_s, main, work), QString());
    QVERIFY(store::run(work, u"CREATE TABLE kinds (how TEXT, v)"_s).ok());
    const bool isText = value.metaType().id() == QMetaType::QString;
    const bool null = store::isNullValue(value);
    {
        store::Statement ins(work, u"INSERT INTO kinds (how, v) VALUES (?, ?)"_s);
        QVERIFY2(ins.bind(u"variant"_s).bind(value).exec(), qPrintable(ins.error().reason()));
        if (isText)
            ins.bind(u"typed"_s).bind(value.toString());
        else
            ins.bind(u"typed"_s).bind(value.toLongLong());
        QVERIFY2(ins.exec(), qPrintable(ins.error().reason()));
        // Copied from a row of the same file, and from the main database (a server in the
        // suite's second run): the text the code master holds.
        store::Statement same(work, u"SELECT v FROM kinds WHERE how = 'variant'"_s);
        QVERIFY(same.exec() && same.next());
        QVERIFY2(ins.bind(u"copied"_s).bindColumn(same, 0).exec(), qPrintable(ins.error().reason()));
        same.finish();
        if (isText) {
            QCOMPARE(store::run(
                         main, u"UPDATE コードマスタ SET sname = ? WHERE kcode = '訪問先' AND code = '001'"_s,
                         {value}),
                     QString());
            store::Statement there(
                main, u"SELECT sname FROM コードマスタ WHERE kcode = '訪問先' AND code = '001'"_s);
            QVERIFY(there.exec() && there.next());
            QVERIFY2(ins.bind(u"from main"_s).bindColumn(there, 0).exec(), qPrintable(ins.error().reason()));
            there.finish();
        }
    }
    {
        // Gone before the files close: a statement still prepared keeps its file open.
        store::Statement read(work, u"SELECT how, v, typeof(v) FROM kinds ORDER BY rowid"_s);
        QVERIFY(read.exec() && read.next());
        const QVariant first = read.value(1);
        const QString kind = read.value(2).toString();
        QCOMPARE(kind, null ? u"null"_s : isText ? u"text"_s : u"integer"_s);
        if (isText && !null)
            QCOMPARE(first.toString(), store::cleanText(value.toString()));
        else if (!isText)
            QCOMPARE(first.toLongLong(), value.toLongLong());
        int rows = 1;
        while (read.next()) {
            ++rows;
            const QString how = read.text(0);
            QCOMPARE(read.value(1), first);
            QCOMPARE(read.value(1).metaType(), first.metaType());
            QCOMPARE(read.value(2).toString() + how, kind + how);
            QCOMPARE(read.text(1).isNull(), null);
            QCOMPARE(read.integer(1), first.toLongLong());
        }
        QVERIFY(read.ok());
        QCOMPARE(rows, isText ? 4 : 3);
        read.finish();
    }
    testing::closeFreshFiles(u"typed"_s, main, work);
}

// FastDelete sets a local file's secure_delete to FAST for one deletion and puts the
// connection's own value back after it; a server has no such setting and is left alone.
void TestStatements::fastDeleteForOneDeletion()
{
    QTemporaryDir tmp;
    QSqlDatabase main, work;
    QCOMPARE(testing::openFreshFiles(tmp.path(), u"fast"_s, main, work), QString());
    const auto secureDelete = [](const QSqlDatabase& db) {
        return store::engineOf(db)->setting("secure_delete");
    };
    for (const qint64 before : {qint64(1), qint64(0)}) {
        QVERIFY(store::engineOf(work)->setSetting("secure_delete", QByteArray::number(before)));
        {
            const store::FastDelete fast(work);
            QCOMPARE(secureDelete(work), std::optional<qint64>(store::FastDelete::kFast));
        }
        QCOMPARE(secureDelete(work), std::optional<qint64>(before));
    }
    if (store::isServer(main)) {
        const store::FastDelete none(main);
        QCOMPARE(secureDelete(main), std::optional<qint64>());
    }
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
