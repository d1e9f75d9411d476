#pragma once
// What a tab may reach beyond its own controls: the two databases and the commands that
// cross tabs. The main window provides it; a tab never reaches into another tab's controls.
#include <QSqlDatabase>
#include <QString>

class QWidget;

class TabContext {
  public:
    virtual ~TabContext() = default;
    virtual QSqlDatabase mainDb() const = 0;
    virtual QSqlDatabase workDb() const = 0;
    // Rebuilds every pick list of every tab from the code master.
    virtual void rebuildPickLists() = 0;
    // Shows the entry tab with the report of name and date (eight digits "yyyymmdd") read in,
    // and the stored line lineNo (its 行番号) current when given. False when the user chose to
    // stay with the unregistered report on screen: nothing changed then.
    virtual bool openReport(const QString& name, const QString& yyyymmdd, int lineNo = 0) = 0;
    // Opens the search window, or brings it forward with its keywords ready to type.
    virtual void showSearch() = 0;
    // Opens the hint window for the hint button named ctlName.
    virtual void showHint(const QString& ctlName) = 0;
    // The main window, as the parent of windows a tab opens.
    virtual QWidget* mainWindow() = 0;
};
