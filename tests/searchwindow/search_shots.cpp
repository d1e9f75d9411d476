// Pictures of the search window on a team's half year of reports, for looking at it:
//   search_shots OUTPUT_FOLDER [DAYS]   (under xvfb-run for the fonts a desktop has)
// It also prints how long a typed key takes to show the first rows, and then the count.
#include "SearchData.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"
#include "codes/PickLists.h"
#include "search/CountsPage.h"
#include "search/ResultsModel.h"
#include "search/SearchWindow.h"
#include "store/Schema.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {
void shoot(QWidget* w, const QString& path)
{
    QTest::qWait(200);
    w->grab().save(path);
}

// From the key press to the first rows shown and to the count, for each word typed afresh.
void measure(search::SearchWindow* s)
{
    for (const QString& word : {QStringLiteral("株"), QStringLiteral("見積"), QStringLiteral("ＰＣ２０"),
                                QStringLiteral("直帰 商談")}) {
        s->txtキーワード->clear();
        QTest::qWait(20);
        while (!s->lbl件数->text().contains(QStringLiteral("件の日報")))
            QCoreApplication::processEvents();
        qint64 rows = -1, counted = -1;
        QElapsedTimer t;
        const auto c1 = QObject::connect(s->results(), &QAbstractItemModel::modelReset, s, [&] {
            if (rows < 0)
                rows = t.nsecsElapsed();
        });
        t.start();
        for (const QChar ch : word)
            QTest::sendKeyEvent(QTest::Click, s->txtキーワード, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        while ((rows < 0 || !s->lbl件数->text().contains(QStringLiteral("件の日報"))) && t.elapsed() < 10000)
            QCoreApplication::processEvents();
        counted = t.nsecsElapsed();
        QObject::disconnect(c1);
        std::printf("%-10s first rows %7.1f ms, count (after a 150 ms pause) %7.1f ms  %s\n",
                    qPrintable(word), rows / 1e6, counted / 1e6, qPrintable(s->lbl件数->text()));
    }
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir tmp;
    testing::makeDataFolder(tmp.path());
    FrmTesvan main;
    if (!main.loadFrom(app::dataPathsIn(tmp.path() + QStringLiteral("/data/"))))
        return 1;
    const int days = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 180;
    const QList<testing::StoredLine> lines = testing::yearSet(days);
    if (!testing::storeLines(main.MainDb(), lines).isEmpty())
        return 2;
    for (const char* n : {"山田太郎", "佐藤花子", "鈴木一郎", "高橋美咲"})
        codes::addCodeMaster(main.MainDb(), store::k氏名, QString::fromUtf8(n));
    main.SetComb();
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return 3;
    main.showSearch();
    search::SearchWindow* s = main.searchWindow();
    if (!QTest::qWaitForWindowExposed(s))
        return 3;
    s->txtキーワード->setFocus();
    QTest::qWait(50);
    if (argc > 2)
        measure(s);
    s->txtキーワード->clear();
    for (const QChar ch : QStringLiteral("見積"))
        QTest::sendKeyEvent(QTest::Click, s->txtキーワード, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::qWait(50);
    s->Grid検索->setCurrentIndex(s->Grid検索->model()->index(2, 0));
    shoot(s, out + QStringLiteral("/search-results.png"));
    // By place, and with 内容 too narrow for where the word lies.
    s->sortByColumn(search::ResultsModel::ColPlace, Qt::AscendingOrder);
    const int wide = s->Grid検索->columnWidth(search::ResultsModel::ColText);
    s->Grid検索->setColumnWidth(search::ResultsModel::ColText, 90);
    shoot(s, out + QStringLiteral("/search-by-place-narrow.png"));
    s->Grid検索->setColumnWidth(search::ResultsModel::ColText, wide);
    s->sortByColumn(search::ResultsModel::ColDate, Qt::DescendingOrder);

    s->Tab検索->setCurrentWidget(s->Tab集計);
    shoot(s, out + QStringLiteral("/search-places.png"));
    s->txtキーワード->clear();
    s->dtp期間From->setDate(QDate(2026, 4, 1));
    s->dtp期間To->setDate(QDate(2026, 9, 30));
    QTest::qWait(50);
    s->Tab集計->cmb集計->setCurrentIndex(1);
    shoot(s, out + QStringLiteral("/search-names.png"));
    s->Tab集計->cmb集計単位->setCurrentIndex(1);
    shoot(s, out + QStringLiteral("/search-weeks.png"));
    main.SSTab1->setCurrentIndex(1);
    shoot(&main, out + QStringLiteral("/list-tab.png"));
    main.SSTab1->setCurrentIndex(2);
    shoot(&main, out + QStringLiteral("/code-tab.png"));
    return 0;
}
