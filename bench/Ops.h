#pragma once
// The parts of the benchmark, each in a file of its own.
#include "BareGrid.h"
#include "Floor.h"
#include "Timing.h"
#include "app/DataFolder.h"

#include <QString>
#include <string>

class FrmTesvan;

namespace bench {

// A data folder holding the initial files.
app::DataPaths freshFolder(const QString& root);

// Everything posted handled: layout, painting, the flush to the screen. Both sides draw by it.
void settle();

// The rows a grid shows, in its own columns ("" = a column bound to no field), from table.
std::string gridSelect(const DataGrid& grid, const std::string& table, const std::string& tail);

// Both windows repainted whole and settled, before each side.
void calmWith(FrmTesvan& w, std::initializer_list<BareGrid*> floors);

struct Env {
    FrmTesvan& w;
    Raw& main;
    Raw& work;
    app::DataPaths paths;
};

void listAndCodeOps(Env& e);
// The search's CSV of 100,000 lines and PDF of 100 reports, on a data folder of their own.
void outputOps(const QString& root);
void bigList(const QString& root);
// Start-up on the initial files and on main files of 10,000 and 100,000 reports (and
// 1,000,000 when big), each with a full list table; the files are kept under the temporary
// folder between runs.
void startupSizes(int runs, bool big);
// The search and the counts at 1,000,000 lines (Search.cpp).
void searchOps();
// A main file of reports of lines of realistic text with the search index, kept in
// $TMPDIR/folderName and made again only when its size or the index changed; migrationMs gets
// the time the first open took to add the index.
QString keptTextFile(const QString& folderName, int reports, int lines, double* migrationMs);
// The longest gap of the event loop in each user operation through the window (Gaps.cpp).
void gapOps();

} // namespace bench
