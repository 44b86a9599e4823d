# Convenience front for the CMake build, in the shape engine testers (OpenBench) expect:
#   make                      builds the popcount engine (Release) as ./corvanel-x64-popcnt
#   make EXE=/path/to/engine  puts it at that path instead (folders made as needed)
#   make CXX=clang++          builds with another compiler; CC=gcc or CC=clang picks the C++
#                             compiler of that family (g++, clang++) when CXX is not given
#   make EVALFILE=net.nnue    embeds that network instead of eval/default.nnue (any target)
#   make variants             builds all three deliverables into $(BUILD_DIR)
#   make test                 builds everything and runs the test suite
#   make windows              cross-compiles the three Windows programs (MinGW-w64) into
#                             $(WINDOWS_DIR): corvanel-x64.exe, corvanel-x64-popcnt.exe, corvanel-x86.exe
#   make clean                removes the build directories and the copied engine

BUILD_DIR ?= build-make
WINDOWS_DIR ?= build-windows
EXE ?= corvanel-x64-popcnt
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# The network to embed, made absolute (CMake runs from the build folder); always passed, so that a
# build without EVALFILE goes back to the default.
EVALFILE ?=
EVALFILE_FLAG := -DCORVANEL_EVALFILE=$(if $(EVALFILE),$(abspath $(EVALFILE)),)

CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Release $(EVALFILE_FLAG)
ifneq ($(origin CXX),default)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER=$(CXX)
else ifneq ($(origin CC),default)
# Testers name the compiler with CC whatever the language: gcc-12 means g++-12, clang means
# clang++, cc means c++; a C++ compiler named there is taken as it is.
CC_FOLDER := $(if $(findstring /,$(CC)),$(dir $(CC)))
CC_NAME := $(notdir $(CC))
ifneq ($(findstring ++,$(CC_NAME)),)
CXX_FROM_CC := $(CC)
else ifeq ($(CC_NAME),cc)
CXX_FROM_CC := $(CC_FOLDER)c++
else
CXX_FROM_CC := $(CC_FOLDER)$(subst gcc,g++,$(subst clang,clang++,$(CC_NAME)))
endif
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER=$(CXX_FROM_CC)
endif

.PHONY: all engine variants test windows clean

all: engine

# The engine alone needs neither GoogleTest nor the 32-bit toolchain.
engine:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) -DCORVANEL_BUILD_TESTS=OFF -DCORVANEL_BUILD_BENCH=OFF -DCORVANEL_BUILD_X86=OFF
	cmake --build $(BUILD_DIR) --target corvanel-x64-popcnt --parallel $(JOBS)
	mkdir -p $(dir $(EXE))
	cp $(BUILD_DIR)/corvanel-x64-popcnt $(EXE)

variants:
	cmake -S . -B $(BUILD_DIR)-all $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)-all --parallel $(JOBS)

test: variants
	cd $(BUILD_DIR)-all && ctest --output-on-failure -j$(JOBS)

# Needs the Debian packages g++-mingw-w64-x86-64-posix and g++-mingw-w64-i686-posix. The programs
# are linked statically: the three .exe files are all a Windows user needs.
WINDOWS_FLAGS := -DCMAKE_BUILD_TYPE=Release $(EVALFILE_FLAG)
windows:
	cmake -S . -B $(WINDOWS_DIR)-x64 $(WINDOWS_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WINDOWS_DIR)-x64 --parallel $(JOBS)
	cmake -S . -B $(WINDOWS_DIR)-x86 $(WINDOWS_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
	cmake --build $(WINDOWS_DIR)-x86 --parallel $(JOBS)
	mkdir -p $(WINDOWS_DIR)
	cp $(WINDOWS_DIR)-x64/corvanel-x64.exe $(WINDOWS_DIR)-x64/corvanel-x64-popcnt.exe \
	   $(WINDOWS_DIR)-x86/corvanel-x86.exe $(WINDOWS_DIR)/

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-all $(WINDOWS_DIR) $(WINDOWS_DIR)-x64 $(WINDOWS_DIR)-x86
	rm -f corvanel-x64-popcnt
