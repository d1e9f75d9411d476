#pragma once
// Tests of the control layer against a temporary work database.
#include "ControlsFixture.h"

class TstControls : public ControlsFixture {
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
    void modelFollowsSourceFields();
    void rereadEqualsFreshRead_data();
    void rereadEqualsFreshRead();

    // DataGrid: display, refresh, writes and lifetime (typing and keys: tst_gridediting)
    void modelPassesTester();
    void formats_data();
    void formats();
    void moveNextPastLastRow();
    void columnsSurviveRefresh();
    void headerFollowsCaptionsAndFont();
    void refreshClosesEditorKeepsCursor();
    void updateCommitsOpenEditor();
    void failedWriteKeepsEditorOpen();
    void programWritesRaiseNoAfterColUpdate();
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
    void editableComboAsQtMakesIt_data();
    void editableComboAsQtMakesIt();
    void comboItemsFollowWhateverChangedThem_data();
    void comboItemsFollowWhateverChangedThem();
    void commandButtonColour();
    void twipsConversion();
};
