#include "store/FileBytes.h"

#include <QFile>
#include <sqlite3.h>

namespace store {
namespace {

quint32 bigEndian(const uchar* p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

quint32 littleEndian(const uchar* p)
{
    return (quint32(p[3]) << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | quint32(p[0]);
}

// SQLite's log checksum: pairs of 32-bit words in the byte order the log's magic names.
void checksum(bool big, const uchar* p, qsizetype n, quint32& s0, quint32& s1)
{
    for (qsizetype i = 0; i + 8 <= n; i += 8) {
        s0 += (big ? bigEndian(p + i) : littleEndian(p + i)) + s1;
        s1 += (big ? bigEndian(p + i + 4) : littleEndian(p + i + 4)) + s0;
    }
}

QByteArray readFile(sqlite3_file* f, qint64 offset, qint64 max)
{
    sqlite3_int64 size = 0;
    if (!f || !f->pMethods || f->pMethods->xFileSize(f, &size) != SQLITE_OK || offset >= size)
        return {};
    qint64 n = size - offset;
    if (max >= 0 && max < n)
        n = max;
    QByteArray out(n, Qt::Uninitialized);
    if (f->pMethods->xRead(f, out.data(), int(n), offset) != SQLITE_OK)
        return {};
    return out;
}

sqlite3_file* fileOf(sqlite3* h, int which)
{
    sqlite3_file* f = nullptr;
    if (!h || sqlite3_file_control(h, "main", which, &f) != SQLITE_OK)
        return nullptr;
    return f && f->pMethods ? f : nullptr;
}

} // namespace

QByteArray readFileBytes(const QString& path, qint64 offset, qint64 max)
{
    // A connection that never reads takes no lock; its close leaves the descriptor open for as
    // long as another connection of the process holds a lock on the file.
    sqlite3* h = nullptr;
    QByteArray out;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
        out = readFile(fileOf(h, SQLITE_FCNTL_FILE_POINTER), offset, max);
    sqlite3_close(h);
    return out;
}

quint32 markIn(const QByteArray& header)
{
    if (header.size() < 64)
        return 0;
    return bigEndian(reinterpret_cast<const uchar*>(header.constData()) + 60);
}

quint32 markOf(sqlite3* h)
{
    return markIn(readFile(fileOf(h, SQLITE_FCNTL_FILE_POINTER), 0, 64));
}

quint64 logGenerationOf(sqlite3* h)
{
    const QByteArray head = readFile(fileOf(h, SQLITE_FCNTL_JOURNAL_POINTER), 0, 32);
    if (head.size() < 32)
        return 0;
    const auto* p = reinterpret_cast<const uchar*>(head.constData());
    return (quint64(bigEndian(p + 16)) << 32) | bigEndian(p + 20);
}

LogContent readLog(const QByteArray& bytes)
{
    // The log's format: a 32-byte header (magic, version, page size, checkpoint number, two
    // salts, its checksum), then frames of a 24-byte header (page, the file's size in pages
    // after a commit or 0, the salts, the running checksum) and the page.
    constexpr qsizetype kHeader = 32, kFrameHeader = 24;
    LogContent out;
    if (bytes.size() < kHeader)
        return out;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const quint32 magic = bigEndian(p);
    if ((magic & 0xFFFFFFFE) != 0x377F0682)
        return out;
    const bool big = magic & 1;
    const quint32 pageSize = bigEndian(p + 8);
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return out;
    quint32 s0 = 0, s1 = 0;
    checksum(big, p, 24, s0, s1);
    if (s0 != bigEndian(p + 24) || s1 != bigEndian(p + 28))
        return out;
    const quint32 salt1 = bigEndian(p + 16), salt2 = bigEndian(p + 20);
    QList<quint32> marks;
    int frame = 0;
    for (qsizetype at = kHeader; at + kFrameHeader + pageSize <= bytes.size();
         at += kFrameHeader + pageSize) {
        const uchar* f = p + at;
        if (bigEndian(f + 8) != salt1 || bigEndian(f + 12) != salt2)
            break;
        checksum(big, f, 8, s0, s1);
        checksum(big, f + kFrameHeader, pageSize, s0, s1);
        if (s0 != bigEndian(f + 16) || s1 != bigEndian(f + 20))
            break;
        ++frame;
        if (bigEndian(f) == 1)
            marks << bigEndian(f + kFrameHeader + 60);
        if (bigEndian(f + 4) != 0) {
            // A commit: what came before it counts.
            out.frames = frame;
            out.firstPageMarks = marks;
        }
    }
    return out;
}

} // namespace store
