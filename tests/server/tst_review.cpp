// The review of reports on the team server, as the database holds it: states and their history,
// read marks, the comment thread, and the rights behind them, tried with the store's functions
// as each login and with plain SQL as psql would send it.
#include "store/Connection.h"
#include "Boxes.h"
#include "Psql.h"
#include "ServerFixture.h"
#include "Typing.h"
#include "app/DataFolder.h"
#include "app/FrmTesvan.h"
#include "list/ListStore.h"
#include "list/ListTab.h"
#include "ui/grid/DataSource.h"
#include "print/PrintPreview.h"
#include "report/ReportStore.h"
#include "report/ReportTab.h"
#include "report/ReviewPanel.h"
#include "search/CommentsPage.h"
#include "search/SearchWindow.h"
#include "team/TeamTab.h"
#include "ui/Controls.h"
#include "ui/DateInput.h"
#include "store/Dates.h"
#include "store/Review.h"
#include "store/Rows.h"
#include "store/Server.h"
#include "store/Team.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTabWidget>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using testing::Psql;

namespace {

const QDate kDay(2026, 12, 1);
const QString kTanaka = u"田中一郎"_s;
const QString kSato = u"佐藤花子"_s;
const QString kKato = u"加藤課長"_s;

QStringList whatHappened(const store::Review& r)
{
    QStringList out;
    for (const store::ReviewEvent& e : r.history)
        out << e.what + u"/"_s + e.by;
    return out;
}

} // namespace

class TestReview : public QObject, testing::ServerFixture {
    Q_OBJECT

    // The server as login, opened at its first use with a work file of its own.
    QSqlDatabase as(const QString& login)
    {
        if (!QSqlDatabase::contains(login + u"main"_s) && openUser(login, login).failed())
            qFatal("cannot open %s", qPrintable(login));
        return mainOf(login);
    }

    int version(const QString& login, const QString& name)
    {
        store::Stamp s;
        if (store::readStamp(as(login), store::dateValue(kDay), name, &s).failed())
            return -1;
        return s.version;
    }
    store::Review review(const QString& login, const QString& name)
    {
        store::Review r;
        const store::Error e = store::readReview(as(login), kDay, name, &r);
        if (e.failed())
            qWarning("%s", qPrintable(e.reason()));
        return r;
    }
    // The owner's 登録 of the report as the window does it: read, one line changed, registered.
    store::Error registerAgain(const QString& login, const QString& name, const QString& text)
    {
        const QSqlDatabase main = as(login); // opens the work file too
        const report::ReadResult read = report::readReport(main, workOf(login), kDay, name);
        if (read.error.failed())
            return read.error;
        if (store::Error e = store::run(workOf(login),
                                        u"UPDATE w営業日報 SET 表示日付 = '2026-12-01', 日付 = '2026-12-01', "
                                        "内容 = ? WHERE 行番号 = 2"_s,
                                        {text});
            e.failed())
            return e;
        return report::registerReport(main, workOf(login), {kDay, name, {}, {}}, nullptr, &read.stamp);
    }

