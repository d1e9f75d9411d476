// Every user operation timed as the window runs it, from the click to the grid holding its new
// rows, against its floor (the drawing that follows is timed in a column of its own):
// the same database work done directly through SQLite's C API with prepared statements, one
// transaction per file, on the same files with the same journal and sync settings. Ours and the
// floor run in turn, A B A B ..., and each row shows both medians and the median of the ratios
// pair by pair, so a comparison holds when the machine's speed drifts. Start-up is timed as
// whole processes against a bare Qt Widgets program of the same look.
//
//   bench [--runs N] [--startup-runs N] [--only TEXT]
//
// The data: a main file of 10,000 reports of 20 lines (50 persons) with 199 names in every
// category, and a second one of 100,000 headers for the list.
#include "Floor.h"
#include "Timing.h"
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

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

extern char** environ;

using namespace bench;

namespace {
// ---- the window on a data folder ----

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
    QCoreApplication::processEvents();
}

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
    w.show();
    settle();
    Raw main(paths.mainDbPath, true);
    Raw work(paths.workDbPath, false);
    ReportTab* r = w.reportTab();
    const int reportNo = 7 * kPersons + 7;
    const QDate date = QDate(2000, 1, 1).addDays(reportNo / kPersons);
    const Key key{dateText(reportNo / kPersons), personName(reportNo % kPersons)};

    // クリア: the lines blank and the pick lists rebuilt from the code master.
    pairDrawn(
        "クリア (Clear日報 with SetComb)", [&] { r->Clear日報(); }, settle,
        [&] {
            std::vector<Text> names[4];
            sqlite3_stmt* s =
                main.st("SELECT sname FROM コードマスタ WHERE kcode = ? AND sname <> '' ORDER BY code");
            const char* cats[] = {"所属", "氏名", "備考", "訪問先"};
            for (int c = 0; c < 4; ++c) {
                sqlite3_reset(s);
                bindText(s, 1, std::string(cats[c]));
                while (main.row(s))
                    names[c].push_back(column(s, 0));
            }
            work.exec("BEGIN");
            work.exec("DELETE FROM w営業日報");
            sqlite3_stmt* ins = work.st("INSERT INTO w営業日報 (行番号, チェック) VALUES (?, 0)");
            for (int n = 1; n <= report::kLineRows; ++n) {
                sqlite3_reset(ins);
                sqlite3_bind_int(ins, 1, n);
                work.done(ins);
            }
            for (const auto& [table, list] : {std::pair{"w備考", &names[2]}, std::pair{"w訪問先", &names[3]}}) {
                work.exec((std::string("DELETE FROM ") + table).c_str());
                sqlite3_stmt* ins = work.st((std::string("INSERT INTO ") + table + " (sname) VALUES (?)").c_str());
                for (const Text& t : *list) {
                    sqlite3_reset(ins);
                    bindText(ins, 1, t);
                    work.done(ins);
                }
            }
            work.exec("COMMIT");
            readShown(work, "SELECT * FROM w営業日報 ORDER BY 行番号");
        });

    // 読込 of a stored report of 20 lines.
    const auto setKey = [&] {
        r->Dt日付->setDate(date);
        r->cmb氏名->setEditText(QString::fromStdString(key.name));
    };
    setKey();
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
        readShown(work, "SELECT * FROM w営業日報 ORDER BY 行番号");
    };
    pairDrawn(
        "読込 (Read日報, 20 lines)", [&] { r->Read日報(); }, settle,
        rawReadReport);
    pair(
        "  its database work alone (readReport)",
        [&] {
            check("read",
                  report::readReport(w.MainDb(), w.WorkDb(), date, QString::fromStdString(key.name)).error);
        },
        rawReadReport);

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
        check("refresh", store::Error(r->dat日報->refresh()));
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
    };
    pairDrawn(
        "登録 (Entry日報, 100 lines)", [&] { r->Entry日報(); }, settle,
        rawEntry);
    pair(
        "  its database work alone (registerReport)",
        [&] {
            check("register",
                  report::registerReport(w.MainDb(), w.WorkDb(),
                                         {date, QString::fromStdString(key.name), QString(), QString()}));
        },
        rawEntry);

    // 印刷 to PDF: the snapshot of the dated lines and the painted pages.
    const QString pdf = root + QStringLiteral("/r.pdf");
    const auto printSnapshot = [&](bool paint) {
        if (!r->Grid日報->commitPending().isEmpty())
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
        readShown(work, "SELECT * FROM w営業日報印刷 ORDER BY 行番号");
        work.exec("COMMIT");
    };
    pair(
        "印刷: the print snapshot (Prn日報's database work)", [&] { printSnapshot(false); }, rawSnapshot);
    alone(
        "印刷 to PDF, 100 lines (snapshot and 4 pages painted)", [&] { printSnapshot(true); }, {}, 5);

    // The list: 読込 of 10,000 headers and 削除 of 100 ticked reports.
    w.SSTab1->setCurrentIndex(1);
    settle();
    ListTab* list = w.listTab();
    list->cmb氏名選択->setEditText(QString());
    const auto rawListRead = [&](Raw& m, Raw& wk) {
        (void)m;
        wk.exec("BEGIN");
        wk.exec("DELETE FROM w一覧");
        wk.exec("INSERT INTO w一覧 (チェック, 作成日, 氏名, 所属, タイトル) "
                "SELECT 0, 作成日, 氏名, 所属, タイトル FROM m.営業日報ヘッダ ORDER BY 作成日, 氏名");
        wk.exec("COMMIT");
        readShown(wk, "SELECT * FROM w一覧 ORDER BY rowid LIMIT 256");
    };
    {
        const std::string attach =
            "ATTACH DATABASE 'file:" + paths.mainDbPath.toStdString() + "?mode=ro' AS m";
        char* msg = nullptr;
        if (sqlite3_exec(work.db(), attach.c_str(), nullptr, nullptr, &msg) != SQLITE_OK)
            die(std::string("attach: ") + (msg ? msg : "?"));
    }
    pairDrawn(
        "一覧 読込 (Read一覧, 10,000 headers)", [&] { list->Read一覧(); }, settle,
        [&] { rawListRead(main, work); });

    // The first kDeleted reports of one person, ticked in the list; put back after each run.
    const int person = 3;
    const auto putBack = [&] {
        main.exec("BEGIN");
        sqlite3_stmt* h = main.st("INSERT OR IGNORE INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '日報')");
        sqlite3_stmt* l =
            main.st("INSERT OR IGNORE INTO 営業日報 VALUES (?, ?, ?, ?, ?, '0930', '担当者', '訪問先1', "
                    "'訪問の内容', '備考1')");
        for (int d = 0; d < kDeleted; ++d) {
            const std::string dt = dateText(d), name = personName(person);
            sqlite3_reset(h);
            bindText(h, 1, dt);
            bindText(h, 2, name);
            main.done(h);
            for (int n = 1; n <= kLines; ++n) {
                sqlite3_reset(l);
                bindText(l, 1, dt);
                bindText(l, 2, name);
                sqlite3_bind_int(l, 3, n);
                bindText(l, 4, dt);
                bindText(l, 5, dt);
                main.done(l);
            }
        }
        main.exec("COMMIT");
        rawListRead(main, work);
        work.exec("BEGIN");
        sqlite3_stmt* t = work.st("UPDATE w一覧 SET チェック = 1 WHERE 氏名 = ? AND 作成日 < ?");
        bindText(t, 1, personName(person));
        bindText(t, 2, dateText(kDeleted));
        work.done(t);
        work.exec("COMMIT");
        check("refresh", store::Error(list->dat一覧->refresh()));
    };
    const auto rawDelete = [&] {
        std::vector<std::pair<Text, Text>> keys;
        sqlite3_stmt* s = work.st("SELECT 作成日, 氏名 FROM w一覧 WHERE チェック <> 0");
        while (work.row(s))
            keys.emplace_back(column(s, 0), column(s, 1));
        main.exec("BEGIN");
        sqlite3_stmt* dl = main.st("DELETE FROM 営業日報 WHERE 作成日 = ? AND 氏名 = ?");
        sqlite3_stmt* dh = main.st("DELETE FROM 営業日報ヘッダ WHERE 作成日 = ? AND 氏名 = ?");
        for (const auto& [d, n] : keys) {
            for (sqlite3_stmt* st : {dl, dh}) {
                sqlite3_reset(st);
                bindText(st, 1, d);
                bindText(st, 2, n);
                main.done(st);
            }
        }
        main.exec("COMMIT");
        work.exec("BEGIN");
        work.exec("DELETE FROM w一覧 WHERE チェック <> 0");
        work.exec("COMMIT");
        readShown(work, "SELECT * FROM w一覧 ORDER BY rowid LIMIT 256");
    };
    pairDrawn(
        "一覧 削除 (Delete日報一覧, 100 ticked reports)", [&] { list->Delete日報一覧(); }, settle,
        rawDelete, putBack);

    // The code master: 読込, 登録 and 行削除 of the 訪問先 category's 199 names.
    w.SSTab1->setCurrentIndex(2);
    settle();
    CodeTab* codes = w.codeTab();
    codes->cmbコード区分->setCurrentIndex(int(store::kCategories.indexOf(store::k訪問先)));
    settle();
    const std::string category = store::k訪問先.toStdString();
    const auto rawWriteCodeRows = [&](const std::vector<Text>& names) {
        work.exec("BEGIN");
        work.exec("DELETE FROM wコードマスタ");
        sqlite3_stmt* ins = work.st("INSERT INTO wコードマスタ (code, sname, チェック) VALUES (?, ?, 0)");
        for (int n = 1; n <= store::kCodeRows; ++n) {
            sqlite3_reset(ins);
            bindText(ins, 1, store::codeOf(n).toStdString());
            bindText(ins, 2, n <= int(names.size()) ? names[size_t(n - 1)] : Text());
            work.done(ins);
        }
        work.exec("COMMIT");
        readShown(work, "SELECT * FROM wコードマスタ ORDER BY code");
    };
    pairDrawn(
        "コードマスタ 読込 (Readコードマスタ, 199 names)", [&] { codes->Readコードマスタ(); }, settle,
        [&] {
            std::vector<Text> names;
            sqlite3_stmt* s = main.st("SELECT sname FROM コードマスタ WHERE kcode = ? ORDER BY code");
            bindText(s, 1, category);
            while (main.row(s))
                names.push_back(column(s, 0));
            rawWriteCodeRows(names);
        });
    pairDrawn(
        "コードマスタ 登録 (Entryコードマスタ, 199 names)", [&] { codes->Entryコードマスタ(); }, settle,
        [&] {
            std::vector<Text> names;
            sqlite3_stmt* s = work.st("SELECT sname FROM wコードマスタ ORDER BY code");
            while (work.row(s))
                names.push_back(column(s, 0));
            main.exec("BEGIN");
            sqlite3_stmt* d = main.st("DELETE FROM コードマスタ WHERE kcode = ?");
            bindText(d, 1, category);
            main.done(d);
            sqlite3_stmt* ins = main.st("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, ?)");
            for (int n = 1; n <= store::kCodeRows; ++n) {
                sqlite3_reset(ins);
                bindText(ins, 1, category);
                bindText(ins, 2, store::codeOf(n).toStdString());
                const Text& t = n <= int(names.size()) ? names[size_t(n - 1)] : Text();
                bindText(ins, 3, t ? t : Text(std::string()));
                main.done(ins);
            }
            main.exec("COMMIT");
        });
    const auto tickTwo = [&] {
        codes->Readコードマスタ();
        work.exec("UPDATE wコードマスタ SET チェック = 1 WHERE code IN ('002', '050')");
        check("refresh", store::Error(codes->datコードマスタ->refresh()));
    };
    pairDrawn(
        "コードマスタ 行削除 (LineDeleteコードマスタ, 2 of 199)",
        [&] { codes->LineDeleteコードマスタ(codes->cmbコード区分->currentText()); }, settle,
        [&] {
            std::vector<Text> kept;
            sqlite3_stmt* s = work.st("SELECT sname, チェック FROM wコードマスタ ORDER BY code");
            while (work.row(s))
                if (sqlite3_column_int(s, 1) == 0)
                    kept.push_back(column(s, 0));
            main.exec("BEGIN");
            sqlite3_stmt* up = main.st("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?");
            for (int n = 1; n <= store::kCodeRows; ++n) {
                sqlite3_reset(up);
                bindText(up, 1, n <= int(kept.size()) ? kept[size_t(n - 1)] : Text());
                bindText(up, 2, category);
                bindText(up, 3, store::codeOf(n).toStdString());
                main.done(up);
            }
            main.exec("COMMIT");
            rawWriteCodeRows(kept);
        },
        tickTwo);

    // Data初期化 of 10,000 reports of 20 lines; the data made again before each run.
    const auto refill = [&] {
        main.exec("DELETE FROM 営業日報");
        main.exec("DELETE FROM 営業日報ヘッダ");
        rawInsertReports(main, 0, kReports, kPersons, kLines);
        rawNames(main);
    };
    pair(
        "Data初期化 (10,000 reports of 20 lines)", [&] { w.Data初期化(); },
        [&] {
            main.exec("PRAGMA secure_delete = FAST");
            main.exec("BEGIN");
            main.exec("DELETE FROM 営業日報");
            main.exec("DELETE FROM 営業日報ヘッダ");
            main.exec("UPDATE コードマスタ SET sname = NULL");
            main.exec("COMMIT");
        },
        refill, 3);
    Msg::setPresenter({});
}

