#pragma once
// The control tests' fixture: a temporary work database and the report-line grid on it.
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class DataGrid;
class DataSource;

// A shown window with the report-line grid laid out as the main window does, and a line
// edit after it in the focus chain.
struct GridRig {
    std::unique_ptr<QWidget> window;
    DataSource* src = nullptr;
    DataGrid* grid = nullptr;
    QLineEdit* after = nullptr;
};

class ControlsFixture : public QObject {
    Q_OBJECT
  protected:
    // Called from each test class's initTestCase, cleanupTestCase and init.
    void openWorkFile();
    void closeWorkFile();
    void resetWorkFile();

    QSqlDatabase db() const;
    bool run(const QString& sql);
    QVariant cell(const QString& field, int lineNo);
    bool resetLines(int n);
    void makeGrid(GridRig& rig);
    static void type(DataGrid* g, const QString& text);

    QTemporaryDir m_dir;
    QString m_path;
};

// Opens a grid rig as g, or ends the test when it cannot be made.
#define RIG(name)                                                                                            \
    GridRig name;                                                                                            \
    makeGrid(name);                                                                                          \
    if (QTest::currentTestFailed())                                                                          \
        return;                                                                                              \
    DataGrid* g = name.grid;
