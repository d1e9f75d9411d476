#pragma once
// The search index's own tables in a local main file, shared by the index and its check.
#include <QString>

namespace store {

// The names of the index's own tables: the name numbers, the folded text each index row was
// made from (what taking the row out again needs), the queue of keys written since, and, while
// the index is made again, how far that has come.
inline const QString kNames = QStringLiteral("営業日報検索氏名");
inline const QString kSource = QStringLiteral("営業日報検索元");
inline const QString kQueue = QStringLiteral("営業日報検索待ち");
inline const QString kRebuild = QStringLiteral("営業日報検索作成");

} // namespace store
