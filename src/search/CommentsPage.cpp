#include "search/CommentsPage.h"

#include "store/Review.h"
#include "ui/Look.h"

#include <QHeaderView>

namespace search {

CommentsPage::CommentsPage(QWidget* parent) : QTableWidget(0, ColCount, parent)
{
    setObjectName(QStringLiteral("Grdコメント検索"));
    app::nameInput(this, QStringLiteral("見つかったコメント"));
    setHorizontalHeaderLabels({QStringLiteral("作成日"), QStringLiteral("氏名"), QStringLiteral("投稿者"),
                               QStringLiteral("投稿日時"), QStringLiteral("コメント")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setStretchLastSection(true);
    const int widths[ColCount] = {90, 100, 100, 120, 300};
    for (int c = 0; c < ColCount; ++c)
        setColumnWidth(c, widths[c]);
    setToolTip(
        QStringLiteral("期間と氏名は日報の作成日と氏名で選びます。Enter またはダブルクリックで、その日報を"
                       "営業日報の画面に開きます"));
    connect(this, &QAbstractItemView::activated, this, [this](const QModelIndex& i) {
        const QTableWidgetItem* day = item(i.row(), ColDay);
        const QTableWidgetItem* name = item(i.row(), ColName);
        if (day && name)
            emit reportPicked(name->text(), day->data(Qt::UserRole).toDate());
    });
}

store::Error CommentsPage::find(const QSqlDatabase& main, const Criteria& c)
{
    setRowCount(0);
    m_cut = false;
    const QStringList keywords = keywordsOf(c);
    if (keywords.isEmpty())
        return {};
    QList<store::FoundComment> found;
    // One more than is shown tells whether the list was cut.
    if (store::Error e = store::findComments(main, c.from, c.to, c.name, keywords, kShown + 1, &found);
        e.failed())
        return e;
    m_cut = found.size() > kShown;
    if (m_cut)
        found.resize(kShown);
    setRowCount(int(found.size()));
    for (int r = 0; r < found.size(); ++r) {
        const store::FoundComment& f = found[r];
        auto* day = new QTableWidgetItem(f.day.toString(QStringLiteral("yyyy/MM/dd")));
        day->setData(Qt::UserRole, f.day);
        setItem(r, ColDay, day);
        setItem(r, ColName, new QTableWidgetItem(f.name));
        setItem(r, ColBy, new QTableWidgetItem(f.by));
        setItem(r, ColAt,
                new QTableWidgetItem(f.at.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"))));
        // One line in the cell; the whole comment as its tooltip.
        QString oneLine = f.text;
        oneLine.replace(u'\n', u' ');
        auto* text = new QTableWidgetItem(oneLine);
        text->setToolTip(f.text);
        setItem(r, ColText, text);
    }
    if (rowCount() > 0)
        setCurrentCell(0, ColText);
    return {};
}

QString CommentsPage::caption() const
{
    return QStringLiteral("コメント (%1%2)").arg(rowCount()).arg(m_cut ? QStringLiteral("+") : QString());
}

} // namespace search
