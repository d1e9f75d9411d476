#include "search/Criteria.h"

#include "store/TextFold.h"

#include <QRegularExpression>

namespace search {

bool Criteria::isEmpty() const
{
    return from.isNull() && to.isNull() && name.isEmpty() && keywordsOf(*this).isEmpty();
}

QString fold(const QString& text)
{
    return store::foldText(text);
}

QStringList keywordsOf(const Criteria& c)
{
    QStringList out;
    if (c.keywords.isEmpty())
        return out;
    // NFKC turns the ideographic blank into a plain one, so one split serves both. Made once:
    // compiling it took as long as a screen of lines by name.
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = fold(c.keywords).split(blanks, Qt::SkipEmptyParts);
    for (const QString& w : words)
        if (!out.contains(w))
            out << w;
    return out;
}

} // namespace search
