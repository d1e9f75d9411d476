#include "tst_controls.h"

#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "store/Connection.h"
#include "store/Db.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>

void TstControls::refreshOrder_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QStringList>("inserts");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("line table by 行番号, not by writing order")
        << "w営業日報"
        << "行番号"
        << QStringList{"INSERT INTO w営業日報 (行番号, 担当) VALUES (3, 'c')",
                       "INSERT INTO w営業日報 (行番号, 担当) VALUES (1, 'a')",
                       "INSERT INTO w営業日報 (行番号, 担当) VALUES (2, 'b')"}
        << "担当" << QStringList{"a", "b", "c"};
    QTest::newRow("code table by code")
        << "wコードマスタ"
        << "code"
        << QStringList{"INSERT INTO wコードマスタ (code, sname) VALUES ('010', 'x')",
                       "INSERT INTO wコードマスタ (code, sname) VALUES ('002', 'y')",
                       "INSERT INTO wコードマスタ (code, sname) VALUES ('001', 'z')"}
        << "sname" << QStringList{"z", "y", "x"};
    QTest::newRow("list table in writing order")
        << "w訪問先"
        << ""
        << QStringList{"INSERT INTO w訪問先 (sname) VALUES ('山田商事')",
                       "INSERT INTO w訪問先 (sname) VALUES ('青木工業')",
                       "INSERT INTO w訪問先 (sname) VALUES ('佐藤')"}
        << "sname" << QStringList{"山田商事", "青木工業", "佐藤"};
}

void TstControls::refreshOrder()
{
    QFETCH(QString, table);
    QFETCH(QString, order);
    QFETCH(QStringList, inserts);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    QVERIFY(run(QStringLiteral("DELETE FROM ") + table));
    for (const QString& sql : inserts)
        QVERIFY(run(sql));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource(table, order);
    QSignalSpy about(&src, &DataSource::aboutToRefresh);
    QSignalSpy done(&src, &DataSource::refreshed);
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(about.count(), 1);
    QCOMPARE(done.count(), 1);
    QStringList got;
    for (int r = 0; r < src.rowCount(); ++r)
        got << src.value(r, field).toString();
    QCOMPARE(got, expected);
    QVERIFY(src.fieldNames().contains(field));
}

