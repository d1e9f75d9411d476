#include "report/TimeCheck.h"

namespace report {

std::optional<QVariant> checkTime(const QString& typed)
{
    if (typed.isEmpty())
        return std::nullopt;
    // The form the cell displays, "09:30" (or with a full-width colon), is four digits too.
    QString text = typed;
    if (text.size() == 5 && (text.at(2) == u':' || text.at(2) == u'：'))
        text.remove(2, 1);
    const QVariant cleared{QMetaType(QMetaType::QString)};
    if (text.size() != 4)
        return cleared;
    QString digits(4, QLatin1Char('0'));
    for (int i = 0; i < 4; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= u'0' && c <= u'9')
            digits[i] = QChar(c);
        else if (c >= u'０' && c <= u'９')
            digits[i] = QChar(u'0' + (c - u'０'));
        else
            return cleared; // signs, spaces and points are no part of a time
    }
    const int hh = digits.left(2).toInt();
    const int mm = digits.right(2).toInt();
    if (hh > 24 || mm > 60)
        return cleared;
    return QVariant(digits);
}

} // namespace report
