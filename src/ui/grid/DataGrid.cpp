#include "ui/grid/DataGrid.h"
#include "ui/grid/GridHeader.h"

#include "ui/grid/CellEditor.h"

#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"
#include "ui/grid/GridDelegate.h"
#include "ui/grid/GridKeys.h"
#include "ui/grid/RowSelector.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QToolTip>
#include <utility>

const QString DataGrid::kTypingRefused = QStringLiteral("この欄には文字を入力できません。");

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent), m_nav(
                              this, m_columns, [this] { commitBeforeMove(); },
                              [this](int lastRow, int lastCol) { reportMove(lastRow, lastCol); })
{
    m_model = new DataGridModel(this);
    // Setting the model already moves the current cell, which asks the edit session.
    m_session = new GridEditSession(this, m_model, this);
    setHorizontalHeader(new GridHeader(Qt::Horizontal, this));
    setVerticalHeader(new RowSelector([this] { return isEof() ? -1 : row(); }, this));
    setModel(m_model);
    m_delegate = new GridDelegate(m_session, this);
    setItemDelegate(m_delegate);

    // Editing starts only where the grid decides (typing, F2, double click).
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setAttribute(Qt::WA_InputMethodEnabled, true);

    QHeaderView* h = horizontalHeader();
    QHeaderView* v = verticalHeader();
    v->hide();
    // Clicking a header must not put the cursor on a column that takes none.
    disconnect(h, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(h, &QHeaderView::sectionEntered, this, nullptr);
    disconnect(v, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(v, &QHeaderView::sectionEntered, this, nullptr);
    connect(v, &QHeaderView::sectionPressed, this, [this](int r) {
        setFocus(Qt::MouseFocusReason);
        m_nav.goTo(r, m_nav.cursor().cursorColumnOrFirst());
    });

    m_resetWatch = connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_columns.reapply();
        m_nav.restore();
    });
    m_rereadWatch = connect(m_model, &DataGridModel::rereadInPlace, this, [this] { m_nav.restore(); });
    connect(h, &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { m_columns.resized(logical, size); });
    watchParent();
}

DataGrid::~DataGrid()
{
    beginTeardown();
}

// ---- the order of destruction ----

void DataGrid::watchParent()
{
    disconnect(m_parentWatch);
    // A parent widget says it is destroyed before it deletes its children, so the grid hears
    // it while the data source beside it still exists.
    if (QWidget* p = parentWidget())
        m_parentWatch = connect(p, &QObject::destroyed, this, [this] { beginTeardown(); });
}

void DataGrid::beginTeardown()
{
    if (m_closing)
        return;
    m_closing = true;
    // The screen's handlers are connected with the screen as context, which is already gone in
    // part: a data source deleted after it would otherwise reset the rows and report a move to it.
    m_session->stop();
    disconnect(m_parentWatch);
    disconnect(m_resetWatch);
    disconnect(m_rereadWatch);
    if (DataSource* src = m_model->dataSource())
        disconnect(src, nullptr, this, nullptr);
    disconnect(this, &DataGrid::afterColUpdate, nullptr, nullptr);
    disconnect(this, &DataGrid::rowColChange, nullptr, nullptr);
    disconnect(this, &DataGrid::keyDown, nullptr, nullptr);
    disconnect(this, &DataGrid::cellAction, nullptr, nullptr);
    disconnect(this, &DataGrid::writeFailed, nullptr, nullptr);
}

// ---- binding and column properties ----

void DataGrid::setDataSource(DataSource* src)
{
    if (DataSource* old = m_model->dataSource())
        disconnect(old, nullptr, this, nullptr);
    m_session->discard();
    // Connected before the model, so the editor closes while the old rows are still there.
    if (src)
        connect(src, &DataSource::aboutToRefresh, this, [this] { m_session->discard(); });
    m_model->setDataSource(src);
}

DataSource* DataGrid::dataSource() const
{
    return m_model->dataSource();
}

void DataGrid::setFields(const QStringList& fields)
{
    m_session->discard();
    m_model->setFields(fields);
}

QStringList DataGrid::fields() const
{
    return m_model->fields();
}

