#include "ui/DateInput.h"

#include "ui/DateText.h"
#include "ui/grid/CellFormat.h"
#include "ui/Twips.h"

#include <QAction>
#include <QCalendar>
#include <QCalendarWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTextCharFormat>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QIcon dropDownIcon(const QColor& color)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const QPointF tri[3] = {{3.5, 6}, {12.5, 6}, {8, 11}};
    p.drawPolygon(tri, 3);
    return QIcon(pm);
}

} // namespace

DateInput::DateInput(QWidget* parent) : QLineEdit(parent)
{
    QAction* open =
        addAction(dropDownIcon(palette().color(QPalette::WindowText)), QLineEdit::TrailingPosition);
    open->setToolTip(QStringLiteral("カレンダー"));
    connect(open, &QAction::triggered, this, [this] { showCalendar(); });
}

void DateInput::setFormat(const QString& fmt)
{
    m_format = fmt;
    showValue();
    updateGeometry();
}

QString DateInput::format() const
{
    return m_format;
}

void DateInput::setCalendarTitleFormat(const QString& fmt)
{
    m_titleFormat = fmt;
    updateTitle();
}

bool DateInput::isNull() const
{
    return !m_value.isValid();
}

QDate DateInput::date() const
{
    return m_value;
}

QVariant DateInput::value() const
{
    return m_value.isValid() ? QVariant(m_value) : QVariant();
}

void DateInput::setDate(const QDate& d)
{
    if (!controls::inDateRange(d)) {
        setNull();
        return;
    }
    const bool changed = d != m_value;
    m_value = d;
    showValue();
    if (changed)
        emit dateChanged();
}

void DateInput::setNull()
{
    const bool changed = m_value.isValid();
    m_value = QDate();
    showValue();
    if (changed)
        emit dateChanged();
}

QString DateInput::formatted(const QString& fmt) const
{
    return controls::formatDate(m_value, fmt);
}

bool DateInput::setText8(const QString& yyyymmdd)
{
    const QString t = yyyymmdd.trimmed();
    if (t.size() != 8)
        return false;
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    const QDate d(t.left(4).toInt(), t.mid(4, 2).toInt(), t.mid(6, 2).toInt());
    if (!d.isValid())
        return false;
    setDate(d);
    return true;
}

void DateInput::setLeftTwips(double twips)
{
    move(twipsToPx(twips, this), y());
}

void DateInput::setWidthTwips(double twips)
{
    resize(twipsToPx(twips, this), height());
}

void DateInput::setReferenceDate(std::function<QDate()> reference)
{
    m_reference = std::move(reference);
}

QDate DateInput::referenceDate() const
{
    const QDate r = m_reference ? m_reference() : QDate();
    return r.isValid() ? r : QDate::currentDate();
}

void DateInput::setArrowsStepDays(bool on)
{
    m_arrowsStep = on;
}

bool DateInput::commitText()
{
    const QString t = text();
    if (t.trimmed().isEmpty()) {
        setNull();
        return true;
    }
    if (const auto d = controls::parseDate(t, m_format, referenceDate())) {
        setDate(*d);
        showValue(); // the same date typed another way is shown in the format
        return true;
    }
    // Never fall back to the previous date: the user would act on a date they did not type.
    const QString typed = t;
    setNull();
    if (text() != typed)
        setText(typed);
    setInvalid(true);
    return false;
}

void DateInput::showValue()
{
    setInvalid(false);
    const QString t = controls::formatDate(m_value, m_format);
    if (t != text())
        setText(t);
}

void DateInput::setInvalid(bool on)
{
    if (on == m_invalid)
        return;
    m_invalid = on;
    setStyleSheet(on ? QStringLiteral("DateInput { border: 2px solid #d01010; background: #fff0f0; }")
                     : QString());
    setToolTip(on ? QStringLiteral("日付が正しくありません") : QString());
}

void DateInput::keyPressEvent(QKeyEvent* e)
{
    const bool altDown = e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier);
    if (e->key() == Qt::Key_F4 || altDown) {
        showCalendar();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Semicolon && (e->modifiers() & Qt::ControlModifier)) {
        // Today, as in a spreadsheet.
        setDate(QDate::currentDate());
        showValue();
        setModified(true);
        e->accept();
        return;
    }
    if (m_arrowsStep && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) &&
        !(e->modifiers() & Qt::AltModifier)) {
        if (isModified() && !commitText()) {
            e->accept();
            return;
        }
        const int step = e->key() == Qt::Key_Up ? 1 : -1;
        const QDate next =
            (m_value.isValid() ? m_value : referenceDate()).addDays(m_value.isValid() ? step : 0);
        // The first and the last day of the years we keep are the ends: the date stays put.
        if (controls::inDateRange(next))
            setDate(next);
        setModified(false);
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        commitText();
    } else if (e->key() == Qt::Key_Escape && isModified()) {
        // Escape drops what was typed.
        showValue();
        setModified(false);
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void DateInput::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason && !isCalendarVisible())
        commitText();
}