void bigList(const QString& root)
{
    const app::DataPaths paths = freshFolder(root);
    {
        Raw main(paths.mainDbPath, true);
        rawInsertReports(main, 0, kListHeaders, kPersons, 0);
    }
    FrmTesvan w;
    if (!w.loadFrom(paths))
        die("load");
    w.resize(1000, 700);
    w.show();
    w.SSTab1->setCurrentIndex(1);
    settle();
    Raw work(paths.workDbPath, false);
    const std::string attach = "ATTACH DATABASE 'file:" + paths.mainDbPath.toStdString() + "?mode=ro' AS m";
    work.exec(attach.c_str());
    ListTab* list = w.listTab();
    list->cmb氏名選択->setEditText(QString());
    pairDrawn(
        "一覧 読込 (Read一覧, 100,000 headers)", [&] { list->Read一覧(); }, settle,
        [&] {
            work.exec("BEGIN");
            work.exec("DELETE FROM w一覧");
            work.exec("INSERT INTO w一覧 (チェック, 作成日, 氏名, 所属, タイトル) "
                      "SELECT 0, 作成日, 氏名, 所属, タイトル FROM m.営業日報ヘッダ ORDER BY 作成日, 氏名");
            work.exec("COMMIT");
            readShown(work, "SELECT * FROM w一覧 ORDER BY rowid LIMIT 256");
        },
        {}, 5);
}