void TstControls::setValueWritesBoundValues()
{
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("w営業日報");
    QCOMPARE(src.refresh(), QString());
    QSignalSpy changed(&src, &DataSource::valueChanged);
    // A quote in the value must neither break the statement nor be altered.
    QCOMPARE(src.setValue(1, "担当", QStringLiteral("O'Brien 様")), QString());
    QCOMPARE(cell("担当", 2).toString(), QString("O'Brien 様"));
    QCOMPARE(src.value(1, "担当").toString(), QString("O'Brien 様"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    // Dates are stored as ISO text, booleans as 0/1, Null as Null.
    QCOMPARE(src.setValue(0, "表示日付", QDate(2026, 4, 1)), QString());
    QCOMPARE(cell("表示日付", 1).toString(), QString("2026-04-01"));
    QCOMPARE(src.setValue(0, "チェック", true), QString());
    QCOMPARE(cell("チェック", 1).toInt(), 1);
    QCOMPARE(src.setValue(1, "担当", QVariant()), QString());
    QVERIFY(cell("担当", 2).isNull());
    QVERIFY(src.value(1, "担当").isNull());
    // Other rows are untouched.
    QVERIFY(cell("担当", 1).isNull());
    QVERIFY(cell("表示日付", 2).isNull());
}

void TstControls::failedWriteKeepsCacheAndTable()
{
    QVERIFY(run("UPDATE w営業日報 SET 担当 = 'old' WHERE 行番号 = 1"));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("w営業日報");
    QCOMPARE(src.refresh(), QString());
    QVERIFY(run(
        "CREATE TRIGGER fail_update BEFORE UPDATE ON w営業日報 BEGIN SELECT RAISE(ABORT, 'no writes'); END"));
    QSignalSpy changed(&src, &DataSource::valueChanged);
    const store::Error err = src.setValue(0, "担当", "new");
    QVERIFY(err.reason().contains("no writes"));
    QCOMPARE(src.value(0, "担当").toString(), QString("old"));
    QCOMPARE(cell("担当", 1).toString(), QString("old"));
    QCOMPARE(changed.count(), 0);
    QVERIFY(run("DROP TRIGGER fail_update"));

    // A row deleted behind the source's back is reported, not silently "written".
    QVERIFY(run("DELETE FROM w営業日報 WHERE 行番号 = 2"));
    QVERIFY(src.setValue(1, "担当", "x").failed());
    QVERIFY(src.setValue(0, "no such field", "x").failed());
    QVERIFY(src.setValue(99, "担当", "x").failed());
}

void TstControls::failedRefreshKeepsRows()
{
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("w営業日報");
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(src.rowCount(), 5);
    src.setRecordSource("no_such_table");
    QSignalSpy about(&src, &DataSource::aboutToRefresh);
    QVERIFY(src.refresh().failed());
    QCOMPARE(about.count(), 0);
    QCOMPARE(src.rowCount(), 5);
    DataSource unbound;
    unbound.setDatabase("no connection");
    unbound.setRecordSource("w営業日報");
    QVERIFY(unbound.refresh().failed());
}

void TstControls::readDoesNotBlockOtherConnection()
{
    for (int i = 6; i <= 400; ++i)
        QVERIFY(run(QStringLiteral("INSERT INTO w営業日報 (行番号) VALUES (%1)").arg(i)));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("w営業日報");
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(src.rowCount(), 400);
    // A second connection to the same file commits while the source keeps its rows.
    {
        QCOMPARE(store::openDatabase("ctlOther", m_path, store::DbKind::Work), QString());
        QSqlDatabase other = QSqlDatabase::database("ctlOther");
        store::Transaction tx(other);
        QVERIFY(tx.ok());
        QCOMPARE(store::run(other, "UPDATE w営業日報 SET 担当 = 'x' WHERE 行番号 = 1"), QString());
        QVERIFY2(tx.commit(), qPrintable(tx.error().reason()));
    }
    store::closeDatabase("ctlOther");
    QCOMPARE(src.setValue(399, "担当", "last"), QString());
    QCOMPARE(cell("担当", 400).toString(), QString("last"));
}

void TstControls::modelFollowsSourceFields()
{
    // The model keeps each column's place in the source between paints: the places must follow
    // a table whose fields moved, another source and other fields.
    QVERIFY(run("DROP TABLE IF EXISTS t_fields"));
    QVERIFY(run("CREATE TABLE t_fields (a TEXT, b TEXT)"));
    QVERIFY(run("INSERT INTO t_fields VALUES ('a1', 'b1')"));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("t_fields");
    QCOMPARE(src.refresh(), QString());
    DataGridModel model;
    model.setDataSource(&src);
    model.setFields({"b", "", "A", "missing"});
    const auto shown = [&model] {
        QStringList s;
        for (int c = 0; c < model.columnCount(); ++c)
            s << model.index(0, c).data().toString() +
                     (model.flags(model.index(0, c)) & Qt::ItemIsEditable ? "*" : "");
        return s;
    };
    QCOMPARE(shown(), (QStringList{"b1*", "", "a1*", ""}));

    QVERIFY(run("DROP TABLE t_fields"));
    QVERIFY(run("CREATE TABLE t_fields (missing TEXT, b TEXT, a TEXT)"));
    QVERIFY(run("INSERT INTO t_fields VALUES ('m2', 'b2', 'a2')"));
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(shown(), (QStringList{"b2*", "", "a2*", "m2*"}));

    model.setFields({"a", "b"});
    QCOMPARE(shown(), (QStringList{"a2*", "b2*"}));

    QVERIFY(run("CREATE TABLE IF NOT EXISTS t_fields2 (b TEXT)"));
    QVERIFY(run("DELETE FROM t_fields2"));
    QVERIFY(run("INSERT INTO t_fields2 VALUES ('other')"));
    DataSource other;
    other.setDatabase("ctlWork");
    other.setRecordSource("t_fields2");
    QCOMPARE(other.refresh(), QString());
    model.setDataSource(&other);
    QCOMPARE(shown(), (QStringList{"", "other*"}));
    QVERIFY(run("DROP TABLE t_fields"));
    QVERIFY(run("DROP TABLE t_fields2"));
}

// A source read again after its table changed holds what a source reading it for the first time
// holds: every value with its kind, every rowid, whether the rows kept their number or not.
void TstControls::rereadEqualsFreshRead_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<bool>("sameShape");
    QTest::newRow("values blanked, as クリア after 読込")
        << QStringList{"UPDATE t_reread SET t = NULL, n = NULL, c = 0"} << true;
    QTest::newRow("values of every kind written")
        << QStringList{"UPDATE t_reread SET t = 'x' || rowid, n = rowid * 1099511627776, r = 0.5, c = 1"}
        << true;
    QTest::newRow("empty texts where Null was")
        << QStringList{"UPDATE t_reread SET t = '' WHERE t IS NULL"} << true;
    QTest::newRow("rows added") << QStringList{"INSERT INTO t_reread (t, c) SELECT t || '+', 0 FROM t_reread"}
                                << false;
    QTest::newRow("rows removed") << QStringList{"DELETE FROM t_reread WHERE rowid % 3 = 0"} << false;
    QTest::newRow("every row removed") << QStringList{"DELETE FROM t_reread"} << false;
    QTest::newRow("a column added in front")
        << QStringList{"ALTER TABLE t_reread RENAME TO t_old",
                       "CREATE TABLE t_reread (z TEXT, t TEXT, n INTEGER, r REAL, c INTEGER)",
                       "INSERT INTO t_reread SELECT 'z' || rowid, t, n, r, c FROM t_old", "DROP TABLE t_old"}
        << false;
}

void TstControls::rereadEqualsFreshRead()
{
    QFETCH(QStringList, changes);
    QFETCH(bool, sameShape);
    QVERIFY(run("DROP TABLE IF EXISTS t_reread"));
    QVERIFY(run("CREATE TABLE t_reread (t TEXT, n INTEGER, r REAL, c INTEGER)"));
    QVERIFY(run("WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 40) "
                "INSERT INTO t_reread SELECT CASE WHEN i % 4 THEN '値' || i END, i, i / 4.0, i % 2 FROM k"));
    DataSource src;
    src.setDatabase("ctlWork");
    src.setRecordSource("t_reread");
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(src.rowCount(), 40);
    for (const QString& sql : changes)
        QVERIFY2(run(sql), qPrintable(sql));
    bool keptShape = false;
    connect(&src, &DataSource::refreshed, this, [&] { keptShape = src.keepsShape(); });
    QCOMPARE(src.refresh(), QString());
    QCOMPARE(keptShape, sameShape);
    DataSource fresh;
    fresh.setDatabase("ctlWork");
    fresh.setRecordSource("t_reread");
    QCOMPARE(fresh.refresh(), QString());
    QCOMPARE(src.fieldNames(), fresh.fieldNames());
    QCOMPARE(src.rowCount(), fresh.rowCount());
    for (int r = 0; r <= fresh.rowCount(); ++r) {
        QCOMPARE(src.rowId(r), fresh.rowId(r));
        for (int f = 0; f <= fresh.fieldNames().size(); ++f) {
            const QVariant a = src.valueAt(r, f), b = fresh.valueAt(r, f);
            QCOMPARE(a, b);
            QCOMPARE(a.metaType(), b.metaType());
            QCOMPARE(a.isNull(), b.isNull());
        }
    }
    QVERIFY(run("DROP TABLE t_reread"));
}
