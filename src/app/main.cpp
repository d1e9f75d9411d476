#include "app/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    return app::runTesvan(qapp);
}
