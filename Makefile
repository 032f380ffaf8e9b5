# Entry points: make setup | build | test | demo. Each does what it needs first.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

PACKAGES := mingw-w64 g++-mingw-w64-i686-posix wine wine32 xvfb locales-all googletest \
            libspdlog-dev libfmt-dev nlohmann-json3-dev cmake python3

.PHONY: setup build test demo clean

setup:
	@if dpkg --print-foreign-architectures | grep -qx i386 && \
	    dpkg-query -W -f='$${Status}\n' $(PACKAGES) 2>/dev/null | grep -c 'install ok installed' | grep -qx $(words $(PACKAGES)); then \
	  echo "setup: everything is installed"; \
	else \
	  dpkg --add-architecture i386 && apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $(PACKAGES); \
	fi

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: setup $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j$(JOBS) --target all kelvra_tests

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

demo: build
	tools/demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