int DataGrid::columnCount() const
{
    return m_model->columnCount();
}

void DataGrid::setColumnValueRule(int col, ValueRule rule)
{
    m_session->setColumnRule(col, std::move(rule));
}

// ---- the cell cursor ----

int DataGrid::col() const
{
    return m_nav.cursor().col();
}

int DataGrid::row() const
{
    return m_nav.cursor().row();
}

bool DataGrid::isEof() const
{
    return m_nav.cursor().isEof();
}

void DataGrid::setCol(int c)
{
    m_nav.setCol(c);
}

void DataGrid::setRow(int r)
{
    m_nav.setRow(r);
}

void DataGrid::moveNext()
{
    m_nav.moveNext();
}

void DataGrid::moveLast()
{
    m_nav.moveLast();
}

void DataGrid::commitBeforeMove()
{
    // The edit belongs to the cell it was made in: write it before the cursor leaves, and drop
    // it when it cannot be written (the failure was reported).
    if (m_session->isOpen() && m_session->commit(true).failed())
        m_session->discard();
}

void DataGrid::reportMove(int lastRow, int lastCol)
{
    verticalHeader()->viewport()->update();
    emit rowColChange(lastRow, lastCol);
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    commitBeforeMove();
    QTableView::currentChanged(current, previous);
    m_nav.viewMoved(current);
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // The view asks here for its own cursor moves: they follow the grid's rules too.
    using M = GridCursor::Move;
    const bool ctrl = modifiers & Qt::ControlModifier;
    static const QHash<int, M> moves = {{MoveUp, M::Up},         {MoveDown, M::Down},
                                        {MoveLeft, M::Left},     {MoveRight, M::Right},
                                        {MovePageUp, M::PageUp}, {MovePageDown, M::PageDown},
                                        {MoveNext, M::Next},     {MovePrevious, M::Previous}};
    M move = moves.value(action, M::Next);
    if (action == MoveHome)
        move = ctrl ? M::Top : M::Home;
    else if (action == MoveEnd)
        move = ctrl ? M::Bottom : M::End;
    const GridCell t = m_nav.target(move);
    return t.isValid() ? m_model->index(t.row, t.col) : QModelIndex();
}

// ---- values of the current row ----

QVariant DataGrid::columnValue(int c) const
{
    if (!m_nav.cursor().onRow())
        return {};
    return m_model->rawValue(m_nav.cursor().placedRow(), c);
}

QString DataGrid::columnText(int c) const
{
    if (!m_nav.cursor().onRow())
        return {};
    return m_model->text(m_nav.cursor().placedRow(), c);
}

store::Error DataGrid::setColumnValue(int c, const QVariant& v)
{
    const int r = m_nav.cursor().placedRow();
    if (!m_nav.cursor().onRow() || r >= m_model->rowCount())
        return store::Error(QStringLiteral("現在の行がありません。"));
    if (!m_model->dataSource() || m_model->field(c).isEmpty())
        return store::Error(QStringLiteral("列 %1 は項目に結び付いていません。").arg(c));
    // The program's value wins over an edit still open in that cell.
    if (m_session->isEditing(r, c))
        m_session->discard();
    return m_model->dataSource()->setValue(r, m_model->field(c), v);
}

store::Error DataGrid::commitPending(CommitFailure* why)
{
    const store::Error err = m_session->commit(true);
    if (why)
        *why = m_session->lastFailure();
    return err;
}

QWidget* DataGrid::imeWindow()
{
    return this;
}

bool DataGrid::isEditing() const
{
    return m_session->isOpen();
}

QWidget* DataGrid::activeEditor() const
{
    return m_session->editor();
}

// ---- editing ----

bool DataGrid::startEdit(int r, int c, QEvent* forward)
{
    if (m_session->isOpen() || !m_session->canEdit(r, c))
        return false;
    m_nav.goTo(r, c);
    if (!m_nav.cursor().isAt(r, c))
        return false;
    return m_session->open(r, c, forward);
}

