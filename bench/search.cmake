ravelin_add_bench(ravelin_bench_search SOURCES search_bench.cpp
  ${PROJECT_SOURCE_DIR}/src/viewer/searchrun.cpp LIBS ravelin_search)
