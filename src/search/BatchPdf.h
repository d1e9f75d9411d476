#pragma once
// Many stored reports in one PDF file, each on its own pages in the landscape form that 印刷
// prints.
#include "search/SearchStore.h"
#include "store/Error.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>

class QWidget;

namespace search {

// Paints every report of keys (sorted into 作成日 then 氏名 order) into path. progress is
// called before each report with the reports done so far and the total; when it returns false
// painting stops, *cancelled (if given) is set and no file is left. The file replaces any old
// one whole, or nothing changes.
store::Error printReportsPdf(const QSqlDatabase& main, const QList<ReportKey>& keys, const QString& path,
                             const std::function<bool(int done, int total)>& progress,
                             bool* cancelled = nullptr);

// The same with a progress dialog, modal to parent, whose キャンセル stops it.
store::Error exportReportsPdf(QWidget* parent, const QSqlDatabase& main, const QList<ReportKey>& keys,
                              const QString& path, bool* cancelled = nullptr);

} // namespace search
