#pragma once
// The review of the report on the 営業日報 tab, on a team server: its state and history, who has
// read it, the comment thread, and for a manager 承認 / 差戻し / 承認取消. Opening another member's
// report marks it read. It lives under the lines; on a local file it is never shown.
#include "store/Review.h"
#include "store/Team.h"

#include <QFrame>
#include <QSqlDatabase>
#include <functional>

class CommandButton;
class QLabel;
class QListWidget;
class QPlainTextEdit;

class ReviewPanel : public QFrame {
    Q_OBJECT
  public:
    explicit ReviewPanel(QWidget* parent = nullptr);

    // The member signed in and the way to the server; without them nothing is shown.
    void setMember(const std::function<QSqlDatabase()>& mainDb, const store::Member& me);
    void forgetMember();
    // The report now on the tab; version 0: none stored, the panel shows nothing of it.
    void showReport(const QDate& day, const QString& name, int version);
    // Reads the shown report's review again (after a decision or a comment of this window's).
    void refresh();

    // Whether the report shown is approved and so locked against its owner.
    bool approved() const { return m_shown && m_review.approved(); }

    QLabel* lbl審査状態 = nullptr;
    QListWidget* lst審査履歴 = nullptr; // the states' history, then who has read it
    QListWidget* lstコメント = nullptr;
    QPlainTextEdit* txtコメント = nullptr;
    CommandButton* cmdコメント送信 = nullptr;
    CommandButton* cmd承認 = nullptr;
    CommandButton* cmd差戻し = nullptr;
    CommandButton* cmd承認取消 = nullptr;

  public slots:
    void sendComment();  // Ctrl+Enter in the comment box
    void approve();      // F9
    void returnReport(); // Shift+F9: the comment box holds the reason
    void withdraw();

  signals:
    void approvalChanged(); // the report became approved, or no longer is
    void leave();           // Esc in the comment box: back to the lines

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void showReview();
    bool decided(const QString& what, const store::Error& e);

    std::function<QSqlDatabase()> m_mainDb;
    std::optional<store::Member> m_me;
    QDate m_day;
    QString m_name;
    int m_version = 0;
    bool m_shown = false;
    bool m_decides = false; // a manager on another's report
    store::Review m_review;
};
