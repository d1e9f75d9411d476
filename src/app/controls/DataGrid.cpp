#include "app/controls/DataGrid.h"

#include "app/controls/CellEditor.h"
#include "app/controls/CellFormat.h"
#include "app/controls/DataGridModel.h"
#include "app/controls/DataSource.h"
#include "app/controls/DateInput.h"
#include "app/controls/DropDown.h"
#include "app/controls/Ime.h"
#include "app/controls/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

// Paints tick boxes centred, keeps line breaks out of one-line cells and routes the editors'
// keys and focus to the grid, which decides about committing and moving.
class GridDelegate : public QStyledItemDelegate {
  public:
    explicit GridDelegate(DataGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        return m_grid->createCellEditor(parent, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant raw = index.data(Qt::EditRole);
        if (auto* ce = dynamic_cast<CellEditor*>(editor)) {
            ce->setCellValue(raw);
        } else if (auto* le = qobject_cast<QLineEdit*>(editor)) {
            le->setText(raw.isNull() ? QString() : raw.toString());
            le->setModified(false);
        }
    }

    // The grid writes committed values itself (DataGrid::commitEdit).
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override
    {
        QRect r = option.rect;
        // A date needs its digits and the calendar button, even in a narrow column.
        if (qobject_cast<DateInput*>(editor))
            r.setWidth(qMax(r.width(), editor->minimumSizeHint().width()));
        const QRect area = m_grid->viewport()->rect();
        if (r.right() > area.right())
            r.moveRight(area.right());
        if (r.left() < area.left())
            r.moveLeft(area.left());
        editor->setGeometry(r);
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        m_grid->editorReleased(editor);
        // An external editor is one instance for the grid's life: hide it, never delete it.
        for (const auto& c : m_grid->m_columns) {
            if (c.editor == editor) {
                editor->hide();
                return;
            }
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override
    {
        return false; // clicks on tick boxes are the grid's
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!m_grid->m_model->isCheckBox(index.column())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* w = opt.widget;
        QStyle* style = w ? w->style() : QApplication::style();
        const Qt::CheckState state = opt.checkState;
        opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        opt.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
        QStyleOptionViewItem box = opt;
        const int iw = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, w);
        const int ih = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, w);
        box.rect = QRect(opt.rect.center().x() - iw / 2, opt.rect.center().y() - ih / 2, iw, ih);
        box.state &=
            ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange | QStyle::State_HasFocus);
        box.state |= state == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, w);
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // Several lines in a one-line cell: show where the lines break.
        if (option->text.contains(u'\n') || option->text.contains(u'\r')) {
            option->text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            option->text.replace(u'\r', u'\n');
            option->text.replace(u'\n', QStringLiteral(" ↵ "));
        }
    }

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (auto* w = qobject_cast<QWidget*>(watched))
            return m_grid->editorEvent(w, e);
        return false;
    }

  private:
    DataGrid* m_grid;
};

namespace {

// The row selector: an empty header that marks the current row.
class RowSelector : public QHeaderView {
  public:
    explicit RowSelector(DataGrid* grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid) {}

  protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override
    {
        p->save();
        QHeaderView::paintSection(p, rect, logicalIndex);
        p->restore();
        if (logicalIndex != m_grid->row() || m_grid->isEof())
            return;
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const int s = qMax(3, qMin(rect.width(), rect.height()) / 3);
        const QPointF c = QRectF(rect).center();
        const QPointF tri[3] = {
            {c.x() - s / 2.0, c.y() - s}, {c.x() + s / 2.0 + 1, c.y()}, {c.x() - s / 2.0, c.y() + s}};
        p->setPen(Qt::NoPen);
        p->setBrush(palette().color(QPalette::WindowText));
        p->drawPolygon(tri, 3);
        p->restore();
    }

