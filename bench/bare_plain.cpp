// The barest start-up yardstick: a Qt Widgets program showing one empty window of the
// application's size, with Qt's own default style and font, timed the same way.
#include "app/ShownProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QWidget window;
    window.resize(900, 660);
    window.showNormal();
    app::ShownProbe::watch(&window);
    return qapp.exec();
}
