# Front door over CMake. `make run` builds the tool alone and runs it on the
# bundled sample (no GoogleTest needed); `make test` builds and runs every
# test, plain and under sanitizers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
SAMPLE     := samples/sample.ts
PROGRAM    ?= 0x0400

.PHONY: all tool build run test test-plain test-asan fuzz-smoke fuzz bench install clean

all: build

# The tool alone.
tool:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTSNARROW_TESTS=OFF >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target tsnarrow

# The tool, the developer tools and the tests.
build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DTSNARROW_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

run: tool
	./$(BUILD)/tsnarrow $(SAMPLE)
	./$(BUILD)/tsnarrow $(SAMPLE) $(PROGRAM) $(BUILD)/sample-$(PROGRAM).ts
	./$(BUILD)/tsnarrow $(BUILD)/sample-$(PROGRAM).ts

test: test-plain test-asan fuzz-smoke

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSNARROW_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

# Fuzz targets need clang's libFuzzer; the smoke run is skipped without clang.
FUZZ_SECONDS ?= 600
fuzz-smoke:
	bash tests/fuzz/run.sh 5

fuzz:
	bash tests/fuzz/run.sh $(FUZZ_SECONDS)

# Throughput against plain copies and bare PID filters, memory, and the
# micro-benchmarks, from a Release build of their own (the micro-benchmarks
# need libbenchmark-dev).
bench:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTSNARROW_BENCH=ON >/dev/null
	cmake --build build-bench -j$(JOBS) --target tsnarrow tsgen tsnarrow_bench bare_io
	bash bench/run.sh build-bench

PREFIX ?= /usr/local
install: tool
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
