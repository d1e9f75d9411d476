#pragma once
// The parts of the server benchmark that run on their own (bench_server --trips, --windows,
// --review).
#include <QDate>
#include <QString>

inline QDate benchDay()
{
    return QDate(2026, 12, 8);
}

inline QString benchName()
{
    return QStringLiteral("佐藤");
}

// Times and counts the round trips of each operation through a delaying proxy in front of the
// cluster's socket (conninfoOnProxy takes the proxy's port as %1); non-zero when one failed.
int roundTrips(const QString& socketDir, const QString& conninfoOnSocket, const QString& conninfoOnProxy,
               const QString& workPath);

// A thousand windows against one server (conninfo), their work files made under folder; the
// numbers printed; non-zero when something was lost, duplicated or failed.
int thousandWindows(const QString& conninfo, const QString& folder);

namespace testing {
class ServerCluster;
}

// The review's reads (提出状況, a report's panel, the notices) for memberLogin and for a manager
// it adds, against libpq floors, on the filled cluster; non-zero when one failed.
int reviewRows(testing::ServerCluster& server, const QString& memberLogin);
