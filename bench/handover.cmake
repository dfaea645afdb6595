ravelin_add_bench(ravelin_bench_handover SOURCES handover_bench.cpp LIBS Qt6::Core)
