#include "store/TextIndex.h"

#include "store/Server.h"
#include "store/TextFold.h"

#include <sqlite3.h>

#include <mutex>

namespace store {
namespace {

// ---- the tokenizer ---------------------------------------------------------------------------

int tokCreate(void*, const char**, int, Fts5Tokenizer** out)
{
    static int dummy = 0;
    *out = reinterpret_cast<Fts5Tokenizer*>(&dummy);
    return SQLITE_OK;
}

void tokDelete(Fts5Tokenizer*)
{
}

using TokenFn = int (*)(void*, int, const char*, int, int, int);

int tokTokenize(Fts5Tokenizer*, void* ctx, int flags, const char* text, int size, TokenFn token)
{
    if (size <= 0)
        return SQLITE_OK;
    // A query's strings are tokens already (textIndexQuery made them).
    if (flags & FTS5_TOKENIZE_QUERY)
        return token(ctx, 0, text, size, 0, size);
    const QString folded = foldText(QString::fromUtf8(text, size));
    // The characters of the text, each as UTF-8; a blank ends a run (no keyword holds one).
    QByteArray prev;
    QByteArray pair;
    for (qsizetype i = 0; i < folded.size();) {
        const qsizetype n = folded[i].isHighSurrogate() && i + 1 < folded.size() ? 2 : 1;
        const QStringView ch = QStringView(folded).mid(i, n);
        i += n;
        if (ch.size() == 1 && ch[0].isSpace()) {
            prev.clear();
            continue;
        }
        const QByteArray cur = ch.toUtf8();
        if (int rc = token(ctx, 0, cur.constData(), int(cur.size()), 0, size); rc != SQLITE_OK)
            return rc;
        if (!prev.isEmpty()) {
            pair = prev + cur;
            if (int rc = token(ctx, 0, pair.constData(), int(pair.size()), 0, size); rc != SQLITE_OK)
                return rc;
        }
        prev = cur;
    }
    return SQLITE_OK;
}

fts5_api* fts5Of(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &s, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(s, 1, reinterpret_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(s);
    sqlite3_finalize(s);
    return api;
}

// tesvan_holds(word, text...): whether one of the texts, folded, holds word (folded already).
void holds(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const auto textOf = [](sqlite3_value* v) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    };
    const QString word = textOf(argv[0]);
    int found = 0;
    for (int i = 1; i < argc && !found; ++i)
        if (sqlite3_value_type(argv[i]) != SQLITE_NULL && foldText(textOf(argv[i])).contains(word))
            found = 1;
    sqlite3_result_int(ctx, found);
}

int onOpen(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_create_function_v2(db, "tesvan_holds", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, holds,
                               nullptr, nullptr, nullptr);
    fts5_api* api = fts5Of(db);
    if (!api)
        return SQLITE_OK; // a library without FTS5: the index cannot be made, searches scan
    fts5_tokenizer t{tokCreate, tokDelete, tokTokenize};
    return api->xCreateTokenizer(api, "tesvan", nullptr, &t, nullptr);
}

// The line's key as the FTS row number: name number (21 bits), report date as a Julian day
// (22 bits), line number (20 bits).
QString keyOf(const QString& row)
{
    return QStringLiteral("(((SELECT 番号 FROM 営業日報検索氏名 WHERE 氏名 = %1.氏名) << 42) | "
                          "(CAST(julianday(%1.作成日) AS INTEGER) << 20) | %1.行番号)")
        .arg(row);
}

QString indexable(const QString& row)
{
    return QStringLiteral("julianday(%1.作成日) IS NOT NULL AND %1.行番号 BETWEEN 0 AND 1048575").arg(row);
}

QString addRow(const QString& row)
{
    return QStringLiteral("INSERT OR IGNORE INTO 営業日報検索氏名 (氏名) VALUES (%1.氏名); "
                          "INSERT INTO 営業日報検索 (rowid, 内容, 訪問先, 担当, 備考) "
                          "VALUES (%2, %1.内容, %1.訪問先, %1.担当, %1.備考);")
        .arg(row, keyOf(row));
}

QString removeRow(const QString& row)
{
    return QStringLiteral("INSERT INTO 営業日報検索 (営業日報検索, rowid, 内容, 訪問先, 担当, 備考) "
                          "VALUES ('delete', %2, %1.内容, %1.訪問先, %1.担当, %1.備考);")
        .arg(row, keyOf(row));
}

} // namespace

void registerTextTokenizer()
{
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&onOpen)); });
}

