#pragma once
// SIGTERM, SIGHUP and SIGINT (a desktop session logging out or shutting down, a service manager,
// `timeout`, Ctrl+C in a terminal) as one notification on the event loop, where the window can
// close as it always does. The handler itself only writes a byte into a pipe.
#include <QObject>

class QSocketNotifier;

namespace app {

class EndSignals : public QObject {
    Q_OBJECT
  public:
    explicit EndSignals(QObject* parent = nullptr);
    // The signals' default actions come back.
    ~EndSignals() override;

  signals:
    void received(int signal);

  private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace app
