#pragma once
// What the tests of the database work share: fresh initial files for each test function, opened
// in init() (openFresh) and closed in cleanup() (closeFresh). Each round has a folder and
// connection names of its own, so that nothing of one test reaches the next.
#include "TestFiles.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

namespace testing {

struct FreshFiles {
    QTemporaryDir m_dir;
    QSqlDatabase m_main, m_work;
    int m_round = 0;

    QString prefix() const { return QStringLiteral("fresh%1-").arg(m_round); }
    // The round's folder, and its files by path (to damage or reopen them).
    QString folder() const { return m_dir.path() + QStringLiteral("/%1").arg(m_round); }
    QString mainPath() const { return folder() + u'/' + store::kMainFileName; }
    QString workPath() const { return folder() + u'/' + store::kWorkFileName; }

    // The next round's files as m_main and m_work; the reason when they could not be opened.
    QString openFresh()
    {
        ++m_round;
        return openFreshFiles(folder(), prefix(), m_main, m_work);
    }
    void closeFresh() { closeFreshFiles(prefix(), m_main, m_work); }
};

} // namespace testing
