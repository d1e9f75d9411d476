#include "ui/grid/GridKeys.h"

#include <QKeySequence>

namespace gridkeys {

namespace {

bool isCopy(int key, Qt::KeyboardModifiers mods)
{
    // As QKeyEvent::matches: the keypad and group switch make no difference.
    const QKeyCombination pressed(mods & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier), Qt::Key(key));
    return QKeySequence::keyBindings(QKeySequence::Copy).contains(QKeySequence(pressed));
}

} // namespace

GridKey gridCommand(int key, Qt::KeyboardModifiers mods, const QString& text)
{
    using M = GridCursor::Move;
    const bool ctrl = mods & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return {GridCommand::Enter};
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return {isForwardTab(key, mods) ? GridCommand::NextCell : GridCommand::PreviousCell};
    case Qt::Key_Left:
        return {GridCommand::Move, M::Left};
    case Qt::Key_Right:
        return {GridCommand::Move, M::Right};
    case Qt::Key_Up:
        return {GridCommand::Move, M::Up};
    case Qt::Key_Down:
        if (mods & Qt::AltModifier)
            return {GridCommand::OpenList};
        return {GridCommand::Move, M::Down};
    case Qt::Key_Home:
        return {GridCommand::Move, ctrl ? M::Top : M::Home};
    case Qt::Key_End:
        return {GridCommand::Move, ctrl ? M::Bottom : M::End};
    case Qt::Key_PageUp:
        return {GridCommand::Move, M::PageUp};
    case Qt::Key_PageDown:
        return {GridCommand::Move, M::PageDown};
    case Qt::Key_F2:
        return {GridCommand::CellAction};
    case Qt::Key_F4:
        return {GridCommand::OpenList};
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return {GridCommand::OpenEmpty};
    case Qt::Key_Space:
        if (!(mods & (Qt::ControlModifier | Qt::AltModifier)))
            return {GridCommand::ToggleTick};
        break;
    default:
        break;
    }
    if (isCopy(key, mods))
        return {GridCommand::Copy};
    if (typesText(mods, text))
        return {GridCommand::Type};
    return {};
}

EditorCommand editorCommand(int key, Qt::KeyboardModifiers mods)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return EditorCommand::Enter;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (mods & (Qt::ControlModifier | Qt::AltModifier))
            return EditorCommand::None;
        return isForwardTab(key, mods) ? EditorCommand::NextCell : EditorCommand::PreviousCell;
    case Qt::Key_Escape:
        return EditorCommand::Discard;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Alt+Down opens a list or calendar.
        if (mods & Qt::AltModifier)
            return EditorCommand::None;
        return key == Qt::Key_Up ? EditorCommand::RowUp : EditorCommand::RowDown;
    default:
        return EditorCommand::None;
    }
}

bool editorClaims(int key)
{
    return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool walksCells(int key, Qt::KeyboardModifiers mods)
{
    return (key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
           !(mods & (Qt::ControlModifier | Qt::AltModifier));
}

bool isForwardTab(int key, Qt::KeyboardModifiers mods)
{
    return key == Qt::Key_Tab && !(mods & Qt::ShiftModifier);
}

int keyDownCode(int key)
{
    return (key == Qt::Key_Return || key == Qt::Key_Enter) ? int(Qt::Key_Return) : key;
}

bool typesText(Qt::KeyboardModifiers mods, const QString& text)
{
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // A character outside the basic plane (an emoji) is two UTF-16 units: judge the whole of it.
    return !text.isEmpty() && QChar::isPrint(text.toUcs4().value(0));
}

} // namespace gridkeys
