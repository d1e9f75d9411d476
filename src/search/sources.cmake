target_sources(tesvan_core PRIVATE
  src/search/SearchStore.h src/search/SearchStore.cpp
  src/search/SearchQuery.h src/search/SearchQuery.cpp)
target_sources(tesvan_core PRIVATE
  src/search/Csv.h src/search/CsvFile.h src/search/CsvFormat.cpp src/search/CsvLines.cpp)