    static QStringList items(const QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

  private slots:
    void initTestCase()
    {
        if (!joinCluster({u"tanaka"_s, u"sato"_s, u"kato"_s, u"ito"_s}))
            return;
    }

    void init()
    {
        for (const QString& login : {u"tanaka"_s, u"sato"_s, u"kato"_s, u"ito"_s})
            if (QSqlDatabase::contains(login + u"main"_s))
                closeUser(login);
        QCOMPARE(m_server->readyForTest(), QString());
        QCOMPARE(store::openServer(u"owner"_s, m_server->conninfo()), QString());
        {
            const QSqlDatabase owner = QSqlDatabase::database(u"owner"_s, false);
            using store::TeamRole;
            QCOMPARE(store::addMember(owner, {u"tanaka"_s, kTanaka, u"営業1課"_s, TeamRole::Member, true}),
                     QString());
            QCOMPARE(store::addMember(owner, {u"sato"_s, kSato, u"営業1課"_s, TeamRole::Member, true}),
                     QString());
            QCOMPARE(store::addMember(owner, {u"ito"_s, u"伊藤"_s, u"営業2課"_s, TeamRole::Member, false}),
                     QString());
            QCOMPARE(store::addMember(owner, {u"kato"_s, kKato, {}, TeamRole::Manager, true}), QString());
            for (const QString& name : {kTanaka, kSato, kKato})
                QCOMPARE(store::run(owner,
                                    u"INSERT INTO 営業日報ヘッダ (作成日, 氏名, 所属, タイトル) VALUES "
                                    "('2026-12-01', ?, '', '')"_s,
                                    {name}),
                         QString());
            for (const QString& name : {kTanaka, kSato, kKato})
                QCOMPARE(store::run(owner,
                                    u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES "
                                    "('2026-12-01', ?, 1, '商談')"_s,
                                    {name}),
                         QString());
        }
        store::closeDatabase(u"owner"_s);
    }

    void cleanupTestCase()
    {
        for (const QString& login : {u"tanaka"_s, u"sato"_s, u"kato"_s, u"ito"_s})
            if (QSqlDatabase::contains(login + u"main"_s))
                closeUser(login);
    }

    // The whole loop at the level of the store: returned with a reason, changed and registered
    // (修正済), approved and then locked against its owner by every route, taken back, and each
    // step in the history under the name of who took it.
    void returnCorrectApproveWithdraw()
    {
        QVERIFY(store::hasReview(as(u"kato"_s)));
        QCOMPARE(review(u"kato"_s, kTanaka).state, store::ReviewState::Submitted);
        // A return says why.
        QCOMPARE(store::returnReport(as(u"kato"_s), kDay, kTanaka, version(u"kato"_s, kTanaka), u"  "_s),
                 u"差戻しの理由を入力してください。"_s);
        QCOMPARE(store::returnReport(as(u"kato"_s), kDay, kTanaka, version(u"kato"_s, kTanaka),
                                     u"訪問先の記入漏れ"_s),
                 QString());
        store::Review r = review(u"tanaka"_s, kTanaka);
        QCOMPARE(r.state, store::ReviewState::Returned);
        QCOMPARE(r.comments.size(), 1);
        QCOMPARE(r.comments[0].text, u"訪問先の記入漏れ"_s);
        QCOMPARE(r.comments[0].by, kKato);
        QCOMPARE(r.history.size(), 1);
        QCOMPARE(r.history[0].reason, u"訪問先の記入漏れ"_s);

        // The owner changes it and registers: 修正済, recorded under the owner.
        QCOMPARE(registerAgain(u"tanaka"_s, kTanaka, u"A社訪問"_s), QString());
        QCOMPARE(review(u"kato"_s, kTanaka).state, store::ReviewState::Corrected);

        // Approving a version the manager never saw is refused; the one read is approved.
        const int seen = version(u"kato"_s, kTanaka);
        QCOMPARE(registerAgain(u"tanaka"_s, kTanaka, u"A社訪問（追記）"_s), QString());
        const store::Error stale = store::approveReport(as(u"kato"_s), kDay, kTanaka, seen);
        QVERIFY2(stale.reason().contains(u"田中一郎 さんが"_s), qPrintable(stale.reason()));
        QCOMPARE(review(u"kato"_s, kTanaka).state, store::ReviewState::Corrected);
        QCOMPARE(store::approveReport(as(u"kato"_s), kDay, kTanaka, version(u"kato"_s, kTanaka)), QString());
        QCOMPARE(review(u"tanaka"_s, kTanaka).state, store::ReviewState::Approved);

        // Approved: the window's 登録 and every write from SQL are refused with 42501; nothing changes.
        const store::Error locked = registerAgain(u"tanaka"_s, kTanaka, u"承認後の変更"_s);
        QVERIFY2(locked.reason().contains(store::approvedLockReason()), qPrintable(locked.reason()));
        QCOMPARE(locked.kind(), store::ErrorKind::Refused);
        Psql tanaka(u"tanaka"_s), owner(QLatin1String(testing::ServerCluster::kUser));
        const QString before = owner
                                   .one(u"SELECT string_agg(l::text, '|' ORDER BY 行番号) FROM 営業日報 l "
                                        "WHERE 氏名 = '田中一郎'"_s)
                                   .toString();
        for (
            const QString& sql :
            {u"UPDATE 営業日報 SET 内容 = 'x' WHERE 氏名 = '田中一郎'"_s,
             u"DELETE FROM 営業日報 WHERE 氏名 = '田中一郎'"_s,
             u"INSERT INTO 営業日報 (作成日, 氏名, 行番号, 内容) VALUES ('2026-12-01', '田中一郎', 9, 'x')"_s,
             u"UPDATE 営業日報ヘッダ SET タイトル = 'x' WHERE 氏名 = '田中一郎'"_s,
             u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '田中一郎'"_s,
             u"UPDATE 日報審査 SET 状態 = '提出' WHERE 氏名 = '田中一郎'"_s,
             u"DELETE FROM 日報審査 WHERE 氏名 = '田中一郎'"_s})
            QVERIFY2(tanaka.code(sql) == u"42501"_s, qPrintable(sql));
        QCOMPARE(owner
                     .one(u"SELECT string_agg(l::text, '|' ORDER BY 行番号) FROM 営業日報 l "
                          "WHERE 氏名 = '田中一郎'"_s)
                     .toString(),
                 before);
        QCOMPARE(review(u"tanaka"_s, kTanaka).state, store::ReviewState::Approved);

        // The manager takes the approval back: the owner may change it again.
        QCOMPARE(store::withdrawApproval(as(u"kato"_s), kDay, kTanaka), QString());
        QVERIFY(store::withdrawApproval(as(u"kato"_s), kDay, kTanaka).failed());
        QCOMPARE(registerAgain(u"tanaka"_s, kTanaka, u"承認取消後の変更"_s), QString());
        r = review(u"sato"_s, kTanaka);
        QCOMPARE(r.state, store::ReviewState::Submitted);
        QCOMPARE(whatHappened(r), (QStringList{u"差戻し/加藤課長"_s, u"修正済/田中一郎"_s, u"承認/加藤課長"_s,
                                               u"承認取消/加藤課長"_s}));
        for (int i = 1; i < r.history.size(); ++i)
            QVERIFY(r.history[i - 1].at <= r.history[i].at);
        QVERIFY(qAbs(r.history.last().at.secsTo(QDateTime::currentDateTime())) < 3600);
    }

    // Deciding is a manager's, and never on one's own report; the history is the server's alone.
    void whoMayDecide_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("sql");
        QTest::newRow("member approves another's")
            << u"tanaka"_s
            << u"INSERT INTO 日報審査 (作成日, 氏名, 状態) VALUES ('2026-12-01', '佐藤花子', '承認')"_s;
        QTest::newRow("member approves own")
            << u"tanaka"_s
            << u"INSERT INTO 日報審査 (作成日, 氏名, 状態) VALUES ('2026-12-01', '田中一郎', '承認')"_s;
        QTest::newRow("manager approves own")
            << u"kato"_s
            << u"INSERT INTO 日報審査 (作成日, 氏名, 状態) VALUES ('2026-12-01', '加藤課長', '承認')"_s;
        QTest::newRow("history written by hand")
            << u"kato"_s
            << u"INSERT INTO 日報審査履歴 (作成日, 氏名, 操作, 日時) VALUES ('2026-12-01', '田中一郎', '承認', now())"_s;
        QTest::newRow("history rewritten") << u"kato"_s << u"DELETE FROM 日報審査履歴"_s;
        QTest::newRow("a comment changed") << u"kato"_s << u"UPDATE 日報コメント SET 本文 = 'x'"_s;
        QTest::newRow("a comment deleted") << u"kato"_s << u"DELETE FROM 日報コメント"_s;
        QTest::newRow("a read mark deleted") << u"kato"_s << u"DELETE FROM 日報既読"_s;
        QTest::newRow("comment on a report not read")
            << u"ito"_s
            << u"INSERT INTO 日報コメント (作成日, 氏名, 本文) VALUES ('2026-12-01', '田中一郎', 'x')"_s;
        QTest::newRow("another's notice mark")
            << u"tanaka"_s << u"INSERT INTO 通知確認 (ログイン, 確認日時) VALUES ('sato', now())"_s;
    }
    void whoMayDecide()
    {
        QFETCH(QString, login);
        QFETCH(QString, sql);
        QCOMPARE(store::returnReport(as(u"kato"_s), kDay, kSato, version(u"kato"_s, kSato), u"日付の誤り"_s),
                 QString());
        QCOMPARE(store::markRead(as(u"kato"_s), kDay, kSato), QString());
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        const auto everything = [&owner] {
            return owner
                .one(
                    u"SELECT md5(string_agg(t, '|' ORDER BY t)) FROM (SELECT s::text AS t FROM 日報審査 s "
                    "UNION ALL SELECT h::text FROM 日報審査履歴 h UNION ALL SELECT r::text FROM 日報既読 r "
                    "UNION ALL SELECT c::text FROM 日報コメント c UNION ALL SELECT n::text FROM 通知確認 n) x"_s)
                .toString();
        };
        const QString before = everything();
        Psql who(login);
        QCOMPARE(who.failure(), QString());
        QCOMPARE(who.code(sql), u"42501"_s);
        QCOMPARE(everything(), before);
    }