  private:
    DataGrid* m_grid;
};

bool printable(const QKeyEvent* e)
{
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString t = e->text();
    return !t.isEmpty() && t.at(0).isPrint();
}

} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    m_model = new DataGridModel(this);
    setVerticalHeader(new RowSelector(this));
    setModel(m_model);
    m_delegate = new GridDelegate(this);
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
    h->setHighlightSections(false);
    h->setMinimumSectionSize(4);
    h->setStretchLastSection(false);
    h->setSectionsClickable(false);
    QHeaderView* v = verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setMinimumSectionSize(8);
    v->setHighlightSections(false);
    v->setSectionsClickable(true);
    v->hide();
    // Clicking a header must not put the cursor on a column that takes none.
    disconnect(h, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(h, &QHeaderView::sectionEntered, this, nullptr);
    disconnect(v, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(v, &QHeaderView::sectionEntered, this, nullptr);
    connect(v, &QHeaderView::sectionPressed, this, [this](int r) {
        setFocus(Qt::MouseFocusReason);
        goTo(r, isCursorColumn(m_col) ? m_col : firstCursorColumn());
    });

    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        reapplyColumns();
        restoreCursor();
    });
    connect(h, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        // The user widened a column: its width in twips follows.
        if (!m_applying && logical >= 0 && size > 0)
            column(logical).widthTwips = pixelsToTwips(size, this);
    });
}

// ---- binding and column properties ----

void DataGrid::setDataSource(DataSource* src)
{
    if (DataSource* old = m_model->dataSource())
        disconnect(old, nullptr, this, nullptr);
    discardEdit();
    // Connected before the model, so the editor closes while the old rows are still there.
    if (src)
        connect(src, &DataSource::aboutToRefresh, this, [this] { discardEdit(); });
    m_model->setDataSource(src);
}

DataSource* DataGrid::dataSource() const
{
    return m_model->dataSource();
}

void DataGrid::setFields(const QStringList& fields)
{
    discardEdit();
    m_model->setFields(fields);
}

QStringList DataGrid::fields() const
{
    return m_model->fields();
}

DataGrid::Column& DataGrid::column(int col)
{
    if (col >= m_columns.size())
        m_columns.resize(col + 1);
    return m_columns[col];
}

const DataGrid::Column* DataGrid::columnAt(int col) const
{
    return (col >= 0 && col < m_columns.size()) ? &m_columns[col] : nullptr;
}

int DataGrid::columnCount() const
{
    return m_model->columnCount();
}

void DataGrid::setColumnCaption(int col, const QString& caption)
{
    m_model->setCaption(col, caption);
}

void DataGrid::setColumnWidthTwips(int col, double twips)
{
    if (col < 0 || twips < 0)
        return;
    column(col).widthTwips = twips;
    if (col < columnCount()) {
        m_applying = true;
        setColumnWidth(col, twipsToPx(twips, this));
        m_applying = false;
    }
}

double DataGrid::columnWidthTwips(int col) const
{
    if (const Column* c = columnAt(col); c && c->widthTwips >= 0)
        return c->widthTwips;
    return col >= 0 && col < columnCount() ? pixelsToTwips(columnWidth(col), this) : 0.0;
}

void DataGrid::setColumnAlignment(int col, Qt::Alignment a)
{
    m_model->setAlignment(col, a);
}

void DataGrid::setColumnFormat(int col, const QString& fmt)
{
    m_model->setFormat(col, fmt);
}

QString DataGrid::columnFormat(int col) const
{
    return m_model->format(col);
}

void DataGrid::setColumnVisible(int col, bool visible)
{
    if (col < 0)
        return;
    column(col).visible = visible;
    if (col < columnCount())
        setColumnHidden(col, !visible);
    if (!visible && col == m_col && m_row >= 0) {
        int next = nextCursorColumn(col, 1);
        if (next < 0)
            next = firstCursorColumn();
        if (next >= 0)
            goTo(m_row, next);
    }
}

bool DataGrid::columnVisible(int col) const
{
    const Column* c = columnAt(col);
    return !c || c->visible;
}

void DataGrid::setColumnLocked(int col, bool locked)
{
    m_model->setLocked(col, locked);
}

bool DataGrid::columnLocked(int col) const
{
    return m_model->isLocked(col);
}

void DataGrid::setColumnTakesCursor(int col, bool takes)
{
    if (col >= 0)
        column(col).takesCursor = takes;
}

