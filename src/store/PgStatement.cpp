// A server statement: its values bound in the server's text form (bytes as they are), run through
// the session's rule for a lost connection, and its rows read back as SQLite's would be.
#include "store/PgEngine.h"

#include "store/LibPq.h"
#include "store/Log.h"

#include <QDate>
#include <QDateTime>
#include <vector>

namespace store {
namespace {

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

} // namespace store