    // Read marks: per reader with the server's time, never on one's own report, shown to the
    // owner; a day's reports marked at once.
    void readMarks()
    {
        QCOMPARE(store::markRead(as(u"sato"_s), kDay, kTanaka), QString());
        QCOMPARE(store::markRead(as(u"sato"_s), kDay, kTanaka), QString());
        QCOMPARE(store::markRead(as(u"tanaka"_s), kDay, kTanaka), QString());
        store::Review r = review(u"tanaka"_s, kTanaka);
        QCOMPARE(r.readers.size(), 1);
        QCOMPARE(r.readers[0].by, kSato);
        QVERIFY(qAbs(r.readers[0].at.secsTo(QDateTime::currentDateTime())) < 3600);
        // A client's own reader and time are replaced by the server's.
        Psql sato(u"sato"_s);
        QCOMPARE(sato.exec(u"INSERT INTO 日報既読 (作成日, 氏名, 読者, 既読日時) VALUES "
                           "('2026-12-01', '加藤課長', 'kato', '2000-01-01')"_s),
                 QString());
        QCOMPARE(sato.one(u"SELECT 読者 || ',' || (既読日時 > now() - interval '1 hour') FROM 日報既読 "
                          "WHERE 氏名 = '加藤課長'"_s)
                     .toString(),
                 u"sato,true"_s);

        // 一括確認: everything of the day but one's own and what was read already.
        int marked = -1;
        QCOMPARE(store::markDayRead(as(u"kato"_s), kDay, {}, &marked), QString());
        QCOMPARE(marked, 2);
        QCOMPARE(store::markDayRead(as(u"kato"_s), kDay, {}, &marked), QString());
        QCOMPARE(marked, 0);
        QCOMPARE(store::markDayRead(as(u"tanaka"_s), kDay, {kSato}, &marked), QString());
        QCOMPARE(marked, 1);
        QCOMPARE(store::markDayRead(as(u"tanaka"_s), kDay.addDays(1), {}, &marked), QString());
        QCOMPARE(marked, 0);
        r = review(u"sato"_s, kTanaka);
        QCOMPARE(r.readers.size(), 2);
        QCOMPARE(r.readers[1].by, kKato);
        // A member who reads only their own neither sees nor marks the others'.
        QCOMPARE(store::markDayRead(as(u"ito"_s), kDay, {}, &marked), QString());
        QCOMPARE(marked, 0);
        QCOMPARE(review(u"ito"_s, kTanaka).readers.size(), 0);
    }

