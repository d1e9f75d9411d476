// Field quoting, the formula guard and the two encodings of the CSV files.
#include "search/Csv.h"
#include "search/CsvFile.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace search {
namespace {

// Windows-31J, the cp932 that Windows and Excel use, NEC and IBM extensions included. ICU
// knows it under this name; its table round-trips with iconv's CP932 except for the controls
// 0x1A, 0x1C and 0x7F (swapped the IBM way) and U+F86F, which encodeCp932 takes care of.
constexpr const char* kCp932 = "windows-31j";

// JIS characters that cp932 holds under another code point. Input methods on Linux type the
// JIS ones (〜 for a range of times), Windows reads the bytes back as the cp932 ones: the same
// character on paper, so they are written rather than refused.
char16_t cp932Form(char16_t c)
{
    switch (c) {
    case 0x301C: // 〜 WAVE DASH
        return 0xFF5E;
    case 0x2016: // ‖ DOUBLE VERTICAL LINE
        return 0x2225;
    case 0x2212: // − MINUS SIGN
        return 0xFF0D;
    case 0x00A2: // ¢
        return 0xFFE0;
    case 0x00A3: // £
        return 0xFFE1;
    case 0x00AC: // ¬
        return 0xFFE2;
    case 0x2014: // — EM DASH
        return 0x2015;
    default:
        return c;
    }
}

bool needsOwnMapping(char16_t c)
{
    return c == 0x1A || c == 0x1C || c == 0x7F || c == 0xF86F;
}

struct Cp932 {
    // Made afresh rather than assigned: moving an ICU converter's state loses its error flag.
    std::optional<QStringEncoder> encoder{std::in_place, kCp932};
    std::optional<QStringDecoder> decoder{std::in_place, kCp932};

    // in in cp932, or false when a character has no code there. The encoder's error flag stays
    // set through resetState(), so a failed encoder is replaced.
    bool encodeChecked(QStringView in, QByteArray* out)
    {
        *out = encoder->encode(in);
        if (!encoder->hasError())
            return true;
        encoder.emplace(kCp932);
        return false;
    }

    // One character (a code point) alone: its bytes, or false when cp932 has none.
    bool encodeOne(QStringView ch, QByteArray* out)
    {
        if (ch.size() == 1 && ch.front().unicode() < 0x80) {
            *out += char(ch.front().unicode());
            return true;
        }
        QByteArray b;
        if (!encodeChecked(ch, &b))
            return false;
        if (QString(decoder->decode(b)) != ch) {
            decoder.emplace(kCp932);
            return false; // a mapping that would not read back as written (U+F86F)
        }
        *out += b;
        return true;
    }

    QByteArray encode(const QString& in, QString* bad)
    {
        QString text = in;
        bool own = false;
        for (QChar& c : text) {
            c = QChar(cp932Form(c.unicode()));
            own = own || needsOwnMapping(c.unicode());
        }
        QByteArray b;
        if (!own && encodeChecked(text, &b))
            return b;
        // Character by character: finds the one cp932 cannot hold, and writes the controls as
        // themselves.
        QByteArray out;
        out.reserve(text.size() * 2);
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            if (!encodeOne(QStringView(text).mid(i, n), &out)) {
                *bad = in.mid(i, n);
                return {};
            }
            i += n;
        }
        return out;
    }
};

Cp932& cp932()
{
    thread_local Cp932 c;
    return c;
}

const QRegularExpression& plainNumber()
{
    static const QRegularExpression re(QStringLiteral("\\A[+-]?[0-9]+(\\.[0-9]+)?\\z"));
    return re;
}

} // namespace

QString guardFormula(const QString& text)
{
    if (text.isEmpty())
        return text;
    switch (text.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
    // A Japanese spreadsheet takes the full-width signs as typed half-width ones.
    case 0xFF1D: // ＝
    case 0xFF0B: // ＋
    case 0xFF0D: // －
    case 0xFF20: // ＠
        break;
    default:
        return text;
    }
    // A signed number is a number, not a formula: -5 stays -5.
    if (plainNumber().match(text).hasMatch())
        return text;
    return u'\'' + text;
}

QString quoteField(const QString& text)
{
    // A field alone is a record of one without its line end.
    QString out;
    appendRecord(out, {text}, {0});
    out.chop(2);
    return out;
}

