// Every user operation timed as the window runs it, from the click to the grid holding its new
// rows, against its floor: the same database work done directly through SQLite's C API with
// prepared statements, one transaction per file, on the same files with the same journal and
// sync settings, doing the least that reaches the same end state from the state named in the
// row. The drawing that follows is timed against a bare QTableView shaped like the grid (see
// BareGrid.h). Ours and the floor alternate their order, A B B A, each after the same set-up
// and the same repaint of both windows; each row shows both medians and the median of the
// ratios pair by pair. Start-up is timed as whole processes against a bare Qt Widgets program
// of the same look, on the initial files and on main files of 10,000 and 100,000 reports (and
// 1,000,000 with --big) with a full list table.
//
//   bench [--runs N] [--startup-runs N] [--only TEXT] [--big]
//   bench --gaps [--only TEXT]      (the event loop's longest gaps: Gaps.cpp)
//
// The operations' data: a main file of 10,000 reports of 20 lines (50 persons) with 199 names
// in every category, and a second one of 100,000 headers for the list.
#include "Floor.h"
#include "Timing.h"
#include "BareGrid.h"
#include "Ops.h"
#include "app/Application.h"
#include "app/DataFolder.h"
#include "store/DataInit.h"
#include "app/FrmTesvan.h"
#include "ui/Controls.h"
#include "ui/grid/DataGrid.h"
#include "ui/grid/DataSource.h"
#include "ui/DateInput.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "msg/Msg.h"
#include "print/PrintSnapshot.h"
#include "print/ReportForm.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "store/Schema.h"
#include "store/TextIndex.h"

#include <array>
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <unordered_set>
#include <vector>

using namespace bench;

