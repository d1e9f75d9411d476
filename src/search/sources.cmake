target_sources(tesvan_core PRIVATE
  src/search/Criteria.h src/search/Criteria.cpp
  src/search/SearchStore.h src/search/SearchStore.cpp
  src/search/SearchQuery.h src/search/SearchQuery.cpp
  src/search/Visits.h src/search/Visits.cpp)
target_sources(tesvan_core PRIVATE
  src/search/Csv.h src/search/CsvFile.h src/search/CsvFormat.cpp src/search/CsvLines.cpp)
