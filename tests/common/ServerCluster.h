#pragma once
// A throwaway PostgreSQL cluster for the tests: made in a temporary folder, listening on a Unix
// socket of its own only, password login through a pgpass file, stopped when the process ends.
// Run as root (as CI does) the server runs as the unprivileged user nobody.
#include "store/Connection.h"
#include "store/Db.h"
#include "store/Schema.h"
#include "store/Server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing {

// The core tests run against the server when the suite asks for it.
inline bool onServer()
{
    return qEnvironmentVariable("TESVAN_TEST_ENGINE") == QLatin1String("server");
}

class ServerCluster {
  public:
    static constexpr const char* kUser = "tesvan";
    static constexpr const char* kPassword = "Kaigi-2026-pw";

    // Started on first use.
    static ServerCluster& shared()
    {
        static ServerCluster c;
        return c;
    }

    bool running() const { return m_running; }
    const QString& failure() const { return m_failure; }
    QString socketDir() const { return m_base.path() + QStringLiteral("/sock"); }
    QString base() const { return m_base.path(); }
    // The server's own folder: its data, its log and the password it was made with.
    QString srvDir() const { return m_base.path() + QStringLiteral("/srv"); }

    QString conninfo(const QString& database = QStringLiteral("tesvan")) const
    {
        return QStringLiteral("host=%1 port=5432 dbname=%2 user=%3 sslmode=disable")
            .arg(socketDir(), database, QLatin1String(kUser));
    }

    // The same database as another login role.
    QString conninfoAs(const QString& user, const QString& database = QStringLiteral("tesvan")) const
    {
        return QStringLiteral("host=%1 port=5432 dbname=%2 user=%3 sslmode=disable")
            .arg(socketDir(), database, user);
    }

