# The README's commands, as aliases over the build trees that CMakePresets.json
# names (cmake --list-presets). Each installs what it needs first (Debian 12, as root).
#
#   make check       the host tests, sanitized: the inner loop
#   make test        everything: host tests, platform suite under Wine, end-to-end cases
#   make demo        the example product installed and uninstalled on a throwaway machine
#   make test-win32  the shipped 32-bit program's end-to-end case, through emulation
#   make bench       size and speed (BENCHMARKS.md)
#   make fuzz        the file list fuzzed for FUZZ_TIME seconds
#   make release     build/release: the shipped program, signed where SIGN_PFX is given, and SHA256SUMS
#
# Up to JOBS steps run at once (a build, the end-to-end cases, a test run), each
# build with JOBS compilers; the end-to-end cases run E2E_JOBS at a time, each on
# a machine of its own.
JOBS ?= $(shell nproc)
ifeq ($(MAKELEVEL)$(filter -j%,$(MAKEFLAGS)),0)
MAKEFLAGS += -j$(JOBS)
endif
MAKEFLAGS += --no-print-directory
E2E_JOBS ?= 2
WINE64 ?= /usr/lib/wine/wine64
export WINE64

PRESETS := win32 win64 win64-suite host host-asan fuzz bench-host

.PHONY: all deps fuzz-deps bench-deps build check test test-host check-full test-beside-e2e test-resources test-harness wine-prefix \
        test-wine-suite test-no-memory test-e2e test-win32 test-release release demo bench fuzz clean \
        $(addprefix build-,$(PRESETS))

all: build

# ---------------------------------------------------------------- packages
deps:
	@scripts/install-deps.sh

fuzz-deps: | deps
	@scripts/install-deps.sh clang libclang-rt-14-dev

bench-deps: | deps
	@scripts/install-deps.sh libbenchmark-dev libx11-dev

# ---------------------------------------------------------------- the build trees
# build/<preset> is configured by `cmake --preset <preset>` once, and again when
# the presets change; build-<preset> builds that preset's targets, with CMake's
# own make running JOBS compilers outside this make's job slots (MAKEFLAGS=).
build/%/CMakeCache.txt: CMakePresets.json | deps
	cmake --preset $* >/dev/null
	@touch $@

build/fuzz/CMakeCache.txt: | fuzz-deps
build/bench-host/CMakeCache.txt: | bench-deps

$(addprefix build-,$(PRESETS)): build-%: build/%/CMakeCache.txt
	MAKEFLAGS= cmake --build --preset $* -j $(JOBS)

# The program (32-bit, the one that ships) and its 64-bit twin, the one run under Wine.
build: build-win32 build-win64

# ---------------------------------------------------------------- tests
# The prepared Wine prefix every test machine is copied from, made once.
E2E_PREFIX ?= build/e2e/prefix

wine-prefix: | deps
	python3 tests/e2e/zevmachine.py prepare $(E2E_PREFIX)

# The logic's tests, the platform suite and the property test against the fake,
# built with AddressSanitizer and UndefinedBehaviorSanitizer.
check: build-host-asan
	ctest --preset host-asan

# The same, built plainly.
test-host: build-host
	ctest --preset host

# make test's run of the sanitized tests: as check, with the property test over
# as many cases as the plain build runs (4000, the same seeds; check runs 800),
# so that make test needs no plain host tree. Its sanitizer options are the
# host-asan test preset's.
check-full: build-host-asan
	ctest --preset host-asan -E '^property_tests$$'
	ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ZEV_PROPERTY_CASES=4000 build/host-asan/property_tests

test-resources: | deps
	python3 tests/app/resources_test.py

# The end-to-end harness's own ground: prefix copies and screenshot coordinates.
test-harness: | deps
	python3 tests/e2e/harness_test.py

# The platform suite against the real Win32 side, under Wine. The script passes
# its environment on: a run under another locale is the same line after
# LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8.
test-wine-suite: build-win64-suite wine-prefix
	WINE_TEMPLATE=$(E2E_PREFIX) scripts/run-wine-suite.sh build/win64-suite/platform_suite.exe
	WINE_TEMPLATE=$(E2E_PREFIX) ZEV_WINE_LOCALE=ja_JP.UTF-8 scripts/run-wine-suite.sh build/win64-suite/platform_suite.exe

