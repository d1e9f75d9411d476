#include "store/PgEngine.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <cerrno>
#include <poll.h>
#include <thread>

#include "store/LibPq.h"
#include "store/Log.h"
#include "store/ServerSetting.h"

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

bool succeeded(PGresult* r)
{
    const ExecStatusType s = r ? libpq().PQresultStatus(r) : PGRES_FATAL_ERROR;
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

} // namespace

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
        error = Error(QStringLiteral("サーバーとの接続が切れています。"), ErrorKind::ServerGone);
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
    return Error(
        QStringLiteral("サーバーが応答しません（%1 秒待ちました）。この操作の内容は保存されていません。")
            .arg(qRound(serverDeadlineMs() / 1000.0)),
        ErrorKind::TimedOut);
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
    // No result at all: the session was lost before the server answered.
    const char* state = r ? pq.PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const ErrorKind kind = r ? Error::kindOfState(state) : ErrorKind::ServerGone;
    if (kind == ErrorKind::Busy)
        return Error(text, kind);
    if (kind == ErrorKind::ServerGone && state)
        text = QStringLiteral(
                   "サーバーが停止したか、再起動中です。しばらく待ってから、もう一度実行してください。\n") +
               text;
    return Error(withoutSecrets(text), kind);
}

} // namespace store