bool DataGrid::columnTakesCursor(int col) const
{
    const Column* c = columnAt(col);
    return !c || c->takesCursor;
}

void DataGrid::setColumnCheckBox(int col, bool on)
{
    m_model->setCheckBox(col, on);
}

bool DataGrid::columnCheckBox(int col) const
{
    return m_model->isCheckBox(col);
}

void DataGrid::setColumnEditor(int col, QWidget* editor)
{
    if (col < 0)
        return;
    if (m_editor && m_editIndex.column() == col)
        discardEdit();
    if (QWidget* old = column(col).editor; old && old != editor) {
        disconnect(old, nullptr, this, nullptr);
    }
    column(col).editor = editor;
    if (!editor)
        return;
    editor->hide();
    editor->setParent(viewport());
    // Picking from a list or a calendar is a complete entry: write it at once.
    if (auto* dd = qobject_cast<DropDown*>(editor)) {
        connect(dd, &DropDown::picked, this, [this, dd] {
            if (m_editor == dd)
                commitEdit(true);
        });
    } else if (auto* di = qobject_cast<DateInput*>(editor)) {
        connect(di, &DateInput::picked, this, [this, di] {
            if (m_editor == di)
                commitEdit(true);
        });
    }
}

QWidget* DataGrid::columnEditor(int col) const
{
    const Column* c = columnAt(col);
    return c ? c->editor.data() : nullptr;
}

void DataGrid::setColumnActionOnly(int col, bool on)
{
    if (col >= 0)
        column(col).actionOnly = on;
}

bool DataGrid::columnActionOnly(int col) const
{
    const Column* c = columnAt(col);
    return c && c->actionOnly;
}

void DataGrid::setHeightTwips(double twips)
{
    // The height is the grid's preferred height, so a layout can still stretch it.
    m_heightPx = twipsToPx(twips, this);
    updateGeometry();
    resize(width(), m_heightPx);
}

void DataGrid::setRowHeightTwips(double twips)
{
    m_rowHeightPx = qMax(4, twipsToPx(twips, this));
    QHeaderView* v = verticalHeader();
    v->setMinimumSectionSize(qMin(v->minimumSectionSize(), m_rowHeightPx));
    v->setDefaultSectionSize(m_rowHeightPx);
}

void DataGrid::setRowSelectorWidthTwips(double twips)
{
    const int px = twipsToPx(twips, this);
    if (px > 0) {
        verticalHeader()->setFixedWidth(px);
        verticalHeader()->show();
    } else {
        verticalHeader()->hide();
    }
}

QSize DataGrid::sizeHint() const
{
    QSize s = QTableView::sizeHint();
    if (m_heightPx > 0)
        s.setHeight(m_heightPx);
    return s;
}

void DataGrid::reapplyColumns()
{
    m_applying = true;
    for (int c = 0; c < columnCount(); ++c) {
        const Column* col = columnAt(c);
        setColumnHidden(c, col && !col->visible);
        if (col && col->widthTwips >= 0)
            setColumnWidth(c, twipsToPx(col->widthTwips, this));
    }
    if (m_rowHeightPx > 0)
        verticalHeader()->setDefaultSectionSize(m_rowHeightPx);
    m_applying = false;
}

// ---- the cell cursor ----

bool DataGrid::isCursorColumn(int col) const
{
    if (col < 0 || col >= columnCount() || isColumnHidden(col))
        return false;
    const Column* c = columnAt(col);
    return !c || (c->visible && c->takesCursor);
}

int DataGrid::firstCursorColumn() const
{
    for (int c = 0; c < columnCount(); ++c)
        if (isCursorColumn(c))
            return c;
    return -1;
}

int DataGrid::lastCursorColumn() const
{
    for (int c = columnCount() - 1; c >= 0; --c)
        if (isCursorColumn(c))
            return c;
    return -1;
}

int DataGrid::nextCursorColumn(int col, int step) const
{
    for (int c = col + step; c >= 0 && c < columnCount(); c += step)
        if (isCursorColumn(c))
            return c;
    return -1;
}

int DataGrid::col() const
{
    return m_col;
}

