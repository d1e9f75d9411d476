target_sources(tesvan_core PRIVATE src/search/SearchStore.h)
target_sources(tesvan_core PRIVATE
  src/search/Csv.h src/search/CsvFile.h src/search/CsvFormat.cpp src/search/CsvLines.cpp)
