#pragma once
// For one bulk deletion on a connection: pages the deletion frees are not overwritten with
// zeros. SQLite as Debian builds it overwrites and journals every freed page, which makes
// deleting a hundred thousand rows ten times slower. Deleted content in pages still in use is
// overwritten all the same; freed pages keep their old bytes until they are used again.
#include "store/Db.h"
#include "store/Engine.h"

#include <QSqlDatabase>

namespace store {

class FastDelete {
  public:
    // What SQLite's secure_delete reads as once set to FAST.
    static constexpr qint64 kFast = 2;

    explicit FastDelete(const QSqlDatabase& db) : m_engine(engineOf(db))
    {
        // A server keeps its own pages: it has no such setting, and nothing is set.
        if (!m_engine)
            return;
        m_before = m_engine->setting("secure_delete");
        if (m_before && *m_before != kFast && !m_engine->setSetting("secure_delete", "FAST"))
            m_before.reset();
    }
    ~FastDelete()
    {
        if (m_before && *m_before != kFast)
            m_engine->setSetting("secure_delete", QByteArray::number(*m_before));
    }
    FastDelete(const FastDelete&) = delete;
    FastDelete& operator=(const FastDelete&) = delete;

  private:
    std::shared_ptr<Engine> m_engine;
    std::optional<qint64> m_before;
};

} // namespace store
