#include "store/Db.h"

#include "store/PageChecks.h"
#include "store/PgDriver.h"
#include "store/SqliteEngine.h"

#include <algorithm>
#include <bit>

namespace store {

std::shared_ptr<Engine> engineOf(const QSqlDatabase& db)
{
    if (std::shared_ptr<PgSession> server = PgDriver::sessionOf(db))
        return server;
    return SqliteEngine::of(db);
}

bool isServer(const QSqlDatabase& db)
{
    return PgDriver::sessionOf(db) != nullptr;
}

std::optional<ChangeMark> changeMark(const QSqlDatabase& db)
{
    const std::shared_ptr<Engine> engine = engineOf(db);
    return engine ? engine->changeMark() : std::nullopt;
}

namespace {

Error notConnected(const QString& connection)
{
    return Error(QStringLiteral("データベース「%1」に接続していません。").arg(connection));
}

} // namespace

Transaction::Transaction(const QSqlDatabase& db) : m_engine(engineOf(db)), m_connection(db.connectionName())
{
    m_error = writeAllowed(m_connection);
    if (m_error.failed())
        return;
    if (!m_engine) {
        m_error = notConnected(m_connection);
        return;
    }
    // A server's engine finds a connection lost since the last operation here, and opens it afresh.
    m_error = m_engine->begin();
    m_open = m_error.ok();
}

Transaction::~Transaction()
{
    if (m_open)
        m_engine->rollback();
}

namespace {
void (*beforeCommit)(const QString&) = nullptr;
} // namespace

void setBeforeCommit(void (*step)(const QString& connection))
{
    beforeCommit = step;
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    if (beforeCommit)
        beforeCommit(m_connection);
    m_error = m_engine->commit();
    if (m_error.failed())
        return false;
    m_open = false;
    return true;
}

bool isNullValue(const QVariant& v)
{
    if (v.isNull())
        return true;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(v.constData())->isNull();
    case QMetaType::QDate:
        return v.toDate().isNull();
    case QMetaType::QDateTime:
        return v.toDateTime().isNull();
    case QMetaType::QTime:
        return v.toTime().isNull();
    default:
        return false;
    }
}

Statement::Statement(const QSqlDatabase& db, const QString& sql) : m_engine(engineOf(db))
{
    if (!m_engine) {
        m_error = notConnected(db.connectionName());
        return;
    }
    m_impl = m_engine->prepare(sql, m_error);
}

Statement::~Statement() = default;

int Statement::nextPosition()
{
    const int position = ++m_bound;
    return m_impl ? position : 0;
}

void Statement::keepImplError()
{
    if (m_impl->error.failed() && m_error.ok())
        m_error = m_impl->error;
}

Statement& Statement::bind(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QString)
        return bind(*static_cast<const QString*>(v.constData()));
    const int position = nextPosition();
    if (!position)
        return *this;
    m_impl->bind(position, v);
    keepImplError();
    return *this;
}

Statement& Statement::bind(const QString& text)
{
    const int position = nextPosition();
    if (!position)
        return *this;
    // Most texts hold neither a surrogate nor U+0000: one look at each unit finds that.
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() == 0 || QChar::isSurrogate(c.unicode());
    });
    if (plain) {
        m_impl->bindText(position, text);
    } else {
        const QString clean = cleanText(text);
        if (clean.contains(QChar(u'\0')) && m_error.ok())
            m_error = Error(nulRefused());
        m_impl->bindText(position, clean);
    }
    keepImplError();
    return *this;
}

Statement& Statement::bindInteger(qint64 n)
{
    const int position = nextPosition();
    if (!position)
        return *this;
    m_impl->bindInteger(position, n);
    keepImplError();
    return *this;
}

Statement& Statement::bindColumn(const Statement& from, int column)
{
    if (m_impl && from.m_impl && m_impl->bindColumn(m_bound + 1, *from.m_impl, column)) {
        ++m_bound;
        keepImplError();
        return *this;
    }
    return bind(from.value(column));
}

bool Statement::exec()
{
    const int bound = m_bound;
    m_bound = 0;
    if (m_error.failed() || !m_impl)
        return false;
    m_impl->error = {};
    const bool ran = m_impl->exec(bound);
    m_error = m_impl->error;
    return ran && m_error.ok();
}

bool Statement::next()
{
    if (m_error.failed() || !m_impl)
        return false;
    if (m_impl->next())
        return true;
    // next() is false both at the end and on an error part-way: tell them apart.
    m_error = m_impl->error;
    return false;
}

QVariant Statement::value(int i) const
{
    return m_impl ? m_impl->value(i) : QVariant();
}

QString Statement::text(int i) const
{
    return m_impl ? m_impl->text(i) : QString();
}

qint64 Statement::integer(int i) const
{
    return m_impl ? m_impl->integer(i) : 0;
}

int Statement::columnCount() const
{
    return m_impl ? m_impl->columnCount() : 0;
}

QString Statement::columnName(int i) const
{
    return m_impl ? m_impl->columnName(i) : QString();
}

int Statement::rowsAffected() const
{
    return m_impl ? m_impl->rowsAffected() : 0;
}

void Statement::finish()
{
    if (m_impl)
        m_impl->finish();
}

Error run(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    // A server prepares only queries; a statement without values (a table's definition) is sent
    // as it stands there.
    if (values.isEmpty()) {
        if (std::shared_ptr<PgSession> server = PgDriver::sessionOf(db))
            return server->execute(sql);
    }
    Statement s(db, sql);
    for (const QVariant& v : values)
        s.bind(v);
    s.exec();
    return s.error();
}

QString placeholders(int n)
{
    QString s;
    s.reserve(3 * n);
    for (int i = 0; i < n; ++i)
        s += i ? QStringLiteral(", ?") : QStringLiteral("?");
    return s;
}

qsizetype nextRun(qsizetype count, qsizetype limit)
{
    return qsizetype(std::bit_floor(size_t(std::clamp<qsizetype>(count, 1, limit))));
}

QString nulRefused()
{
    return QStringLiteral(
        "文字列に NUL 文字（U+0000）が含まれているため保存できません。その文字を除いてください。");
}

QString cleanText(const QString& s)
{
    const auto lone = [&s](qsizetype i) {
        const QChar c = s[i];
        if (c.isHighSurrogate())
            return !(i + 1 < s.size() && s[i + 1].isLowSurrogate());
        if (c.isLowSurrogate())
            return !(i > 0 && s[i - 1].isHighSurrogate());
        return false;
    };
    qsizetype first = 0;
    while (first < s.size() && !lone(first))
        ++first;
    if (first == s.size())
        return s;
    QString out = s;
    for (qsizetype i = first; i < s.size(); ++i)
        if (lone(i))
            out[i] = QChar(QChar::ReplacementCharacter);
    return out;
}

} // namespace store
