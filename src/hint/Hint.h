#pragma once
// The hint window: the free text kept behind one hint button, read, edited, stored or deleted.
// One window for the whole run; each load shows the hint of the button that loaded it.
#include <QColor>
#include <QString>
#include <QWidget>

class QFrame;
class QLabel;
class QPlainTextEdit;
class CommandButton;

class Hint : public QWidget {
    Q_OBJECT
  public:
    // workConnection names the work database's connection, which holds the hints.
    explicit Hint(const QString& workConnection, QWidget* parent = nullptr);

    // The button colours that are the edit state.
    static const QColor kReadOnlyColor; // not being edited
    static const QColor kEditColor;     // being edited

    // Load step: the labels from the shared hint key, the stored hint read, the edit state
    // back to read-only, then the window shown with the focus on the text.
    void load();
    // Brings the loaded window forward without reading anything again.
    void bringForward();
    // A hint button's click, after it set the shared key: a window already showing that hint
    // comes forward as it is, with what is being typed; otherwise that hint is loaded, so text
    // registered always goes under the button last clicked.
    void showForButton();
    // Whether the window is loaded (shown and not closed).
    bool isLoaded() const { return isVisible(); }

    void ReadHint();
    // Stores the text under the labels' key; false (after the notice) when it failed.
    bool EntryHint();
    // Deletes the stored hint and empties the text; false (after the notice) when it failed.
    bool Deleteヒント();
    // 編集: switches between read-only and editable, then gives the text the focus.
    void toggleEdit();
    bool isEditing() const;
    // The text shows the tab's keys, no hint being stored.
    bool showsKeyHelp() const { return m_showingHelp; }

    QFrame* ImFrame3D1 = nullptr;
    QFrame* ImFrame3D2 = nullptr;
    QFrame* ImFrame3D6 = nullptr;
    QLabel* lblFormName = nullptr;
    QLabel* lblCtlName = nullptr;
    QLabel* lblFormTitle = nullptr;
    // Beside the stored names: which tab's hint this is, and why typing waits for 編集.
    QLabel* lblAbout = nullptr;
    QLabel* lblState = nullptr;
    QPlainTextEdit* txtContents = nullptr;
    CommandButton* cmd編集 = nullptr;
    CommandButton* cmd登録 = nullptr;
    CommandButton* cmd削除 = nullptr;
    CommandButton* cmdクリア = nullptr;
    CommandButton* cmd閉じる = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void showState(bool typedWhileReadOnly);
    void showKeyHelp();
    void clearText();

    void setEditing(bool on);
    void confirmRegister();
    void confirmDelete();

    QString m_workConnection;
    bool m_showingHelp = false;
};
