target_sources(tesvan_gui PRIVATE
  src/ui/Twips.h src/ui/Twips.cpp
  src/ui/Ime.h src/ui/Ime.cpp
  src/ui/Look.h src/ui/Look.cpp
  src/ui/Notices.h src/ui/Notices.cpp
  src/ui/SaveFolder.h src/ui/SaveFolder.cpp
  src/ui/SaveChooser.h src/ui/SaveChooser.cpp
  src/ui/NaturalOrder.h src/ui/NaturalOrder.cpp
  src/ui/Background.h src/ui/Background.cpp
  src/ui/TabContext.h
  src/ui/DropDown.h src/ui/DropDown.cpp
  src/ui/DateInput.h src/ui/DateInput.cpp
  src/ui/Controls.h src/ui/Controls.cpp
  src/ui/PlacedLayout.h src/ui/PlacedLayout.cpp
  src/ui/grid/CellEditor.h
  src/ui/grid/DataGridModel.h src/ui/grid/DataGridModel.cpp
  src/ui/grid/GridCursor.h src/ui/grid/GridCursor.cpp
  src/ui/grid/GridKeys.h src/ui/grid/GridKeys.cpp
  src/ui/grid/GridColumns.h src/ui/grid/GridColumns.cpp
  src/ui/grid/GridNavigator.h src/ui/grid/GridNavigator.cpp
  src/ui/grid/GridDelegate.h src/ui/grid/GridDelegate.cpp
  src/ui/grid/GridEditSession.h src/ui/grid/GridEditSession.cpp
  src/ui/grid/GridHeader.h src/ui/grid/GridHeader.cpp
  src/ui/grid/RowSelector.h src/ui/grid/RowSelector.cpp
  src/ui/grid/DataGrid.h src/ui/grid/DataGrid.cpp src/ui/grid/DataGridColumns.cpp
  src/ui/grid/ColumnTable.h src/ui/grid/ColumnTable.cpp)
