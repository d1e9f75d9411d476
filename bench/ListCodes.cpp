// The list's and the code master's operations, Data初期化, and the list of 100,000 headers.
#include "Ops.h"
#include "store/TextIndex.h"
#include "app/FrmTesvan.h"
#include "codes/CodeTab.h"
#include "list/ListTab.h"
#include "msg/Msg.h"
#include "store/Schema.h"
#include "ui/Controls.h"
#include "ui/grid/DataSource.h"

#include <QTabWidget>

namespace bench {

void listAndCodeOps(Env& e)
{
    FrmTesvan& w = e.w;
    Raw& main = e.main;
    Raw& work = e.work;
    const app::DataPaths& paths = e.paths;
    const auto draw = [] { settle(); };
    Msg::setPresenter([](const MsgSpec& s) { return s.yesNo; });
    // The list: 読込 of 10,000 headers and 削除 of 100 ticked reports.
    w.SSTab1->setCurrentIndex(1);
    settle();
    ListTab* list = w.listTab();
    list->cmb氏名選択->setEditText(QString());
    list->Read一覧();
    settle();
    BareGrid listFloor(*list->Grid一覧);
    calmWith(w, {&listFloor});
    const std::string listSql = gridSelect(*list->Grid一覧, "w一覧", "ORDER BY rowid LIMIT 256");
    const auto rawListRead = [&](Raw& m, Raw& wk) {
        (void)m;
        wk.exec("BEGIN");
        wk.exec("DELETE FROM w一覧");
        wk.exec("INSERT INTO w一覧 (チェック, 作成日, 氏名, 所属, タイトル) "
                "SELECT 0, 作成日, 氏名, 所属, タイトル FROM m.営業日報ヘッダ ORDER BY 作成日, 氏名");
        wk.exec("COMMIT");
    };
    {
        const std::string attach =
            "ATTACH DATABASE 'file:" + paths.mainDbPath.toStdString() + "?mode=ro' AS m";
        char* msg = nullptr;
        if (sqlite3_exec(work.db(), attach.c_str(), nullptr, nullptr, &msg) != SQLITE_OK)
            die(std::string("attach: ") + (msg ? msg : "?"));
    }
    compare({"一覧 読込 (Read一覧, 10,000 headers)",
             "the list already read",
             {[&] { list->Read一覧(); }, draw},
             {[&] {
                  rawListRead(main, work);
                  listFloor.setRows(readRows(work, listSql));
              },
              draw}});

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
        listFloor.setRows(readRows(work, listSql));
        work.exec("BEGIN");
        sqlite3_stmt* t = work.st("UPDATE w一覧 SET チェック = 1 WHERE 氏名 = ? AND 作成日 < ?");
        bindText(t, 1, personName(person));
        bindText(t, 2, dateText(kDeleted));
        work.done(t);
        work.exec("COMMIT");
        check("refresh", list->dat一覧->refresh());
        settle();
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
        listFloor.setRows(readRows(work, listSql));
    };
    compare({"一覧 削除 (Delete日報一覧, 100 ticked reports)",
             "10,000 headers listed, 100 ticked",
             {[&] { list->Delete日報一覧(); }, draw},
             {rawDelete, draw},
             putBack});

