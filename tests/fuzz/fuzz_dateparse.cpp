// libFuzzer target: what the two date inputs take from the keyboard. The first byte picks the
// input (the report's date "yyyy年mm月dd日" or a line's date "yy/mm/dd") and the reference
// date; the rest is the typed text. A taken date is valid, near the reference when typed
// without its year, and shown in the input's format it is taken back as the same date.
#include "ui/DateText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool lineDate = data[0] & 1;
    const QDate reference = QDate(2026, 12, 8).addDays(qint64(data[0] >> 1) * 37 - 2000);
    const QString fmt = lineDate ? QStringLiteral("yy/mm/dd") : QStringLiteral("yyyy年mm月dd日");
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const std::optional<QDate> d = controls::parseDate(text, fmt, reference);
    if (!d)
        return 0;
    if (!d->isValid()) {
        std::fprintf(stderr, "an invalid date was taken from \"%s\"\n", qPrintable(text));
        std::abort();
    }
    // Shown as the input shows it, the date is taken back unchanged (a two-digit year within
    // half a century of the reference, as its display leaves the century out).
    const QString shown =
        d->toString(lineDate ? QStringLiteral("yy/MM/dd") : QStringLiteral("yyyy年MM月dd日"));
    const bool centuryShown = !lineDate && d->year() >= 1000 && d->year() <= 9999;
    if (centuryShown) {
        const std::optional<QDate> back = controls::parseDate(shown, fmt, reference);
        if (!back || *back != *d) {
            std::fprintf(stderr, "\"%s\" gave %s, shown \"%s\" gives %s\n", qPrintable(text),
                         qPrintable(d->toString(Qt::ISODate)), qPrintable(shown),
                         back ? qPrintable(back->toString(Qt::ISODate)) : "nothing");
            std::abort();
        }
    }
    return 0;
}
