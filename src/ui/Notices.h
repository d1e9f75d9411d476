#pragma once
// The notices every operation shares: a failure, and a required field left empty.
#include "store/Error.h"

#include <QString>

class QWidget;

namespace app {

// The その他/注意 notice: what could not be done and what the user can do about it first,
// then the database's own reason on a line of its own.
void tellFailure(const QString& what, const store::Error& e);

// The text of that notice (for the box and for tests).
QString failureText(const QString& what, const store::Error& e);

// When given is false: the その他/メッセージ notice with the text, and the focus on focus.
// Returns given, so an operation can stop on it.
bool requireField(bool given, const QString& notice, QWidget* focus);

} // namespace app
