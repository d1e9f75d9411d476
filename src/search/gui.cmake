target_sources(tesvan_gui PRIVATE src/search/BatchPdf.h src/search/BatchPdf.cpp)
