// A writer that a crash test kills at random moments: it repeats one operation on the data
// folder it is given, as fast as it can, and prints the number of each finished operation.
//
//   fault_writer report|codes|linedelete|listdelete DATA_FOLDER [COUNT]
//   fault_writer held DATA_FOLDER
//
// held registers one new report of 100 lines for each line read from its input, and waits in
// between with both files open.
//
// Every operation writes a version number into what it stores, so that after a kill the test
// can tell a whole operation (one version throughout) from a partial one.
#include "codes/CodeStore.h"
#include "list/ListStore.h"
#include "report/ReportStore.h"
#include "store/Connection.h"
#include "store/Dates.h"
#include "store/Db.h"
#include "store/Rows.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// The keys the report writer takes turns on: replacing a stored report and adding a new one.
constexpr int kReportKeys = 3;
constexpr int kListReports = 10;
constexpr int kListLines = 20;

[[noreturn]] void stop(const char* what, const store::Error& e)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(e.reason()));
    std::exit(2);
}

// As the entry tab does: a registered report leaves nothing unregistered in the work file, so
// that a kill while waiting is not offered back at the next start.
store::Error registerAsTheTab(const QSqlDatabase& main, const QSqlDatabase& work, const report::Header& h)
{
    store::Error e = report::registerReport(main, work, h);
    if (e.ok())
        e = report::settleKept(work, h);
    return e;
}

store::Error fillLines(const QSqlDatabase& work, int version)
{
    if (store::Error e = report::resetLines(work); e.failed())
        return e;
    return store::inTransaction(work, [&] {
        store::Statement up(work,
                            QStringLiteral("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '0900', "
                                           "訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?"));
        for (int n = 1; n <= report::kLineRows; ++n) {
            const QVariant d = store::dateValue(QDate(2026, 1, 1).addDays(n % 28));
            up.bind(d).bind(d).bind(QStringLiteral("先%1").arg(version % 400));
            up.bind(QStringLiteral("v%1 line %2").arg(version).arg(n))
                .bind(QStringLiteral("備考%1").arg(version % 7));
            if (!up.bind(n).exec())
                return up.error();
        }
        return store::Error();
    });
}

store::Error fillCodeRows(const QSqlDatabase& work, int version)
{
    QList<store::Row> rows;
    for (int n = 1; n <= store::kCodeRows; ++n)
        rows << store::Row{store::codeOf(n), QStringLiteral("v%1-%2").arg(version).arg(n), 0};
    return store::rewriteTable(work, store::tbl::wコードマスタ, {"code", "sname", "チェック"}, rows);
}

store::Error addListReports(const QSqlDatabase& main, int version)
{
    return store::inTransaction(main, [&] {
        store::Statement h(main, QStringLiteral("INSERT INTO 営業日報ヘッダ VALUES (?, ?, '部', ?)"));
        store::Statement l(
            main, QStringLiteral("INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES (?, ?, ?, ?)"));
        for (int i = 0; i < kListReports; ++i) {
            const QVariant d = store::dateValue(QDate(2026, 2, 1).addDays(i));
            // A writer killed between its insert and its delete leaves its reports: the next
            // writer's names differ from them.
            const QString name =
                QStringLiteral("削除%1-%2").arg(QCoreApplication::applicationPid()).arg(version);
            if (!h.bind(d).bind(name).bind(QStringLiteral("v%1").arg(version)).exec())
                return h.error();
            for (int n = 1; n <= kListLines; ++n)
                if (!l.bind(d)
                         .bind(name)
                         .bind(n)
                         .bind(QStringLiteral("v%1 line %2").arg(version).arg(n))
                         .exec())
                    return l.error();
        }
        return store::Error();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    // With a count: that many operations, then out of main without closing anything.
    const int count = argc == 4 ? std::atoi(argv[3]) : -1;
    if (store::Error e =
            store::openDatabase(QStringLiteral("m"), folder + store::kMainFileName, store::DbKind::Main);
        e.failed())
        stop("main", e);
    if (store::Error e =
            store::openDatabase(QStringLiteral("w"), folder + store::kWorkFileName, store::DbKind::Work);
        e.failed())
        stop("work", e);
    const QSqlDatabase main = QSqlDatabase::database(QStringLiteral("m"));
    const QSqlDatabase work = QSqlDatabase::database(QStringLiteral("w"));
    std::printf("ready\n");
    std::fflush(stdout);
    for (int version = 1;; ++version) {
        if (count >= 0 && version > count)
            return 0;
        store::Error e;
        if (mode == QLatin1String("held")) {
            char line[64];
            if (!std::fgets(line, sizeof line, stdin))
                return 0;
            e = fillLines(work, version);
            if (e.ok())
                e = registerAsTheTab(main, work,
                                     {QDate(2026, 4, 1).addDays(version), QStringLiteral("山田"),
                                      QStringLiteral("営業部"), QStringLiteral("v%1").arg(version)});
        } else if (mode == QLatin1String("report")) {
            e = fillLines(work, version);
            if (e.ok())
                e = registerAsTheTab(main, work,
                                     {QDate(2026, 3, 1 + version % kReportKeys), QStringLiteral("山田"),
                                      QStringLiteral("営業部"), QStringLiteral("v%1").arg(version)});
        } else if (mode == QLatin1String("codes") || mode == QLatin1String("linedelete")) {
            // As the tab does: the grid read, edited, then written over what was read.
            codes::CategoryState read;
            e = codes::readCategory(main, work, store::k訪問先, &read);
            if (e.ok())
                e = fillCodeRows(work, version);
            if (e.ok())
                e = codes::registerCategory(main, work, store::k訪問先, read).error;
            if (e.ok() && mode == QLatin1String("linedelete")) {
                e = store::run(
                    work,
                    QStringLiteral("UPDATE wコードマスタ SET チェック = 1 WHERE code IN ('002', '050')"));
                if (e.ok())
                    e = codes::deleteTickedLines(main, work, store::k訪問先, read).error;
            }
        } else if (mode == QLatin1String("listdelete")) {
            e = addListReports(main, version);
            if (e.ok())
                e = list::readList(main, work, QString()).error;
            if (e.ok())
                e = store::setTicks(work, store::tbl::w一覧, true);
            if (e.ok())
                e = list::deleteTickedReports(main, work).error;
        } else {
            return 2;
        }
        if (e.failed())
            stop("operation", e);
        std::printf("%d\n", version);
        std::fflush(stdout);
    }
}
