#include "store/PgEngine.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <cerrno>
#include <poll.h>
#include <thread>

#include "store/LibPq.h"
#include "store/Log.h"
#include "store/ServerSetting.h"

#include <QDate>
#include <QDateTime>
#include <vector>

namespace store {
namespace {

const ServerBounds kBounds;

std::mutex& noteLock()
{
    static std::mutex m;
    return m;
}

std::function<void(const QString&)>& noteSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

// The server's type numbers of the results that are not texts (pg_type.h).
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700
};

// SQLSTATEs of a wait cut short or lost to another session: lock_not_available (lock_timeout),
// query_canceled (statement_timeout), deadlock_detected, serialization_failure.
bool isBusyState(const char* state)
{
    return state && (qstrcmp(state, "55P03") == 0 || qstrcmp(state, "57014") == 0 ||
                     qstrcmp(state, "40P01") == 0 || qstrcmp(state, "40001") == 0);
}

// SQLSTATEs of a server that went away under the session: connection_exception (class 08),
// admin_shutdown, crash_shutdown, cannot_connect_now (a server starting or shutting down).
bool isServerGoneState(const char* state)
{
    return state && (qstrncmp(state, "08", 2) == 0 || qstrcmp(state, "57P01") == 0 ||
                     qstrcmp(state, "57P02") == 0 || qstrcmp(state, "57P03") == 0);
}

bool succeeded(PGresult* r)
{
    const ExecStatusType s = r ? libpq().PQresultStatus(r) : PGRES_FATAL_ERROR;
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

QByteArray textOf(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString*>(v.constData())->toUtf8();
    case QMetaType::Bool:
        return v.toBool() ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QByteArray::number(v.toDouble(), 'g', 17);
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate).toUtf8();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")).toUtf8();
    default:
        return v.toString().toUtf8();
    }
}

class PgStatement final : public EngineStatement {
  public:
    PgStatement(PgSession& session, QByteArray sql, int params)
        : m_session(session), m_sql(std::move(sql)), m_values(size_t(params)), m_null(size_t(params), true),
          m_binary(size_t(params), 0)
    {
    }
    ~PgStatement() override { clear(); }

    void bind(int position, const QVariant& v) override
    {
        if (position == 1) {
            std::fill(m_null.begin(), m_null.end(), true);
            std::fill(m_binary.begin(), m_binary.end(), 0);
        }
        m_runValues = position;
        if (size_t(position) > m_values.size() || isNullValue(v))
            return;
        const size_t i = size_t(position - 1);
        m_null[i] = false;
        // Bytes go as they are; everything else in the server's text form.
        m_binary[i] = v.metaType().id() == QMetaType::QByteArray;
        m_values[i] = m_binary[i] ? v.toByteArray() : textOf(v);
    }

    bool exec(int values) override
    {
        if (values > 0)
            m_runValues = values;
        if (size_t(m_runValues) != m_values.size()) {
            error = Error(QStringLiteral("Parameter count mismatch"));
            return false;
        }
        clear();
        std::vector<const char*> ptrs(m_values.size());
        std::vector<int> lengths(m_values.size());
        for (size_t i = 0; i < m_values.size(); ++i) {
            ptrs[i] = m_null[i] ? nullptr : m_values[i].constData();
            lengths[i] = int(m_values[i].size());
        }
        const int n = int(m_values.size());
        m_result = m_session.call(
            [&](PGconn*) -> PGresult* {
                return m_session.flight(&m_sql, [&](PGconn* c, const QByteArray& name) {
                    return libpq().PQsendQueryPrepared(c, name.constData(), n, ptrs.data(), lengths.data(),
                                                       m_binary.data(), 0);
                });
            },
            error);
        if (!m_result)
            return false;
        m_rows = libpq().PQntuples(m_result);
        m_changes = atoi(libpq().PQcmdTuples(m_result));
        return true;
    }

    bool next() override
    {
        if (!m_result || m_row + 1 >= m_rows)
            return false;
        ++m_row;
        return true;
    }

