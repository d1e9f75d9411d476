// The search index made again while the window is shown: nothing before it shows, its progress
// beside the tabs, a keyword search told meanwhile, and keyword searches again once it is done.
#include "Boxes.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"
#include "search/SearchWindow.h"
#include "store/TextIndex.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

class TstIndexRebuild : public QObject {
    Q_OBJECT
  private slots:
    void rebuiltWithTheWindowShown()
    {
        QTemporaryDir tmp;
        testing::makeDataFolder(tmp.path());
        const QString data = tmp.path() + u"/data/"_s;
        // 100,000 lines written by another program, and a trigger of the index dropped by it.
        QProcess cli;
        cli.start(u"sqlite3"_s, {data + u"Tesvan.mdb"_s});
        QVERIFY(cli.waitForStarted());
        cli.write(
            "BEGIN;\n"
            "WITH RECURSIVE r(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM r WHERE i + 1 < 5000) "
            "INSERT INTO 営業日報ヘッダ SELECT date('2020-01-01', '+' || (i / 10) || ' days'), "
            "'社員' || (i % 10), '営業部', '' FROM r;\n"
            "WITH RECURSIVE l(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM l WHERE k < 20) "
            "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 時間, 内容) SELECT 作成日, 氏名, k, 作成日, "
            "'0900', '訪問と商談 ' || k || CASE WHEN k = 7 THEN ' 鮭' ELSE '' END FROM 営業日報ヘッダ, l;\n"
            "COMMIT;\nDROP TRIGGER 営業日報検索_待ち追加;\n");
        cli.closeWriteChannel();
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.readAllStandardError(), QByteArray());

        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(data)));
        QVERIFY(store::textIndexRebuilding(w.MainDb()));
        QCOMPARE(w.findChild<QProgressBar*>(u"prg索引作成"_s), nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QProgressBar* bar = nullptr;
        QTRY_VERIFY((bar = w.findChild<QProgressBar*>(u"prg索引作成"_s)) && bar->isVisible());
        QCOMPARE(w.SSTab1->cornerWidget(Qt::TopRightCorner), bar->parentWidget());
        QCOMPARE(w.findChild<QLabel*>(u"lbl索引作成"_s)->text(), u"検索用の索引を作り直しています"_s);

        // A keyword search meanwhile is told; one by name alone goes on.
        w.showSearch();
        search::SearchWindow* s = w.searchWindow();
        QVERIFY(s);
        auto* count = s->findChild<QLabel*>(u"lbl件数"_s);
        s->txtキーワード->setText(u"鮭"_s);
        QTRY_VERIFY(count->text().startsWith(u"検索用の索引を作り直しています（"_s));
        QVERIFY(count->text().endsWith(u"%）。終わるまで、キーワードでは検索できません。"_s));

        QTRY_VERIFY_WITH_TIMEOUT(!bar->isVisible(), 180000);
        QVERIFY(!store::textIndexRebuilding(w.MainDb()));
        s->txtキーワード->setText(u"鮭 商談"_s);
        QTRY_COMPARE(count->text(), u"該当 5,000 行（5,000 件の日報）"_s);
        w.close();
    }
};

QTEST_MAIN(TstIndexRebuild)
#include "tst_indexrebuild.moc"
