#include "report/RegisteredNote.h"

#include "ui/grid/DataGrid.h"
#include "ui/grid/DataGridModel.h"
#include "ui/grid/DataSource.h"

#include <QPainter>
#include <QStyle>
#include <QTimer>

RegisteredNote::RegisteredNote(DataGrid* lines, DataSource* source, QWidget* parent)
    : QLabel(parent), m_grid(lines), m_source(source), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("lbl登録結果"));
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_timer->setSingleShot(true);
    m_timer->setInterval(15000);
    connect(m_timer, &QTimer::timeout, this, [this] { setNote(QString()); });
    m_grid->gridModel()->setRowMark([this](int row) {
        return !m_unstored.isEmpty() && m_unstored.contains(lineNumber(row))
                   ? QStringLiteral("内容がないため登録されていません")
                   : QString();
    });
    connect(m_source, &DataSource::valueChanged, this, [this](int row, const QString&) {
        if (m_unstored.remove(lineNumber(row)))
            m_grid->gridModel()->markChanged();
    });
}

int RegisteredNote::lineNumber(int row) const
{
    return m_source->value(row, QStringLiteral("行番号")).toInt();
}

void RegisteredNote::showRegistered(int stored, const QList<int>& withoutText)
{
    QString text = QStringLiteral("日報を登録しました（%1 行）。").arg(stored);
    if (!withoutText.isEmpty()) {
        QStringList numbers;
        for (int n : withoutText)
            numbers << QString::number(n);
        text +=
            QStringLiteral("内容のない行 %1 は登録していません。").arg(numbers.join(QStringLiteral(", ")));
    }
    setNote(text);
    m_timer->start();
    m_unstored = QSet<int>(withoutText.begin(), withoutText.end());
    m_grid->gridModel()->markChanged();
}

void RegisteredNote::clearAll()
{
    m_timer->stop();
    setNote(QString());
    if (m_unstored.isEmpty())
        return;
    m_unstored.clear();
    m_grid->gridModel()->markChanged();
}

void RegisteredNote::setNote(const QString& text)
{
    setText(text);
    setToolTip(text);
}

QString RegisteredNote::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize RegisteredNote::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()), fontMetrics().height()};
}

QSize RegisteredNote::minimumSizeHint() const
{
    return {0, fontMetrics().height()};
}

void RegisteredNote::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    style()->drawItemText(&p, contentsRect(), int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(),
                          shownText(), foregroundRole());
}