int DataGrid::row() const
{
    return m_eof ? m_model->rowCount() : m_row;
}

bool DataGrid::isEof() const
{
    return m_eof;
}

void DataGrid::setCol(int c)
{
    if (c < 0 || c >= columnCount())
        return;
    const int rc = m_model->rowCount();
    if (rc == 0) {
        m_col = c;
        emitMoveIfChanged();
        return;
    }
    goTo(qBound(0, m_row, rc - 1), c);
}

void DataGrid::setRow(int r)
{
    if (r < 0 || r >= m_model->rowCount())
        return;
    goTo(r, (m_col >= 0 && m_col < columnCount()) ? m_col : firstCursorColumn());
}

void DataGrid::goTo(int r, int c)
{
    if (r < 0 || c < 0 || r >= m_model->rowCount() || c >= columnCount())
        return;
    // The edit belongs to the cell it was made in: write it before the cursor leaves.
    if (m_editor && !commitEdit(true).isEmpty())
        discardEdit();
    const QModelIndex idx = m_model->index(r, c);
    if (currentIndex() == idx && m_row == r && m_col == c) {
        m_eof = false;
        emitMoveIfChanged();
        return;
    }
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // Reached also when someone moves the selection model directly.
    if (m_editor && !commitEdit(true).isEmpty())
        discardEdit();
    QTableView::currentChanged(current, previous);
    if (current.isValid()) {
        m_row = current.row();
        m_col = current.column();
        m_eof = false;
    }
    emitMoveIfChanged();
}

void DataGrid::emitMoveIfChanged()
{
    const int r = row();
    const int c = m_col;
    if (r == m_shownRow && c == m_shownCol)
        return;
    const int lastRow = m_shownRow;
    const int lastCol = m_shownCol;
    m_shownRow = r;
    m_shownCol = c;
    verticalHeader()->viewport()->update();
    emit rowColChange(lastRow, lastCol);
}

void DataGrid::restoreCursor()
{
    // After a re-read the cursor stays where it was, as far as the new rows allow.
    m_eof = false;
    const int rc = m_model->rowCount();
    int c = m_col;
    if (c < 0 || c >= columnCount())
        c = firstCursorColumn();
    if (rc == 0 || c < 0) {
        m_row = -1;
        m_col = c;
        emitMoveIfChanged();
        return;
    }
    const int r = qBound(0, m_row, rc - 1);
    m_row = -1;
    selectionModel()->setCurrentIndex(m_model->index(r, c), QItemSelectionModel::ClearAndSelect);
    if (m_row < 0) { // the view kept that cell as current, so currentChanged did not run
        m_row = r;
        m_col = c;
        emitMoveIfChanged();
    }
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rc = m_model->rowCount();
    if (rc == 0 || columnCount() == 0)
        return {};
    const int r = qBound(0, m_row, rc - 1);
    int c = m_col;
    if (c < 0 || c >= columnCount())
        c = firstCursorColumn();
    if (c < 0)
        return {};
    const auto at = [this](int row, int col) { return m_model->index(row, col); };
    const int page = qMax(1, viewport()->height() / qMax(1, rowHeight(r)) - 1);
    switch (action) {
    case MoveNext: {
        const int n = nextCursorColumn(c, 1);
        if (n >= 0)
            return at(r, n);
        return r + 1 < rc ? at(r + 1, firstCursorColumn()) : QModelIndex();
    }
    case MovePrevious: {
        const int p = nextCursorColumn(c, -1);
        if (p >= 0)
            return at(r, p);
        return r > 0 ? at(r - 1, lastCursorColumn()) : QModelIndex();
    }
    case MoveRight: {
        const int n = nextCursorColumn(c, 1);
        return at(r, n >= 0 ? n : c);
    }
    case MoveLeft: {
        const int p = nextCursorColumn(c, -1);
        return at(r, p >= 0 ? p : c);
    }
    case MoveUp:
        return at(qMax(0, r - 1), c);
    case MoveDown:
        return at(qMin(rc - 1, r + 1), c);
    case MoveHome:
        return (modifiers & Qt::ControlModifier) ? at(0, firstCursorColumn()) : at(r, firstCursorColumn());
    case MoveEnd:
        return (modifiers & Qt::ControlModifier) ? at(rc - 1, lastCursorColumn()) : at(r, lastCursorColumn());
    case MovePageUp:
        return at(qMax(0, r - page), c);
    case MovePageDown:
        return at(qMin(rc - 1, r + page), c);
    }
    return {};
}

