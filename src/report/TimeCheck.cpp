#include "report/TimeCheck.h"

namespace report {

std::optional<QVariant> checkTime(const QString& typed)
{
    if (typed.isEmpty())
        return std::nullopt;
    const QVariant cleared{QMetaType(QMetaType::QString)};
    // Digits and the colon an input method types full-width are taken as ASCII; blanks around
    // the entry are no part of it.
    QString text;
    for (const QChar ch : typed.trimmed()) {
        const char16_t c = ch.unicode();
        if (c >= u'０' && c <= u'９')
            text += QChar(u'0' + (c - u'０'));
        else if (c == u'：')
            text += u':';
        else if ((c >= u'0' && c <= u'9') || c == u':')
            text += ch;
        else
            return cleared; // signs, spaces inside and points are no part of a time
    }
    // h:mm and hh:mm, the way the cell shows a time, are hmm and hhmm; the minutes always have
    // two digits ("12:5" could be 12:05 or 12:50).
    if (const qsizetype colon = text.indexOf(u':'); colon >= 0) {
        if (colon < 1 || colon > 2 || text.size() - colon != 3 || text.count(u':') != 1)
            return cleared;
        text.remove(colon, 1);
    }
    if (text.size() == 3)
        text.prepend(u'0');
    if (text.size() != 4)
        return cleared;
    const int hh = text.left(2).toInt();
    const int mm = text.right(2).toInt();
    if (hh > 24 || mm > 60)
        return cleared;
    return QVariant(text);
}

} // namespace report