    // A login role of the cluster with the cluster's one password (the pgpass file has it for
    // every role); kept when it exists, as roles outlive a test's database.
    QString makeLogin(const QString& user) const
    {
        return admin(
            QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                           "CREATE ROLE %1 LOGIN PASSWORD '%2'; END IF; END $$")
                .arg(user, QLatin1String(kPassword)));
    }

    // Runs one statement as the cluster's owner on the given database; "" or the reason.
    QString admin(const QString& sql, const QString& database = QStringLiteral("postgres")) const
    {
        const QString name = QStringLiteral("admin-") + QUuid::createUuid().toString(QUuid::Id128);
        QString why;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setConnectOptions(conninfo(database));
            if (!db.open()) {
                why = db.lastError().text();
            } else {
                QSqlQuery q(db);
                if (!q.exec(sql))
                    why = q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return why;
    }

    // An empty main database for one test: our tables made afresh by the tool's own code.
    QString freshMain(const QString& database = QStringLiteral("tesvan")) const
    {
        if (!m_running)
            return QStringLiteral("no test server: ") + m_failure;
        QString why =
            admin(QStringLiteral(
                      "SET client_min_messages = warning; DROP SCHEMA public CASCADE; CREATE SCHEMA public"),
                  database);
        if (why.isEmpty())
            why = store::createServerSchema(conninfo(database)).reason();
        return why;
    }

    // Ready for one test: started again when an earlier test stopped it, with an empty main
    // database; the reason when it cannot be.
    QString readyForTest()
    {
        if (!m_running && !start())
            return QStringLiteral("the test server does not run: ") + m_failure;
        return freshMain();
    }

    // One user: the server as login (the owner when empty) as connection "<name>main" and a
    // fresh work file in folder as "<name>work" (round keeps each test's file apart).
    store::Error openUser(const QString& name, const QString& folder, int round,
                          const QString& login = {}) const
    {
        const QString w = QStringLiteral("%1/%2-%3.mdb").arg(folder, name).arg(round);
        if (store::Error e = store::createInitialFile(w, store::DbKind::Work); e.failed())
            return e;
        if (store::Error e = store::openServer(name + QStringLiteral("main"),
                                               login.isEmpty() ? conninfo() : conninfoAs(login));
            e.failed())
            return e;
        return store::openDatabase(name + QStringLiteral("work"), w, store::DbKind::Work);
    }

    bool stop(const char* mode = "fast")
    {
        if (!m_running)
            return true;
        const bool ok = ctl({QStringLiteral("stop"), QStringLiteral("-m"), QString::fromLatin1(mode)});
        if (ok)
            m_running = false;
        return ok;
    }

    bool start()
    {
        if (m_running)
            return true;
        m_running =
            ctl({QStringLiteral("start"), QStringLiteral("-o"),
                 QStringLiteral("-k %1 -c listen_addresses= -p 5432 -c fsync=off -c max_connections=%2")
                     .arg(socketDir())
                     .arg(m_maxConnections)});
        return m_running;
    }

    // Started again, taking up to n sessions (a load of many windows).
    bool restartWith(int maxConnections)
    {
        m_maxConnections = maxConnections;
        return stop() && start();
    }

    // Runs one of the server's programs (pg_ctl, pg_basebackup, …) as the server's user; "" or
    // what it said.
    QString runProgram(const QString& name, const QStringList& args)
    {
        const QString before = m_failure;
        const bool ok = runAsServer(m_bin + u'/' + name, args);
        const QString why = ok ? QString() : m_failure;
        m_failure = before;
        return why;
    }

    ~ServerCluster()
    {
        if (m_running)
            ctl({QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    }

  private:
    ServerCluster()
    {
        if (!m_base.isValid()) {
            m_failure = QStringLiteral("no temporary folder");
            return;
        }
        m_bin = findBin();
        if (m_bin.isEmpty()) {
            m_failure = QStringLiteral("PostgreSQL server programs not found under /usr/lib/postgresql");
            return;
        }
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
            m_failure = QStringLiteral("the QPSQL driver is not installed");
            return;
        }
        // The server refuses to run as root: it runs as nobody, which must reach its folders.
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("nobody");
            if (!pw) {
                m_failure = QStringLiteral("no user nobody to run the server as");
                return;
            }
            m_uid = pw->pw_uid;
            m_gid = pw->pw_gid;
            ::chmod(QFile::encodeName(m_base.path()).constData(), 0755);
        }
        const QString data = srvDir() + QStringLiteral("/data");
        const QString pw = srvDir() + QStringLiteral("/pw");
        QDir().mkpath(socketDir());
        QDir().mkpath(srvDir());
        QFile f(pw);
        if (!f.open(QIODevice::WriteOnly) || f.write(kPassword) < 0) {
            m_failure = QStringLiteral("cannot write the password file");
            return;
        }
        f.close();
        if (m_uid >= 0) {
            for (const QString& path : {socketDir(), srvDir(), pw})
                if (::chown(QFile::encodeName(path).constData(), uid_t(m_uid), gid_t(m_gid)) != 0) {
                    m_failure = QStringLiteral("cannot hand %1 to the server's user").arg(path);
                    return;
                }
        }
        if (!runAsServer(m_bin + QStringLiteral("/initdb"),
                         {QStringLiteral("-D"), data, QStringLiteral("-U"), QLatin1String(kUser),
                          QStringLiteral("--pwfile=") + pw, QStringLiteral("-A"),
                          QStringLiteral("scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                          QStringLiteral("--locale=C"), QStringLiteral("--no-sync")}))
            return;
        // Clients find the password as a user would: in a pgpass file (one password for every role).
        const QString pgpass = m_base.path() + QStringLiteral("/pgpass");
        QFile p(pgpass);
        if (!p.open(QIODevice::WriteOnly) ||
            p.write(QStringLiteral("*:*:*:*:%1\n").arg(QLatin1String(kPassword)).toUtf8()) < 0) {
            m_failure = QStringLiteral("cannot write the pgpass file");
            return;
        }
        p.close();
        QFile::setPermissions(pgpass, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("PGPASSFILE", QFile::encodeName(pgpass));
        if (!start()) {
            if (m_failure.isEmpty())
                m_failure = QStringLiteral("the server did not start");
            return;
        }
        const QString why = admin(QStringLiteral("CREATE DATABASE tesvan"));
        if (!why.isEmpty()) {
            m_failure = QStringLiteral("CREATE DATABASE: ") + why;
            stop("immediate");
        }
    }

    static QString findBin()
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
            if (QFile::exists(bin + QStringLiteral("/pg_ctl")))
                return bin;
        }
        return {};
    }

    bool ctl(const QStringList& args)
    {
        return runAsServer(m_bin + QStringLiteral("/pg_ctl"),
                           QStringList{QStringLiteral("-D"), srvDir() + QStringLiteral("/data"),
                                       QStringLiteral("-l"), srvDir() + QStringLiteral("/server.log"),
                                       QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60")} +
                               args);
    }

    bool runAsServer(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(m_base.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (m_uid >= 0)
            p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(m_uid),
                                                           QStringLiteral("--regid=%1").arg(m_gid),
                                                           QStringLiteral("--clear-groups"), program} +
                                                   args);
        else
            p.start(program, args);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_failure =
                QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll()).trimmed());
            return false;
        }
        return true;
    }

    QTemporaryDir m_base{QDir::tempPath() + QStringLiteral("/tesvan-pg-XXXXXX")};
    QString m_bin;
    QString m_failure;
    long m_uid = -1;
    long m_gid = -1;
    bool m_running = false;
    int m_maxConnections = 60;
};

} // namespace testing
