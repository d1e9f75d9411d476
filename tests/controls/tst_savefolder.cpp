// Where the program's files are saved: the folder offered (one that exists, the last used
// first) and what is told when a file cannot be written there, for CSV, PDF and backups alike.
#include "WindowFixture.h"
#include "app/FrmTesvan.h"
#include "print/PrintPreview.h"
#include "ui/SaveChooser.h"
#include "search/SearchWindow.h"
#include "store/Db.h"
#include "ui/SaveFolder.h"

#include <QDir>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

using namespace testing;
using namespace Qt::StringLiterals;

class TstSaveFolder : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void suggestion();
    void missingFolderNamed_data();
    void missingFolderNamed();
    void problemOfAPath();

  private:
    QTemporaryDir m_home;
};

void TstSaveFolder::initTestCase()
{
    // A home of our own, without Documents and without a user-dirs file naming one.
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(u".config"_s)));
}

// Documents when it is there, else home; a folder saved into is offered next, while it exists.
void TstSaveFolder::suggestion()
{
    QCOMPARE(app::suggestedSaveFolder(), QDir::homePath());
    QVERIFY(QDir(m_home.path()).mkpath(u"Documents"_s));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(documents, m_home.filePath(u"Documents"_s));
    QCOMPARE(app::suggestedSaveFolder(), documents);
    QVERIFY(QDir(m_home.path()).mkpath(u"out"_s));
    app::rememberSaveFolder(m_home.filePath(u"out/日報.csv"_s));
    QCOMPARE(app::suggestedSaveFolder(), m_home.filePath(u"out"_s));
    QVERIFY(QDir(m_home.filePath(u"out"_s)).removeRecursively());
    QCOMPARE(app::suggestedSaveFolder(), documents);
    QVERIFY(QDir(documents).removeRecursively());
    QCOMPARE(app::suggestedSaveFolder(), QDir::homePath());
}

void TstSaveFolder::missingFolderNamed_data()
{
    QTest::addColumn<QString>("output");
    QTest::newRow("CSV出力") << u"csv"_s;
    QTest::newRow("PDF of the preview") << u"preview"_s;
    QTest::newRow("バックアップ") << u"backup"_s;
}

// A file chosen in a folder that is not there: the notice names the folder, not the database;
// the save dialog was offered a folder that exists.
void TstSaveFolder::missingFolderNamed()
{
    QFETCH(QString, output);
    WindowFixture fx;
    QVERIFY(fx.start());
    const QString missing = m_home.filePath(u"なし"_s);
    QStringList offered;
    app::setSaveChooser([&](const app::SaveRequest& r) {
        offered << QFileInfo(r.path).absolutePath();
        return app::SaveChoice{missing + u"/out.file"_s, 0};
    });
    if (output == u"csv"_s) {
        QVERIFY(store::run(fx.window->MainDb(), u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 日付, 内容) "
                                                "VALUES ('2026-04-01', '佐藤', 1, '2026-04-01', '見積')"_s)
                    .ok());
        fx.window->showSearch();
        fx.window->searchWindow()->refresh();
        auto* csv = fx.window->searchWindow()->findChild<QPushButton*>(u"cmdCSV出力"_s);
        QTRY_VERIFY(csv->isEnabled());
        csv->click();
    } else if (output == u"backup"_s) {
        fx.window->findChild<QPushButton*>(u"cmdバックアップ"_s)->click();
    } else {
        PrintPreview preview({}, {}, fx.window.get());
        QVERIFY(!preview.savePdf(missing + u"/out.pdf"_s));
    }
    app::setSaveChooser({});
    for (const QString& folder : offered)
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    // The CSV is written in the background: its notice comes once the writing has failed.
    QTRY_COMPARE(fx.boxes->shown.size(), 1);
    const MsgSpec& box = fx.boxes->shown[0];
    QCOMPARE(box.title, u"書き出し注意"_s);
    QCOMPARE(
        box.text,
        u"保存先のフォルダ %1 がありません。保存できませんでした。別のフォルダを指定してください。"_s.arg(
            QDir::toNativeSeparators(missing)));
    QVERIFY(!box.text.contains(u"データベース"_s));
    fx.stop();
}

void TstSaveFolder::problemOfAPath()
{
    QCOMPARE(app::saveProblemAt(m_home.filePath(u"new.csv"_s)), app::SaveProblem::None);
    QCOMPARE(app::saveProblemAt(m_home.filePath(u"no/such/new.csv"_s)), app::SaveProblem::NoFolder);
    // A file where the folder should be is no folder either.
    QFile file(m_home.filePath(u"plain"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(app::saveProblemAt(m_home.filePath(u"plain/new.csv"_s)), app::SaveProblem::NoFolder);
    // A folder without the right to write (root has every right: not tried as root).
    if (::geteuid() != 0) {
        QVERIFY(QDir(m_home.path()).mkpath(u"locked"_s));
        QVERIFY(QFile::setPermissions(m_home.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(app::saveProblemAt(m_home.filePath(u"locked/new.csv"_s)), app::SaveProblem::NoRights);
    }
}

QTEST_MAIN(TstSaveFolder)
#include "tst_savefolder.moc"
