#include "print/PrintFont.h"

#include <QCryptographicHash>
#include <QFontDatabase>
#include <QMutex>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>
#include <map>

namespace print {
namespace {

bool isUnifiedIdeograph(char32_t c)
{
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x20000 && c <= 0x3134F);
}

quint16 u16(const QByteArray& b, qsizetype at)
{
    return at + 2 <= b.size() ? qFromBigEndian<quint16>(b.constData() + at) : 0;
}

quint32 u32(const QByteArray& b, qsizetype at)
{
    return at + 4 <= b.size() ? qFromBigEndian<quint32>(b.constData() + at) : 0;
}

void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToBigEndian(v, c);
    b.append(c, 2);
}

void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToBigEndian(v, c);
    b.append(c, 4);
}

CharMap readFormat12(const QByteArray& cmap, qsizetype at)
{
    CharMap map;
    const quint32 groups = u32(cmap, at + 12);
    for (quint32 g = 0; g < groups; ++g) {
        const qsizetype rec = at + 16 + qsizetype(g) * 12;
        const quint32 first = u32(cmap, rec), last = u32(cmap, rec + 4), glyph = u32(cmap, rec + 8);
        if (rec + 12 > cmap.size() || last < first || last > 0x10FFFF)
            return {};
        for (quint32 c = first; c <= last; ++c)
            map.insert(c, glyph + (c - first));
    }
    return map;
}

CharMap readFormat4(const QByteArray& cmap, qsizetype at)
{
    CharMap map;
    const int segs = u16(cmap, at + 6) / 2;
    const qsizetype ends = at + 14, starts = ends + segs * 2 + 2, deltas = starts + segs * 2,
                    ranges = deltas + segs * 2;
    for (int s = 0; s < segs; ++s) {
        const quint16 end = u16(cmap, ends + s * 2), start = u16(cmap, starts + s * 2);
        const quint16 delta = u16(cmap, deltas + s * 2), range = u16(cmap, ranges + s * 2);
        for (quint32 c = start; c <= end && c != 0xFFFF; ++c) {
            quint32 glyph = 0;
            if (range == 0) {
                glyph = (c + delta) & 0xFFFF;
            } else {
                glyph = u16(cmap, ranges + s * 2 + range + (c - start) * 2);
                if (glyph)
                    glyph = (glyph + delta) & 0xFFFF;
            }
            if (glyph)
                map.insert(c, glyph);
        }
    }
    return map;
}

// The font's Unicode map: the full-range subtable where there is one, else the BMP one.
CharMap readCharMap(const QByteArray& cmap)
{
    qsizetype full = -1, bmp = -1;
    const int count = u16(cmap, 2);
    for (int i = 0; i < count; ++i) {
        const quint16 platform = u16(cmap, 4 + i * 8), encoding = u16(cmap, 6 + i * 8);
        const qsizetype at = u32(cmap, 8 + i * 8);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (!unicode || at >= cmap.size())
            continue;
        if (u16(cmap, at) == 12)
            full = at;
        else if (u16(cmap, at) == 4)
            bmp = at;
    }
    if (full >= 0)
        return readFormat12(cmap, full);
    if (bmp >= 0)
        return readFormat4(cmap, bmp);
    return {};
}

// One format-12 subtable, offered as Unicode full range under both platforms.
QByteArray writeCharMap(const CharMap& map)
{
    std::map<char32_t, quint32> sorted;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        sorted.emplace(it.key(), it.value());
    QByteArray groups;
    quint32 count = 0, first = 0, last = 0, glyph = 0;
    bool open = false;
    for (const auto& [c, g] : sorted) {
        if (open && c == last + 1 && g == glyph + (c - first)) {
            last = c;
            continue;
        }
        if (open) {
            put32(groups, first), put32(groups, last), put32(groups, glyph);
            ++count;
        }
        first = last = c, glyph = g, open = true;
    }
    if (open) {
        put32(groups, first), put32(groups, last), put32(groups, glyph);
        ++count;
    }
    QByteArray out;
    put16(out, 0), put16(out, 2);
    put16(out, 0), put16(out, 4), put32(out, 20);
    put16(out, 3), put16(out, 10), put32(out, 20);
    put16(out, 12), put16(out, 0), put32(out, 16 + groups.size()), put32(out, 0), put32(out, count);
    return out + groups;
}

QByteArray writeNames(const QString& family, const QString& style, const QString& postscript)
{
    const QList<std::pair<quint16, QString>> names = {
        {1, family}, {2, style}, {3, postscript}, {4, family + u' ' + style}, {6, postscript}};
    QByteArray strings, out;
    put16(out, 0), put16(out, quint16(names.size())), put16(out, quint16(6 + 12 * names.size()));
    for (const auto& [id, text] : names) {
        QByteArray utf16;
        for (const QChar ch : text)
            put16(utf16, ch.unicode());
        put16(out, 3), put16(out, 1), put16(out, 0x409), put16(out, id);
        put16(out, quint16(utf16.size())), put16(out, quint16(strings.size()));
        strings += utf16;
    }
    return out + strings;
}

