#pragma once
// Work that the first window does not need, run once it is on screen.
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>

namespace app {

// Runs work once, from the event loop, after window's first exposure (which paints it). A window
// not created yet runs it when it is: call after show().
class AfterFirstShown : public QObject {
  public:
    static void run(QWidget* window, std::function<void()> work)
    {
        if (QWindow* w = window->windowHandle())
            new AfterFirstShown(w, std::move(work));
        else
            QTimer::singleShot(0, window, std::move(work));
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                m_work();
                deleteLater();
            });
        }
        return false;
    }

  private:
    AfterFirstShown(QWindow* window, std::function<void()> work) : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

    std::function<void()> m_work;
};

} // namespace app
