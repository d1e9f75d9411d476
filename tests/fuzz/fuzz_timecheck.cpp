// libFuzzer target: the time-cell rule. Whatever is typed, the cell keeps nothing new (empty
// text), a Null, or four ASCII digits hhmm within 0000..2460, and a kept value passes the rule
// unchanged.
#include "report/TimeCheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QVariant> kept = report::checkTime(text);
    if (!kept) {
        if (!text.isEmpty()) {
            std::fprintf(stderr, "a typed text left the cell as it was\n");
            std::abort();
        }
        return 0;
    }
    if (kept->isNull())
        return 0;
    const QString v = kept->toString();
    bool digits = v.size() == 4;
    for (const QChar c : v)
        digits = digits && c >= u'0' && c <= u'9';
    if (!digits || v.left(2).toInt() > 24 || v.mid(2).toInt() > 60) {
        std::fprintf(stderr, "kept \"%s\"\n", qPrintable(v));
        std::abort();
    }
    const std::optional<QVariant> again = report::checkTime(v);
    if (!again || again->toString() != v) {
        std::fprintf(stderr, "\"%s\" does not pass the rule unchanged\n", qPrintable(v));
        std::abort();
    }
    return 0;
}
