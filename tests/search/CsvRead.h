#pragma once
// Reading CSV files back as a spreadsheet would: a strict RFC 4180 parser and iconv.
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testing {

// Records of text, which must end every record with CRLF; a quote inside a quoted field is
// doubled, and an unquoted field holds no quote, CR or LF. False on anything else.
inline bool parseCsv(const QString& text, QList<QStringList>* out)
{
    out->clear();
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text.at(i) == u'"') {
            ++i;
            for (;;) {
                if (i >= n)
                    return false; // no closing quote
                if (text.at(i) == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text.at(i++);
            }
        } else {
            while (i < n && text.at(i) != u',' && text.at(i) != u'\r') {
                if (text.at(i) == u'"' || text.at(i) == u'\n')
                    return false;
                field += text.at(i++);
            }
        }
        record << field;
        field.clear();
        if (i < n && text.at(i) == u',') {
            ++i;
            continue;
        }
        if (i + 1 < n && text.at(i) == u'\r' && text.at(i + 1) == u'\n') {
            i += 2;
            *out << record;
            record.clear();
            continue;
        }
        return false; // a record not ended by CRLF, or text after a closing quote
    }
    return record.isEmpty();
}

// bytes converted by iconv from `from` to UTF-8; ok false when iconv refuses them.
inline QString iconvToUtf8(const QByteArray& bytes, const char* from, bool* ok)
{
    QProcess p;
    p.start(QStringLiteral("iconv"),
            {QStringLiteral("-f"), QString::fromLatin1(from), QStringLiteral("-t"), QStringLiteral("UTF-8")});
    p.write(bytes);
    p.closeWriteChannel();
    *ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace testing
