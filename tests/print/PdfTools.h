#pragma once
// Reading rendered PDF files back with poppler's command-line tools.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace testing {

// The path of a poppler tool, or empty (after a failed check naming the package) when missing.
inline QString popplerTool(const char* name)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (path.isEmpty())
        QTest::qFail(qPrintable(QStringLiteral("%1 not found: install poppler-utils (scripts/setup)")
                                    .arg(QString::fromLatin1(name))),
                     __FILE__, __LINE__);
    return path;
}

// Standard output of tool with args; empty when the tool is missing or fails.
inline QString runTool(const char* name, const QStringList& args)
{
    const QString exe = popplerTool(name);
    if (exe.isEmpty())
        return {};
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QTest::qFail(
            qPrintable(QStringLiteral("%1 failed: %2")
                           .arg(QString::fromLatin1(name), QString::fromLocal8Bit(p.readAllStandardError()))),
            __FILE__, __LINE__);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of every page of pdf, laid out as printed; one entry per page.
inline QStringList pdfPages(const QString& pdf)
{
    QStringList pages =
        runTool("pdftotext", {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// One field of pdfinfo's output ("Pages", "Page size").
inline QString pdfInfo(const QString& pdf, const QString& key)
{
    for (const QString& line : runTool("pdfinfo", {pdf}).split(u'\n'))
        if (line.startsWith(key + u':'))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

// Page page (1-based) of pdf as an image at dpi dots per inch.
inline QImage pdfPageImage(const QString& pdf, int page, int dpi, const QString& workDir)
{
    const QString stem = workDir + QStringLiteral("/page");
    runTool("pdftoppm", {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                         QString::number(page), QStringLiteral("-singlefile"), pdf, stem});
    return QImage(stem + QStringLiteral(".png"));
}

} // namespace testing