void printTable()
{
    std::printf("| operation | ours | floor | ours / floor | target | then drawn |\n"
                "|---|---:|---:|---:|---:|---:|\n");
    for (const RowOut& r : g_rows) {
        const std::string drawn = r.drawn > 0 ? std::to_string(int(r.drawn * 100 + 0.5) / 100) + "." +
                                                    std::to_string(int(r.drawn * 100 + 0.5) % 100 + 100).substr(1) +
                                                    " ms"
                                              : std::string();
        if (r.floor <= 0) {
            std::printf("| %s | %.1f %s | | | | |\n", r.what.c_str(), r.ours, r.unit.c_str());
            continue;
        }
        std::printf("| %s | %.2f %s | %.2f %s | %.2f × | ≤ %.1f × %s | %s |\n", r.what.c_str(), r.ours,
                    r.unit.c_str(), r.floor, r.unit.c_str(), r.ratio, r.target,
                    r.ratio <= r.target ? "ok" : "**over**", drawn.c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    int startupRuns = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0)
            g_runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--startup-runs") == 0)
            startupRuns = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--only") == 0)
            g_only = argv[i + 1];
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Start-up first, before this process holds any window or data.
    if (!skipped("start-up"))
        startup(startupRuns);
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        die("temporary folder");
    reportOps(dir.path() + QStringLiteral("/reports"));
    if (!skipped("100,000"))
        bigList(dir.path() + QStringLiteral("/list"));
    printTable();
    return 0;
}
