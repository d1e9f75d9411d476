target_sources(tesvan_gui PRIVATE src/search/BatchPdf.h src/search/BatchPdf.cpp)
target_sources(tesvan_gui PRIVATE src/search/SearchWindow.h src/search/SearchWindow.cpp src/search/SearchExport.cpp
  src/search/ResultsModel.h src/search/ResultsModel.cpp src/search/HighlightDelegate.h src/search/HighlightDelegate.cpp
  src/search/CountsPage.h src/search/CountsPage.cpp src/search/CommentsPage.h src/search/CommentsPage.cpp src/search/BarChart.h src/search/BarChart.cpp)
