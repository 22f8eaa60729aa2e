# Wraps CMake: `make` builds into build/, `make test` builds and runs every test (the normal
# build and its AddressSanitizer+UBSan twins), `make demo` shows quillon on the simulated chip.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all build test demo clean format

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure --no-label-summary -j $(JOBS)

# The simulated ATmega16 keeps its memories and fuses in $(BUILD)/demo-chip between demos.
demo: build
	mkdir -p $(BUILD)/demo-chip
	QUILLON_SIM_STATE=$(BUILD)/demo-chip $(BUILD)/quillon-sim \
		-dfexamples/blink.hex -uf$(BUILD)/demo-chip/upload.hex -s </dev/null

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
