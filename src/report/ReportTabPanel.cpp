// The 内容 panel of the 営業日報 tab: long contents edited over the grid, for one line.
#include "report/ReportTab.h"

#include "ui/Notices.h"
#include "ui/grid/DataGrid.h"

#include <QFrame>
#include <QPlainTextEdit>

void ReportTab::cellAction()
{
    if (Grid日報->col() != ColText || Grid日報->isEof())
        return;
    // The panel belongs to the line it was opened on.
    m_popupRow = Grid日報->row();
    txt内容->setPlainText(Grid日報->columnValue(ColText).toString());
    placePopup();
    setPanelOpen(true);
    txt内容->setFocus();
    txt内容->moveCursor(QTextCursor::End);
}

void ReportTab::setPanelOpen(bool open)
{
    // While the panel is open nothing else on the tab acts: the user finishes with 決定 or 閉じる.
    for (QWidget* w : m_panelBlocks)
        w->setEnabled(!open);
    Cnテキスト入力->setVisible(open);
    showOwnership();
    if (open)
        Cnテキスト入力->raise();
}

void ReportTab::acceptTextPanel()
{
    if (Cnテキスト入力->isHidden())
        return;
    const QString text = txt内容->toPlainText();
    setPanelOpen(false);
    Grid日報->setRow(m_popupRow);
    Grid日報->setCol(ColText);
    const store::Error err = Grid日報->setColumnValue(ColText, text.isEmpty() ? QVariant() : QVariant(text));
    if (err.failed())
        app::tellFailure(QStringLiteral("内容を書き込み"), err);
    Grid日報->setFocus();
}

void ReportTab::closeTextPanel()
{
    if (Cnテキスト入力->isHidden())
        return;
    setPanelOpen(false);
    Grid日報->setFocus();
}

void ReportTab::placePopup()
{
    const QRect g = Grid日報->geometry();
    const int w = qMin(560, g.width() - 40);
    const int h = qMin(300, g.height() - 40);
    Cnテキスト入力->setGeometry(g.x() + (g.width() - w) / 2, g.y() + (g.height() - h) / 2, w, h);
}

void ReportTab::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (Cnテキスト入力 && Cnテキスト入力->isVisible())
        placePopup();
}
