// The start-up yardstick: the least a Qt Widgets program with this application's look can do
// to show a window of the same shape (a tab widget holding an empty 100 x 9 table), started and
// timed the same way as the application.
#include "app/ShownProbe.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    qapp.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSizeF(9.5);
    qapp.setFont(font);
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QTableWidget(100, 9), QStringLiteral("営業日報"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(tabs);
    window.resize(900, 660);
    window.showNormal();
    app::ShownProbe::watch(&window);
    return qapp.exec();
}
