#pragma once
// The pick lists built from the code master, and learning new names into it.
#include "codes/CodeMasterAdder.h"
#include "codes/CodeStore.h"
#include "store/Engine.h"

#include <QSqlDatabase>
#include <QStringList>

#include <optional>

namespace codes {

// Addコードマスタ for one value, in a transaction of its own. (Registration learns its names
// through a CodeMasterAdder inside its own transaction instead.)
AddResult addCodeMaster(const QSqlDatabase& main, const QString& category, const QString& value);

struct PickLists {
    QStringList 所属;
    QStringList 氏名;
    store::Error error;
    // w備考 / w訪問先 were rewritten (or may have been: a failed write): their readers re-read.
    bool tablesChanged = false;
};

// The names of 所属 and 氏名 (rows with a name, in code order, duplicates kept, as stored), and
// w備考 / w訪問先 rewritten in one work transaction with the names of 備考 / 訪問先 in code order.
// When reading the code master fails, even part-way, both lists are empty and the work tables
// are left alone; when writing the work tables fails, they are left as they were and the two
// lists are still given.
PickLists loadPickLists(const QSqlDatabase& main, const QSqlDatabase& work);

// What one category offers in the pick lists after a write of it (登録, 行削除, 削除), taken from
// the rows as written rather than read again: its names that are not blank, in code order. For
// 備考 and 訪問先 their work table (w備考 / w訪問先) is brought to those names in one work
// transaction, writing only the rows that differ where the change is a rename, a removal or an
// addition at the end. The other categories' lists are not touched.
struct CategoryPick {
    QStringList names;
    bool tableChanged = false; // the category's work table was written (or may have been: a failure)
    store::Error error;
};
CategoryPick followCategory(const QSqlDatabase& work, const CategoryState& stored);

// loadPickLists, done again only when it could give something new: when the main file may have
// been written since the last load that succeeded, by this program or another (see
// store::changeMark). w備考 / w訪問先 belong to loadPickLists (nothing else writes them, and one
// program at a time has the work file). A main database on a server is read every time: other
// users write it without telling us.
class PickListReader {
  public:
    PickLists load(const QSqlDatabase& main, const QSqlDatabase& work);
    // The next load reads again (the files are closed or others opened).
    void forget() { m_mark.reset(); }
    // Whether the last load gave the lists of the one before without reading.
    bool reused() const { return m_reused; }

  private:
    std::optional<store::ChangeMark> m_mark; // the main file's after the last successful load
    PickLists m_last;
    bool m_reused = false;
};

} // namespace codes
