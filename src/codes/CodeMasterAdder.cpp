#include "codes/CodeMasterAdder.h"

#include "store/Db.h"
#include "store/Rows.h"
#include "store/Server.h"

#include <bit>

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

namespace {

// The names typed for each category, cleaned as they will be stored, each once, in the order
// first typed: the first new name takes the lowest free code.
struct Wanted {
    QStringList categories;
    QHash<QString, QStringList> names;
    QStringList all; // every distinct value, whatever its category
};

Wanted wantedOf(const QList<TypedName>& typed)
{
    Wanted w;
    QSet<TypedName> seen;
    QSet<QString> values;
    for (const auto& [category, text] : typed) {
        const QString value = store::cleanText(text);
        if (value.isEmpty() || seen.contains({category, value}))
            continue;
        seen.insert({category, value});
        if (!w.names.contains(category))
            w.categories << category;
        w.names[category] << value;
        if (!values.contains(value)) {
            values.insert(value);
            w.all << value;
        }
    }
    return w;
}

// The (category, name) pairs of w the code master holds already. The list of names is padded
// with Nulls (which match nothing) to a power of two, so that few texts are prepared.
store::Error knownOf(const QSqlDatabase& main, const Wanted& w, QSet<TypedName>& known)
{
    const int width = int(std::bit_ceil(size_t(w.all.size())));
    store::Statement q(main,
                       QStringLiteral("SELECT kcode, sname FROM コードマスタ WHERE kcode IN (%1) AND "
                                      "sname IN (%2)")
                           .arg(store::placeholders(int(w.categories.size())), store::placeholders(width)));
    for (const QString& c : w.categories)
        q.bind(c);
    for (int i = 0; i < width; ++i)
        q.bind(i < w.all.size() ? QVariant(w.all[i]) : QVariant());
    return store::forEachRow(q, [&known](store::Statement& r) {
        known.insert({r.value(0).toString(), r.value(1).toString()});
    });
}

} // namespace

store::Error learnNames(const QSqlDatabase& main, const QList<TypedName>& names)
{
    // A local file answers at once: reading each category whole, once, is cheapest there.
    if (!store::isServer(main)) {
        CodeMasterAdder adder(main);
        for (const auto& [category, value] : names)
            if (store::Error e = adder.add(category, value).error; e.failed())
                return e;
        return {};
    }
    const Wanted w = wantedOf(names);
    if (w.all.isEmpty())
        return {};
    QSet<TypedName> known;
    if (store::Error e = knownOf(main, w, known); e.failed())
        return e;
    for (const QString& category : w.categories) {
        QStringList fresh;
        for (const QString& v : w.names[category])
            if (!known.contains({category, v}))
                fresh << v;
        if (fresh.isEmpty())
            continue;
        QList<store::Row> free;
        if (store::Error e =
                store::readRows(main,
                                QStringLiteral("SELECT code FROM コードマスタ WHERE kcode = ? AND "
                                               "(sname IS NULL OR sname = '') ORDER BY code LIMIT ?"),
                                {category, int(fresh.size())}, free);
            e.failed())
            return e;
        store::Statement put(
            main, QStringLiteral("UPDATE コードマスタ SET sname = ? WHERE kcode = ? AND code = ?"));
        // A full category learns the first names that fit and no more, as add does.
        for (qsizetype i = 0; i < free.size() && i < fresh.size(); ++i)
            if (!put.bind(fresh[i]).bind(category).bind(free[i][0]).exec())
                return put.error();
    }
    return {};
}

} // namespace codes