void appendRecord(QString& out, const QStringList& fields, const QList<int>& plain)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += u',';
        const QString& f = fields.at(i);
        const QString g = plain.contains(int(i)) ? f : guardFormula(f);
        // A guarded text is quoted, so that its quote stays inside the field for every reader.
        bool quote = g.size() != f.size();
        for (qsizetype k = 0; k < f.size() && !quote; ++k) {
            const char16_t c = f.at(k).unicode();
            quote = c == u',' || c == u'"' || c == u'\r' || c == u'\n';
        }
        if (!quote) {
            out += f;
            continue;
        }
        out += u'"';
        for (const QChar c : g) {
            if (c == u'"')
                out += u'"';
            out += c;
        }
        out += u'"';
    }
    out += QStringLiteral("\r\n");
}

QString csvRecord(const QStringList& fields, const QList<int>& plain)
{
    QString out;
    appendRecord(out, fields, plain);
    return out;
}

QString csvDate(const QDate& d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

QString csvTime(const QString& hhmm)
{
    // Up to four digits are hours and minutes, as the grid shows them; anything else as stored.
    if (hhmm.isEmpty() || hhmm.size() > 4)
        return hhmm;
    for (const QChar c : hhmm)
        if (c < u'0' || c > u'9')
            return hhmm;
    const QString d = hhmm.rightJustified(4, u'0');
    return d.left(2) + u':' + d.mid(2);
}

QByteArray encodeCsv(const QString& text, CsvEncoding enc, QString* bad)
{
    bad->clear();
    if (enc == CsvEncoding::Utf8Bom)
        return text.toUtf8();
    return cp932().encode(text, bad);
}

QByteArray csvPreamble(CsvEncoding enc)
{
    return enc == CsvEncoding::Utf8Bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
}

// CsvFile

namespace {
constexpr qsizetype kChunk = 1 << 18;
}

CsvFile::CsvFile(const QString& path, CsvEncoding enc) : m_file(path), m_enc(enc)
{
}

CsvFile::~CsvFile()
{
    cancel();
}

bool CsvFile::open()
{
    if (m_enc == CsvEncoding::Cp932 && !cp932().encoder->isValid()) {
        m_failure.error = store::Error(QStringLiteral("この環境ではShift_JISの変換表を使えません。"));
        return false;
    }
    if (!m_file.open(QIODevice::WriteOnly)) {
        m_failure.error = store::Error(m_file.errorString());
        return false;
    }
    m_buffer = csvPreamble(m_enc);
    return true;
}

bool CsvFile::add(const QStringList& fields, const QList<int>& plain)
{
    if (!m_failure.ok() || !m_file.isOpen())
        return false;
    m_text.clear();
    appendRecord(m_text, fields, plain);
    if (m_enc == CsvEncoding::Utf8Bom) {
        // Straight into the buffer: no array per record.
        const qsizetype at = m_buffer.size();
        m_buffer.resize(at + m_text.size() * 3);
        QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        char* end = utf8.appendToBuffer(m_buffer.data() + at, m_text);
        m_buffer.truncate(end - m_buffer.constData());
        ++m_records;
        return m_buffer.size() < kChunk || flush();
    }
    QString bad;
    const QByteArray bytes = encodeCsv(m_text, m_enc, &bad);
    if (!bad.isEmpty()) {
        m_failure.error = store::Error(QStringLiteral("「%1」はShift_JISで書けない文字です。").arg(bad));
        m_failure.line = m_records;
        m_failure.text = bad;
        return false;
    }
    ++m_records;
    m_buffer += bytes;
    return m_buffer.size() < kChunk || flush();
}

bool CsvFile::flush()
{
    if (m_file.write(m_buffer) != m_buffer.size()) {
        m_failure.error = store::Error(m_file.errorString());
        return false;
    }
    m_buffer.clear();
    return true;
}

void CsvFile::fail(const store::Error& e)
{
    if (m_failure.ok())
        m_failure.error = e;
}

CsvFailure CsvFile::commit()
{
    if (m_failure.ok() && m_file.isOpen() && flush() && !m_file.commit())
        m_failure.error = store::Error(m_file.errorString());
    if (m_failure.ok())
        m_failure.written = qMax<qint64>(0, m_records - 1);
    cancel();
    return m_failure;
}

void CsvFile::cancel()
{
    if (m_file.isOpen()) {
        // A cancelled commit removes the temporary file at once.
        m_file.cancelWriting();
        m_file.commit();
    }
    m_buffer.clear();
}

CsvFailure writeTableCsv(const QString& path, const QStringList& header, const QList<QStringList>& rows,
                         CsvEncoding enc)
{
    CsvFile file(path, enc);
    if (!file.open() || !file.add(header))
        return file.commit();
    for (const QStringList& row : rows)
        if (!file.add(row))
            break;
    return file.commit();
}

} // namespace search
