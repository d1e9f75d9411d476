#pragma once
// What the search index's own files share of a local file's index (TextIndex.cpp keeps the
// queue, TextIndexRebuild.cpp makes the index again from the lines, TextIndexFunctions.cpp has
// the queue taken in before each commit). Not for callers.
#include "store/Db.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace store {

// What the session knows of a connection's index: whether it keeps a queue, and whether it was
// found damaged (kept here as well when the file cannot be marked).
struct Known {
    bool queue = false;
    bool damaged = false;
    int percent = 0;              // of a rebuild, as its last step left it
    qint64 done = -1, total = -1; // lines of a rebuild, counted once a session
    // This session began the rebuild from an empty index: past its mark the index holds no line
    // (the queue takes in only the lines up to it), so nothing is looked for to take out.
    bool freshWalk = false;
};

Known knownOf(const QSqlDatabase& db);
void setKnown(const QSqlDatabase& db, Known k);

// The index's FTS5 table and the table of the texts its rows were made from, as made empty.
QString ftsStatement();
QString sourceStatement();

QString indexedText(const Statement& s, int first);
Statement& bindAll(Statement& s, const QVariantList& values);

// Within one transaction, the names' numbers known already.
using NameNumbers = QHash<QString, qint64>;

Error reindexKey(const QSqlDatabase& db, const QVariant& date, const QVariant& name, const QVariant& line,
                 const QString* read = nullptr, bool fresh = false, NameNumbers* names = nullptr);
int rebuildStage(const QSqlDatabase& db, QVariantList* after = nullptr);
// Marks the index to be made again (kRebuild's row of NULLs), inside the caller's transaction.
Error markInFile(const QSqlDatabase& db);

// Before a local file's transaction of the connection commits (registerTextFunctions gives it to
// setBeforeCommit): the queue into the index, never failing the caller's write.
void settleQueue(const QString& connection);

} // namespace store
