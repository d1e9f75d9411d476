#pragma once
// What the last 登録 stored, shown for a while beside the buttons without stopping the user,
// and the grid rows it left out (no 内容) kept marked until the user changes them.
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

  private:
    int lineNumber(int row) const;

    DataGrid* m_grid;
    DataSource* m_source;
    QTimer* m_timer;
    QSet<int> m_unstored;
};
