#pragma once
// Tables of the two database files.
#include "store/Db.h"

#include <QStringList>

namespace store {

inline const QString kMainFileName = QStringLiteral("Tesvan.mdb");
inline const QString kWorkFileName = QStringLiteral("TesvanWork.mdb");

// The four code-master categories and their fixed row count.
inline const QStringList kCategories = {QStringLiteral("所属"), QStringLiteral("氏名"),
                                        QStringLiteral("備考"), QStringLiteral("訪問先")};
inline constexpr int kCodeRows = 199;

// CREATE statements of one file, in order.
QStringList schemaStatements(DbKind kind);

// Empty text when db holds every table and field of the kind, else the reason.
QString checkSchema(const QSqlDatabase& db, DbKind kind);

// Writes a new initial database file at path (which must not exist yet), atomically:
// the file appears complete or not at all. Returns the reason on failure.
QString createInitialFile(const QString& path, DbKind kind);

} // namespace store
