#pragma once
// A grid's header: captions above fixed-width columns the program sets, or the row selector's
// fixed rows that a click selects. Its sections are never highlighted, so captions are sized in
// the font they are drawn in: QHeaderView measures them in bold, which loads a second face of
// the CJK font (a few megabytes of it mapped) for text that is never drawn that way.
// QHeaderView sizes itself again from every section each time its sections or captions change,
// which setting up a grid's columns does dozens of times: each caption's size is measured once
// per font and style.
#include <QHash>
#include <QHeaderView>

class GridHeader : public QHeaderView {
  public:
    GridHeader(Qt::Orientation orientation, QWidget* parent);

  protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void changeEvent(QEvent* e) override;

  private:
    mutable QHash<QString, QSize> m_captionSizes;
};