void DataGrid::commitData(QWidget* editor)
{
    if (editor && editor == m_session->editor())
        m_session->commit(false);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint)
{
    // The view's own hints would move the cursor by its rules; ours are in the edit session.
    if (editor && editor == m_session->editor()) {
        m_session->discard();
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::closeEditorWidget(QWidget* editor)
{
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DataGrid::cellWritten(int col)
{
    emit afterColUpdate(col);
}

void DataGrid::cellWriteFailed(int col, const store::Error& error)
{
    emit writeFailed(col, error);
}

void DataGrid::editorLeft(EditorCommand command, int key, Qt::KeyboardModifiers mods, int row)
{
    switch (command) {
    case EditorCommand::Enter: {
        int code = gridkeys::keyDownCode(key);
        emit keyDown(&code, mods);
        if (code != 0)
            m_nav.step(true);
        return;
    }
    case EditorCommand::NextCell:
    case EditorCommand::PreviousCell: {
        const bool forward = command == EditorCommand::NextCell;
        int code = key;
        emit keyDown(&code, mods);
        if (code != 0 && !m_nav.step(forward))
            QWidget::focusNextPrevChild(forward);
        return;
    }
    case EditorCommand::RowUp:
    case EditorCommand::RowDown: {
        const int target = row + (command == EditorCommand::RowUp ? -1 : 1);
        if (target >= 0 && target < m_model->rowCount())
            m_nav.goTo(target, m_nav.cursor().col());
        return;
    }
    case EditorCommand::None:
    case EditorCommand::Discard:
        return;
    }
}

// ---- keys and mouse ----

bool DataGrid::event(QEvent* e)
{
    if (e->type() == QEvent::ParentChange)
        watchParent();
    // Tab and Shift+Tab walk the cells; only at the end of the grid does the focus leave it.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (gridkeys::walksCells(k->key(), k->modifiers())) {
            k->accept();
            keyPressEvent(k);
            if (!k->isAccepted()) {
                QWidget::focusNextPrevChild(gridkeys::isForwardTab(k->key(), k->modifiers()));
                // Handled here: an ignored key would go on to the parent and move the focus again.
                k->accept();
            }
            return true;
        }
    }
    return QTableView::event(e);
}

bool DataGrid::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

void DataGrid::keyPressEvent(QKeyEvent* e)
{
    int code = gridkeys::keyDownCode(e->key());
    emit keyDown(&code, e->modifiers());
    if (code == 0) {
        e->accept();
        return;
    }
    if (!actOnKey(e))
        e->ignore();
}

bool DataGrid::actOnKey(QKeyEvent* e)
{
    const GridKey k = gridkeys::gridCommand(e->key(), e->modifiers(), e->text());
    const GridCursor& cur = m_nav.cursor();
    const int r = cur.placedRow();
    const int c = cur.col();
    e->accept();
    switch (k.command) {
    case GridCommand::None:
        return false;
    case GridCommand::Enter:
        m_nav.step(true);
        return true;
    case GridCommand::NextCell:
    case GridCommand::PreviousCell:
        if (!m_nav.step(k.command == GridCommand::NextCell))
            e->ignore(); // let the focus leave the grid
        return true;
    case GridCommand::Move: {
        if (const GridCell t = m_nav.target(k.move); t.isValid())
            m_nav.goTo(t);
        return true;
    }
    case GridCommand::CellAction:
        if (!cur.onRow())
            return true;
        {
            runCellAction(nullptr);
            // The handler may have moved the cursor.
            const int row = m_nav.cursor().placedRow();
            const int col = m_nav.cursor().col();
            if (!columnActionOnly(col) && m_session->canEdit(row, col))
                startEdit(row, col, nullptr);
            return true;
        }
    case GridCommand::OpenList:
        if (auto* ce = dynamic_cast<CellEditor*>(columnEditor(c));
            ce && ce->offersList() && cur.onRow() && startEdit(r, c, nullptr))
            ce->openList();
        return true;
    case GridCommand::OpenEmpty:
        // Opens the cell empty; Enter writes the empty cell, Escape keeps the old value.
        if (!cur.isEof() && startEdit(r, c, nullptr))
            m_session->clearText();
        return true;
    case GridCommand::ToggleTick:
        if (cur.onRow() && m_model->isCheckBox(c)) {
            if (!m_model->isLocked(c))
                toggle(r, c);
            return true;
        }
        // A space anywhere else is typed text.
        if (!gridkeys::typesText(e->modifiers(), e->text()))
            return false;
        typeInto(e);
        return true;
    case GridCommand::Copy:
        QTableView::keyPressEvent(e);
        return true;
    case GridCommand::Type:
        typeInto(e);
        return true;
    }
    return false;
}

void DataGrid::typeInto(QEvent* e)
{
    const GridCursor& cur = m_nav.cursor();
    if (!cur.onRow()) {
        refuseTyping();
        return;
    }
    const int r = cur.placedRow();
    const int c = cur.col();
    if (m_session->canEdit(r, c))
        startEdit(r, c, e);
    else if (!m_model->isLocked(c) && !m_model->isCheckBox(c))
        runCellAction(e); // a several-line cell: its handler edits it
    else
        refuseTyping();
}

void DataGrid::refuseTyping()
{
    // Text typed on a tick box, a locked cell or past the last row has nowhere to go: say so
    // where the eye is, instead of letting it vanish.
    const GridCursor& cur = m_nav.cursor();
    QRect cell = cur.onRow() ? visualRect(m_model->index(cur.placedRow(), cur.col())) : QRect();
    if (!cell.isValid())
        cell = viewport()->rect();
    QApplication::beep();
    QToolTip::showText(viewport()->mapToGlobal(cell.bottomLeft()), kTypingRefused, viewport(), cell, 3000);
}

void DataGrid::runCellAction(QEvent* forward)
{
    QWidget* before = QApplication::focusWidget();
    emit cellAction();
    // If the handler opened an editor of its own, the typed text goes there.
    if (forward) {
        QWidget* now = QApplication::focusWidget();
        if (now && now != before && now != this)
            QCoreApplication::sendEvent(now, forward);
    }
}

void DataGrid::inputMethodEvent(QInputMethodEvent* e)
{
    if (m_session->isOpen() || (e->commitString().isEmpty() && e->preeditString().isEmpty())) {
        QTableView::inputMethodEvent(e);
        return;
    }
    e->accept();
    // Text composed by the input method starts the edit as a typed key does.
    typeInto(e);
}

void DataGrid::toggle(int r, int c)
{
    DataSource* src = m_model->dataSource();
    if (!src)
        return;
    const store::Error err = src->setValue(r, m_model->field(c), m_model->isTicked(r, c) ? 0 : 1);
    if (err.failed()) {
        emit writeFailed(c, err);
        return;
    }
    emit afterColUpdate(c);
}

void DataGrid::mousePressEvent(QMouseEvent* e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && idx.isValid()) {
        const int c = idx.column();
        const GridCursor& cur = m_nav.cursor();
        if (!cur.takesCursor(c)) {
            // The row is taken, the column stays where the cursor may stand.
            const int keep = cur.cursorColumnOrFirst();
            if (keep >= 0)
                m_nav.goTo(idx.row(), keep);
            e->accept();
            return;
        }
        if (m_model->isCheckBox(c)) {
            m_nav.goTo(idx.row(), c);
            if (m_nav.cursor().isAt(idx.row(), c) && !m_model->isLocked(c))
                toggle(idx.row(), c);
            e->accept();
            return;
        }
        m_nav.clickedWhilePastEnd(idx.row(), c);
    }
    QTableView::mousePressEvent(e);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !idx.isValid() || !m_nav.cursor().takesCursor(idx.column())) {
        e->accept();
        return;
    }
    const int r = idx.row();
    const int c = idx.column();
    m_nav.goTo(r, c);
    if (!m_nav.cursor().isAt(r, c))
        return;
    runCellAction(nullptr);
    if (m_model->isCheckBox(c)) {
        // The second click of a double click is a click too.
        if (!m_model->isLocked(c))
            toggle(r, c);
        return;
    }
    if (m_nav.cursor().isAt(r, c) && !columnActionOnly(c) && m_session->canEdit(r, c))
        startEdit(r, c, nullptr);
}