    QVariant value(int i) const override
    {
        if (!m_result || m_row < 0 || m_row >= m_rows)
            return {};
        const LibPq& pq = libpq();
        if (pq.PQgetisnull(m_result, m_row, i))
            return QVariant(QMetaType::fromType<QString>());
        const char* text = pq.PQgetvalue(m_result, m_row, i);
        const int length = pq.PQgetlength(m_result, m_row, i);
        switch (pq.PQftype(m_result, i)) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return qlonglong(QByteArrayView(text, length).toLongLong());
        case kBool:
            return qlonglong(*text == 't');
        case kFloat4:
        case kFloat8:
            return QByteArrayView(text, length).toDouble();
        case kNumeric: {
            // A whole sum stays a whole number, as SQLite's does.
            bool whole = false;
            const qlonglong n = QByteArrayView(text, length).toLongLong(&whole);
            return whole ? QVariant(n) : QVariant(QByteArrayView(text, length).toDouble());
        }
        case kBytea: {
            size_t size = 0;
            unsigned char* bytes = pq.PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
            const QByteArray out(reinterpret_cast<const char*>(bytes), qsizetype(size));
            pq.PQfreemem(bytes);
            return out;
        }
        default: // texts, and dates in their stored text form
            return QString::fromUtf8(text, length);
        }
    }

    int columnCount() const override
    {
        const PGresult* r = described();
        return r ? libpq().PQnfields(r) : 0;
    }

    QString columnName(int i) const override
    {
        const PGresult* r = described();
        return r ? QString::fromUtf8(libpq().PQfname(r, i)) : QString();
    }

    int rowsAffected() const override { return m_changes; }

    void finish() override { clear(); }

  private:
    void clear()
    {
        if (m_result)
            libpq().PQclear(m_result);
        m_result = nullptr;
        m_rows = 0;
        m_row = -1;
    }

    // The columns before a run come from the server's description of the statement.
    const PGresult* described() const
    {
        if (m_result)
            return m_result;
        if (!m_description) {
            Error ignored;
            m_description.reset(m_session.call(
                [&](PGconn*) -> PGresult* {
                    return m_session.flight(&m_sql, [](PGconn* c, const QByteArray& name) {
                        return libpq().PQsendDescribePrepared(c, name.constData());
                    });
                },
                ignored));
            // The columns stay unnamed; the statement's own run reports what went wrong.
            if (ignored.failed())
                qCInfo(lcStore).noquote() << "the server did not describe a statement:" << ignored.reason();
        }
        return m_description.get();
    }

    struct ResultFree {
        void operator()(PGresult* r) const { libpq().PQclear(r); }
    };

    PgSession& m_session;
    QByteArray m_sql;
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    std::vector<int> m_binary;
    int m_runValues = 0;
    PGresult* m_result = nullptr;
    mutable std::unique_ptr<PGresult, ResultFree> m_description;
    int m_rows = 0;
    int m_row = -1;
    int m_changes = 0;
};

} // namespace

QByteArray numberPlaceholders(const QString& sql, int& count)
{
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    count = 0;
    qsizetype i = 0;
    const auto copyUntil = [&](const QByteArray& end) {
        const qsizetype at = in.indexOf(end, i);
        const qsizetype stop = at < 0 ? in.size() : at + end.size();
        out.append(in.constData() + i, stop - i);
        i = stop;
    };
    while (i < in.size()) {
        const char c = in[i];
        if (c == '\'' || c == '"') { // a doubled quote inside ends and opens again: the same result
            out.append(c);
            ++i;
            copyUntil(QByteArray(1, c));
        } else if (c == '-' && i + 1 < in.size() && in[i + 1] == '-') {
            copyUntil(QByteArrayLiteral("\n"));
        } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
            copyUntil(QByteArrayLiteral("*/"));
        } else if (c == '$' && (i == 0 || !(std::isalnum(uchar(in[i - 1])) || in[i - 1] == '_'))) {
            // $tag$ … $tag$ (a $1 or a name's $ is no quote)
            qsizetype j = i + 1;
            while (j < in.size() && (std::isalpha(uchar(in[j])) || in[j] == '_'))
                ++j;
            if (j < in.size() && in[j] == '$') {
                const QByteArray tag = in.mid(i, j - i + 1);
                out.append(tag);
                i = j + 1;
                copyUntil(tag);
            } else {
                out.append(c);
                ++i;
            }
        } else if (c == '?') {
            out.append('$').append(QByteArray::number(++count));
            ++i;
        } else {
            out.append(c);
            ++i;
        }
    }
    return out;
}

