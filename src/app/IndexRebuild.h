#pragma once
// Making the main file's search index again (a file from an earlier version, or an index found
// damaged), a part at a time on the event loop, with how far it has come in the window. The
// window works meanwhile: each part is a transaction of its own, and a 登録 between two parts
// goes on as usual.
#include <QElapsedTimer>
#include <QObject>
#include <QSqlDatabase>
#include <QTimer>

class QLabel;
class QProgressBar;
class QTabWidget;
class QWidget;

namespace app {

class IndexRebuild : public QObject {
    Q_OBJECT
  public:
    // The progress shows beside the tabs of `tabs` (a label and a bar, made when first needed).
    explicit IndexRebuild(QTabWidget* tabs);
    // Starts (or goes on with) the work when the index of main needs it; nothing otherwise.
    void startIfNeeded(const QSqlDatabase& main);
    // The files close: the work stops where it is (the file knows how far it came).
    void stop();
    bool running() const { return m_timer.isActive(); }

  signals:
    void finished();

  private:
    void step();
    QTabWidget* m_tabs;
    QWidget* m_shown = nullptr;
    QProgressBar* m_bar = nullptr;
    QString m_connection;
    QTimer m_timer;
    int m_lines = 500; // lines per part, kept near a part's target time
};

} // namespace app
