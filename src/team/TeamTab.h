#pragma once
// The チーム tab, on a team server only: 提出状況, the members (by 所属) × a week of days, each
// cell the state of that report for the member signed in; the counts per day on top; moving by
// week; a cell opens its report on the 営業日報 tab; the unread only, and 一括確認 of a day.
#include "store/Review.h"

#include <QWidget>

class CommandButton;
class QCheckBox;
class QLabel;
class QListWidget;
class QTimer;
class QTableWidget;
class TabContext;

class TeamTab : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDays = 7;

    explicit TeamTab(QWidget* parent = nullptr);
    void attach(TabContext* context);

    // Reads the week ending on last (one statement) and shows it.
    void showWeek(const QDate& last);
    void refresh();
    void openCurrent();    // Enter or a double click: the cell's report on the 営業日報 tab
    void markDayRead();    // 一括確認 of the current column's day
    void moveWeek(int by); // -1 the week before, +1 the week after

    // What concerns the member (store::readNotices): read at once and then every minute, one
    // statement each time, whatever the tab shows; the count goes out by noticesChanged.
    void pollNotices();
    void noticesSeen(); // all of the list known: the count goes to 0
    void openNotice();  // Enter or a double click on the list: the report on the 営業日報 tab
    int notices() const { return int(m_notices.size()); }

    QDate lastDay() const { return m_last; }
    const store::Submissions& shown() const { return m_shown; }

    QTableWidget* grd提出状況 = nullptr;
    QLabel* lbl期間 = nullptr;
    QCheckBox* chk未読のみ = nullptr;
    CommandButton* cmd前週 = nullptr;
    CommandButton* cmd次週 = nullptr;
    CommandButton* cmd更新 = nullptr;
    CommandButton* cmd一括確認 = nullptr;
    QListWidget* lst通知 = nullptr;
    CommandButton* cmd通知確認 = nullptr;

  signals:
    void noticesChanged(int count);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void fill();

    TabContext* m_context = nullptr;
    QDate m_last;
    store::Submissions m_shown;
    QList<store::Notice> m_notices;
    QTimer* m_poll = nullptr;
};
