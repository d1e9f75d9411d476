#include "store/PgEngine.h"

#include "store/LibPq.h"
#include "store/Server.h"

#include <QDate>
#include <QDateTime>
#include <vector>

namespace store {
namespace {

const ServerBounds kBounds;

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
            [&](PGconn* c) -> PGresult* {
                QByteArray name;
                if (PGresult* failed = m_session.prepared(m_sql, name))
                    return failed;
                return libpq().PQexecPrepared(c, name.constData(), n, ptrs.data(), lengths.data(),
                                              m_binary.data(), 0);
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
                [&](PGconn* c) -> PGresult* {
                    QByteArray name;
                    if (PGresult* failed = m_session.prepared(m_sql, name))
                        return failed;
                    return libpq().PQdescribePrepared(c, name.constData());
                },
                ignored));
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
    const char* values[] = {"5",    "tesvan", "UTF8", "1", "10", "5", "3", "20000", setting.constData(),
                            nullptr};
    m_conn = pq.PQconnectdbParams(keys, values, 1);
    if (!m_conn)
        return Error(QStringLiteral("メモリ不足"));
    if (pq.PQstatus(m_conn) != CONNECTION_OK) {
        const Error e(withoutSecrets(QString::fromUtf8(pq.PQerrorMessage(m_conn)).trimmed()));
        disconnect();
        return e;
    }
    const QByteArray bounds = QStringLiteral("SET lock_timeout = %1; SET statement_timeout = %2; "
                                             "SET idle_in_transaction_session_timeout = %3")
                                  .arg(kBounds.lockMs)
                                  .arg(kBounds.statementMs)
                                  .arg(kBounds.idleInTransactionMs)
                                  .toUtf8();
    PGresult* r = pq.PQexec(m_conn, bounds.constData());
    const Error e = errorOf(r);
    pq.PQclear(r);
    if (e.failed())
        disconnect();
    return e;
}

void PgSession::disconnect()
{
    if (m_conn)
        libpq().PQfinish(m_conn);
    m_conn = nullptr;
    m_inTransaction = false;
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
            pq.PQclear(pq.PQexec(m_conn, "ROLLBACK"));
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
    const bool starts = !m_inTransaction;
    if (starts) {
        if (Error e = ensureConnection(); e.failed()) {
            error = e;
            return nullptr;
        }
    } else if (!m_conn) {
        error = Error(QStringLiteral("サーバーとの接続が切れています。"));
        return nullptr;
    }
    const LibPq& pq = libpq();
    PGresult* r = send(m_conn);
    if (!succeeded(r) && starts && pq.PQstatus(m_conn) == CONNECTION_BAD) {
        pq.PQclear(r);
        r = nullptr;
        if (Error e = connect(); e.failed()) {
            error = e;
            return nullptr;
        }
        r = send(m_conn);
    }
    if (succeeded(r))
        return r;
    error = errorOf(r);
    pq.PQclear(r);
    return nullptr;
}

PGresult* PgSession::prepared(const QByteArray& sql, QByteArray& name)
{
    name = m_names.value(sql);
    if (!name.isEmpty())
        return nullptr;
    PGresult* r = prepareNow(sql);
    if (!succeeded(r))
        return r;
    libpq().PQclear(r);
    name = m_names.value(sql);
    return nullptr;
}

PGresult* PgSession::prepareNow(const QByteArray& sql)
{
    const QByteArray fresh = "tesvan_" + QByteArray::number(++m_nextName);
    PGresult* r = libpq().PQprepare(m_conn, fresh.constData(), sql.constData(), 0, nullptr);
    if (succeeded(r))
        m_names.insert(sql, fresh);
    return r;
}

std::unique_ptr<EngineStatement> PgSession::prepare(const QString& sql, Error& error)
{
    auto known = m_numbered.constFind(sql);
    if (known == m_numbered.cend()) {
        int count = 0;
        QByteArray text = numberPlaceholders(sql, count);
        known = m_numbered.insert(sql, {std::move(text), count});
    }
    QByteArray numbered = known->first;
    const int params = known->second;
    // Prepared once per session: a statement already known costs no round trip until it runs,
    // and a session opened afresh in between prepares it again then.
    if (!m_names.contains(numbered)) {
        PGresult* r = call([&](PGconn*) { return prepareNow(numbered); }, error);
        if (!r)
            return nullptr;
        libpq().PQclear(r);
    }
    return std::make_unique<PgStatement>(*this, std::move(numbered), params);
}

Error PgSession::begin()
{
    Error e;
    PGresult* r = call([](PGconn* c) { return libpq().PQexec(c, "BEGIN"); }, e);
    libpq().PQclear(r);
    m_inTransaction = e.ok();
    return e;
}

Error PgSession::commit()
{
    Error e;
    PGresult* r = call([](PGconn* c) { return libpq().PQexec(c, "COMMIT"); }, e);
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
    if (m_conn && pq.PQstatus(m_conn) == CONNECTION_OK && pq.PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        pq.PQclear(pq.PQexec(m_conn, "ROLLBACK"));
    m_inTransaction = false;
}

Error PgSession::execute(const QString& sql)
{
    Error e;
    const QByteArray text = sql.toUtf8();
    libpq().PQclear(call([&text](PGconn* c) { return libpq().PQexec(c, text.constData()); }, e));
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
    return Error(withoutSecrets(text));
}

} // namespace store
