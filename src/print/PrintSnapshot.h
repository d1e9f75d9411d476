#pragma once
// Database work of printing: the snapshot of the report's lines in w営業日報印刷, and the
// header values the printed form shows. No widgets here.
#include "store/Error.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace print {

// The four header values of one print run, as texts, taken from the screen at the click.
struct HeaderValues {
    QString Prnタイトル;
    QString Prn作成日; // "yyyy/mm/dd", or empty when no creation date is given
    QString Prn所属;
    QString Prn氏名;
};

HeaderValues headerValues(const QString& title, const QDate& created, const QString& department,
                          const QString& name);

// One printed line: the stored values of w営業日報印刷, unformatted (Null stays Null).
struct PrintLine {
    QVariant 行番号;
    QVariant 日付;
    QVariant 時間;
    QVariant 訪問先;
    QVariant 担当;
    QVariant 内容;
    QVariant 備考;
};

// One comment of the report's thread on a team server, printed under the lines when asked. The
// window reads the thread; the form only paints what it is given.
struct PrintComment {
    QString by; // 氏名
    QDateTime at;
    QString text;
};

} // namespace print
Q_DECLARE_TYPEINFO(print::PrintLine, Q_RELOCATABLE_TYPE);
namespace print {

// Rewrites w営業日報印刷 as the lines 登録 would store from w営業日報 (store::readReportLines),
// numbered 1, 2, 3... as 登録 numbers them, and reads them back in that order, all in one work
// transaction. On failure the print table stays as it was and out is left untouched.
store::Error takeSnapshot(const QSqlDatabase& work, QList<PrintLine>& out);

// The print of a report stored in the main database: its header values (作成日 and 氏名 from
// the key, 所属 and タイトル as stored, empty without a header row) and its lines by the rule
// of readReportLines, numbered 1, 2, 3... as takeSnapshot numbers them. found is false when
// neither a header nor a line is stored under the key. On failure out and lines are untouched.
struct StoredReport {
    HeaderValues header;
    QList<PrintLine> lines;
    bool found = false;
};
store::Error storedSnapshot(const QSqlDatabase& main, const QDate& created, const QString& name,
                            StoredReport& out);

// The file name offered when the report is saved as PDF: 営業日報_yyyymmdd_氏名.pdf, leaving out
// an empty part and any character a file name cannot hold.
QString suggestedPdfName(const HeaderValues& h);

} // namespace print
