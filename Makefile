# Entry points: make setup | build | test | bench | demo. Each does what it needs first.
# Two CMake builds: the cross build of the bootstrapper in BUILD_DIR, and the
# native host build (kelvra-stamp, platform-free code with sanitizers, libFuzzer
# targets; clang) in HOST_BUILD_DIR.
BUILD_DIR ?= build
HOST_BUILD_DIR ?= $(BUILD_DIR)/host
JOBS ?= 2
CMAKE_FLAGS ?=
# How long `make fuzz` runs each fuzz target.
FUZZ_SECONDS ?= 60

PACKAGES := mingw-w64 g++-mingw-w64-i686-posix wine wine32 xvfb locales-all googletest \
            libspdlog-dev libfmt-dev nlohmann-json3-dev cmake python3 g++ openssl \
            fonts-wine fonts-wqy-microhei clang libclang-rt-14-dev osslsigncode curl

.PHONY: setup build build-host test test-host fuzz bench demo demo-standin clean

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
	  -DKELVRA_STAMP_TOOL=$(abspath $(HOST_BUILD_DIR))/bin/kelvra-stamp $(CMAKE_FLAGS)

$(HOST_BUILD_DIR)/CMakeCache.txt:
	cmake -S host -B $(HOST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DKELVRA_FUZZ=ON

build-host: setup $(HOST_BUILD_DIR)/CMakeCache.txt
	cmake --build $(HOST_BUILD_DIR) -j$(JOBS)

build: setup build-host $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$(JOBS) --target all kelvra_tests

test-host: build-host
	ctest --test-dir $(HOST_BUILD_DIR) --output-on-failure -j$(JOBS)

# Each fuzz target for FUZZ_SECONDS; what it finds goes to a scratch corpus in the
# build folder, never into the committed one.
fuzz: build-host
	tests/fuzz/run_fuzzers.sh $(abspath $(HOST_BUILD_DIR))/bin $(FUZZ_SECONDS) $(abspath $(HOST_BUILD_DIR))/fuzz-work

test: build test-host
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

# Sizes, staging time, download and digest throughput and memory against their
# budgets, in one table (bench/run_bench.py); builds only what it runs. Not a test.
bench: setup $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$(JOBS) --target bench

# The whole installation against local stand-ins of the maker's services.
demo: build
	tools/demo_install.sh $(BUILD_DIR)

# The bootstrapper alone, with the stand-in front end.
demo-standin: build
	tools/demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