QVariant DateInput::cellValue() const
{
    const QString t = text();
    if (t.trimmed().isEmpty())
        return QVariant();
    if (const auto d = controls::parseDate(t, m_format, referenceDate()))
        return QVariant(*d);
    // Not a date: the cell keeps what it had (the grid does not write an invalid entry).
    return value();
}

QString DateInput::cellValueProblem() const
{
    const QString t = text();
    if (t.trimmed().isEmpty() || controls::parseDate(t, m_format, referenceDate()).has_value())
        return {};
    return QStringLiteral("日付が正しくありません");
}

void DateInput::setCellValue(const QVariant& v)
{
    hideCalendar();
    m_value = controls::dateFromValue(v);
    showValue();
    setModified(false);
}

QSize DateInput::minimumSizeHint() const
{
    const QSize base = QLineEdit::minimumSizeHint();
    const QString sample = controls::formatDate(QDate(2088, 12, 28), m_format);
    const QMargins tm = textMargins();
    const int w = fontMetrics().horizontalAdvance(sample + QStringLiteral("0")) + tm.left() + tm.right() +
                  base.height() + 8;
    return QSize(qMax(base.width(), w), base.height());
}

// ---- the drop-down calendar ----

void DateInput::ensurePopup()
{
    if (m_popup)
        return;
    m_popup = new QFrame(this, Qt::Popup);
    m_popup->setObjectName(QStringLiteral("calendarPopup"));
    m_popup->setFrameShape(QFrame::StyledPanel);
    auto* prev = new QToolButton(m_popup);
    prev->setObjectName(QStringLiteral("calendarPrev"));
    prev->setText(QStringLiteral("◀"));
    prev->setToolTip(QStringLiteral("前の月"));
    prev->setAutoRaise(true);
    prev->setFocusPolicy(Qt::NoFocus);
    auto* next = new QToolButton(m_popup);
    next->setObjectName(QStringLiteral("calendarNext"));
    next->setText(QStringLiteral("▶"));
    next->setToolTip(QStringLiteral("次の月"));
    next->setAutoRaise(true);
    next->setFocusPolicy(Qt::NoFocus);
    m_title = new QLabel(m_popup);
    m_title->setObjectName(QStringLiteral("calendarTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setObjectName(QStringLiteral("calendar"));
    // Western calendar, Japanese day names, weeks from Sunday; our own title replaces the bar.
    m_calendar->setCalendar(QCalendar(QCalendar::System::Gregorian));
    m_calendar->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    m_calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setNavigationBarVisible(false);
    m_calendar->setGridVisible(true);
    QTextCharFormat sunday;
    sunday.setForeground(QColor(200, 30, 30));
    m_calendar->setWeekdayTextFormat(Qt::Sunday, sunday);
    QTextCharFormat saturday;
    saturday.setForeground(QColor(30, 60, 200));
    m_calendar->setWeekdayTextFormat(Qt::Saturday, saturday);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(prev);
    bar->addWidget(m_title, 1);
    bar->addWidget(next);
    auto* layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(m_calendar);

    connect(prev, &QToolButton::clicked, m_calendar, &QCalendarWidget::showPreviousMonth);
    connect(next, &QToolButton::clicked, m_calendar, &QCalendarWidget::showNextMonth);
    connect(m_calendar, &QCalendarWidget::currentPageChanged, this, [this] { updateTitle(); });
    connect(m_calendar, &QCalendarWidget::clicked, this, [this](QDate d) { pick(d); });
    connect(m_calendar, &QCalendarWidget::activated, this, [this](QDate d) { pick(d); });
}

void DateInput::updateTitle()
{
    if (!m_calendar)
        return;
    const QDate first(m_calendar->yearShown(), m_calendar->monthShown(), 1);
    m_title->setText(controls::formatDate(first, m_titleFormat));
}

void DateInput::showCalendar()
{
    if (isReadOnly() || !isEnabled())
        return;
    // A date typed but not yet taken is where the calendar opens.
    if (isModified())
        commitText();
    ensurePopup();
    const QDate shown = m_value.isValid() ? m_value : referenceDate();
    m_calendar->setSelectedDate(shown);
    m_calendar->setCurrentPage(shown.year(), shown.month());
    updateTitle();
    m_popup->adjustSize();
    QPoint pos = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        const QSize size = m_popup->sizeHint();
        if (pos.y() + size.height() > area.bottom())
            pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - size.width())));
    }
    m_popup->move(pos);
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void DateInput::hideCalendar()
{
    if (m_popup && m_popup->isVisible())
        m_popup->hide();
}

bool DateInput::isCalendarVisible() const
{
    return m_popup && m_popup->isVisible();
}

void DateInput::pick(const QDate& d)
{
    hideCalendar();
    setDate(d);
    setModified(false);
    emit picked();
    notifyPicked();
}