    // 日報一覧's 未読のみ: others' reports not read by the member signed in, with the name filter
    // too; a read mark takes a report off, one's own is never listed.
    void unreadList()
    {
        as(u"kato"_s); // opens the work file too
        QCOMPARE(list::addChangeColumns(workOf(u"kato"_s)), QString());
        const auto listed = [this](const QString& filter, bool unreadOnly) {
            QHash<QString, int> versions;
            const list::ReadResult r = list::readList(as(u"kato"_s), workOf(u"kato"_s), filter,
                                                      list::Copy::Auto, &versions, unreadOnly);
            if (r.error.failed())
                return QStringList{r.error.reason()};
            QStringList names;
            store::Statement s(workOf(u"kato"_s), u"SELECT 氏名 FROM w一覧 ORDER BY 氏名"_s);
            store::forEachRow(s, [&](store::Statement& row) {
                names << row.text(0);
                return true;
            });
            return names;
        };
        QCOMPARE(listed({}, false), (QStringList{kSato, kKato, kTanaka})); // in code point order
        QCOMPARE(listed({}, true), (QStringList{kSato, kTanaka}));
        QCOMPARE(store::markRead(as(u"kato"_s), kDay, kTanaka), QString());
        QCOMPARE(listed({}, true), (QStringList{kSato}));
        QCOMPARE(listed(kTanaka, true), QStringList());
        QCOMPARE(listed(kSato, true), (QStringList{kSato}));
        // Another reader's mark is not this member's.
        QCOMPARE(store::markRead(as(u"tanaka"_s), kDay, kSato), QString());
        QCOMPARE(listed({}, true), (QStringList{kSato}));
    }