QStringList textIndexStatements()
{
    return {
        QStringLiteral("CREATE TABLE 営業日報検索氏名 (番号 INTEGER PRIMARY KEY, 氏名 TEXT NOT NULL UNIQUE)"),
        QStringLiteral("CREATE VIRTUAL TABLE 営業日報検索 USING fts5(内容, 訪問先, 担当, 備考, content='', "
                       "detail='none', columnsize=0, tokenize='tesvan')"),
        QStringLiteral("CREATE TRIGGER 営業日報検索_追加 AFTER INSERT ON 営業日報 WHEN %1 BEGIN %2 END")
            .arg(indexable(QStringLiteral("new")), addRow(QStringLiteral("new"))),
        QStringLiteral("CREATE TRIGGER 営業日報検索_削除 AFTER DELETE ON 営業日報 WHEN %1 BEGIN %2 END")
            .arg(indexable(QStringLiteral("old")), removeRow(QStringLiteral("old"))),
        QStringLiteral("CREATE TRIGGER 営業日報検索_変更前 BEFORE UPDATE ON 営業日報 WHEN %1 BEGIN %2 END")
            .arg(indexable(QStringLiteral("old")), removeRow(QStringLiteral("old"))),
        QStringLiteral("CREATE TRIGGER 営業日報検索_変更後 AFTER UPDATE ON 営業日報 WHEN %1 BEGIN %2 END")
            .arg(indexable(QStringLiteral("new")), addRow(QStringLiteral("new"))),
        QStringLiteral("CREATE INDEX 営業日報_日時 ON 営業日報 "
                       "(coalesce(日付, ''), coalesce(時間, ''), 氏名, 作成日, 行番号)"),
        QStringLiteral("CREATE INDEX 営業日報_氏名日時 ON 営業日報 "
                       "(氏名, coalesce(日付, ''), coalesce(時間, ''), 作成日, 行番号)"),
    };
}

QStringList serverTextIndexStatements()
{
    // Folded as the program folds: NFKC, then lower case by Unicode's rules (the text columns'
    // "C" collation would lower ASCII letters only), with the ICU collation every usual build
    // has; a server without ICU lowers by its default collation. Then split into characters and
    // neighbouring pairs, none holding a blank, in time linear in the text's length (a
    // substr() at each place would read a long text from its start every time). Its cost tells the planner
    // what it is: worth computing for the few rows the index gives, never for every row walked or scanned.
    const QString fold = QStringLiteral(
        "CREATE FUNCTION tesvan_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE "
        "AS $f$ SELECT lower(normalize(t, NFKC)%1) $f$");
    return {
        QStringLiteral("DO $$ BEGIN IF EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'und-x-icu') THEN "
                       "EXECUTE '%1'; ELSE EXECUTE '%2'; END IF; END $$")
            .arg(fold.arg(QStringLiteral(" COLLATE \"und-x-icu\"")), fold.arg(QString())),
        QStringLiteral(
            "CREATE FUNCTION tesvan_grams(a text, b text, c text, d text) RETURNS text[] LANGUAGE sql "
            "IMMUTABLE "
            "PARALLEL SAFE COST 5000 AS $$ SELECT coalesce(array_agg(DISTINCT v.g), '{}') FROM (SELECT x.ch, "
            "lead(x.ch) OVER (PARTITION BY f.k ORDER BY x.n) AS nx FROM unnest(ARRAY[a, b, c, d]) WITH "
            "ORDINALITY "
            "AS f(t, k), unnest(string_to_array(tesvan_fold(f.t), NULL)) WITH ORDINALITY AS x(ch, n)) p, "
            "LATERAL (VALUES (p.ch), (p.ch || p.nx)) AS v(g) WHERE v.g IS NOT NULL AND v.g !~ '[[:space:]]' "
            "$$"),
        QStringLiteral("CREATE INDEX 営業日報_検索 ON 営業日報 USING gin (%1)").arg(serverGramsOf(QString())),
        QStringLiteral("CREATE INDEX 営業日報_日時 ON 営業日報 "
                       "(coalesce(日付, '-infinity'::date), coalesce(時間, ''), 氏名, 作成日, 行番号)"),
        QStringLiteral("CREATE INDEX 営業日報_氏名日時 ON 営業日報 "
                       "(氏名, coalesce(日付, '-infinity'::date), coalesce(時間, ''), 作成日, 行番号)"),
    };
}