bool DataGrid::stepForward(bool forward)
{
    const QModelIndex t = moveCursor(forward ? MoveNext : MovePrevious, Qt::NoModifier);
    if (!t.isValid() || (t.row() == m_row && t.column() == m_col))
        return false;
    goTo(t.row(), t.column());
    return true;
}

void DataGrid::moveNext()
{
    if (m_editor && !commitEdit(true).isEmpty())
        discardEdit();
    if (m_eof)
        return;
    const int rc = m_model->rowCount();
    if (m_row + 1 < rc && m_row >= 0) {
        goTo(m_row + 1, m_col >= 0 ? m_col : firstCursorColumn());
        return;
    }
    m_eof = true;
    emitMoveIfChanged();
}

void DataGrid::moveLast()
{
    if (m_editor && !commitEdit(true).isEmpty())
        discardEdit();
    m_eof = false;
    const int rc = m_model->rowCount();
    if (rc > 0)
        goTo(rc - 1, m_col >= 0 ? m_col : firstCursorColumn());
    emitMoveIfChanged();
}

// ---- values of the current row ----

QVariant DataGrid::columnValue(int c) const
{
    if (m_eof || m_row < 0)
        return {};
    return m_model->rawValue(m_row, c);
}

QString DataGrid::columnText(int c) const
{
    if (m_eof || m_row < 0)
        return {};
    return m_model->text(m_row, c);
}

QString DataGrid::setColumnValue(int c, const QVariant& v)
{
    if (m_eof || m_row < 0 || m_row >= m_model->rowCount())
        return QStringLiteral("現在の行がありません。");
    if (!m_model->dataSource() || m_model->field(c).isEmpty())
        return QStringLiteral("列 %1 は項目に結び付いていません。").arg(c);
    // The program's value wins over an edit still open in that cell.
    if (m_editor && m_editIndex.row() == m_row && m_editIndex.column() == c)
        discardEdit();
    return m_model->dataSource()->setValue(m_row, m_model->field(c), v);
}

QString DataGrid::commitPending()
{
    return m_editor ? commitEdit(true) : QString();
}

QWidget* DataGrid::imeWindow()
{
    return this;
}

// ---- editing ----

bool DataGrid::isMultiline(int r, int c) const
{
    const QVariant v = m_model->rawValue(r, c);
    if (v.isNull())
        return false;
    const QString t = v.toString();
    return t.contains(u'\n') || t.contains(u'\r');
}

bool DataGrid::canEditInline(int r, int c) const
{
    if (r < 0 || r >= m_model->rowCount() || c < 0 || c >= columnCount())
        return false;
    if (m_model->isLocked(c) || m_model->isCheckBox(c))
        return false;
    // A one-line editor would join the lines of a longer text.
    return !isMultiline(r, c);
}

QWidget* DataGrid::createCellEditor(QWidget* parent, const QModelIndex& index)
{
    QWidget* ed = columnEditor(index.column());
    if (ed) {
        if (ed->parentWidget() != parent)
            ed->setParent(parent);
    } else {
        auto* le = new QLineEdit(parent);
        le->setFrame(false);
        le->setAlignment(m_model->alignment(index.column()) | Qt::AlignVCenter);
        ed = le;
    }
    copyImeStatus(this, ed);
    m_editor = ed;
    m_editIndex = index;
    return ed;
}

void DataGrid::editorReleased(QWidget* editor)
{
    if (editor == m_editor) {
        m_editor = nullptr;
        m_editIndex = QPersistentModelIndex();
    }
}

QVariant DataGrid::editorValue(QWidget* editor) const
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

