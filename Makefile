# The README's commands. Each installs what it needs first (Debian 12, as root).
JOBS ?= $(shell nproc)
WINE64 ?= /usr/lib/wine/wine64

.PHONY: all deps build build-host test test-host test-resources test-wine-suite clean

all: build

deps:
	@scripts/install-deps.sh

build/win32/Makefile: | deps
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

build/win64/Makefile: | deps
	cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null

# The platform suite links GoogleTest, which needs the posix thread model.
build/win64-suite/Makefile: | deps
	cmake -S . -B build/win64-suite -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	  -DZEV_MINGW_THREADS=posix -DZEV_BUILD_SUITE=ON >/dev/null

build/host/Makefile: | deps
	cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Debug >/dev/null

# The product (32-bit) and its 64-bit twin, the one run under Wine here.
build: build/win32/Makefile build/win64/Makefile
	cmake --build build/win32 --target ZEVUnins -j $(JOBS)
	cmake --build build/win64 --target ZEVUnins -j $(JOBS)

build-host: build/host/Makefile
	cmake --build build/host -j $(JOBS)

test-host: build-host
	cd build/host && ctest --output-on-failure

test-wine-suite: build/win64-suite/Makefile
	cmake --build build/win64-suite --target platform_suite -j $(JOBS)
	scripts/run-wine-suite.sh build/win64-suite/platform_suite.exe
	ZEV_WINE_LOCALE=ja_JP.UTF-8 scripts/run-wine-suite.sh build/win64-suite/platform_suite.exe

test-resources: | deps
	python3 tests/app/resources_test.py

test: build test-host test-host-sanitized test-resources test-wine-suite test-e2e

# ---------------------------------------------------------------- end to end, and the demo
# The cases run E2E_EXE under Wine in copies of E2E_PREFIX (made once when
# missing). Another build is named here: E2E_EXE=build/win32/ZEVUnins.exe with a
# prefix that runs it and E2E_FLAGS="--time-scale 4" for its slower start.
E2E_EXE ?= build/win64/ZEVUnins.exe
E2E_PREFIX ?= build/e2e/prefix
E2E_FLAGS ?=
E2E_PROBE := build/e2e/winprobe.exe

.PHONY: e2e-deps test-e2e demo

e2e-deps: | deps
	@scripts/install-deps.sh python3

$(E2E_PROBE): tests/e2e/winprobe.cpp | e2e-deps
	@mkdir -p $(@D)
	x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -static -s -o $@ $<

test-e2e: build $(E2E_PROBE)
	WINE64=$(WINE64) python3 scripts/e2e.py --exe $(E2E_EXE) --prefix $(E2E_PREFIX) $(E2E_FLAGS)

# The shipped 32-bit program, run for real through qemu's user-mode emulation:
# the full product case against build/win32/ZEVUnins.exe in a prefix with
# Wine's 32-bit half. Sets the emulation up first (root); fails where it cannot.
WIN32_PREFIX ?= build/e2e/prefix-win32

.PHONY: test-win32
test-win32: build $(E2E_PROBE)
	scripts/setup-win32-emulation.sh
	WINE64=$(WINE64) ZEV_PROGRAM_BITS=32 python3 scripts/e2e.py --exe build/win32/ZEVUnins.exe \
	  --prefix $(WIN32_PREFIX) --case full-product --time-scale 4

demo: build $(E2E_PROBE)
	WINE64=$(WINE64) python3 scripts/demo.py --exe $(E2E_EXE)

clean:
	rm -rf build

# ---------------------------------------------------------------- sanitizers and fuzzing
# The host tests once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (leaks included); part of `make test`.
.PHONY: build-host-sanitized test-host-sanitized fuzz-deps fuzz
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

build/host-asan/Makefile: | deps
	cmake -S . -B build/host-asan -DCMAKE_BUILD_TYPE=Debug -DZEV_SANITIZE=ON >/dev/null

build-host-sanitized: build/host-asan/Makefile
	cmake --build build/host-asan -j $(JOBS)

test-host-sanitized: build-host-sanitized
	cd build/host-asan && $(SANITIZER_ENV) ctest --output-on-failure


# The file list fuzzed through the whole run with libFuzzer (clang), for FUZZ_TIME
# seconds from the corpus in fuzz/corpus; what it finds goes to build/fuzz. Not
# part of `make test`.
FUZZ_TIME ?= 60

fuzz-deps: | deps
	@scripts/install-deps.sh clang libclang-rt-14-dev

build/fuzz/Makefile: | fuzz-deps
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEV_FUZZ=ON >/dev/null

fuzz: build/fuzz/Makefile
	cmake --build build/fuzz --target fuzz_file_list -j $(JOBS)
	@mkdir -p build/fuzz/corpus build/fuzz/artifacts
	build/fuzz/fuzz_file_list build/fuzz/corpus fuzz/corpus -dict=fuzz/zevflist.dict -max_len=4096 \
	  -max_total_time=$(FUZZ_TIME) -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1

# ---------------------------------------------------------------- running out of memory
# The program as built for Windows (no exceptions, its own operator new), under
# Wine: a failed allocation reaches the handler set for it, and ends the process
# anywhere else.
.PHONY: test-no-memory
test-no-memory: build/win64/Makefile
	cmake --build build/win64 --target no_memory_check -j $(JOBS)
	scripts/run-wine-suite.sh build/win64/no_memory_check.exe

test: test-no-memory

# ---------------------------------------------------------------- benchmarks
# One table (BENCHMARKS.md): the shipped program's size and DLLs, its start and
# its run under Wine against floor programs built the same way, and the run
# against the fake machine. Also written, with every sample, to build/bench/.
# BENCH_FLAGS passes options to bench/bench.py (--samples, --run-samples, --sizes).
BENCH_FLAGS ?=

.PHONY: bench bench-deps
bench-deps: | deps
	@scripts/install-deps.sh libbenchmark-dev libx11-dev

build/bench-host/Makefile: | bench-deps
	cmake -S . -B build/bench-host -DCMAKE_BUILD_TYPE=Release -DZEV_BENCH=ON >/dev/null

bench: build build/bench-host/Makefile | e2e-deps
	cmake --build build/win64 --target start_floor run_floor run_floor_bar -j $(JOBS)
	cmake --build build/bench-host -j $(JOBS)
	python3 bench/test_bench.py
	WINE64=$(WINE64) python3 bench/bench.py $(BENCH_FLAGS)
