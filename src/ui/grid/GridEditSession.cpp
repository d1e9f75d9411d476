#include "ui/grid/GridEditSession.h"

#include "ui/grid/CellEditor.h"
#include "ui/grid/CellFormat.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "ui/Ime.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

GridEditSession::GridEditSession(QAbstractItemView* view, DataGridModel* model, GridEditHost* host)
    : QObject(view), m_view(view), m_model(model), m_host(host)
{
}

void GridEditSession::setColumnEditor(int col, QWidget* editor)
{
    if (col < 0)
        return;
    if (m_editor && m_index.column() == col)
        discard();
    if (col >= m_columnEditors.size())
        m_columnEditors.resize(col + 1);
    if (QWidget* old = m_columnEditors[col]; old && old != editor)
        if (auto* ce = dynamic_cast<CellEditor*>(old))
            ce->setPickedHandler({});
    m_columnEditors[col] = editor;
    if (!editor)
        return;
    editor->hide();
    editor->setParent(m_view->viewport());
    // Picking from a list or a calendar is a complete entry: write it at once.
    if (auto* ce = dynamic_cast<CellEditor*>(editor)) {
        ce->setPickedHandler([this, editor] {
            if (m_editor == editor)
                commit(true);
        });
    }
}

GridEditSession::~GridEditSession()
{
    // The editors may outlive the grid (their parent can change): they must not call back.
    for (const auto& e : m_columnEditors)
        if (auto* ce = dynamic_cast<CellEditor*>(e.data()))
            ce->setPickedHandler({});
}

void GridEditSession::setColumnRule(int col, ValueRule rule)
{
    if (col < 0)
        return;
    if (col >= m_rules.size())
        m_rules.resize(col + 1);
    m_rules[col] = std::move(rule);
}

QWidget* GridEditSession::columnEditor(int col) const
{
    return (col >= 0 && col < m_columnEditors.size()) ? m_columnEditors[col].data() : nullptr;
}

bool GridEditSession::isEditing(int row, int col) const
{
    return m_editor && m_index.row() == row && m_index.column() == col;
}

bool GridEditSession::canEdit(int row, int col) const
{
    if (row < 0 || row >= m_model->rowCount() || col < 0 || col >= m_model->columnCount())
        return false;
    if (m_model->isLocked(col) || m_model->isCheckBox(col))
        return false;
    // A one-line editor would join the lines of a longer text.
    const QVariant v = m_model->rawValue(row, col);
    if (v.isNull())
        return true;
    const QString t = v.toString();
    return !(t.contains(u'\n') || t.contains(u'\r'));
}

bool GridEditSession::open(int row, int col, QEvent* forward)
{
    if (m_editor || m_stopped)
        return false;
    m_failureTold = false;
    m_view->edit(m_model->index(row, col));
    if (!m_editor)
        return false;
    auto* combo = qobject_cast<QComboBox*>(m_editor);
    QLineEdit* le = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(m_editor);
    if (forward) {
        // What was typed replaces the cell; the key itself goes to the editor.
        if (combo)
            combo->clearEditText();
        else if (le)
            le->clear();
        QWidget* target = m_editor->focusProxy() ? m_editor->focusProxy() : m_editor.data();
        QCoreApplication::sendEvent(target, forward);
    } else if (le) {
        le->deselect();
        le->end(false);
    }
    return true;
}

void GridEditSession::clearText()
{
    if (auto* combo = qobject_cast<QComboBox*>(m_editor))
        combo->clearEditText();
    else if (auto* le = qobject_cast<QLineEdit*>(m_editor))
        le->clear();
}

QVariant GridEditSession::editorValue(QWidget* editor) const
{
    if (auto* ce = dynamic_cast<CellEditor*>(editor))
        return controls::storageValue(ce->cellValue());
    if (auto* le = qobject_cast<QLineEdit*>(editor)) {
        // An emptied cell holds Null, not an empty text.
        const QString t = le->text();
        return t.isEmpty() ? QVariant() : QVariant(t);
    }
    return {};
}

