#pragma once
// Paints a text column with the searched words marked where they were found.
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