bool DataGrid::startEdit(int r, int c, QEvent* forward)
{
    if (m_editor || !canEditInline(r, c))
        return false;
    goTo(r, c);
    if (m_row != r || m_col != c)
        return false;
    const QModelIndex idx = m_model->index(r, c);
    edit(idx);
    if (!m_editor)
        return false;
    QLineEdit* le = qobject_cast<QLineEdit*>(m_editor);
    auto* combo = qobject_cast<QComboBox*>(m_editor);
    if (combo)
        le = combo->lineEdit();
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

QString DataGrid::commitEdit(bool close)
{
    if (!m_editor)
        return {};
    if (!m_editIndex.isValid()) {
        discardEdit();
        return {};
    }
    const int r = m_editIndex.row();
    const int c = m_editIndex.column();
    const QVariant v = editorValue(m_editor);
    const bool changed = !controls::sameValue(m_model->rawValue(r, c), v);
    if (changed) {
        const QString err = m_model->dataSource()->setValue(r, m_model->field(c), v);
        if (!err.isEmpty()) {
            // The editor stays open with what was typed, so nothing is lost.
            emit writeFailed(c, err);
            return err;
        }
    }
    if (close)
        closeEditorNow();
    if (changed)
        emit afterColUpdate(c);
    return {};
}

void DataGrid::discardEdit()
{
    closeEditorNow();
}

void DataGrid::closeEditorNow()
{
    QWidget* ed = m_editor;
    if (!ed)
        return;
    m_editor = nullptr;
    m_editIndex = QPersistentModelIndex();
    if (auto* di = qobject_cast<DateInput*>(ed))
        di->hideCalendar();
    if (auto* combo = qobject_cast<QComboBox*>(ed))
        combo->hidePopup();
    QTableView::closeEditor(ed, QAbstractItemDelegate::NoHint);
}

void DataGrid::commitData(QWidget* editor)
{
    if (editor && editor == m_editor)
        commitEdit(false);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint)
{
    // The view's own hints would move the cursor by its rules; ours are in editorEvent.
    if (editor && editor == m_editor) {
        closeEditorNow();
        return;
    }
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DataGrid::editorEvent(QWidget* editor, QEvent* e)
{
    if (editor != m_editor)
        return false;
    switch (e->type()) {
    case QEvent::ShortcutOverride: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape || k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            k->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        const Qt::KeyboardModifiers mods = k->modifiers();
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Commit first, so the after-edit rules have run when keyDown is raised.
            if (!commitEdit(true).isEmpty())
                return true;
            int code = 13;
            emit keyDown(&code, mods);
            if (code != 0)
                stepForward(true);
            return true;
        }
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            if (mods & (Qt::ControlModifier | Qt::AltModifier))
                return false;
            const bool forward = k->key() == Qt::Key_Tab && !(mods & Qt::ShiftModifier);
            if (!commitEdit(true).isEmpty())
                return true;
            int code = k->key();
            emit keyDown(&code, mods);
            if (code != 0 && !stepForward(forward))
                QWidget::focusNextPrevChild(forward);
            return true;
        }
        case Qt::Key_Escape:
            discardEdit();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down: {
            // A list steps through its items; a text or date cell moves to the next line.
            if ((mods & Qt::AltModifier) || qobject_cast<QComboBox*>(editor))
                return false;
            const int target = m_row + (k->key() == Qt::Key_Up ? -1 : 1);
            if (!commitEdit(true).isEmpty())
                return true;
            if (target >= 0 && target < m_model->rowCount())
                goTo(target, m_col);
            return true;
        }
        default:
            return false;
        }
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
        commitEdit(true);
        return false;
    }
    default:
        return false;
    }
}

// ---- keys and mouse ----

