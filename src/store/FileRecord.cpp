#include "store/FileRecord.h"

#include "store/FileBytes.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>

#include <sys/stat.h>

namespace store {

QString recordPathOf(const QString& path)
{
    return path + QStringLiteral(".state");
}

FileRecord readRecord(const QString& path)
{
    FileRecord r;
    QFile f(recordPathOf(path));
    if (!f.open(QIODevice::ReadOnly))
        return r;
    bool markSeen = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(200).trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq);
        const qint64 v = line.mid(eq + 1).toLongLong();
        if (key == "mark") {
            r.mark = quint32(v);
            markSeen = true;
        } else if (key == "previous") {
            r.previousMark = quint32(v);
        } else if (key == "size") {
            r.identity.size = v;
        } else if (key == "mtime") {
            r.identity.mtimeNs = v;
        } else if (key == "checkpointing") {
            r.checkpointing = v != 0;
        } else if (key == "clean") {
            r.clean = v != 0;
        } else if (key == "checked") {
            r.checkedAt = v;
        }
    }
    r.present = markSeen;
    return r;
}

Error writeRecord(const QString& path, const FileRecord& r)
{
    // QSaveFile leaves the failed call's errno in place; its text is only for the user.
    const auto failed = [](const QSaveFile& f) { return Error(f.errorString(), Error::kindOfErrno(errno)); };
    QSaveFile f(recordPathOf(path));
    if (!f.open(QIODevice::WriteOnly))
        return failed(f);
    const QByteArray text =
        QByteArrayLiteral("# 営業日報 Tesvan: the program's record of the file beside it\n") +
        "mark=" + QByteArray::number(r.mark) + "\nprevious=" + QByteArray::number(r.previousMark) +
        "\nsize=" + QByteArray::number(r.identity.size) +
        "\nmtime=" + QByteArray::number(r.identity.mtimeNs) +
        "\ncheckpointing=" + QByteArray::number(int(r.checkpointing)) +
        "\nclean=" + QByteArray::number(int(r.clean)) + "\nchecked=" + QByteArray::number(r.checkedAt) + "\n";
    if (f.write(text) != text.size())
        return failed(f);
    if (!f.commit())
        return failed(f);
    return {};
}

FileIdentity identityOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

quint32 markOnDisk(const QString& path)
{
    return markIn(readFileBytes(path, 0, 64));
}

} // namespace store