QString serverGramsOf(const QString& row)
{
    const QString p = row.isEmpty() ? QString() : row + u'.';
    return QStringLiteral("tesvan_grams(%1内容, %1訪問先, %1担当, %1備考)").arg(p);
}

bool hasTextIndex(const QSqlDatabase& db)
{
    Statement s(db, isServer(db) ? QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = "
                                                  "current_schema() AND indexname IN (?, ?)")
                                 : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (?, ?)"));
    s.bind(isServer(db) ? QStringLiteral("営業日報_検索") : kTextIndex)
        .bind(QStringLiteral("営業日報_氏名日時"));
    bool have = false;
    forEachRow(s, [&have](Statement& r) { have = r.value(0).toInt() == 2; });
    return have;
}

Error makeTextIndex(const QSqlDatabase& db)
{
    if (isServer(db)) {
        for (const QString& sql : serverTextIndexStatements())
            if (Error e = run(db, sql); e.failed())
                return e;
        return {};
    }
    for (const QString& sql : textIndexStatements())
        if (Error e = run(db, sql); e.failed())
            return e;
    if (Error e = run(db, QStringLiteral("INSERT INTO 営業日報検索氏名 (氏名) "
                                         "SELECT DISTINCT 氏名 FROM 営業日報 ORDER BY 氏名"));
        e.failed())
        return e;
    return run(db, QStringLiteral("INSERT INTO 営業日報検索 (rowid, 内容, 訪問先, 担当, 備考) "
                                  "SELECT %1, l.内容, l.訪問先, l.担当, l.備考 FROM 営業日報 l WHERE %2")
                       .arg(keyOf(QStringLiteral("l")), indexable(QStringLiteral("l"))));
}

namespace {
std::function<void()>& buildNotice()
{
    static std::function<void()> notice;
    return notice;
}
} // namespace

void onTextIndexBuild(std::function<void()> before)
{
    buildNotice() = std::move(before);
}

Error addTextIndex(const QSqlDatabase& db)
{
    if (hasTextIndex(db))
        return {};
    if (buildNotice())
        buildNotice()();
    // Anything of ours a hand or another tool left half is taken away first.
    return inTransaction(db, [&db] {
        const Error e = dropTextIndex(db);
        return e.failed() ? e : makeTextIndex(db);
    });
}

Error dropTextIndex(const QSqlDatabase& db)
{
    if (isServer(db)) {
        if (Error e = run(
                db, QStringLiteral("DROP INDEX IF EXISTS 営業日報_検索, 営業日報_日時, 営業日報_氏名日時"));
            e.failed())
            return e;
        if (Error e = run(db, QStringLiteral("DROP FUNCTION IF EXISTS tesvan_grams")); e.failed())
            return e;
        return run(db, QStringLiteral("DROP FUNCTION IF EXISTS tesvan_fold"));
    }
    for (const char* sql :
         {"DROP TRIGGER IF EXISTS 営業日報検索_追加", "DROP TRIGGER IF EXISTS 営業日報検索_削除",
          "DROP TRIGGER IF EXISTS 営業日報検索_変更前", "DROP TRIGGER IF EXISTS 営業日報検索_変更後",
          "DROP TABLE IF EXISTS 営業日報検索", "DROP TABLE IF EXISTS 営業日報検索氏名",
          "DROP INDEX IF EXISTS 営業日報_日時", "DROP INDEX IF EXISTS 営業日報_氏名日時"})
        if (Error e = run(db, QString::fromUtf8(sql)); e.failed())
            return e;
    return {};
}

QStringList textIndexTokens(const QString& foldedWord)
{
    QStringList chars;
    for (qsizetype i = 0; i < foldedWord.size();) {
        const qsizetype n = foldedWord[i].isHighSurrogate() && i + 1 < foldedWord.size() ? 2 : 1;
        chars << foldedWord.mid(i, n);
        i += n;
    }
    if (chars.size() <= 1)
        return chars;
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < chars.size(); ++i)
        if (!pairs.contains(chars[i] + chars[i + 1]))
            pairs << chars[i] + chars[i + 1];
    return pairs;
}

QString textIndexQuery(const QStringList& foldedWords)
{
    QStringList parts;
    for (const QString& w : foldedWords)
        for (QString t : textIndexTokens(w))
            parts << u'"' + t.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return parts.join(QStringLiteral(" AND "));
}

} // namespace store