store::Error GridEditSession::commit(bool close)
{
    m_lastFailure = CommitFailure::None;
    if (!m_editor || m_stopped)
        return {};
    if (!m_index.isValid()) {
        discard();
        return {};
    }
    const int r = m_index.row();
    const int c = m_index.column();
    if (auto* ce = dynamic_cast<CellEditor*>(m_editor.data())) {
        // Not a value at all: it stays in the editor, marked, until corrected or dropped with Escape.
        const QString problem = ce->cellValueProblem();
        if (!problem.isEmpty()) {
            ce->showProblem();
            m_lastFailure = CommitFailure::NotAValue;
            return store::Error(problem);
        }
    }
    QVariant v = editorValue(m_editor);
    if (auto* le = qobject_cast<QLineEdit*>(m_editor.data());
        le && !v.isNull() && c < m_rules.size() && m_rules[c]) {
        const TypedValue typed = m_rules[c](v.toString());
        if (!typed.problem.isEmpty()) {
            // Marked as a date input marks a text that is no date; the editor is the grid's
            // own and goes with the edit, and the mark with it.
            le->setStyleSheet(
                QStringLiteral("QLineEdit { border: 2px solid #d01010; background: #fff0f0; }"));
            le->setToolTip(typed.problem);
            m_lastFailure = CommitFailure::NotAValue;
            return store::Error(typed.problem);
        }
        v = typed.value;
    }
    const bool changed = !controls::sameValue(m_model->rawValue(r, c), v);
    if (changed) {
        const store::Error err = m_model->dataSource()->setValue(r, m_model->field(c), v);
        if (err.failed()) {
            // The editor stays open with what was typed, so nothing is lost.
            m_lastFailure = CommitFailure::WriteFailed;
            if (!m_failureTold || !controls::sameValue(m_toldValue, v)) {
                m_failureTold = true;
                m_toldValue = v;
                m_host->cellWriteFailed(c, err);
            }
            return err;
        }
    }
    if (close)
        this->close();
    if (changed)
        m_host->cellWritten(c);
    return {};
}

void GridEditSession::discard()
{
    close();
}

void GridEditSession::close()
{
    QWidget* ed = m_editor;
    m_failureTold = false;
    if (!ed)
        return;
    m_editor = nullptr;
    m_index = QPersistentModelIndex();
    if (auto* ce = dynamic_cast<CellEditor*>(ed))
        ce->closePopup();
    else if (auto* combo = qobject_cast<QComboBox*>(ed))
        combo->hidePopup();
    m_host->closeEditorWidget(ed);
}

QWidget* GridEditSession::createCellEditor(QWidget* parent, const QModelIndex& index)
{
    QWidget* ed = columnEditor(index.column());
    if (ed) {
        if (ed->parentWidget() != parent)
            ed->setParent(parent);
    } else {
        auto* le = new QLineEdit(parent);
        le->setFrame(false);
        le->setAlignment(m_model->alignment(index.column()) | Qt::AlignVCenter);
        // Wider text than the cell (full-width digits in a narrow column) widens the editor.
        QObject::connect(le, &QLineEdit::textChanged, le, [le] { GridDelegate::fitLineEdit(le); });
        ed = le;
    }
    copyImeStatus(m_view, ed);
    m_editor = ed;
    m_index = index;
    return ed;
}

void GridEditSession::editorReleased(QWidget* editor)
{
    if (editor == m_editor) {
        m_editor = nullptr;
        m_index = QPersistentModelIndex();
    }
}

bool GridEditSession::columnOffersList(int col) const
{
    const auto* ce = dynamic_cast<const CellEditor*>(columnEditor(col));
    return ce && ce->offersList();
}

bool GridEditSession::keepsEditor(const QWidget* editor) const
{
    for (const auto& e : m_columnEditors)
        if (e == editor)
            return true;
    return false;
}

bool GridEditSession::editorEvent(QWidget* editor, QEvent* e)
{
    if (m_stopped || editor != m_editor)
        return false;
    switch (e->type()) {
    case QEvent::ShortcutOverride: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (!gridkeys::editorClaims(k->key()))
            return false;
        k->accept();
        return true;
    }
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        return onKey(editor, k->key(), k->modifiers());
    }
    case QEvent::FocusOut: {
        auto* f = static_cast<QFocusEvent*>(e);
        // A pop-up of the editor (list, calendar) or another window is not leaving the cell.
        if (f->reason() == Qt::PopupFocusReason || f->reason() == Qt::ActiveWindowFocusReason)
            return false;
        if (QApplication::activePopupWidget())
            return false;
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (w == editor)
                return false;
        commit(true);
        return false;
    }
    default:
        return false;
    }
}

bool GridEditSession::onKey(QWidget* editor, int key, Qt::KeyboardModifiers mods)
{
    const EditorCommand command = gridkeys::editorCommand(key, mods);
    switch (command) {
    case EditorCommand::None:
        return false;
    case EditorCommand::Discard:
        discard();
        return true;
    case EditorCommand::RowUp:
    case EditorCommand::RowDown:
        // A list steps through its items; a text or date cell moves to the next line.
        if (qobject_cast<QComboBox*>(editor))
            return false;
        break;
    case EditorCommand::Enter:
    case EditorCommand::NextCell:
    case EditorCommand::PreviousCell:
        break;
    }
    const int row = m_index.row();
    m_failureTold = false;
    // Written first, so the after-edit rules have run when the grid reports the key.
    if (commit(true).failed())
        return true;
    m_host->editorLeft(command, key, mods, row);
    return true;
}
