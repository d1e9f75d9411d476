target_sources(tesvan_core PRIVATE
  src/ui/DateText.h src/ui/DateText.cpp
  src/ui/grid/CellFormat.h src/ui/grid/CellFormat.cpp
  src/ui/grid/DataSource.h src/ui/grid/DataSource.cpp)
