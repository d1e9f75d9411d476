#pragma once
// Paints a text column with the searched words marked where they were found.
#include <QFontMetricsF>
#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>

namespace search {

// Where the folded keywords occur in text, as ranges of text itself (start, length), in order
// and merged where they touch or overlap. Folding can change lengths (ｶﾞ is one character
// folded, ㈱ three), so text is folded one grapheme at a time and a match covers every
// grapheme it touches.
struct Span {
    int start = 0;
    int length = 0;
    bool operator==(const Span&) const = default;
};
QList<Span> foldedMatches(const QString& text, const QStringList& foldedKeywords);

// Where a one-line cell `width` wide starts showing text (after "…") so that the first of marks
// is seen: 0 when it ends within the width as the text stands, otherwise a few characters before
// it, as many as leave it in view, up to a third of the width.
int shownFrom(const QString& text, const QList<Span>& marks, const QFontMetricsF& metrics, qreal width);

class HighlightDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    HighlightDelegate(int column, QObject* parent = nullptr);
    void setKeywords(const QStringList& foldedKeywords) { m_keywords = foldedKeywords; }
    const QStringList& keywords() const { return m_keywords; }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QColor markColor();

  private:
    int m_column;
    QStringList m_keywords;
};

} // namespace search
