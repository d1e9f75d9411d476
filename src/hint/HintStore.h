#pragma once
// The hint texts in ClHint of the work database, one record per (FormName, CtlName).
#include "store/Error.h"

#include <QSqlDatabase>
#include <QString>

namespace hint {

struct HintRead {
    bool found = false; // a record exists for the pair
    QString contents;   // its Contents; a Null text when the field holds Null
    store::Error error;
};

// The hint of (formName, ctlName). An empty formName or ctlName finds nothing.
HintRead readHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName);

// Replaces the hint of the pair by one record with formTitle and contents (an empty text is
// stored as an empty text), in one transaction: on failure the earlier record stays. An empty
// formName or ctlName stores nothing.
store::Error storeHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName,
                       const QString& formTitle, const QString& contents);

// Deletes the hint of the pair; no record is no error.
store::Error deleteHint(const QSqlDatabase& work, const QString& formName, const QString& ctlName);

} // namespace hint
