#include "ui/NaturalOrder.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace app {

QList<qsizetype> naturalOrder(const QList<QVariant>& values, Qt::SortOrder order)
{
    QCollator collator(QLocale(QLocale::Japanese, QLocale::Japan));
    collator.setNumericMode(true);
    // A key per value, compared many times: a hundred thousand rows sort in a blink.
    QList<QCollatorSortKey> keys;
    keys.reserve(values.size());
    QList<bool> empty;
    empty.reserve(values.size());
    for (const QVariant& v : values) {
        const QString text = v.isNull() ? QString() : v.toString();
        keys << collator.sortKey(text);
        empty << text.isEmpty();
    }
    QList<qsizetype> rows(values.size());
    std::iota(rows.begin(), rows.end(), 0);
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(rows.begin(), rows.end(), [&](qsizetype a, qsizetype b) {
        if (empty[a] != empty[b])
            return empty[b];
        const int c = keys[a].compare(keys[b]);
        return descending ? c > 0 : c < 0;
    });
    return rows;
}

} // namespace app
