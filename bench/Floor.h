#pragma once
// The benchmark's floor: the same database work done directly through SQLite's C API, with
// prepared statements and one transaction per file; and the data both sides run on.
#include "store/Error.h"

#include <QDate>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <string>

namespace bench {

constexpr int kPersons = 50;
constexpr int kReports = 10000;
constexpr int kLines = 20;
constexpr int kListHeaders = 100000;
constexpr int kDeleted = 100;

[[noreturn]] inline void die(const std::string& what)
{
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

inline void check(const char* what, const store::Error& e)
{
    if (e.failed())
        die(std::string(what) + ": " + e.reason().toStdString());
}

inline std::string dateText(int day)
{
    return QDate(2000, 1, 1).addDays(day).toString(Qt::ISODate).toStdString();
}

inline std::string personName(int p)
{
    return QStringLiteral("社員%1").arg(p).toStdString();
}

// ---- the floor: SQLite's C API ----

using Text = std::optional<std::string>;

class Raw {
  public:
    Raw(const QString& path, bool mainFile)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            die("raw open " + path.toStdString());
        sqlite3_busy_timeout(m_db, 2000);
        exec(mainFile ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
    }
    ~Raw()
    {
        for (auto& [sql, s] : m_cache)
            sqlite3_finalize(s);
        sqlite3_close(m_db);
    }
    void exec(const char* sql)
    {
        char* msg = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
            const std::string m = msg ? msg : "?";
            sqlite3_free(msg);
            die(std::string(sql) + ": " + m);
        }
    }
    // A prepared statement, reset and unbound, prepared once per connection.
    sqlite3_stmt* st(const char* sql)
    {
        sqlite3_stmt*& s = m_cache[sql];
        if (!s && sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
            die(std::string(sql) + ": " + sqlite3_errmsg(m_db));
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        return s;
    }
    void done(sqlite3_stmt* s)
    {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            die(std::string("step: ") + sqlite3_errmsg(m_db));
    }
    bool row(sqlite3_stmt* s)
    {
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            die(std::string("step: ") + sqlite3_errmsg(m_db));
        return false;
    }
    sqlite3* db() const { return m_db; }

  private:
    sqlite3* m_db = nullptr;
    std::map<std::string, sqlite3_stmt*> m_cache;
};

inline void bindText(sqlite3_stmt* s, int i, const Text& t)
{
    if (t)
        sqlite3_bind_text(s, i, t->data(), int(t->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, i);
}

inline Text column(sqlite3_stmt* s, int i)
{
    if (sqlite3_column_type(s, i) == SQLITE_NULL)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                       size_t(sqlite3_column_bytes(s, i)));
}

inline void rawInsertReports(Raw& main, int first, int count, int persons, int lines)
{
    main.exec("BEGIN");
    sqlite3_stmt* h = main.st("INSERT INTO 営業日報ヘッダ VALUES (?, ?, '営業部', '日報')");
    sqlite3_stmt* l =
        main.st("INSERT INTO 営業日報 VALUES (?, ?, ?, ?, ?, '0930', '担当者', ?, '訪問の内容', ?)");
    for (int i = first; i < first + count; ++i) {
        const std::string d = dateText(i / persons), name = personName(i % persons);
        sqlite3_reset(h);
        bindText(h, 1, d);
        bindText(h, 2, name);
        main.done(h);
        for (int n = 1; n <= lines; ++n) {
            sqlite3_reset(l);
            bindText(l, 1, d);
            bindText(l, 2, name);
            sqlite3_bind_int(l, 3, n);
            bindText(l, 4, d);
            bindText(l, 5, d);
            bindText(l, 6, "訪問先" + std::to_string(n % 150 + 1));
            bindText(l, 7, "備考" + std::to_string(n % 150 + 1));
            main.done(l);
        }
    }
    main.exec("COMMIT");
}

inline void rawNames(Raw& main)
{
    main.exec("BEGIN");
    main.exec("UPDATE コードマスタ SET sname = kcode || code WHERE kcode IN ('所属', '氏名')");
    main.exec("UPDATE コードマスタ SET sname = kcode || CAST(code AS INTEGER)");
    main.exec("COMMIT");
}

} // namespace bench