PgSession::~PgSession()
{
    disconnect();
}

// The deadline of a connect (whole seconds, as libpq takes it), shorter than a statement's.
static int connectTimeoutS()
{
    return qBound(1, serverDeadlineMs() / 1000, 5);
}

Error PgSession::connect()
{
    const LibPq& pq = libpq();
    if (!pq.loaded)
        return Error(QStringLiteral("PostgreSQL のクライアントライブラリ（libpq.so.5）を読み込めません。"));
    disconnect();
    // Defaults first; the setting, expanded in place of dbname, overrides any of them. The
    // keepalives find a server that dropped off the network in about half a minute, not hours.
    const QByteArray setting = m_conninfo.trimmed().toUtf8();
    const char* keys[] = {
        "connect_timeout",     "application_name", "client_encoding",  "keepalives", "keepalives_idle",
        "keepalives_interval", "keepalives_count", "tcp_user_timeout", "dbname",     nullptr};
    const QByteArray connectTimeout = QByteArray::number(connectTimeoutS());
    const char* values[] = {connectTimeout.constData(), "tesvan", "UTF8", "1", "10", "5", "3", "20000",
                            setting.constData(),        nullptr};
    QElapsedTimer waited;
    waited.start();
    m_conn = pq.PQconnectdbParams(keys, values, 1);
    if (!m_conn)
        return Error(QStringLiteral("メモリ不足"));
    // A connect that used up its connect_timeout met a server that does not answer.
    if (pq.PQstatus(m_conn) != CONNECTION_OK && waited.elapsed() >= connectTimeoutS() * 1000 - 100) {
        disconnect();
        return noAnswer();
    }
    if (pq.PQstatus(m_conn) != CONNECTION_OK) {
        // The server's own words go under ours: they name the cause (refused login, no such
        // database, a server shutting down) but in English.
        const Error e(QStringLiteral("サーバーに接続できません。\n") +
                      withoutSecrets(QString::fromUtf8(pq.PQerrorMessage(m_conn)).trimmed()));
        disconnect();
        return e;
    }
    // The bounds go out with the session's first command, not in a round trip of their own.
    m_settingsPending = true;
    noteServer(QStringLiteral("%1:%2").arg(QString::fromUtf8(pq.PQhost(m_conn)),
                                           QString::fromUtf8(pq.PQport(m_conn))));
    m_lastUse.start();
    std::lock_guard guard(m_cancelLock);
    m_cancel = pq.PQgetCancel(m_conn);
    return {};
}

void PgSession::noteServer(const QString& server)
{
    const bool moved = !m_server.isEmpty() && server != m_server;
    m_server = server;
    if (!moved)
        return;
    std::function<void(const QString&)> sink;
    {
        std::lock_guard guard(noteLock());
        sink = noteSink();
    }
    if (sink)
        sink(QStringLiteral("サーバーを %1 に切り替えました。").arg(server));
}

bool PgSession::closeIfIdle(qint64 idleMs)
{
    if (!m_conn || m_inTransaction || !m_lastUse.isValid() || m_lastUse.elapsed() < idleMs)
        return false;
    disconnect();
    return true;
}

void PgSession::interrupt()
{
    std::lock_guard guard(m_cancelLock);
    char why[256];
    if (m_cancel)
        libpq().PQcancel(m_cancel, why, sizeof why);
}

void PgSession::disconnect()
{
    {
        std::lock_guard guard(m_cancelLock);
        if (m_cancel)
            libpq().PQfreeCancel(m_cancel);
        m_cancel = nullptr;
    }
    if (m_conn)
        libpq().PQfinish(m_conn);
    m_conn = nullptr;
    m_inTransaction = false;
    m_beginPending = false;
    m_settingsPending = false;
    m_names.clear();
}

