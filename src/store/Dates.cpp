#include "store/Dates.h"

namespace store {

QVariant dateValue(const QDate& d)
{
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant(QMetaType(QMetaType::QString));
}

QDate toDate(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().date();
    const QString s = v.toString();
    if (s.size() < 10 || (s.size() > 10 && s[10] != u'T' && s[10] != u' '))
        return {};
    return QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
}

} // namespace store
