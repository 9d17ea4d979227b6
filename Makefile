# Front door over CMake. `make run` builds the tool alone and runs it on the
# bundled sample (no GoogleTest needed); `make test` builds and runs every
# test, plain and under sanitizers.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
SAMPLE     := samples/sample.ts
PROGRAM    ?= 0x0400

.PHONY: all tool build run test test-plain test-asan fuzz-smoke test-deb test-i686 test-armhf test-arm64 fuzz bench install deb clean

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

test: test-plain test-asan fuzz-smoke test-deb test-i686 test-armhf test-arm64

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTSNARROW_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

# The tool and the tests built for 32-bit x86 (static, run here, or under
# qemu-i386 where this kernel cannot run them) and for armhf and arm64 (run
# under qemu-user), in build-i686, build-armhf and build-arm64; each is
# skipped without its cross compiler (or qemu).
test-i686 test-armhf test-arm64:
	JOBS=$(JOBS) bash tests/cross/run.sh $(@:test-%=%)

# Fuzz targets need clang's libFuzzer; the smoke run is skipped without clang.
FUZZ_SECONDS ?= 600
fuzz-smoke:
	bash tests/fuzz/run.sh 5

fuzz:
	bash tests/fuzz/run.sh $(FUZZ_SECONDS)

# The Debian package, built, linted and run against the build tree's tool;
# skipped without dpkg-buildpackage, debhelper and lintian.
test-deb: $(BUILD)/tsnarrow
	bash tests/deb_test.sh $(BUILD)/tsnarrow

$(BUILD)/tsnarrow:
	$(MAKE) tool

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

# The Debian package, from a copy of the tracked files (as they are in the
# work tree) in $(DEB_OUT)/tsnarrow-VERSION, so that dpkg-buildpackage leaves
# the .deb, .buildinfo and .changes in $(DEB_OUT). Needs dpkg-dev, debhelper
# and the build dependencies in debian/control.
DEB_OUT ?= build-deb
deb:
	rm -rf $(DEB_OUT)
	version=$$(dpkg-parsechangelog -S Version) && \
	mkdir -p $(DEB_OUT)/tsnarrow-$$version && \
	git ls-files -z | tar --null -T - -cf - | tar -xf - -C $(DEB_OUT)/tsnarrow-$$version && \
	cd $(DEB_OUT)/tsnarrow-$$version && dpkg-buildpackage -us -uc -b

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEB_OUT) build-i686 build-armhf build-arm64