// Before an operation starts: a session the server dropped (a restart, an idle timeout, a cut
// network) is found now, not by the operation's first statement, and opened afresh.
Error PgSession::ensureConnection()
{
    const LibPq& pq = libpq();
    if (m_conn && pq.PQconsumeInput(m_conn) && pq.PQstatus(m_conn) == CONNECTION_OK) {
        // A transaction that ended without us (never expected) is closed before anything else.
        if (pq.PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            pq.PQclear(await(pq.PQsendQuery(m_conn, "ROLLBACK")));
        if (m_timedOut)
            return noAnswer();
        return {};
    }
    return connect();
}

PGresult* PgSession::call(const std::function<PGresult*(PGconn*)>& send, Error& error)
{
    // The rule for a lost connection, for every operation, reading or writing. Outside a
    // transaction a command starts an operation: a lost session is opened afresh first, and a
    // command that meets a loss the check could not see yet is sent once more on a new session.
    // Under a transaction a loss fails the operation: the server never committed any of it, and
    // the next operation starts on a new session.
    // A transaction whose BEGIN has not gone out yet is still outside the server's: a loss met
    // now is met before the operation started, and its BEGIN goes out again on the new session.
    const bool beginning = m_inTransaction && m_beginPending;
    const bool starts = !m_inTransaction || beginning;
    const auto reopen = [this, beginning](bool always) {
        const Error e = always ? connect() : ensureConnection();
        if (e.ok() && beginning)
            m_inTransaction = m_beginPending = true;
        return e;
    };
    if (starts) {
        if (Error e = reopen(false); e.failed()) {
            error = e;
            return nullptr;
        }
    } else if (!m_conn) {
        error = Error(QStringLiteral("サーバーとの接続が切れています。"));
        return nullptr;
    }
    const LibPq& pq = libpq();
    m_timedOut = false;
    PGresult* r = send(m_conn);
    if (m_timedOut) {
        // The server did not answer in time: the session is dropped, and sending again would
        // wait as long once more. The operation fails; the next one opens a new session.
        pq.PQclear(r);
        error = noAnswer();
        return nullptr;
    }
    if (!succeeded(r) && starts && pq.PQstatus(m_conn) == CONNECTION_BAD) {
        pq.PQclear(r);
        r = nullptr;
        if (Error e = reopen(true); e.failed()) {
            error = e;
            return nullptr;
        }
        r = send(m_conn);
    }
    m_lastUse.start();
    if (succeeded(r))
        return r;
    error = errorOf(r);
    pq.PQclear(r);
    return nullptr;
}

int serverIdleMs()
{
    static const int ms = [] {
        bool ok = false;
        const int given = qEnvironmentVariableIntValue("TESVAN_SERVER_IDLE_MS", &ok);
        return ok && given >= 0 ? given : 60000;
    }();
    return ms;
}

void setServerNoteSink(std::function<void(const QString&)> sink)
{
    std::lock_guard guard(noteLock());
    noteSink() = std::move(sink);
}

int serverDeadlineMs()
{
    static const int ms = [] {
        bool ok = false;
        const int given = qEnvironmentVariableIntValue("TESVAN_SERVER_DEADLINE_MS", &ok);
        return ok && given > 0 ? given : kBounds.statementMs + 2000;
    }();
    return ms;
}

namespace {
// Waits until fd is ready for events or the deadline passes; false at the deadline.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        const int n = ::poll(&p, 1, int(qMin<qint64>(left, 1000)));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return true; // let libpq meet and report the error
    }
}
} // namespace

Error PgSession::noAnswer() const
{
    return Error::busy(
        QStringLiteral("サーバーが応答しません（%1 秒待ちました）。この操作の内容は保存されていません。")
            .arg(qRound(serverDeadlineMs() / 1000.0)));
}

PGresult* PgSession::await(int sent)
{
    const LibPq& pq = libpq();
    m_timedOut = false;
    if (!sent || !m_conn)
        return nullptr; // errorOf(nullptr) tells libpq's reason
    const QDeadlineTimer deadline(serverDeadlineMs());
    const int fd = pq.PQsocket(m_conn);
    bool answered = true;
    for (int f; answered && (f = pq.PQflush(m_conn)) != 0;) {
        if (f < 0)
            break;
        answered = waitFor(fd, POLLIN | POLLOUT, deadline);
        if (answered && !pq.PQconsumeInput(m_conn))
            break;
    }
    PGresult* last = nullptr;
    while (answered) {
        while (pq.PQisBusy(m_conn)) {
            if (!(answered = waitFor(fd, POLLIN, deadline)))
                break;
            if (!pq.PQconsumeInput(m_conn))
                break; // the loss is the next result's error
        }
        if (!answered)
            break;
        PGresult* r = pq.PQgetResult(m_conn);
        if (!r)
            return last;
        pq.PQclear(last);
        last = r;
    }
    pq.PQclear(last);
    giveUp();
    return nullptr;
}

