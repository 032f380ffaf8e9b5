# Entry points: make setup | build | test | bench | demo. Each does what it needs first.
# Three CMake builds: the cross build of what users get (32-bit) in BUILD_DIR, the
# same sources for 64-bit Windows in BUILD_DIR_X86_64 (a test build for machines
# that can't run 32-bit Wine), and the native host build (kelvra-stamp,
# platform-free code with sanitizers, libFuzzer targets; clang) in HOST_BUILD_DIR.
BUILD_DIR ?= build
BUILD_DIR_X86_64 ?= $(BUILD_DIR)/x86_64
HOST_BUILD_DIR ?= $(BUILD_DIR)/host
# Which build the Wine suite, the demo and the benchmark run under Wine: auto (the
# 32-bit one where this machine runs 32-bit programs, else the 64-bit one), i686,
# x86_64, or both (make test only).
TEST_ARCH ?= auto
JOBS ?= 2
CMAKE_FLAGS ?=
# Every build compiles through ccache: clones of the project on one machine share
# its cache (paths are hashed relative to each clone), so a fresh clone's build
# takes what an earlier one compiled. CCACHE=off builds without it.
CCACHE ?= on
ifeq ($(CCACHE),on)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
LAUNCHERS := -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
endif
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60

PACKAGES := mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32 wine64 xvfb locales-all googletest \
            libspdlog-dev libfmt-dev nlohmann-json3-dev cmake python3 g++ openssl \
            fonts-wine fonts-wqy-microhei clang libclang-rt-14-dev osslsigncode curl libz-mingw-w64-dev zlib1g-dev ccache \
            clang-format

.PHONY: setup build build-host test test-host format format-check fuzz bench demo demo-standin clean

setup:
	@if dpkg --print-foreign-architectures | grep -qx i386 && \
	    dpkg-query -W -f='$${Status}\n' $(PACKAGES) 2>/dev/null | grep -c 'install ok installed' | grep -qx $(words $(PACKAGES)); then \
	  echo "setup: everything is installed"; \
	else \
	  dpkg --add-architecture i386 && apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $(PACKAGES); \
	fi

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DKELVRA_STAMP_TOOL=$(abspath $(HOST_BUILD_DIR))/bin/kelvra-stamp $(LAUNCHERS) $(CMAKE_FLAGS)

$(BUILD_DIR_X86_64)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR_X86_64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DKELVRA_STAMP_TOOL=$(abspath $(HOST_BUILD_DIR))/bin/kelvra-stamp $(LAUNCHERS) $(CMAKE_FLAGS)

$(HOST_BUILD_DIR)/CMakeCache.txt:
	cmake -S host -B $(HOST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKELVRA_FUZZ=ON $(LAUNCHERS)

build-host: setup $(HOST_BUILD_DIR)/CMakeCache.txt
	cmake --build $(HOST_BUILD_DIR) -j$(JOBS)

# Both architectures, always, so that neither can rot unseen.
build: setup build-host $(BUILD_DIR)/CMakeCache.txt $(BUILD_DIR_X86_64)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$(JOBS) --target all kelvra_tests
	cmake --build $(BUILD_DIR_X86_64) -j$(JOBS) --target all kelvra_tests

test-host: build-host
	ctest --test-dir $(HOST_BUILD_DIR) --output-on-failure -j$(JOBS)

# Every C++ file that git tracks, laid out by .clang-format (Debian's clang-format).
# `make format` rewrites them in place; `make format-check`, which `make test` runs
# first, fails on any file that `make format` would change.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format: setup
	clang-format -i --style=file $(FORMAT_FILES)

format-check: setup
	@clang-format --dry-run --Werror --style=file $(FORMAT_FILES) 2>/dev/null || \
	  { echo "format-check: these files are not laid out as .clang-format says; run 'make format':"; \
	    for f in $(FORMAT_FILES); do clang-format --style=file $$f | cmp -s $$f - || echo "  $$f"; done; exit 1; }

# Each fuzz target for FUZZ_SECONDS; what it finds goes to a scratch corpus in the
# build folder, never into the committed one.
fuzz: build-host
	tests/fuzz/run_fuzzers.sh $(abspath $(HOST_BUILD_DIR))/bin $(FUZZ_SECONDS) $(abspath $(HOST_BUILD_DIR))/fuzz-work

# The Wine suite of each chosen build, then the host tests (tests/run_suites.sh).
# Where the 32-bit build is not the one run, its static checks (PE32, imports,
# signatures, sizes) still are; both architectures and the host build always compile.
test: setup format-check $(HOST_BUILD_DIR)/CMakeCache.txt $(BUILD_DIR)/CMakeCache.txt $(BUILD_DIR_X86_64)/CMakeCache.txt
	tests/run_suites.sh $(BUILD_DIR) $(BUILD_DIR_X86_64) $(HOST_BUILD_DIR) $(JOBS) $(TEST_ARCH)

# Sizes, staging time, download and digest throughput and memory against their
# budgets, in one table (bench/run_bench.py); builds only what it runs. Not a test.
# Sizes are those of the 32-bit build; the rest runs where Wine can run it.
bench: setup $(BUILD_DIR)/CMakeCache.txt $(BUILD_DIR_X86_64)/CMakeCache.txt
	@set -e; arch=$$(tests/wine/wine_architecture.sh $(subst both,auto,$(TEST_ARCH)) "make bench"); \
	cmake --build $(BUILD_DIR) -j$(JOBS) --target bench_sizes; \
	KELVRA_SIZE_BUILD_DIR=$(abspath $(BUILD_DIR)) cmake --build \
	  $$([ $$arch = i686 ] && echo $(BUILD_DIR) || echo $(BUILD_DIR_X86_64)) -j$(JOBS) --target bench

# The whole installation against local stand-ins of the maker's services. Builds
# only the test tools it runs, in the build Wine runs (the script builds its own
# bootstrapper): a make that finds everything done still takes minutes on a busy
# machine.
demo: setup
	@set -e; arch=$$(tests/wine/wine_architecture.sh $(subst both,auto,$(TEST_ARCH)) "make demo"); \
	dir=$$([ $$arch = i686 ] && echo $(BUILD_DIR) || echo $(BUILD_DIR_X86_64)); \
	$(MAKE) --no-print-directory $$dir/CMakeCache.txt; \
	cmake --build $$dir -j$(JOBS) --target client_setup_standin trust_test_root frontend_driver; \
	tools/demo_install.sh $$dir $$arch

# The bootstrapper alone, with the stand-in front end.
demo-standin: build
	@set -e; arch=$$(tests/wine/wine_architecture.sh $(subst both,auto,$(TEST_ARCH)) "make demo-standin"); \
	tools/demo.sh $$([ $$arch = i686 ] && echo $(BUILD_DIR) || echo $(BUILD_DIR_X86_64)) $$arch

clean:
	rm -rf $(BUILD_DIR)
