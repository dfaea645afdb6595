ravelin_add_bench(ravelin_bench_gzip SOURCES gzip_bench.cpp LIBS ravelin_app)