# What the runs under Wine of build/win64 need. make test's second make run sets
# WIN64_READY= : its first built and made them, and the cases start at once.
WIN64_READY ?= build-win64 wine-prefix

# Running out of memory in the program as built (no exceptions, its own
# operator new), under Wine.
test-no-memory: $(WIN64_READY)
	WINE_TEMPLATE=$(E2E_PREFIX) scripts/run-wine-suite.sh build/win64/no_memory_check.exe

# The end-to-end cases run E2E_EXE under Wine in copies of E2E_PREFIX. Another
# build is named here: E2E_EXE=build/win32/ZEVUnins.exe with a prefix that runs
# it and E2E_FLAGS="--time-scale 4" for its slower start.
E2E_EXE ?= build/win64/ZEVUnins.exe
E2E_FLAGS ?=

test-e2e: $(WIN64_READY)
	python3 scripts/e2e.py --jobs $(E2E_JOBS) --exe $(E2E_EXE) --prefix $(E2E_PREFIX) $(E2E_FLAGS)

# The end-to-end cases take longest: what they need is built first, then they
# run while the other trees build and run beside them (in one make run, a job
# slot freed before the cases could start went to another tree's build, and the
# cases waited). Beside them the rest goes two steps at a time, the builds first
# (build-win32 comes with test-release), so that it ends about when the cases
# do and what is left then is short runs. The host tests run once, sanitized (check-full); make
# test-host runs them built plainly.
test:
	$(MAKE) build-win64 wine-prefix
	$(MAKE) WIN64_READY= test-e2e test-beside-e2e

test-beside-e2e:
	MAKEFLAGS= $(MAKE) -j2 WIN64_READY= check-full build-win64-suite test-release test-wine-suite test-no-memory \
	  test-resources test-harness

# The release as a publisher makes it (scripts/release.sh says how to sign it).
release: build-win32
	@scripts/release.sh

# A release signed with a throwaway certificate, its signature verified, its
# sums checked, and the package manifest checked against winget's schema.
test-release: build-win32
	scripts/check-release.sh

# The shipped 32-bit program, run for real through qemu's user-mode emulation:
# the full product case (with the 32-bit example monitor, which Wine's spooler
# loads inside the program) and the case of 64-bit Windows, against the signed
# release (build/release/ZEVUnins.exe, test-release's) in a prefix with Wine's
# 32-bit half. Sets the emulation up first (root); fails where it cannot.
WIN32_PREFIX ?= build/e2e/prefix-win32

test-win32: build test-release
	scripts/setup-win32-emulation.sh
	ZEV_PROGRAM_BITS=32 python3 scripts/e2e.py --exe build/release/ZEVUnins.exe \
	  --prefix $(WIN32_PREFIX) --case full-product --case 64-bit-windows --time-scale 4

# DEMO=ja removes the Japanese product of examples/ja from a Japanese machine.
DEMO ?=
demo: build-win64 wine-prefix
	python3 scripts/demo.py --exe $(E2E_EXE) --prefix $(E2E_PREFIX) $(if $(DEMO),--example $(DEMO))

# ---------------------------------------------------------------- fuzzing and benchmarks
# The file list fuzzed through the whole run with libFuzzer (clang), for FUZZ_TIME
# seconds from the corpus in fuzz/corpus; what it finds goes to build/fuzz.
FUZZ_TIME ?= 60

fuzz: build-fuzz
	@mkdir -p build/fuzz/corpus build/fuzz/artifacts
	build/fuzz/fuzz_file_list build/fuzz/corpus fuzz/corpus -dict=fuzz/zevflist.dict -max_len=4096 \
	  -max_total_time=$(FUZZ_TIME) -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1

# One table (BENCHMARKS.md): the shipped program's size and DLLs, its start and
# its run under Wine against floor programs built the same way, and the run
# against the fake machine. Also written, with every sample, to build/bench/.
# BENCH_FLAGS passes options to bench/bench.py (--samples, --run-samples, --sizes).
BENCH_FLAGS ?=

bench: build build-bench-host wine-prefix
	MAKEFLAGS= cmake --build --preset win64 --target start_floor run_floor run_floor_bar -j $(JOBS)
	python3 bench/test_bench.py
	python3 bench/bench.py --prefix $(E2E_PREFIX) $(BENCH_FLAGS)

clean:
	rm -rf build
