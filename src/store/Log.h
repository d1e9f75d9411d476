#pragma once
// The program's log: one category per folder of src/ (tesvan.store, tesvan.msg, … tesvan.app),
// silent unless QT_LOGGING_RULES or `tesvan --log FILE` turns them on. Info and warning say what
// happened and to which file, never a password (pass connection texts through withoutSecrets)
// nor what a report holds; debug may say more and is never turned on by --log.
// Every folder reaches its own category here, the bottom layer.
#include <QLoggingCategory>

namespace store {

Q_DECLARE_LOGGING_CATEGORY(lcStore)
Q_DECLARE_LOGGING_CATEGORY(lcMsg)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcPrint)
Q_DECLARE_LOGGING_CATEGORY(lcCodes)
Q_DECLARE_LOGGING_CATEGORY(lcHint)
Q_DECLARE_LOGGING_CATEGORY(lcList)
Q_DECLARE_LOGGING_CATEGORY(lcReport)
Q_DECLARE_LOGGING_CATEGORY(lcSearch)
Q_DECLARE_LOGGING_CATEGORY(lcApp)

// The rules that turn every category above on at info and warning (what --log writes).
inline constexpr const char* kLogRules = "tesvan.*.info=true\ntesvan.*.warning=true";

} // namespace store
