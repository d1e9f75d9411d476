#include "app/LogFile.h"

#include "store/Log.h"

#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>
#include <QMutex>

#include <cstring>
#include <memory>

namespace app {
namespace {

struct Sink {
    QMutex lock; // messages come from worker threads as well
    std::unique_ptr<QFile> file;
    QtMessageHandler previous = nullptr;
};

Sink& sink()
{
    static Sink s;
    return s;
}

const char* levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

void write(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    Sink& s = sink();
    const bool ours = context.category && std::strncmp(context.category, "tesvan.", 7) == 0;
    QMutexLocker guard(&s.lock);
    if (!ours || !s.file) {
        const QtMessageHandler previous = s.previous;
        guard.unlock();
        if (previous)
            previous(type, context, text);
        return;
    }
    const QString line = QStringLiteral("%1 %2 %3: %4\n")
                             .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                                  QLatin1String(levelOf(type)), QLatin1String(context.category), text);
    // Written through at once: the line that matters is the one before a crash.
    s.file->write(line.toUtf8());
    s.file->flush();
}

} // namespace

QString startLogFile(const QString& path)
{
    // Never a database or its log: lines appended there would damage it. Read before any
    // connection opens, so this descriptor costs no lock.
    for (const char* end : {"-wal", "-shm", "-journal"})
        if (path.endsWith(QLatin1String(end)))
            return QStringLiteral("データベースのファイルにはログを書けません。");
    if (QFile existing(path);
        existing.open(QIODevice::ReadOnly) && existing.read(16) == QByteArray("SQLite format 3", 16))
        return QStringLiteral("データベースのファイルにはログを書けません。");
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return file->errorString();
    Sink& s = sink();
    {
        QMutexLocker guard(&s.lock);
        s.file = std::move(file);
    }
    const QtMessageHandler previous = qInstallMessageHandler(write);
    if (previous != write) {
        QMutexLocker guard(&s.lock);
        s.previous = previous;
    }
    QLoggingCategory::setFilterRules(QString::fromLatin1(store::kLogRules));
    return {};
}

void stopLogFile()
{
    Sink& s = sink();
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker guard(&s.lock);
        s.file.reset();
        previous = s.previous;
    }
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
}

} // namespace app
