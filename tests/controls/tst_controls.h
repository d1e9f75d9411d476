#pragma once
// Tests of the control layer against a temporary work database.
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class DataGrid;
class DataSource;

// A shown window with the report-line grid laid out as the main window does, and a line
// edit after it in the focus chain.
struct GridRig {
    std::unique_ptr<QWidget> window;
    DataSource* src = nullptr;
    DataGrid* grid = nullptr;
    QLineEdit* after = nullptr;
};

class TstControls : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    // DataSource
    void refreshOrder_data();
    void refreshOrder();
    void setValueWritesBoundValues();
    void failedWriteKeepsCacheAndTable();
    void failedRefreshKeepsRows();
    void readDoesNotBlockOtherConnection();

    // DataGrid
    void modelPassesTester();
    void formats_data();
    void formats();
    void typedEditIsWritten();
    void emptiedTextBecomesNull();
    void escapeCancelsEdit();
    void tickBoxClickAndSpace();
    void enterMovesRightAndWraps();
    void tabSkipsNoCursorColumnsAndLeaves();
    void keyDownCanConsume();
    void enterInEditorCommitsBeforeKeyDown();
    void moveNextPastLastRow();
    void columnsSurviveRefresh();
    void refreshClosesEditorKeepsCursor();
    void updateCommitsOpenEditor();
    void failedWriteKeepsEditorOpen();
    void programWritesRaiseNoAfterColUpdate();
    void cellActionAndActionOnly();
    void multilineCellNotEditedInline();
    void clickOnNoCursorColumnKeepsColumn();
    void inputMethodCommitStartsEdit();
    void imeStatusFollowsGrid();
    void externalDateEditor();
    void dropDownPickAndType();
    void screenClosingHearsNothing_data();
    void screenClosingHearsNothing();
    void sourceDeletedAloneEmptiesGrid();

    // Cursor rules and key maps of the grid
    void cursorMoves_data();
    void cursorMoves();
    void cursorAfterReread_data();
    void cursorAfterReread();
    void cursorPastTheLastRow();
    void cursorReportsEachChangeOnce();
    void gridKeyMap_data();
    void gridKeyMap();
    void editorKeyMap_data();
    void editorKeyMap();

    // DateInput
    void dateParse_data();
    void dateParse();
    void dateInputTyping();
    void dateInputRange_data();
    void dateInputRange();
    void calendarPopup();

    // Small controls
    void comboNotifications();
    void commandButtonColour();
    void twipsConversion();

  private:
    QSqlDatabase db() const;
    bool run(const QString& sql);
    QVariant cell(const QString& field, int lineNo);
    bool resetLines(int n);
    void makeGrid(GridRig& rig);
    static void type(DataGrid* g, const QString& text);

    QTemporaryDir m_dir;
    QString m_path;
};
