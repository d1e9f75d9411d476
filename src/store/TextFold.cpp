#include "store/TextFold.h"

namespace store {

QString foldText(const QString& text)
{
    // Plain ASCII needs no normalising: only its case is folded.
    bool ascii = true;
    for (const QChar ch : text)
        if (ch.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLower();
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

} // namespace store
