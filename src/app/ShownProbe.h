#pragma once
// Start-up timing from outside the process: with TESVAN_EXIT_WHEN_SHOWN set in the environment,
// once the window's first complete frame is painted the process writes the monotonic clock (in
// nanoseconds) on one line of standard output and leaves its event loop. A window may paint its
// first frame in several passes (the exposure, then layouts and work queued behind it): the
// frame is complete when the event loop turns once without painting anything more. Without the
// variable nothing is installed.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
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
        if (!m_exposed) {
            if (e->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
                m_exposed = true;
                // Every widget's paint from now on: the passes after the exposure count too.
                QCoreApplication::instance()->installEventFilter(this);
                m_painted = true;
                QTimer::singleShot(0, this, [this] { settle(); });
            }
            return false;
        }
        if (e->type() == QEvent::Paint || e->type() == QEvent::UpdateRequest)
            m_painted = true;
        return false;
    }

  private:
    explicit ShownProbe(QObject* parent) : QObject(parent) {}

    static long long now()
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    }

    // A zero timer runs once the events queued before it are handled: a turn that painted may
    // have queued another pass, so the clock stops at the first turn that painted nothing.
    void settle()
    {
        if (m_painted) {
            m_painted = false;
            m_last = now();
            QTimer::singleShot(0, this, [this] { settle(); });
            return;
        }
        QCoreApplication::instance()->removeEventFilter(this);
        std::printf("%lld\n", m_last);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    bool m_exposed = false;
    bool m_painted = false;
    long long m_last = 0;
};

} // namespace app
