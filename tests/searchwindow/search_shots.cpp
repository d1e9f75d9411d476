// Pictures of the search window on a team's half year of reports, for looking at it:
//   search_shots OUTPUT_FOLDER   (under xvfb-run for the fonts a desktop has)
#include "SearchData.h"
#include "TestFiles.h"
#include "app/FrmTesvan.h"
#include "codes/PickLists.h"
#include "search/CountsPage.h"
#include "search/SearchWindow.h"
#include "store/Schema.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"

#include <QApplication>
#include <QComboBox>
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
    const QList<testing::StoredLine> lines = testing::yearSet(180);
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
    for (const QChar ch : QStringLiteral("見積"))
        QTest::sendKeyEvent(QTest::Click, s->txtキーワード, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::qWait(50);
    s->Grid検索->setCurrentIndex(s->Grid検索->model()->index(2, 0));
    shoot(s, out + QStringLiteral("/search-results.png"));

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
    return 0;
}
