#pragma once
// What the server tests share: the throwaway cluster, a folder for their files, and the users
// they open on it, each a connection to the server with a work file of its own.
#include "ServerCluster.h"
#include "report/ReportStore.h"
#include "store/ServerSetting.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

namespace testing {

struct ServerFixture {
    ServerCluster* m_server = nullptr;
    QTemporaryDir m_dir;
    int m_round = 0; // keeps each file and folder of a test apart

    // For initTestCase: the shared cluster, with these login roles made. False when no cluster
    // can run here (the test is skipped) or a role could not be made (it failed).
    bool joinCluster(const QStringList& logins = {})
    {
        m_server = &ServerCluster::shared();
        if (!m_server->running()) {
            QTest::qSkip(qPrintable(QStringLiteral("no PostgreSQL server can be started here: ") +
                                    m_server->failure()),
                         __FILE__, __LINE__);
            return false;
        }
        for (const QString& login : logins)
            if (const QString why = m_server->makeLogin(login); !why.isEmpty()) {
                QTest::qFail(qPrintable(why), __FILE__, __LINE__);
                return false;
            }
        return true;
    }

    // One user: the server as login (the cluster's owner when empty) as connection
    // "<name>main", and a fresh work file as "<name>work".
    store::Error openUser(const QString& name, const QString& login = {})
    {
        return m_server->openUser(name, m_dir.path(), ++m_round, login);
    }
    // The same inside a test, both connections handed back; a failure fails the test.
    void openBoth(const QString& name, QSqlDatabase& main, QSqlDatabase& work, const QString& login = {})
    {
        QCOMPARE(openUser(name, login), QString());
        main = mainOf(name);
        work = workOf(name);
    }
    // The same with the work file's report lines made ready to be typed into.
    void openWithLines(const QString& name, QSqlDatabase& main, QSqlDatabase& work, const QString& login = {})
    {
        openBoth(name, main, work, login);
        QCOMPARE(report::resetLines(work), QString());
    }
    static QSqlDatabase mainOf(const QString& name)
    {
        return QSqlDatabase::database(name + QStringLiteral("main"), false);
    }
    static QSqlDatabase workOf(const QString& name)
    {
        return QSqlDatabase::database(name + QStringLiteral("work"), false);
    }
    static void closeUser(const QString& name)
    {
        store::closeDatabase(name + QStringLiteral("main"));
        store::closeDatabase(name + QStringLiteral("work"));
    }

    // Closes the user's connections when it goes out of scope.
    [[nodiscard]] static auto closedAtEnd(const QString& name)
    {
        return qScopeGuard([name] { closeUser(name); });
    }

    // A data folder of its own, with a work file and a server setting that signs in as login
    // (the cluster's owner when empty): a window opens there as that user. Empty when it could
    // not be made.
    QString dataFolder(const QString& login = {})
    {
        const QString folder = m_dir.path() + QStringLiteral("/window-%1/").arg(++m_round);
        QDir().mkpath(folder);
        if (store::createInitialFile(folder + store::kWorkFileName, store::DbKind::Work).failed())
            return {};
        QFile f(folder + store::kServerFileName);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write((login.isEmpty() ? m_server->conninfo() : m_server->conninfoAs(login)).toUtf8());
        return folder;
    }
};

} // namespace testing