bool PgSession::awaitPipeline(std::vector<PGresult*>& results)
{
    const LibPq& pq = libpq();
    const QDeadlineTimer deadline(serverDeadlineMs());
    const int fd = pq.PQsocket(m_conn);
    for (int f; (f = pq.PQflush(m_conn)) != 0;) {
        if (f < 0)
            return false;
        if (!waitFor(fd, POLLIN | POLLOUT, deadline)) {
            giveUp();
            return false;
        }
        if (!pq.PQconsumeInput(m_conn))
            return false;
    }
    // Each command's results end with a null; the sync's own result closes the pipeline.
    size_t item = 0;
    for (;;) {
        while (pq.PQisBusy(m_conn)) {
            if (!waitFor(fd, POLLIN, deadline)) {
                giveUp();
                return false;
            }
            if (!pq.PQconsumeInput(m_conn))
                return false;
        }
        PGresult* r = pq.PQgetResult(m_conn);
        if (!r) {
            if (++item > results.size())
                return false;
            continue;
        }
        if (pq.PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
            pq.PQclear(r);
            return item == results.size();
        }
        if (item >= results.size() || pq.PQstatus(m_conn) == CONNECTION_BAD) {
            pq.PQclear(r);
            return false;
        }
        pq.PQclear(results[item]);
        results[item] = r;
    }
}

void PgSession::giveUp()
{
    const LibPq& pq = libpq();
    // The cancel request waits for the server to take it, which a hung server never does: it
    // goes on a thread of its own with a copy of the session's key, and the session is dropped
    // here at once, so the server rolls back whatever the operation held once it runs again.
    if (PGcancel* copy = pq.PQgetCancel(m_conn)) {
        std::thread([copy] {
            char why[256];
            libpq().PQcancel(copy, why, sizeof why);
            libpq().PQfreeCancel(copy);
        }).detach();
    }
    disconnect();
    m_timedOut = true;
}

std::unique_ptr<EngineStatement> PgSession::prepare(const QString& sql, Error&)
{
    auto known = m_numbered.constFind(sql);
    if (known == m_numbered.cend()) {
        int count = 0;
        QByteArray text = numberPlaceholders(sql, count);
        known = m_numbered.insert(sql, {std::move(text), count});
    }
    // Prepared on the server with its first run, in the same round trip, and again on a session
    // opened afresh since; a statement the server refuses fails there.
    return std::make_unique<PgStatement>(*this, known->first, known->second);
}

