#pragma once
// What a key means to a grid: one map for the keys on the grid itself and one for the keys an
// open cell editor leaves to the grid.
#include "ui/grid/GridCursor.h"

#include <QString>
#include <Qt>

enum class GridCommand {
    None,
    Enter,        // step to the next cell, staying at the end of the grid
    NextCell,     // Tab: as Enter, but the focus leaves the grid at its end
    PreviousCell, // Shift+Tab
    Move,         // an arrow, Home, End or page key
    CellAction,   // F2
    OpenList,     // F4, Alt+Down: edit the cell with its list or calendar open
    OpenEmpty,    // Delete / Backspace: edit the cell starting from nothing
    ToggleTick,   // Space; typed as text where the cell has no tick box
    Copy,
    Type, // text that starts an edit
};

struct GridKey {
    GridCommand command = GridCommand::None;
    GridCursor::Move move = GridCursor::Move::Next; // for GridCommand::Move
};

enum class EditorCommand {
    None,         // the editor keeps the key
    Enter,        // write, then step as Enter on the grid
    NextCell,     // write, then Tab
    PreviousCell, // write, then Shift+Tab
    Discard,      // Escape
    RowUp,        // write, then the same column one row up
    RowDown,
};

namespace gridkeys {

GridKey gridCommand(int key, Qt::KeyboardModifiers mods, const QString& text);
EditorCommand editorCommand(int key, Qt::KeyboardModifiers mods);

// Keys an open editor takes before any shortcut of the window can.
bool editorClaims(int key);
// Tab and Shift+Tab walk the cells before the focus chain sees them.
bool walksCells(int key, Qt::KeyboardModifiers mods);
bool isForwardTab(int key, Qt::KeyboardModifiers mods);
// The code keyDown reports: Qt::Key_Return for both Enter keys, the Qt key otherwise.
int keyDownCode(int key);
// Text a key types into a cell.
bool typesText(Qt::KeyboardModifiers mods, const QString& text);

} // namespace gridkeys