namespace bench {

app::DataPaths freshFolder(const QString& root)
{
    const QString data = root + QStringLiteral("/data/");
    QDir().mkpath(data);
    check("main file", store::createInitialFile(data + store::kMainFileName, store::DbKind::Main));
    check("work file", store::createInitialFile(data + store::kWorkFileName, store::DbKind::Work));
    return app::dataPathsIn(data);
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::string gridSelect(const DataGrid& grid, const std::string& table, const std::string& tail)
{
    std::string sql = "SELECT ";
    const QStringList fields = grid.gridModel()->fields();
    for (int c = 0; c < fields.size(); ++c)
        sql += (c ? ", " : "") + (fields[c].isEmpty() ? std::string("NULL") : fields[c].toStdString());
    return sql + " FROM " + table + " " + tail;
}

void calmWith(FrmTesvan& w, std::initializer_list<BareGrid*> floors)
{
    std::vector<BareGrid*> all(floors);
    g_calm = [&w, all] {
        settle();
        w.repaint();
        for (BareGrid* b : all)
            b->view().repaint();
        settle();
    };
}

} // namespace bench

namespace {

// A report's key of the big file: report i is (dateText(i / kPersons), personName(i % kPersons)).
struct Key {
    std::string date, name;
};

void reportOps(const QString& root)
{
    const app::DataPaths paths = freshFolder(root);
    {
        Raw main(paths.mainDbPath, true);
        const double t = nowMs();
        rawInsertReports(main, 0, kReports, kPersons, kLines);
        rawNames(main);
        std::fprintf(stderr, "built %d reports of %d lines in %.0f ms\n", kReports, kLines, nowMs() - t);
    }
    FrmTesvan w;
    if (!w.loadFrom(paths))
        die("load");
    w.resize(1000, 700);
    w.move(0, 0);
    w.show();
    settle();
    Raw main(paths.mainDbPath, true);
    Raw work(paths.workDbPath, false);
    ReportTab* r = w.reportTab();
    BareGrid bare(*r->Grid日報);
    calmWith(w, {&bare});
    settle();
    const std::string gridSql = gridSelect(*r->Grid日報, "w営業日報", "ORDER BY 行番号");
    const int reportNo = 7 * kPersons + 7;
    const QDate date = QDate(2000, 1, 1).addDays(reportNo / kPersons);
    const Key key{dateText(reportNo / kPersons), personName(reportNo % kPersons)};
    const auto draw = [] { settle(); };
    const auto showFloorRows = [&] { bare.setRows(readRows(work, gridSql)); };

    // クリア: the lines blank and the pick lists checked against the code master. The floor
    // asks whether the main file was written since its last check (the same marks ours takes:
    // data and schema versions and its own connection's changes) and only then reads the four
    // categories and compares the two pick tables (they hold these names); it writes the blank
    // lines, and on blank lines it only checks them.
    std::optional<std::array<sqlite3_int64, 3>> floorMark;
    // What the work file keeps of the report on screen: its header, nothing unregistered. Not
    // written when it holds that already.
    const auto rawKeep = [&](const Text& d, const Text& name, const Text& dept, const Text& title) {
        sqlite3_stmt* k =
            work.st("UPDATE w営業日報ヘッダ SET 作成日 = ?1, 氏名 = ?2, 所属 = ?3, タイトル = ?4, "
                    "見出し変更 = 0, キー変更 = 0, 明細変更 = 0 WHERE 作成日 IS NOT ?1 OR "
                    "氏名 IS NOT ?2 OR 所属 IS NOT ?3 OR タイトル IS NOT ?4 OR 見出し変更 <> 0 OR "
                    "キー変更 <> 0 OR 明細変更 <> 0");
        bindText(k, 1, d);
        bindText(k, 2, name);
        bindText(k, 3, dept);
        bindText(k, 4, title);
        work.done(k);
    };
    const auto rawClear = [&](bool linesBlank) {
        sqlite3_stmt* m = main.st("SELECT * FROM pragma_data_version, pragma_schema_version");
        if (!main.row(m))
            die("the main file's marks");
        const std::array<sqlite3_int64, 3> mark{sqlite3_column_int64(m, 0), sqlite3_column_int64(m, 1),
                                                sqlite3_total_changes64(main.db())};
        main.done(m);
        const bool picksKnown = floorMark == mark;
        floorMark = mark;
        std::vector<Text> names[4];
        sqlite3_stmt* s =
            main.st("SELECT sname FROM コードマスタ WHERE kcode = ? AND sname <> '' ORDER BY code");
        const char* cats[] = {"所属", "氏名", "備考", "訪問先"};
        for (int c = 0; c < 4 && !picksKnown; ++c) {
            sqlite3_reset(s);
            bindText(s, 1, std::string(cats[c]));
            while (main.row(s))
                names[c].push_back(column(s, 0));
        }
        bool picksHeld = true;
        for (const auto& [table, list] : {std::pair{"w備考", &names[2]}, std::pair{"w訪問先", &names[3]}}) {
            if (picksKnown)
                break;
            sqlite3_stmt* q =
                work.st((std::string("SELECT sname FROM ") + table + " ORDER BY rowid").c_str());
            size_t n = 0;
            while (picksHeld && work.row(q))
                picksHeld = n < list->size() && column(q, 0) == (*list)[n++];
            picksHeld = picksHeld && n == list->size();
        }
        if (!picksHeld)
            die("the pick tables should hold the code master's names");
        if (linesBlank) {
            sqlite3_stmt* q = work.st("SELECT count(*) = 100 AND min(行番号) = 1 AND max(行番号) = 100 AND "
                                      "sum(チェック <> 0 OR coalesce(表示日付, 日付, 時間, 担当, 訪問先, "
                                      "内容, 備考) IS NOT NULL) = 0 "
                                      "FROM w営業日報");
            if (!work.row(q) || sqlite3_column_int(q, 0) != 1)
                die("the lines should be blank");
            work.done(q);
            rawKeep({}, {}, {}, {});
        } else {
            work.exec("BEGIN");
            rawKeep({}, {}, {}, {});
            work.exec("DELETE FROM w営業日報");
            sqlite3_stmt* ins = work.st("INSERT INTO w営業日報 (行番号, チェック) VALUES (?, 0)");
            for (int n = 1; n <= report::kLineRows; ++n) {
                sqlite3_reset(ins);
                sqlite3_bind_int(ins, 1, n);
                work.done(ins);
            }
            work.exec("COMMIT");
        }
        showFloorRows();
    };
    const auto setKey = [&] {
        r->Dt日付->setDate(date);
        r->cmb氏名->setEditText(QString::fromStdString(key.name));
    };
    const auto afterRead = [&] {
        setKey();
        r->Read日報();
        showFloorRows();
        settle();
    };
    compare({"クリア (Clear日報 with SetComb)",
             "after 読込 of 20 lines",
             {[&] { r->Clear日報(); }, draw},
             {[&] { rawClear(false); }, draw},
             afterRead});
    const auto blank = [&] {
        r->Clear日報();
        showFloorRows();
        settle();
    };
    compare({"クリア (Clear日報 with SetComb)",
             "lines already blank",
             {[&] { r->Clear日報(); }, draw},
             {[&] { rawClear(true); }, draw},
             blank});

    // 読込 of a stored report of 20 lines into blank lines.
    const auto rawReadReport = [&] {
        sqlite3_stmt* h =
            main.st("SELECT 作成日, 氏名, 所属, タイトル FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?");
        bindText(h, 1, key.date);
        bindText(h, 2, key.name);
        std::vector<Text> head;
        while (main.row(h))
            for (int i = 0; i < 4; ++i)
                head.push_back(column(h, i));
        sqlite3_stmt* l = main.st("SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM 営業日報 "
                                  "WHERE 作成日 = ? AND 氏名 = ? ORDER BY 行番号 LIMIT 100");
        bindText(l, 1, key.date);
        bindText(l, 2, key.name);
        std::vector<std::vector<Text>> lines;
        while (main.row(l)) {
            std::vector<Text> v;
            for (int i = 0; i < 7; ++i)
                v.push_back(column(l, i));
            lines.push_back(std::move(v));
        }
        work.exec("BEGIN");
        work.exec("DELETE FROM w営業日報");
        sqlite3_stmt* ins = work.st(
            "INSERT INTO w営業日報 (行番号, チェック, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考) "
            "VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?)");
        for (int n = 1; n <= report::kLineRows; ++n) {
            sqlite3_reset(ins);
            sqlite3_clear_bindings(ins);
            sqlite3_bind_int(ins, 1, n);
            if (n <= int(lines.size()))
                for (int i = 0; i < 7; ++i)
                    bindText(ins, i + 2, lines[size_t(n - 1)][size_t(i)]);
            work.done(ins);
        }
        work.exec("COMMIT");
        if (head.size() == 4)
            rawKeep(head[0], head[1], head[2], head[3]);
    };
    const auto blankWithKey = [&] {
        blank();
        setKey();
    };
    const std::string afterClear = "lines blank after クリア";
    compare({"読込 (Read日報, 20 lines)",
             afterClear,
             {[&] { r->Read日報(); }, draw},
             {[&] {
                  rawReadReport();
                  showFloorRows();
              },
              draw},
             blankWithKey});
    compare(
        {"  its database work alone (readReport; no grid read)",
         afterClear,
         {[&] {
             check("read",
                   report::readReport(w.MainDb(), w.WorkDb(), date, QString::fromStdString(key.name)).error);
         }},
         {rawReadReport},
         blankWithKey});

    // 登録 of 100 full lines, half of their destinations new to the code master.
    const auto fullLines = [&] {
        check("lines", report::resetLines(w.WorkDb()));
        work.exec("BEGIN");
        sqlite3_stmt* up =
            work.st("UPDATE w営業日報 SET 表示日付 = ?, 日付 = ?, 時間 = '1015', 担当 = '担当者', "
                    "訪問先 = ?, 内容 = ?, 備考 = ? WHERE 行番号 = ?");
        for (int n = 1; n <= report::kLineRows; ++n) {
            sqlite3_reset(up);
            const Text d = n % 3 ? Text(key.date) : std::nullopt;
            bindText(up, 1, d);
            bindText(up, 2, d);
            bindText(up, 3, n % 2 ? "訪問先" + std::to_string(n) : "新規先" + std::to_string(n));
            std::string body;
            for (int k = 0; k < 8; ++k)
                body += "内容の本文 " + std::to_string(n) + " ";
            bindText(up, 4, body);
            bindText(up, 5, "備考" + std::to_string(n % 150 + 1));
            sqlite3_bind_int(up, 6, n);
            work.done(up);
        }
        work.exec("COMMIT");
        check("refresh", r->dat日報->refresh());
        settle();
    };
    fullLines();
    Msg::setPresenter([](const MsgSpec& s) { return s.yesNo; });
    const auto rawEntry = [&] {
        std::vector<std::vector<Text>> lines;
        sqlite3_stmt* s = work.st("SELECT 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考 FROM w営業日報 "
                                  "WHERE 内容 IS NOT NULL ORDER BY 行番号");
        while (work.row(s)) {
            std::vector<Text> v;
            for (int i = 0; i < 7; ++i)
                v.push_back(column(s, i));
            lines.push_back(std::move(v));
        }
        main.exec("BEGIN");
        sqlite3_stmt* dh = main.st("DELETE FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?");
        bindText(dh, 1, key.date);
        bindText(dh, 2, key.name);
        main.done(dh);
        sqlite3_stmt* ih =
            main.st("INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES (?, ?, ?, ?)");
        bindText(ih, 1, key.date);
        bindText(ih, 2, key.name);
        bindText(ih, 3, std::string(""));
        bindText(ih, 4, std::string(""));
        main.done(ih);
        sqlite3_stmt* dl = main.st("DELETE FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?");
        bindText(dl, 1, key.date);
        bindText(dl, 2, key.name);
        main.done(dl);
        // The names each category holds and its free codes, read once.
        std::unordered_set<std::string> known[2];
        std::vector<std::string> free[2];
        const char* cats[] = {"訪問先", "備考"};
        sqlite3_stmt* rc = main.st("SELECT code, sname FROM コードマスタ WHERE kcode = ? ORDER BY code");
        for (int c = 0; c < 2; ++c) {
            sqlite3_reset(rc);
            bindText(rc, 1, std::string(cats[c]));
            while (main.row(rc)) {
                const Text name = column(rc, 1);
                if (!name || name->empty())
                    free[c].push_back(*column(rc, 0));
                else
                    known[c].insert(*name);
            }
        }
        sqlite3_stmt* il = main.st(
            "INSERT INTO 営業日報 (作成日, 氏名, 行番号, 表示日付, 日付, 時間, 担当, 訪問先, 内容, 備考) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        sqlite3_stmt* uc = main.st("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?");
        Text lastDate;
        int number = 1;
        for (const auto& l : lines) {
            if (l[1])
                lastDate = l[1];
            sqlite3_reset(il);
            bindText(il, 1, key.date);
            bindText(il, 2, key.name);
            sqlite3_bind_int(il, 3, number++);
            for (int i = 0; i < 7; ++i)
                bindText(il, i + 4, i == 1 ? lastDate : l[size_t(i)]);
            main.done(il);
            const int fields[] = {4, 6};
            for (int c = 0; c < 2; ++c) {
                const Text& v = l[size_t(fields[c])];
                if (!v || v->empty() || known[c].count(*v) || free[c].empty())
                    continue;
                sqlite3_reset(uc);
                bindText(uc, 1, v);
                bindText(uc, 2, std::string(cats[c]));
                bindText(uc, 3, free[c].front());
                main.done(uc);
                free[c].erase(free[c].begin());
                known[c].insert(*v);
            }
        }
        main.exec("COMMIT");
        rawKeep(key.date, key.name, std::string(""), std::string(""));
    };
    const std::string stored = "100 lines typed, the report stored before";
    compare({"登録 (Entry日報, 100 lines)", stored, {[&] { r->Entry日報(); }}, {rawEntry}});
    compare({"  its database work alone (registerReport)",
             stored,
             {[&] {
                 check("register", report::registerReport(
                                       w.MainDb(), w.WorkDb(),
                                       {date, QString::fromStdString(key.name), QString(), QString()}));
             }},
             {rawEntry}});

    // 印刷 to PDF: the snapshot of the dated lines and the painted pages.
    const QString pdf = root + QStringLiteral("/r.pdf");
    const auto printSnapshot = [&](bool paint) {
        if (r->Grid日報->commitPending().failed())
            die("commit");
        QList<print::PrintLine> lines;
        check("snapshot", print::takeSnapshot(w.WorkDb(), lines));
        if (paint)
            check("pdf",
                  rpt営業日報(print::headerValues(r->txtタイトル->text(), r->Dt日付->date(),
                                                  r->cmb所属->currentText(), r->cmb氏名->currentText()),
                              lines)
                      .writePdf(pdf));
    };
    const auto rawSnapshot = [&] {
        work.exec("BEGIN");
        work.exec("DELETE FROM w営業日報印刷");
        work.exec("INSERT INTO w営業日報印刷 SELECT * FROM w営業日報 WHERE 日付 IS NOT NULL");
        readRows(work, "SELECT * FROM w営業日報印刷 ORDER BY 行番号");
        work.exec("COMMIT");
    };
    compare({"印刷: the print snapshot (Prn日報's database work)",
             "100 lines typed",
             {[&] { printSnapshot(false); }},
             {rawSnapshot}});
    alone(
        "印刷 to PDF, 100 lines (snapshot and 4 pages painted)", "100 lines typed",
        [&] { printSnapshot(true); }, {}, 5);

    Env env{w, main, work, paths};
    listAndCodeOps(env);
}

void printTable()
{
    // Each column is a median of its own: the ratio is the median of the runs' ratios, each run
    // timing both in turn, so it need not be the quotient of the two columns beside it.
    std::printf("| operation | state | ours (median) | floor (median) | ours / floor (median of the runs' "
                "ratios) | target |\n"
                "|---|---|---:|---:|---:|---:|\n");
    for (const RowOut& r : g_rows) {
        if (r.floor <= 0) {
            std::printf("| %s | %s | %.1f %s | | | |\n", r.what.c_str(), r.state.c_str(), r.ours,
                        r.unit.c_str());
            continue;
        }
        if (r.target <= 0) {
            std::printf("| %s | %s | %.2f %s | %.2f %s | %.2f × | none |\n", r.what.c_str(), r.state.c_str(),
                        r.ours, r.unit.c_str(), r.floor, r.unit.c_str(), r.ratio);
            continue;
        }
        std::printf("| %s | %s | %.2f %s | %.2f %s | %.2f × | ≤ %.1f × %s |\n", r.what.c_str(),
                    r.state.c_str(), r.ours, r.unit.c_str(), r.floor, r.unit.c_str(), r.ratio, r.target,
                    r.ratio <= r.target ? "ok" : "**over**");
    }
}

} // namespace

int main(int argc, char** argv)
{
    int startupRuns = 10;
    bool big = false;
    bool gaps = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (more && std::strcmp(argv[i], "--runs") == 0)
            g_runs = std::max(2, std::atoi(argv[i + 1]));
        if (more && std::strcmp(argv[i], "--startup-runs") == 0)
            startupRuns = std::max(2, std::atoi(argv[i + 1]));
        if (more && std::strcmp(argv[i], "--only") == 0)
            g_only = argv[i + 1];
        if (std::strcmp(argv[i], "--big") == 0)
            big = true;
        if (std::strcmp(argv[i], "--gaps") == 0)
            gaps = true;
    }
    // Every connection of this process, the floor's too, writes lines through the search index.
    store::registerTextFunctions();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (gaps) {
        QApplication qapp(argc, argv);
        app::applyLook(qapp);
        gapOps();
        return 0;
    }
    // Start-up first, while this process is small (see Startup.cpp).
    if (!skipped("start-up"))
        startupSizes(startupRuns, big);
    QApplication qapp(argc, argv);
    app::applyLook(qapp);
    QTemporaryDir dir;
    if (!dir.isValid())
        die("temporary folder");
    reportOps(dir.path() + QStringLiteral("/reports"));
    if (!skipped("100,000"))
        bigList(dir.path() + QStringLiteral("/list"));
    if (g_only.empty() || g_only.find("search") != std::string::npos ||
        g_only.find("count") != std::string::npos)
        searchOps();
    outputOps(dir.path() + QStringLiteral("/output"));
    printTable();
    return 0;
}