PGresult* PgSession::flight(const QByteArray* sql,
                            const std::function<int(PGconn*, const QByteArray&)>& command)
{
    const LibPq& pq = libpq();
    m_timedOut = false;
    if (!m_conn || !pq.PQenterPipelineMode(m_conn))
        return nullptr;
    // What waits to go first: the session's bounds, the transaction's BEGIN.
    std::vector<int> kinds; // 0: bounds, 1: BEGIN, 2: preparation, 3: the command
    bool sent = true;
    const auto sendText = [&](const QByteArray& text, int kind) {
        sent =
            sent && pq.PQsendQueryParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
        kinds.push_back(kind);
    };
    if (m_settingsPending)
        sendText(QStringLiteral("SELECT set_config('lock_timeout', '%1', false), "
                                "set_config('statement_timeout', '%2', false), "
                                "set_config('idle_in_transaction_session_timeout', '%3', false)")
                     .arg(kBounds.lockMs)
                     .arg(kBounds.statementMs)
                     .arg(kBounds.idleInTransactionMs)
                     .toUtf8(),
                 0);
    if (m_beginPending)
        sendText(QByteArrayLiteral("BEGIN"), 1);
    QByteArray name, fresh;
    if (sql) {
        name = m_names.value(*sql);
        if (name.isEmpty()) {
            fresh = name = "tesvan_" + QByteArray::number(++m_nextName);
            sent = sent && pq.PQsendPrepare(m_conn, fresh.constData(), sql->constData(), 0, nullptr);
            kinds.push_back(2);
        }
    }
    sent = sent && command(m_conn, name);
    kinds.push_back(3);
    sent = sent && pq.PQpipelineSync(m_conn);
    std::vector<PGresult*> results(kinds.size(), nullptr);
    if (!sent || !awaitPipeline(results)) {
        for (PGresult* r : results)
            pq.PQclear(r);
        if (m_conn && !m_timedOut)
            pq.PQexitPipelineMode(m_conn);
        return nullptr; // errorOf(nullptr) tells libpq's reason, or the deadline passed
    }
    pq.PQexitPipelineMode(m_conn);
    // The first failure is the answer; what came after it was not run.
    PGresult* answer = nullptr;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const bool good = succeeded(results[i]);
        if (good && kinds[i] == 0)
            m_settingsPending = false;
        if (good && kinds[i] == 1)
            m_beginPending = false;
        if (good && kinds[i] == 2)
            m_names.insert(*sql, fresh);
        if (!answer && (!good || kinds[i] == 3))
            answer = std::exchange(results[i], nullptr);
        pq.PQclear(results[i]);
    }
    return answer;
}

Error PgSession::begin()
{
    // BEGIN goes out with the transaction's first statement; a session lost meanwhile is found
    // and opened again now, as for any operation's start.
    if (Error e = ensureConnection(); e.failed())
        return e;
    m_inTransaction = m_beginPending = true;
    return {};
}

Error PgSession::commit()
{
    Error e;
    if (m_beginPending) { // nothing reached the server
        m_inTransaction = m_beginPending = false;
        return e;
    }
    PGresult* r = call([this](PGconn* c) { return await(libpq().PQsendQuery(c, "COMMIT")); }, e);
    // COMMIT of a transaction a statement failed in answers ROLLBACK, not an error.
    if (r && qstrcmp(libpq().PQcmdStatus(r), "COMMIT") != 0)
        e = Error(QStringLiteral("トランザクションは取り消されました。"));
    libpq().PQclear(r);
    m_inTransaction = false;
    return e;
}

void PgSession::rollback()
{
    const LibPq& pq = libpq();
    if (!m_beginPending && m_conn && pq.PQstatus(m_conn) == CONNECTION_OK &&
        pq.PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        pq.PQclear(await(pq.PQsendQuery(m_conn, "ROLLBACK")));
    m_inTransaction = m_beginPending = false;
}

Error PgSession::execute(const QString& sql)
{
    Error e;
    const QByteArray text = sql.toUtf8();
    libpq().PQclear(call(
        [this, &text](PGconn* c) -> PGresult* {
            // A text of several statements goes alone (the simple protocol); what waits to go
            // first goes in a round trip before it.
            if (m_settingsPending || m_beginPending) {
                PGresult* first = flight(nullptr, [](PGconn* conn, const QByteArray&) {
                    return libpq().PQsendQueryParams(conn, "SELECT 1", 0, nullptr, nullptr, nullptr, nullptr,
                                                     0);
                });
                if (!succeeded(first) || m_timedOut)
                    return first;
                libpq().PQclear(first);
            }
            return await(libpq().PQsendQuery(c, text.constData()));
        },
        e));
    return e;
}

Error PgSession::errorOf(PGresult* r) const
{
    if (succeeded(r))
        return {};
    const LibPq& pq = libpq();
    const char* primary = r ? pq.PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = QString::fromUtf8(primary ? primary : m_conn ? pq.PQerrorMessage(m_conn) : "").trimmed();
    if (text.isEmpty())
        text = QStringLiteral("サーバーとの接続が切れています。");
    const char* state = r ? pq.PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    if (isBusyState(state))
        return Error::busy(text);
    if (isServerGoneState(state))
        text = QStringLiteral(
                   "サーバーが停止したか、再起動中です。しばらく待ってから、もう一度実行してください。\n") +
               text;
    return Error(withoutSecrets(text));
}

} // namespace store
