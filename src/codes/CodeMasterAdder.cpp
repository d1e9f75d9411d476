#include "codes/CodeMasterAdder.h"

#include "store/Db.h"
#include "store/Server.h"

namespace codes {

CodeMasterAdder::CodeMasterAdder(const QSqlDatabase& main) : m_main(main)
{
}

CodeMasterAdder::~CodeMasterAdder() = default;

store::Error CodeMasterAdder::load(const QString& category, Category& c)
{
    // Until the caller's transaction ends, nobody else fills or rewrites this category: the free
    // rows read here stay free, and a name another user just learnt is seen.
    if (store::Error e = store::serialise(m_main, {store::categoryKey(category)}); e.failed())
        return e;
    if (!m_read)
        m_read = std::make_unique<store::Statement>(
            m_main, QStringLiteral("SELECT code, sname FROM コードマスタ WHERE kcode = ? ORDER BY code"));
    m_read->bind(category);
    // An incomplete scan could learn a name twice: a read that stops part-way fails the add.
    return store::forEachRow(*m_read, [&c](store::Statement& q) {
        const QVariant name = q.value(1);
        const QString text = name.toString();
        if (name.isNull() || text.isEmpty())
            c.freeCodes << q.value(0).toString();
        else
            c.names.insert(text);
    });
}

AddResult CodeMasterAdder::add(const QString& category, const QString& typed)
{
    AddResult r;
    // Compare what will be stored.
    const QString value = store::cleanText(typed);
    if (value.isEmpty())
        return r;
    auto it = m_categories.find(category);
    if (it == m_categories.end()) {
        Category c;
        r.error = load(category, c);
        if (r.error.failed())
            return r;
        it = m_categories.insert(category, c);
    }
    Category& c = it.value();
    if (c.names.contains(value) || c.freeCodes.isEmpty())
        return r;

    if (!m_write)
        m_write = std::make_unique<store::Statement>(
            m_main, QStringLiteral("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"));
    store::Statement& w = *m_write;
    if (!w.bind(value).bind(category).bind(c.freeCodes.first()).exec()) {
        r.error = w.error();
        return r;
    }
    c.freeCodes.removeFirst();
    c.names.insert(value);
    r.added = true;
    return r;
}

} // namespace codes
