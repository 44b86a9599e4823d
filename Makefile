# Convenience front for the CMake build, in the shape engine testers expect:
#   make                      builds the popcount engine (Release) as ./corvanel-x64-popcnt
#   make EXE=/path/to/engine  puts it at that path instead
#   make CXX=clang++          builds with another compiler
#   make variants             builds all three deliverables into $(BUILD_DIR)
#   make test                 builds everything and runs the test suite
#   make clean                removes the build directory and the copied engine

BUILD_DIR ?= build-make
EXE ?= corvanel-x64-popcnt
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Release
ifneq ($(origin CXX),default)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER=$(CXX)
endif

.PHONY: all engine variants test clean

all: engine

# The engine alone needs neither GoogleTest nor the 32-bit toolchain.
engine:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) -DCORVANEL_BUILD_TESTS=OFF -DCORVANEL_BUILD_BENCH=OFF -DCORVANEL_BUILD_X86=OFF
	cmake --build $(BUILD_DIR) --target corvanel-x64-popcnt --parallel $(JOBS)
	cp $(BUILD_DIR)/corvanel-x64-popcnt $(EXE)

variants:
	cmake -S . -B $(BUILD_DIR)-all $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-all --parallel $(JOBS)

test: variants
	cd $(BUILD_DIR)-all && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-all
	rm -f corvanel-x64-popcnt