bool DataGrid::event(QEvent* e)
{
    // Tab and Shift+Tab walk the cells; only at the end of the grid does the focus leave it.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            k->accept();
            keyPressEvent(k);
            if (!k->isAccepted())
                QWidget::focusNextPrevChild(k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier));
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
    const int key = e->key();
    int code = (key == Qt::Key_Return || key == Qt::Key_Enter) ? 13 : key;
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
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    e->accept();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        stepForward(true);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!stepForward(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier)))
            e->ignore(); // let the focus leave the grid
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        static const QHash<int, CursorAction> actions = {
            {Qt::Key_Left, MoveLeft},     {Qt::Key_Right, MoveRight},      {Qt::Key_Up, MoveUp},
            {Qt::Key_Down, MoveDown},     {Qt::Key_Home, MoveHome},        {Qt::Key_End, MoveEnd},
            {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown}};
        const QModelIndex t = moveCursor(actions.value(key), mods);
        if (t.isValid())
            goTo(t.row(), t.column());
        return true;
    }
    case Qt::Key_F2:
        if (m_eof || m_row < 0)
            return true;
        runCellAction(nullptr);
        if (!columnActionOnly(m_col) && canEditInline(m_row, m_col))
            startEdit(m_row, m_col, nullptr);
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        // Opens the cell empty; Enter writes the empty cell, Escape keeps the old value.
        if (!m_eof && canEditInline(m_row, m_col) && startEdit(m_row, m_col, nullptr)) {
            if (auto* combo = qobject_cast<QComboBox*>(m_editor))
                combo->clearEditText();
            else if (auto* le = qobject_cast<QLineEdit*>(m_editor))
                le->clear();
        }
        return true;
    case Qt::Key_Space:
        if (!(mods & (Qt::ControlModifier | Qt::AltModifier)) && !m_eof && m_row >= 0 &&
            m_model->isCheckBox(m_col)) {
            if (!m_model->isLocked(m_col))
                toggle(m_row, m_col);
            return true;
        }
        break;
    default:
        break;
    }
    if (e->matches(QKeySequence::Copy)) {
        QTableView::keyPressEvent(e);
        return true;
    }
    if (printable(e)) {
        if (m_eof || m_row < 0)
            return true;
        if (canEditInline(m_row, m_col))
            startEdit(m_row, m_col, e);
        else if (!m_model->isLocked(m_col) && !m_model->isCheckBox(m_col))
            runCellAction(e); // a several-line cell: its handler edits it
        return true;
    }
    return false;
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
    if (m_editor || (e->commitString().isEmpty() && e->preeditString().isEmpty())) {
        QTableView::inputMethodEvent(e);
        return;
    }
    e->accept();
    if (m_eof || m_row < 0)
        return;
    // Text composed by the input method starts the edit as a typed key does.
    if (canEditInline(m_row, m_col))
        startEdit(m_row, m_col, e);
    else if (!m_model->isLocked(m_col) && !m_model->isCheckBox(m_col))
        runCellAction(e);
}

void DataGrid::toggle(int r, int c)
{
    DataSource* src = m_model->dataSource();
    if (!src)
        return;
    const QString err = src->setValue(r, m_model->field(c), m_model->isTicked(r, c) ? 0 : 1);
    if (!err.isEmpty()) {
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
        if (!isCursorColumn(c)) {
            // The row is taken, the column stays where the cursor may stand.
            const int keep = isCursorColumn(m_col) ? m_col : firstCursorColumn();
            if (keep >= 0)
                goTo(idx.row(), keep);
            e->accept();
            return;
        }
        if (m_model->isCheckBox(c)) {
            goTo(idx.row(), c);
            if (m_row == idx.row() && m_col == c && !m_model->isLocked(c))
                toggle(idx.row(), c);
            e->accept();
            return;
        }
        if (m_eof && idx.row() == m_row && c == m_col) {
            m_eof = false;
            emitMoveIfChanged();
        }
    }
    QTableView::mousePressEvent(e);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !idx.isValid() || !isCursorColumn(idx.column())) {
        e->accept();
        return;
    }
    const int r = idx.row();
    const int c = idx.column();
    goTo(r, c);
    if (m_row != r || m_col != c)
        return;
    runCellAction(nullptr);
    if (m_model->isCheckBox(c)) {
        // The second click of a double click is a click too.
        if (!m_model->isLocked(c))
            toggle(r, c);
        return;
    }
    if (m_row == r && m_col == c && !columnActionOnly(c) && canEditInline(r, c))
        startEdit(r, c, nullptr);
}
