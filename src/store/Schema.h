#pragma once
// Tables of the two database files: their names, fields and create statements, in one place.
#include "store/Db.h"

#include <QStringList>

namespace store {

inline const QString kMainFileName = QStringLiteral("Tesvan.mdb");
inline const QString kWorkFileName = QStringLiteral("TesvanWork.mdb");

// Table names.
namespace tbl {
inline const QString 営業日報ヘッダ = QStringLiteral("営業日報ヘッダ");
inline const QString 営業日報 = QStringLiteral("営業日報");
inline const QString コードマスタ = QStringLiteral("コードマスタ");
inline const QString w営業日報 = QStringLiteral("w営業日報");
inline const QString w営業日報ヘッダ = QStringLiteral("w営業日報ヘッダ");
inline const QString w営業日報印刷 = QStringLiteral("w営業日報印刷");
inline const QString w一覧 = QStringLiteral("w一覧");
inline const QString wコードマスタ = QStringLiteral("wコードマスタ");
inline const QString wコードマスタソート = QStringLiteral("wコードマスタソート");
inline const QString w訪問先 = QStringLiteral("w訪問先");
inline const QString w備考 = QStringLiteral("w備考");
inline const QString ClHint = QStringLiteral("ClHint");
} // namespace tbl

// The four code-master categories, in the order the category list shows them, and their
// fixed row count.
inline const QString k所属 = QStringLiteral("所属");
inline const QString k氏名 = QStringLiteral("氏名");
inline const QString k備考 = QStringLiteral("備考");
inline const QString k訪問先 = QStringLiteral("訪問先");
inline const QStringList kCategories = {k所属, k氏名, k備考, k訪問先};
inline constexpr int kCodeRows = 199;

// The code of the n-th row of a category (1-based): "001" … "199".
QString codeOf(int n);

// The free rows of every category (code "001" to "199", no name) into an empty code master, so
// that registration can learn names at once.
Error insertFreeCodeRows(const QSqlDatabase& db);

// The fields of a table in their stored order; empty for a table that is not ours.
QStringList fieldsOf(const QString& table);

// CREATE statements of one file, in order.
QStringList schemaStatements(DbKind kind);

// Success when db holds every table and field of the kind, else the reason. Tables a later
// version added are not asked for: addMissingTables gives them to an earlier version's file.
Error checkSchema(const QSqlDatabase& db, DbKind kind);

// The tables (with their rows and triggers) that a file made by an earlier version lacks, added
// in one transaction; nothing else is changed, and a file that has them all is not written.
Error addMissingTables(const QSqlDatabase& db, DbKind kind);

// Writes a new initial database file at path (which must not exist yet), atomically:
// the file appears complete or not at all.
Error createInitialFile(const QString& path, DbKind kind);

} // namespace store
