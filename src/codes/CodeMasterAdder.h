#pragma once
// Teaching the code master a new name: the lowest-coded free row of its category takes it.
#include "store/Error.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

namespace store {
class Statement;
}

namespace codes {

struct AddResult {
    bool added = false; // written into a free row now
    store::Error error;
};

// Keeps each category it has read in memory, so one registration of many lines reads the
// code master once per category and then writes only the rows it fills. It opens no
// transaction: the caller owns it. Use one adder per operation, since it does not see
// writes made to the code master by anyone else meanwhile.
class CodeMasterAdder {
  public:
    explicit CodeMasterAdder(const QSqlDatabase& main);
    ~CodeMasterAdder();
    CodeMasterAdder(const CodeMasterAdder&) = delete;
    CodeMasterAdder& operator=(const CodeMasterAdder&) = delete;

    // Puts value into the lowest-coded row of category whose sname is Null or empty, unless a
    // row already holds exactly that value. Never inserts rows; an empty value is never a name.
    AddResult add(const QString& category, const QString& value);

  private:
    struct Category {
        QSet<QString> names;
        QStringList freeCodes; // ascending
    };
    store::Error load(const QString& category, Category& c);

    QSqlDatabase m_main;
    QHash<QString, Category> m_categories;
    std::unique_ptr<store::Statement> m_read;
    std::unique_ptr<store::Statement> m_write;
};

// A name typed for a category: (category, value).
using TypedName = std::pair<QString, QString>;

// What CodeMasterAdder::add does for each of names in turn, for an operation that learns many
// at once. On a server one statement asks which of them the code master holds, and only a
// category that gets a new name reads its free rows. The caller's transaction must hold the categories' keys
// already (store::serialise), so that the free rows read stay free.
store::Error learnNames(const QSqlDatabase& main, const QList<TypedName>& names);

} // namespace codes
