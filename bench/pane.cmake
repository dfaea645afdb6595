ravelin_add_bench(ravelin_bench_pane SOURCES pane_bench.cpp LIBS ravelin_app)
