#include "store/Log.h"

namespace store {

// Critical is the least a category shows by default: nothing here logs at that level, so every
// category stays silent until a rule turns it on.
Q_LOGGING_CATEGORY(lcStore, "tesvan.store", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcMsg, "tesvan.msg", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcUi, "tesvan.ui", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcPrint, "tesvan.print", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcCodes, "tesvan.codes", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcHint, "tesvan.hint", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcList, "tesvan.list", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcReport, "tesvan.report", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcSearch, "tesvan.search", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcApp, "tesvan.app", QtCriticalMsg)

} // namespace store