    // The code master: 読込, 登録 and 行削除 of the 訪問先 category's 199 names.
    w.SSTab1->setCurrentIndex(2);
    settle();
    CodeTab* codes = w.codeTab();
    codes->cmbコード区分->setCurrentIndex(int(store::kCategories.indexOf(store::k訪問先)));
    settle();
    codes->Readコードマスタ();
    settle();
    BareGrid codeFloor(*codes->Gridコード表);
    calmWith(w, {&codeFloor});
    const std::string codeSql = gridSelect(*codes->Gridコード表, "wコードマスタ", "ORDER BY code");
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
        codeFloor.setRows(readRows(work, codeSql));
    };
    compare({"コードマスタ 読込 (Readコードマスタ, 199 names)",
             "the category already shown",
             {[&] { codes->Readコードマスタ(); }, draw},
             {[&] {
                  std::vector<Text> names;
                  sqlite3_stmt* s = main.st("SELECT sname FROM コードマスタ WHERE kcode = ? ORDER BY code");
                  bindText(s, 1, category);
                  while (main.row(s))
                      names.push_back(column(s, 0));
                  rawWriteCodeRows(names);
              },
              draw}});
    // A name typed over before each 登録, as a user does: registering what is stored already
    // writes nothing on our side, which is no fair comparison with a floor that rewrites.
    int renamed = 0;
    const auto renameOne = [&] {
        const std::string sql = "UPDATE wコードマスタ SET sname = '訪問先 改" + std::to_string(++renamed) +
                                "' WHERE code = '100'";
        work.exec(sql.c_str());
        check("refresh", codes->datコードマスタ->refresh());
        settle();
    };
    compare({"コードマスタ 登録 (Entryコードマスタ, 199 names)",
             "199 names shown, one typed over",
             {[&] { codes->Entryコードマスタ(); }},
             {[&] {
                 std::vector<Text> names;
                 sqlite3_stmt* s = work.st("SELECT sname FROM wコードマスタ ORDER BY code");
                 while (work.row(s))
                     names.push_back(column(s, 0));
                 main.exec("BEGIN");
                 sqlite3_stmt* d = main.st("DELETE FROM コードマスタ WHERE kcode = ?");
                 bindText(d, 1, category);
                 main.done(d);
                 sqlite3_stmt* ins =
                     main.st("INSERT INTO コードマスタ (kcode, code, sname) VALUES (?, ?, ?)");
                 for (int n = 1; n <= store::kCodeRows; ++n) {
                     sqlite3_reset(ins);
                     bindText(ins, 1, category);
                     bindText(ins, 2, store::codeOf(n).toStdString());
                     const Text& t = n <= int(names.size()) ? names[size_t(n - 1)] : Text();
                     bindText(ins, 3, t ? t : Text(std::string()));
                     main.done(ins);
                 }
                 main.exec("COMMIT");
             }},
             renameOne});
    const auto tickTwo = [&] {
        codes->Readコードマスタ();
        work.exec("UPDATE wコードマスタ SET チェック = 1 WHERE code IN ('002', '050')");
        check("refresh", codes->datコードマスタ->refresh());
        codeFloor.setRows(readRows(work, codeSql));
        settle();
    };
    compare({"コードマスタ 行削除 (LineDeleteコードマスタ, 2 of 199)",
             "199 names shown, 2 ticked",
             {[&] { codes->LineDeleteコードマスタ(codes->cmbコード区分->currentText()); }, draw},
             {[&] {
                  std::vector<Text> kept;
                  sqlite3_stmt* s = work.st("SELECT sname, チェック FROM wコードマスタ ORDER BY code");
                  while (work.row(s))
                      if (sqlite3_column_int(s, 1) == 0)
                          kept.push_back(column(s, 0));
                  main.exec("BEGIN");
                  sqlite3_stmt* up =
                      main.st("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?");
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
              draw},
             tickTwo});

    // Data初期化 of 10,000 reports of 20 lines; the data made again before each run.
    const auto refill = [&] {
        main.exec("DELETE FROM 営業日報");
        main.exec("DELETE FROM 営業日報ヘッダ");
        rawInsertReports(main, 0, kReports, kPersons, kLines);
        rawNames(main);
    };
    compare({"Data初期化 (10,000 reports of 20 lines)",
             "10,000 reports stored",
             {[&] { w.Data初期化(); }},
             {[&] {
                 main.exec("PRAGMA secure_delete = FAST");
                 main.exec("BEGIN");
                 // The search index goes with the lines and is made again empty, as ours does.
                 for (const QString& sql : store::textIndexDropStatements())
                     main.exec(sql.toUtf8().constData());
                 main.exec("DELETE FROM 営業日報");
                 main.exec("DELETE FROM 営業日報ヘッダ");
                 main.exec("UPDATE コードマスタ SET sname = NULL");
                 for (const QString& sql : store::textIndexStatements())
                     main.exec(sql.toUtf8().constData());
                 main.exec("COMMIT");
             }},
             refill,
             4});
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
    list->Read一覧();
    settle();
    BareGrid listFloor(*list->Grid一覧);
    calmWith(w, {&listFloor});
    const std::string listSql = gridSelect(*list->Grid一覧, "w一覧", "ORDER BY rowid LIMIT 256");
    const auto draw = [] { settle(); };
    compare({"一覧 読込 (Read一覧, 100,000 headers)",
             "the list already read",
             {[&] { list->Read一覧(); }, draw},
             {[&] {
                  work.exec("BEGIN");
                  work.exec("DELETE FROM w一覧");
                  work.exec(
                      "INSERT INTO w一覧 (チェック, 作成日, 氏名, 所属, タイトル) "
                      "SELECT 0, 作成日, 氏名, 所属, タイトル FROM m.営業日報ヘッダ ORDER BY 作成日, 氏名");
                  work.exec("COMMIT");
                  listFloor.setRows(readRows(work, listSql));
              },
              draw},
             {},
             6});
}

} // namespace bench
