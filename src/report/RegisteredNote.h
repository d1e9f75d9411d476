#pragma once
// What the last 登録 stored, shown for a while beside the buttons without stopping the user,
// and the grid rows it left out (no 内容) kept marked until the user changes them. The note is
// one line whatever its length, cut with "…" where the row of buttons leaves it no room, and
// whole in its tooltip: a long note never pushes the grid up.
#include <QLabel>
#include <QList>
#include <QSet>

class DataGrid;
class DataSource;
class QTimer;

class RegisteredNote : public QLabel {
    Q_OBJECT
  public:
    // lines: the grid over source, whose rows are told apart by 行番号.
    RegisteredNote(DataGrid* lines, DataSource* source, QWidget* parent);

    void showRegistered(int stored, const QList<int>& withoutText);
    // Another operation began: the note goes, and so do the marks.
    void clearAll();
    bool isMarked(int lineNumber) const { return m_unstored.contains(lineNumber); }
    // The note as painted: text() cut to the width it has.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    int lineNumber(int row) const;
    void setNote(const QString& text);

    DataGrid* m_grid;
    DataSource* m_source;
    QTimer* m_timer;
    QSet<int> m_unstored;
};