    // コメントも検索: every keyword in the comment, folded as the search folds (full-width and
    // case), within the period and name of the report, only what the member may read; in the
    // search window on a page of its own that opens the report.
    void commentsSearched()
    {
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kTanaka, u"ＡＢＣ商事の見積は来週"_s), QString());
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kSato, u"abc商事 100%値引きは不可"_s), QString());
        QCOMPARE(store::addComment(as(u"sato"_s), kDay, kKato, u"了解です"_s), QString());
        const auto found = [this](const QString& login, const QStringList& words, const QString& name = {},
                                  const QDate& from = {}) {
            QList<store::FoundComment> out;
            const store::Error e = store::findComments(as(login), from, {}, name, words, 10, &out);
            QStringList who;
            for (const store::FoundComment& f : out)
                who << f.name + u":"_s + f.by;
            return e.failed() ? QStringList{e.reason()} : who;
        };
        QCOMPARE(found(u"tanaka"_s, {u"abc商事"_s}),
                 (QStringList{kSato + u":"_s + kKato, kTanaka + u":"_s + kKato}));
        QCOMPARE(found(u"tanaka"_s, {u"abc"_s, u"見積"_s}), QStringList{kTanaka + u":"_s + kKato});
        QCOMPARE(found(u"tanaka"_s, {u"100%"_s}), QStringList{kSato + u":"_s + kKato});
        QCOMPARE(found(u"tanaka"_s, {u"_"_s}), QStringList());
        QCOMPARE(found(u"tanaka"_s, {u"abc"_s}, kTanaka), QStringList{kTanaka + u":"_s + kKato});
        QCOMPARE(found(u"tanaka"_s, {u"abc"_s}, {}, kDay.addDays(1)), QStringList());
        // ito reads only his own reports, and their comments only.
        QCOMPARE(found(u"ito"_s, {u"abc"_s}), QStringList());

        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(dataFolder(u"tanaka"_s))));
        w.show();
        w.showSearch();
        search::SearchWindow* s = w.searchWindow();
        QVERIFY(s);
        QVERIFY(s->chkコメントも検索->isVisible());
        auto* pages = s->Tab検索;
        const int before = pages->count();
        s->txtキーワード->setText(u"ａｂｃ"_s);
        QTRY_COMPARE(pages->count(), before);
        s->chkコメントも検索->click();
        QTRY_COMPARE(pages->count(), before + 1);
        QCOMPARE(pages->tabText(before), u"コメント (2)"_s);
        search::CommentsPage* page = s->Tabコメント;
        QCOMPARE(page->item(0, search::CommentsPage::ColName)->text(), kSato);
        QCOMPARE(page->item(0, search::CommentsPage::ColBy)->text(), kKato);
        s->txtキーワード->setText(u"見積"_s);
        QTRY_COMPARE(pages->tabText(before), u"コメント (1)"_s);
        // Enter on the row opens 田中一郎's report on the entry tab.
        pages->setCurrentWidget(page);
        page->setFocus();
        page->setCurrentCell(0, search::CommentsPage::ColText);
        QTest::keyClick(page, Qt::Key_Return);
        QTRY_COMPARE(w.reportTab()->cmb氏名->currentText(), kTanaka);
        s->chkコメントも検索->click();
        QTRY_COMPARE(pages->count(), before);
        QCOMPARE(boxes.shown.size(), 0);
    }

    // The thread: its own table, newest last, author and time the server's, never in 備考 nor
    // learnt, kept when the report is registered again, gone with the report.
    void commentThread()
    {
        QCOMPARE(store::addComment(as(u"sato"_s), kDay, kTanaka, u"同行します"_s), QString());
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kTanaka, u"見積の控えを添付して\nください"_s),
                 QString());
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kTanaka, u" \n "_s),
                 u"コメントを入力してください。"_s);
        QVERIFY(store::addComment(as(u"kato"_s), kDay.addDays(3), kTanaka, u"ない日報"_s).failed());
        Psql tanaka(u"tanaka"_s);
        QCOMPARE(tanaka.exec(u"INSERT INTO 日報コメント (作成日, 氏名, 投稿者, 投稿日時, 本文) VALUES "
                             "('2026-12-01', '田中一郎', 'kato', '2000-01-01', '了解です')"_s),
                 QString());
        QCOMPARE(registerAgain(u"tanaka"_s, kTanaka, u"B社訪問"_s), QString());
        const store::Review r = review(u"tanaka"_s, kTanaka);
        QCOMPARE(r.comments.size(), 3);
        QCOMPARE(r.comments[0].by, kSato);
        QCOMPARE(r.comments[1].text, u"見積の控えを添付して\nください"_s);
        QCOMPARE(r.comments[2].by, kTanaka);
        QCOMPARE(r.comments[2].byLogin, u"tanaka"_s);
        QVERIFY(r.comments[1].at <= r.comments[2].at);
        QVERIFY(qAbs(r.comments[2].at.secsTo(QDateTime::currentDateTime())) < 3600);
        QCOMPARE(r.state, store::ReviewState::Submitted);
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        QCOMPARE(owner.one(u"SELECT count(*) FROM 営業日報 WHERE 備考 LIKE '%同行%' OR 内容 LIKE '%同行%'"_s)
                     .toInt(),
                 0);
        QCOMPARE(owner.one(u"SELECT count(*) FROM コードマスタ WHERE sname LIKE '%同行%'"_s).toInt(), 0);
        // The report deleted by its owner takes its thread and marks along.
        QCOMPARE(tanaka.changed(u"DELETE FROM 営業日報ヘッダ WHERE 氏名 = '田中一郎'"_s), 1);
        QCOMPARE(owner.one(u"SELECT count(*) FROM 日報コメント"_s).toInt(), 0);
    }

    // The schema tool run again keeps every decision, mark and comment.
    void schemaToolKeepsTheReview()
    {
        QCOMPARE(store::approveReport(as(u"kato"_s), kDay, kSato, version(u"kato"_s, kSato)), QString());
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kSato, u"良い報告です"_s), QString());
        QCOMPARE(store::markRead(as(u"kato"_s), kDay, kSato), QString());
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        const QString sum =
            u"SELECT md5(string_agg(t, '|' ORDER BY t)) FROM (SELECT s::text AS t FROM 日報審査 s "
            "UNION ALL SELECT h::text FROM 日報審査履歴 h UNION ALL SELECT r::text FROM 日報既読 r "
            "UNION ALL SELECT c::text FROM 日報コメント c) x"_s;
        const QString before = owner.one(sum).toString();
        QVERIFY(!before.isEmpty());
        QCOMPARE(store::createServerSchema(m_server->conninfo()), QString());
        QCOMPARE(owner.one(sum).toString(), before);
        Psql sato(u"sato"_s);
        QCOMPARE(sato.code(u"UPDATE 営業日報 SET 内容 = 'x' WHERE 氏名 = '佐藤花子'"_s), u"42501"_s);
    }

    // Being told: others' comments and decisions on one's reports, and for a manager what others
    // registered, since one last looked; one's own doings are not news.
    void notices()
    {
        const auto told = [this](const QString& login) {
            QList<store::Notice> n;
            const store::Error e = store::readNotices(as(login), &n);
            QStringList out;
            for (const store::Notice& x : n)
                out << u"%1/%2/%3"_s.arg(x.what, x.name, x.by);
            if (e.failed())
                out << e.reason();
            return out;
        };
        QCOMPARE(told(u"tanaka"_s), QStringList());
        QStringList boss = told(u"kato"_s);
        boss.sort();
        const QString owner = QLatin1String(testing::ServerCluster::kUser);
        QCOMPARE(boss, (QStringList{u"提出/佐藤花子/"_s + owner, u"提出/田中一郎/"_s + owner}));
        QCOMPARE(store::markNoticesSeen(as(u"kato"_s)), QString());
        QCOMPARE(told(u"kato"_s), QStringList());

        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kTanaka, u"見ました"_s), QString());
        QCOMPARE(store::returnReport(as(u"kato"_s), kDay, kTanaka, version(u"kato"_s, kTanaka), u"再確認"_s),
                 QString());
        QCOMPARE(store::addComment(as(u"sato"_s), kDay, kTanaka, u"同行します"_s), QString());
        QCOMPARE(store::addComment(as(u"tanaka"_s), kDay, kTanaka, u"直します"_s), QString());
        QStringList mine = told(u"tanaka"_s);
        QCOMPARE(mine.value(0), u"コメント/田中一郎/佐藤花子"_s);
        mine.sort();
        QCOMPARE(mine, (QStringList{u"コメント/田中一郎/佐藤花子"_s, u"コメント/田中一郎/加藤課長"_s,
                                    u"コメント/田中一郎/加藤課長"_s, u"差戻し/田中一郎/加藤課長"_s}));
        QCOMPARE(told(u"sato"_s), QStringList());
        QCOMPARE(store::markNoticesSeen(as(u"tanaka"_s)), QString());
        QCOMPARE(told(u"tanaka"_s), QStringList());
        QCOMPARE(registerAgain(u"tanaka"_s, kTanaka, u"直しました"_s), QString());
        QCOMPARE(told(u"kato"_s), QStringList{u"再提出/田中一郎/田中一郎"_s});
    }

    // 提出状況 as the manager and as a member: members by 所属 (the one without last), a week from
    // a Sunday, days off neither due nor missing, each cell this reader's view of the report.
    void submissionsOverview()
    {
        QCOMPARE(store::returnReport(as(u"kato"_s), kDay, kSato, version(u"kato"_s, kSato), u"日付の誤り"_s),
                 QString());
        QCOMPARE(store::markRead(as(u"kato"_s), kDay, kTanaka), QString());
        store::Submissions s;
        const QDate sunday(2026, 11, 29);
        QCOMPARE(store::readSubmissions(as(u"kato"_s), sunday, 7, &s), QString());
        QStringList names;
        for (const store::MemberDays& m : s.members)
            names << m.所属 + u":"_s + m.氏名;
        QCOMPARE(names, (QStringList{u"営業1課:佐藤花子"_s, u"営業1課:田中一郎"_s, u"営業2課:伊藤"_s,
                                     u":加藤課長"_s}));
        using store::DayState;
        const auto column = [&s](int day) {
            QStringList out;
            for (const store::MemberDays& m : s.members)
                out << store::dayStateText(m.days[day]);
            return out.join(u',');
        };
        QCOMPARE(column(0), u",,,"_s);
        QCOMPARE(column(1), u"未提出,未提出,未提出,未提出"_s);
        QCOMPARE(column(2), u"差戻し,既読,未提出,既読"_s);
        QCOMPARE(column(6), u",,,"_s);
        QCOMPARE(s.due(0), 0);
        QCOMPARE(s.due(2), 4);
        QCOMPARE(s.submitted(2), 3);
        QCOMPARE(s.submitted(1), 0);
        // A report on a day off shows, and counts, without making the day due.
        Psql owner(QLatin1String(testing::ServerCluster::kUser));
        QCOMPARE(owner.exec(u"INSERT INTO 営業日報ヘッダ (作成日, 氏名) VALUES ('2026-12-05', '伊藤')"_s),
                 QString());
        QCOMPARE(store::approveReport(as(u"kato"_s), kDay.addDays(4), u"伊藤"_s, 1), QString());
        QCOMPARE(store::readSubmissions(as(u"kato"_s), sunday, 7, &s), QString());
        QCOMPARE(column(6), u",,承認,"_s);
        QCOMPARE(s.submitted(6), 1);
        QCOMPARE(s.due(6), 0);
        // A member: what they have not read is 提出.
        QCOMPARE(store::readSubmissions(as(u"sato"_s), sunday, 7, &s), QString());
        QCOMPARE(column(2), u"差戻し,提出,未提出,提出"_s);
    }

    // The チーム tab of a member: the week's counts on top, the unread filter, 一括確認 of a day,
    // and Enter opening a cell's report on the 営業日報 tab.
    void theTeamTab()
    {
        QCOMPARE(store::addComment(as(u"kato"_s), kDay, kSato, u"明日の件"_s), QString());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(dataFolder(u"sato"_s))));
        TeamTab* team = w.teamTab();
        QVERIFY(team);
        auto* tabs = w.findChild<QTabWidget*>(u"SSTab1"_s);
        // Told at start: the count on the caption and in the title, the comment in the list.
        QCOMPARE(tabs->tabText(tabs->indexOf(team)), u"チーム (1)"_s);
        QVERIFY2(w.windowTitle().endsWith(u"佐藤花子 - 通知 1"_s), qPrintable(w.windowTitle()));
        QCOMPARE(team->lst通知->count(), 1);
        QVERIFY(team->lst通知->item(0)->text().contains(u"加藤課長 コメント 12/01 佐藤花子：明日の件"_s));
        team->cmd通知確認->click();
        QCOMPARE(tabs->tabText(tabs->indexOf(team)), u"チーム"_s);
        QVERIFY(w.windowTitle().endsWith(u"佐藤花子"_s));
        team->showWeek(QDate(2026, 12, 5));
        QTableWidget* grid = team->grd提出状況;
        QCOMPARE(grid->rowCount(), 4);
        const int tuesday = 2 + 2;
        QCOMPARE(grid->horizontalHeaderItem(tuesday)->text(), u"12/01(火)\n提出 3 / 4"_s);
        QVERIFY(!grid->horizontalHeaderItem(2)->text().contains(u"提出"_s));
        // Unread only (Alt+U): 田中一郎 and 加藤課長, whose reports of the 1st sato has not opened.
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        tabs->setCurrentWidget(team);
        team->grd提出状況->setFocus();
        QTest::keyClick(team->grd提出状況, Qt::Key_U, Qt::AltModifier);
        QVERIFY(team->chk未読のみ->isChecked());
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(grid->item(0, 1)->text(), kTanaka);
        grid->setCurrentCell(0, tuesday);
        team->cmd一括確認->click();
        QCOMPARE(grid->rowCount(), 0);
        team->chk未読のみ->setChecked(false);
        QCOMPARE(grid->item(1, tuesday)->text(), u"既読"_s);
        // Enter on 田中一郎's cell opens it, read-only for sato.
        tabs->setCurrentWidget(team);
        grid->setFocus();
        grid->setCurrentCell(1, tuesday);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(w.reportTab()->cmb氏名->currentText(), kTanaka);
        QVERIFY(!w.reportTab()->cmd登録->isEnabled());
        // 日報一覧's own unread filter, Alt+U on its tab: everything of the 1st is read now.
        ListTab* list = w.listTab();
        tabs->setCurrentWidget(list);
        QVERIFY(list->chk未読のみ->isVisible());
        list->cmd一覧読込->click();
        QCOMPARE(list->dat一覧->rowCount(), 3);
        list->cmb氏名選択->setFocus();
        QTest::keyClick(list->cmb氏名選択, Qt::Key_U, Qt::AltModifier);
        QVERIFY(list->chk未読のみ->isChecked());
        QCOMPARE(list->dat一覧->rowCount(), 0);
        QCOMPARE(boxes.shown.size(), 0);
    }

    // The panel and the チーム tab at a laptop's size and at the window's smallest: every button
    // whole and inside the window, the lines still the tab's main part. TESVAN_SHOTS names a
    // folder for the pictures, to look at.
    void fitsLargeAndSmall()
    {
        QCOMPARE(store::addComment(as(u"sato"_s), kDay, kTanaka,
                                   u"同行します。資料は前日までに共有してください"_s),
                 QString());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(dataFolder(u"kato"_s))));
        w.show();
        ReportTab* tab = w.reportTab();
        tab->openReport(kTanaka, u"20261201"_s);
        auto* tabs = w.findChild<QTabWidget*>(u"SSTab1"_s);
        const QString shots = qEnvironmentVariable("TESVAN_SHOTS");
        for (const QSize size : {QSize(1366, 768), QSize(800, 560)}) {
            w.resize(size);
            for (QWidget* page : {static_cast<QWidget*>(tab), static_cast<QWidget*>(w.teamTab())}) {
                tabs->setCurrentWidget(page);
                if (page == w.teamTab())
                    w.teamTab()->showWeek(QDate(2026, 12, 5));
                QCoreApplication::processEvents();
                if (!shots.isEmpty())
                    QVERIFY(w.grab().save(u"%1/%2-%3x%4.png"_s.arg(shots, page->objectName())
                                              .arg(size.width())
                                              .arg(size.height())));
                const QRect inside = w.rect();
                // The review's own buttons (the entry tab's row of commands was as tight before).
                QWidget* own = page == tab ? static_cast<QWidget*>(tab->pnl確認) : page;
                for (CommandButton* b : own->findChildren<CommandButton*>()) {
                    if (!b->isVisibleTo(&w))
                        continue;
                    const QRect at(b->mapTo(&w, QPoint(0, 0)), b->size());
                    QVERIFY2(inside.contains(at), qPrintable(b->objectName()));
                    // Its caption whole (buttons may narrow to the house's 72 px, not below their text).
                    const int text = b->fontMetrics().horizontalAdvance(b->text()) + 8;
                    QVERIFY2(b->width() >= text, qPrintable(u"%1 %2 < %3 at %4"_s.arg(b->objectName())
                                                                .arg(b->width())
                                                                .arg(text)
                                                                .arg(w.width())));
                }
            }
            QVERIFY2(tab->findChild<QWidget*>(u"Grid日報"_s)->height() >= 150,
                     qPrintable(QString::number(tab->findChild<QWidget*>(u"Grid日報"_s)->height())));
            QVERIFY(tab->pnl確認->txtコメント->height() >= 40);
            QVERIFY(w.teamTab()->grd提出状況->height() >= 150);
        }
    }

    // The loop from the windows of a salesperson and of a manager, one after the other: the
    // manager opens the report (read), comments, returns it with a reason from the keyboard; the
    // salesperson sees it, changes and registers (修正済); the manager approves; the salesperson's
    // window then refuses 登録 and says why.
    void theLoopFromTheWindows()
    {
        testing::ScriptedBoxes boxes;
        const QString tanakaFolder = dataFolder(u"tanaka"_s), katoFolder = dataFolder(u"kato"_s);
        {
            FrmTesvan w;
            QVERIFY(w.loadFrom(app::dataPathsIn(katoFolder)));
            w.show();
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            ReportTab* tab = w.reportTab();
            ReviewPanel* panel = tab->pnl確認;
            tab->openReport(kTanaka, u"20261201"_s);
            QVERIFY(panel->isVisible() && panel->isEnabled());
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 提出"_s);
            QVERIFY2(items(panel->lst審査履歴).join(u'|').contains(u"既読 加藤課長"_s),
                     qPrintable(items(panel->lst審査履歴).join(u'|')));
            QVERIFY(panel->cmd承認->isVisible() && panel->cmd差戻し->isVisible());
            // A comment sent with Ctrl+Enter; the box empties, the thread shows it.
            panel->txtコメント->setFocus();
            testing::typeText(u"見積の件、確認します"_s);
            QTest::keyClick(panel->txtコメント, Qt::Key_Return, Qt::ControlModifier);
            QCOMPARE(panel->txtコメント->toPlainText(), QString());
            QCOMPARE(panel->lstコメント->count(), 1);
            QVERIFY(panel->lstコメント->item(0)->text().endsWith(u"\n見積の件、確認します"_s));
            // 差戻し without a reason is told, nothing decided; with one, it is returned.
            boxes.shown.clear();
            // The button's key clicks it as a click shows, a moment later.
            QTest::keyClick(panel->txtコメント, Qt::Key_F9, Qt::ShiftModifier);
            QTRY_COMPARE(boxes.shown.size(), 1);
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 提出"_s);
            panel->txtコメント->setFocus();
            testing::typeText(u"訪問先を記入してください"_s);
            QTest::keyClick(panel->txtコメント, Qt::Key_F9, Qt::ShiftModifier);
            QTRY_COMPARE(panel->lbl審査状態->text(), u"状態: 差戻し"_s);
            QCOMPARE(panel->lstコメント->count(), 2);
            // Esc goes back to the lines.
            QTest::keyClick(panel->txtコメント, Qt::Key_Escape);
            QVERIFY(tab->findChild<QWidget*>(u"Grid日報"_s)->hasFocus());
            // One's own report: no decisions offered.
            tab->openReport(kKato, u"20261201"_s);
            QVERIFY(!panel->cmd承認->isVisible());
        }
        {
            FrmTesvan w;
            QVERIFY(w.loadFrom(app::dataPathsIn(tanakaFolder)));
            ReportTab* tab = w.reportTab();
            ReviewPanel* panel = tab->pnl確認;
            tab->openReport(kTanaka, u"20261201"_s);
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 差戻し"_s);
            QVERIFY(!panel->cmd承認->isVisible());
            QVERIFY(items(panel->lst審査履歴).join(u'|').contains(u"既読 加藤課長"_s));
            QCOMPARE(panel->lstコメント->count(), 2);
            QVERIFY(tab->cmd登録->isEnabled());
            QCOMPARE(store::run(w.workDb(),
                                u"UPDATE w営業日報 SET 表示日付 = '2026-12-01', 日付 = '2026-12-01', "
                                "内容 = 'A社訪問', 訪問先 = 'A社' WHERE 行番号 = 2"_s),
                     QString());
            tab->Entry日報();
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 修正済"_s);
        }
        {
            FrmTesvan w;
            QVERIFY(w.loadFrom(app::dataPathsIn(katoFolder)));
            ReportTab* tab = w.reportTab();
            ReviewPanel* panel = tab->pnl確認;
            tab->openReport(kTanaka, u"20261201"_s);
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 修正済"_s);
            panel->approve();
            QCOMPARE(panel->lbl審査状態->text(), u"状態: 承認"_s);
            QVERIFY(!panel->cmd承認->isEnabled() && panel->cmd承認取消->isEnabled());
        }
        {
            FrmTesvan w;
            QVERIFY(w.loadFrom(app::dataPathsIn(tanakaFolder)));
            ReportTab* tab = w.reportTab();
            tab->openReport(kTanaka, u"20261201"_s);
            QCOMPARE(tab->pnl確認->lbl審査状態->text(), u"状態: 承認"_s);
            QVERIFY(!tab->cmd登録->isEnabled() && !tab->cmd行削除->isEnabled());
            QVERIFY2(tab->cmd登録->toolTip().startsWith(u"承認済みの日報"_s),
                     qPrintable(tab->cmd登録->toolTip()));
            boxes.shown.clear();
            tab->Entry日報();
            QCOMPARE(boxes.shown.size(), 1);
            QCOMPARE(boxes.shown[0].title, u"登録の拒否"_s);
            // Another day's report of one's own is one's own to register.
            tab->Dt日付->setDate(QDate(2026, 12, 2));
            QVERIFY(tab->cmd登録->isEnabled());
            QVERIFY(tab->cmd登録->toolTip().contains(u"Ctrl+S"_s));
        }
        Psql tanaka(u"tanaka"_s);
        QCOMPARE(tanaka.code(u"UPDATE 営業日報 SET 内容 = 'x' WHERE 氏名 = '田中一郎'"_s), u"42501"_s);
    }

    // 印刷 of a report with a thread: the preview offers it unticked; ticked, the thread as stored.
    void printWithComments()
    {
        QCOMPARE(store::addComment(as(u"sato"_s), kDay, kTanaka, u"同行します"_s), QString());
        testing::ScriptedBoxes boxes;
        FrmTesvan w;
        QVERIFY(w.loadFrom(app::dataPathsIn(dataFolder(u"kato"_s))));
        w.reportTab()->openReport(kTanaka, u"20261201"_s);
        w.reportTab()->Prn日報();
        PrintPreview* preview = w.findChild<PrintPreview*>();
        QVERIFY(preview && preview->withComments() && !preview->withComments()->isChecked());
        QVERIFY(preview->report().comments().isEmpty());
        preview->withComments()->setChecked(true);
        QCOMPARE(preview->report().comments().value(0).text, u"同行します"_s);
        QCOMPARE(preview->report().comments().value(0).by, kSato);
    }
};

QTEST_MAIN(TestReview)
#include "tst_review.moc"
