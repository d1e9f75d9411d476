// The SQL functions every SQLite connection of the process is given for the search index.
#include "store/TextIndex.h"
#include "store/TextIndexParts.h"
#include "store/TextFold.h"

#include <sqlite3.h>

#include <mutex>

namespace store {
namespace {

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

// tesvan_runs(x): how many runs of equal values x takes, in the order given (the distinct values
// of a sorted input, without a table to keep them in); NULL when a value came smaller than the
// one before it (the input was not sorted).
struct Runs {
    qint64 last = 0;
    qint64 runs = 0;
    bool unsorted = false;
};

void runsStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* r = static_cast<Runs*>(sqlite3_aggregate_context(ctx, sizeof(Runs)));
    if (!r || sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    const qint64 v = sqlite3_value_int64(argv[0]);
    if (r->runs > 0 && v < r->last)
        r->unsorted = true;
    if (r->runs == 0 || v != r->last)
        ++r->runs;
    r->last = v;
}

void runsFinal(sqlite3_context* ctx)
{
    auto* r = static_cast<Runs*>(sqlite3_aggregate_context(ctx, 0));
    if (r && r->unsorted)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, r ? r->runs : 0);
}

// The earlier version's tokenizer, known by name only, so that its index can be dropped.
int oldTokCreate(void*, const char**, int, Fts5Tokenizer** out)
{
    static int dummy = 0;
    *out = reinterpret_cast<Fts5Tokenizer*>(&dummy);
    return SQLITE_OK;
}
void oldTokDelete(Fts5Tokenizer*)
{
}
int oldTokTokenize(Fts5Tokenizer*, void*, int, const char*, int,
                   int (*)(void*, int, const char*, int, int, int))
{
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

int onOpen(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_create_function_v2(db, "tesvan_holds", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, holds,
                               nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "tesvan_runs", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                               runsStep, runsFinal, nullptr);
    if (fts5_api* api = fts5Of(db)) {
        fts5_tokenizer t{oldTokCreate, oldTokDelete, oldTokTokenize};
        api->xCreateTokenizer(api, "tesvan", nullptr, &t, nullptr);
    }
    return SQLITE_OK;
}

} // namespace

void registerTextFunctions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&onOpen));
        setBeforeCommit(&settleQueue);
    });
}

} // namespace store
