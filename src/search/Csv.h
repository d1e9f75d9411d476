#pragma once
// Result lines and count tables as CSV files a spreadsheet opens: RFC 4180 records, a header
// row, UTF-8 with a byte-order mark or Shift_JIS (cp932). A file is written whole or not at all.
#include "search/SearchStore.h"
#include "store/Error.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace search {

enum class CsvEncoding { Utf8Bom, Cp932 };

// The outcome of writing a CSV file. When a text cannot be written in cp932, error says so,
// line is the data line holding it (1-based, the header row not counted) and text is that text.
struct CsvFailure {
    store::Error error;
    qint64 line = 0;
    QString text;
    qint64 written = 0; // the data lines in the file, once it is in place
    bool ok() const { return error.ok(); }
};

// Every line of the result of c, in findLines' order (read in one statement, so one state of
// the file), with the columns 日付, 時間, 氏名, 訪問先, 担当, 内容, 備考, into path.
CsvFailure writeLinesCsv(const QSqlDatabase& main, const Criteria& c, const QString& path, CsvEncoding enc);

// A count table: the header row, then rows, as given.
CsvFailure writeTableCsv(const QString& path, const QStringList& header, const QList<QStringList>& rows,
                         CsvEncoding enc);

// The pure pieces, for the writers above and their tests.

// A text a spreadsheet would take as a formula (it begins with =, +, -, @, a tab or a CR, or
// the full-width ＝ ＋ － ＠ a Japanese spreadsheet reads alike) gets a leading single quote,
// so the cell shows it as text; a plain signed number (-5, +1.25) and any other text stay.
QString guardFormula(const QString& text);

// One field as RFC 4180 writes it: quoted (quotes doubled) when it holds a comma, a quote,
// a CR or an LF, otherwise as is.
QString quoteField(const QString& text);

// One record: guarded, quoted fields joined by commas, ending with CRLF. Fields listed in
// plain (by position) are neither guarded nor quoted beyond what RFC 4180 needs: dates, times,
// counts.
QString csvRecord(const QStringList& fields, const QList<int>& plain = {});
// The same, appended to out.
void appendRecord(QString& out, const QStringList& fields, const QList<int>& plain = {});

// A date as yyyy/mm/dd and a stored time ("hhmm") as hh:mm; empty for none.
QString csvDate(const QDate& d);
QString csvTime(const QString& hhmm);

// The encoder: text in enc. cp932 is Windows-31J with the NEC and IBM extensions; the JIS
// forms of 〜 ‖ − ¢ £ ¬ — are written as the cp932 characters Windows shows for them. For a
// character cp932 cannot hold, *bad is set to it (a whole surrogate pair) and an empty array
// is returned; bad stays empty otherwise.
QByteArray encodeCsv(const QString& text, CsvEncoding enc, QString* bad);

// The bytes a file in enc begins with (the byte-order mark for UTF-8, nothing for cp932).
QByteArray csvPreamble(CsvEncoding enc);

} // namespace search
