ravelin_add_bench(ravelin_bench_shell SOURCES shell_bench.cpp LIBS ravelin_app)
# The bench also times the whole program.
add_dependencies(ravelin_bench_shell ravelin_exe)
