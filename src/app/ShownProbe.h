#pragma once
// Start-up timing from outside the process: with TESVAN_EXIT_WHEN_SHOWN set in the environment,
// the first time the window is exposed on screen the process writes the monotonic clock (in
// nanoseconds) on one line of standard output and leaves its event loop. Without the variable
// nothing is installed.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace app {

class ShownProbe : public QObject {
  public:
    // Call after the window's show(): its native window exists from then on.
    static void watch(QWidget* window)
    {
        if (!qEnvironmentVariableIsSet("TESVAN_EXIT_WHEN_SHOWN") || !window->windowHandle())
            return;
        window->windowHandle()->installEventFilter(new ShownProbe(window));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed() && !m_done) {
            m_done = true;
            timespec ts{};
            clock_gettime(CLOCK_MONOTONIC, &ts);
            std::printf("%lld\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
            std::fflush(stdout);
            // After this expose has been painted.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    explicit ShownProbe(QObject* parent) : QObject(parent) {}
    bool m_done = false;
};

} // namespace app
