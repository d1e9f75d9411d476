target_sources(tesvan_gui PRIVATE
  src/app/controls/Twips.h src/app/controls/Twips.cpp
  src/app/controls/Ime.h src/app/controls/Ime.cpp
  src/app/controls/CellFormat.h src/app/controls/CellFormat.cpp
  src/app/controls/CellEditor.h
  src/app/controls/DataSource.h src/app/controls/DataSource.cpp
  src/app/controls/DataGridModel.h src/app/controls/DataGridModel.cpp
  src/app/controls/GridCursor.h src/app/controls/GridCursor.cpp
  src/app/controls/GridKeys.h src/app/controls/GridKeys.cpp
  src/app/controls/GridColumns.h src/app/controls/GridColumns.cpp
  src/app/controls/GridNavigator.h src/app/controls/GridNavigator.cpp
  src/app/controls/GridDelegate.h src/app/controls/GridDelegate.cpp
  src/app/controls/GridEditSession.h src/app/controls/GridEditSession.cpp
  src/app/controls/RowSelector.h src/app/controls/RowSelector.cpp
  src/app/controls/DataGrid.h src/app/controls/DataGrid.cpp
  src/app/controls/DropDown.h src/app/controls/DropDown.cpp
  src/app/controls/DateInput.h src/app/controls/DateInput.cpp
  src/app/controls/Controls.h src/app/controls/Controls.cpp)
