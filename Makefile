# Entry points for newcomers and CI. Every target installs what is missing first.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
BENCH_DIR := build/bench
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
SAMPLE := samples/sample.log

.PHONY: all deps build run test bench bench-smoke ci demo format clean
.PHONY: fuzz fuzz-smoke

all: build

deps:
	@bash scripts/install-deps.sh

$(RELEASE_DIR)/build.ninja: | deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF

build: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: build
	$(RELEASE_DIR)/src/app/ravelin $(SAMPLE)

$(TEST_DIR)/build.ninja: | deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRAVELIN_SANITIZE=ON -DRAVELIN_TESTS=ON

test: deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

$(BENCH_DIR)/build.ninja: | deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF -DRAVELIN_BENCH=ON

bench: deps $(BENCH_DIR)/build.ninja
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bash bench/run.sh $(BENCH_DIR)

# Every benchmark briefly on tiny files: fails when a path does not work.
bench-smoke: deps $(BENCH_DIR)/build.ninja
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bash bench/run.sh --smoke $(BENCH_DIR)

# What CI runs: the Release program and every benchmark in smoke mode, the
# tests, then every fuzz target briefly.
ci: bench-smoke test fuzz-smoke

demo: build
	bash scripts/demo.sh $(RELEASE_DIR)/src/app/ravelin

# Every fuzz target for FUZZ_SECONDS seconds (clang, libFuzzer); not part of test.
$(FUZZ_DIR)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_TESTS=OFF -DRAVELIN_FUZZ=ON

fuzz: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_all
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh $(FUZZ_DIR)

# Every fuzz target for FUZZ_SMOKE_SECONDS from its committed seeds alone (CI runs it).
FUZZ_SMOKE_SECONDS ?= 10
fuzz-smoke: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_all
	FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS) bash fuzz/run.sh --smoke $(FUZZ_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

# Installs the Release program with its desktop entry, icons, metainfo, help
# page and man page under PREFIX (DESTDIR is honoured for staging).
PREFIX ?= /usr/local
.PHONY: install
install: build
	cmake --install $(RELEASE_DIR) --prefix $(PREFIX)
