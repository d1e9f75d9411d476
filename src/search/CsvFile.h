#pragma once
// A CSV file being written: records encoded as they come, kept in a temporary file beside the
// target, which takes the target's place only when every record was written.
#include "search/Csv.h"

#include <QSaveFile>
#include <QStringEncoder>

namespace search {

class CsvFile {
  public:
    CsvFile(const QString& path, CsvEncoding enc);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    // Opens the temporary file and writes the encoding's preamble.
    bool open();
    // Appends one record (csvRecord). The first record is the header; the ones after it are
    // the data lines 1, 2, 3... that a failure names. False, with failure() set, when the record
    // cannot be encoded or written; nothing more is then added.
    bool add(const QStringList& fields, const QList<int>& plain = {});
    // Puts the file in place of the target; failure() when that or anything before failed, and
    // then the target stays as it was.
    CsvFailure commit();
    // Drops what was written; the target stays as it was.
    void cancel();
    // Records a failure from outside (a read that stopped); commit() then drops the file.
    void fail(const store::Error& e);

    const CsvFailure& failure() const { return m_failure; }

  private:
    bool flush();

    QSaveFile m_file;
    CsvEncoding m_enc;
    QByteArray m_buffer;
    QString m_text; // the record being encoded, its room kept
    qint64 m_records = 0;
    CsvFailure m_failure;
};

} // namespace search