quint32 checksum(const QByteArray& data)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = (word << 8) | quint8(i + k < data.size() ? data.at(i + k) : 0);
        sum += word;
    }
    return sum;
}

// An OpenType file of tables (tag -> data), in the table order readers search by.
QByteArray writeFont(std::map<QByteArray, QByteArray> tables)
{
    const quint16 n = quint16(tables.size());
    quint16 power = 1, log = 0;
    while (power * 2 <= n)
        power *= 2, ++log;
    QByteArray head;
    put32(head, tables.count("CFF ") ? 0x4F54544F : 0x00010000);
    put16(head, n), put16(head, power * 16), put16(head, log), put16(head, n * 16 - power * 16);
    if (tables.count("head") && tables["head"].size() >= 12)
        tables["head"].replace(8, 4, QByteArray(4, '\0'));
    QByteArray body;
    qsizetype offset = 12 + 16 * n;
    qsizetype headAt = -1;
    for (const auto& [tag, data] : tables) {
        head += tag;
        put32(head, checksum(data)), put32(head, quint32(offset)), put32(head, quint32(data.size()));
        if (tag == "head")
            headAt = offset;
        QByteArray padded = data;
        padded.append((4 - data.size() % 4) % 4, '\0');
        body += padded;
        offset += padded.size();
    }
    QByteArray font = head + body;
    if (headAt >= 0) {
        char c[4];
        qToBigEndian(quint32(0xB1B0AFBA - checksum(font)), c);
        font.replace(headAt + 8, 4, QByteArray(c, 4));
    }
    return font;
}

// Registers the cleaned copy of raw's face; its family, or empty when it cannot be made.
QString registerCleanCopy(const QRawFont& raw)
{
    const QByteArray cmap = raw.fontTable("cmap");
    CharMap map = readCharMap(cmap);
    if (map.isEmpty())
        return {};
    const QList<char32_t> drop = shadowingCodePoints(map);
    if (drop.isEmpty())
        return {};
    for (const char32_t c : drop)
        map.remove(c);
    std::map<QByteArray, QByteArray> tables;
    static const char* const kept[] = {"CFF ", "CFF2", "OS/2", "head", "hhea", "hmtx", "maxp",
                                       "post", "vhea", "vmtx", "VORG", "GSUB", "GPOS", "GDEF",
                                       "BASE", "glyf", "loca", "cvt ", "fpgm", "prep", "gasp"};
    for (const char* tag : kept)
        if (const QByteArray data = raw.fontTable(tag); !data.isEmpty())
            tables[QByteArray(tag)] = data;
    if (!tables.count("head") || !tables.count("maxp") || !(tables.count("CFF ") || tables.count("glyf")))
        return {};
    const QString style = raw.styleName().isEmpty() ? QStringLiteral("Regular") : raw.styleName();
    const QString family = QStringLiteral("Tesvan Print %1 %2").arg(raw.familyName(), style);
    const QString postscript =
        QStringLiteral("TesvanPrint-") +
        QString::fromLatin1(
            QCryptographicHash::hash(family.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    tables["cmap"] = writeCharMap(map);
    tables["name"] = writeNames(family, style, postscript);
    const int id = QFontDatabase::addApplicationFontFromData(writeFont(std::move(tables)));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.value(0);
}

} // namespace

QList<char32_t> shadowingCodePoints(const CharMap& map)
{
    // The lowest unified ideograph of each glyph in the first plane: the text layer's choice.
    QHash<quint32, char32_t> ideograph;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        if (it.key() < 0x10000 && isUnifiedIdeograph(it.key())) {
            const auto seen = ideograph.constFind(it.value());
            if (seen == ideograph.cend() || it.key() < seen.value())
                ideograph.insert(it.value(), it.key());
        }
    QList<char32_t> drop;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const auto owner = ideograph.constFind(it.value());
        if (owner != ideograph.cend() && it.key() < owner.value())
            drop << it.key();
    }
    std::sort(drop.begin(), drop.end());
    return drop;
}

QFont withSearchableText(const QFont& font)
{
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    if (!raw.isValid())
        return font;
    // Keyed by the face, so a copy is made once per run (by whichever thread paints first).
    static QMutex lock;
    const QMutexLocker guard(&lock);
    static QHash<QString, QString> copies;
    const QString key = raw.familyName() + u'\n' + raw.styleName() + u'\n' + QString::number(raw.weight());
    auto it = copies.find(key);
    if (it == copies.end())
        it = copies.insert(key, registerCleanCopy(raw));
    if (it->isEmpty())
        return font;
    QFont clean = font;
    clean.setFamilies(QStringList{*it} + font.families());
    return clean;
}

} // namespace print
