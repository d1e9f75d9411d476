#include "ControlsFixture.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "store/Connection.h"
#include "store/Db.h"
#include "store/Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {
const char* kConn = "ctlWork";
}

void ControlsFixture::openWorkFile()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("TesvanWork.mdb"));
    QCOMPARE(store::createInitialFile(m_path, store::DbKind::Work), QString());
    QCOMPARE(store::openDatabase(kConn, m_path, store::DbKind::Work), QString());
}

void ControlsFixture::closeWorkFile()
{
    store::closeDatabase(kConn);
}

void ControlsFixture::resetWorkFile()
{
    QVERIFY(run("DROP TRIGGER IF EXISTS fail_update"));
    QVERIFY(resetLines(5));
    QVERIFY(run("DELETE FROM w訪問先"));
    QVERIFY(run("DELETE FROM wコードマスタ"));
}

QSqlDatabase ControlsFixture::db() const
{
    return QSqlDatabase::database(kConn, false);
}

bool ControlsFixture::run(const QString& sql)
{
    QSqlQuery q(db());
    if (!q.exec(sql)) {
        qWarning() << sql << q.lastError().text();
        return false;
    }
    return true;
}

QVariant ControlsFixture::cell(const QString& field, int lineNo)
{
    QSqlQuery q(db());
    if (!q.prepare(QStringLiteral("SELECT \"%1\" FROM w営業日報 WHERE 行番号 = ?").arg(field)))
        return QStringLiteral("<prepare failed>");
    q.addBindValue(lineNo);
    if (!q.exec() || !q.next())
        return QStringLiteral("<no row>");
    return q.value(0);
}

bool ControlsFixture::resetLines(int n)
{
    if (!run("DELETE FROM w営業日報"))
        return false;
    for (int i = 1; i <= n; ++i)
        if (!run(QStringLiteral("INSERT INTO w営業日報 (行番号) VALUES (%1)").arg(i)))
            return false;
    return true;
}

void ControlsFixture::makeGrid(GridRig& rig)
{
    rig.window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(rig.window.get());
    rig.src = new DataSource(rig.window.get());
    rig.src->setDatabase(kConn);
    rig.src->setRecordSource(QStringLiteral("w営業日報"));
    rig.grid = new DataGrid(rig.window.get());
    rig.after = new QLineEdit(rig.window.get());
    layout->addWidget(rig.grid);
    layout->addWidget(rig.after);
    DataGrid* g = rig.grid;
    g->setDataSource(rig.src);
    g->setFields({"行番号", "チェック", "表示日付", "日付", "時間", "訪問先", "担当", "内容", "備考"});
    g->setColumnVisible(3, false);
    g->setColumnTakesCursor(0, false);
    g->setColumnLocked(0, true);
    g->setColumnCheckBox(1, true);
    g->setColumnFormat(2, QStringLiteral("mm/dd"));
    g->setColumnFormat(4, QStringLiteral("00:00"));
    for (int c = 0; c < 9; ++c)
        g->setColumnWidthTwips(c, 700);
    QCOMPARE(rig.src->refresh(), QString());
    rig.window->resize(900, 400);
    rig.window->show();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    g->setFocus();
}

void ControlsFixture::type(DataGrid* g, const QString& text)
{
    // The first character reaches the grid and opens the editor; the rest go to the editor.
    for (const QChar ch : text) {
        QWidget* target = g->activeEditor() ? g->activeEditor() : static_cast<QWidget*>(g);
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}
