# Wraps CMake: `make` builds into build/, `make test` builds and runs every test (the normal
# build and its AddressSanitizer+UBSan twins), `make demo` shows quillon on the simulated chip.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all build test demo clean format windows

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The 32-bit Windows build (quillon.exe and the simulated target as io.dll) needs Debian's
# MinGW-w64 cross compiler; `make test` builds it too when the compiler is there, for the Wine test.
WINDOWS_BUILD ?= build-win32
MINGW := $(shell command -v i686-w64-mingw32-g++ 2>/dev/null)

$(WINDOWS_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DQUILLON_TESTS=OFF

windows: $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

test: build $(if $(MINGW),windows)
	cd $(BUILD) && ctest --output-on-failure --no-label-summary -j $(JOBS)

# The simulated ATmega16 keeps its memories and fuses in $(BUILD)/demo-chip between demos.
demo: build
	mkdir -p $(BUILD)/demo-chip
	QUILLON_SIM_STATE=$(BUILD)/demo-chip $(BUILD)/quillon-sim \
		-dfexamples/blink.hex -uf$(BUILD)/demo-chip/upload.hex -s </dev/null

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)

# The memory commands' timings on the simulated chip (full-flash df and uf, HEX read and write).
.PHONY: bench
bench: build
	LD_LIBRARY_PATH=$(BUILD)/sim $(BUILD)/quillon_bench $(BUILD)/sim/libio.so

# Static analysis of the whole tree: clang-tidy (checks in .clang-tidy) and cppcheck. Also run by
# `make test` as the tests lint.clang-tidy and lint.cppcheck.
.PHONY: lint
lint: build
	tests/lint/lint.sh clang-tidy $(BUILD)
	tests/lint/lint.sh cppcheck $(BUILD)

# The fuzzers (tests/fuzz), built by clang into $(BUILD)/fuzz, each run for FUZZ_SECONDS;
# `make -j2 fuzz` runs two at a time. What they find lands in $(BUILD)/fuzz/findings/NAME/.
# `make test` runs each for a few seconds.
FUZZ_SECONDS ?= 600
FUZZERS := hex_reader interpreter hex_roundtrip
.PHONY: fuzz fuzz-build $(addprefix fuzz-,$(FUZZERS))
fuzz: $(addprefix fuzz-,$(FUZZERS))
fuzz-build: build
	cmake --build $(BUILD) --target quillon_fuzzers
$(addprefix fuzz-,$(FUZZERS)): fuzz-%: fuzz-build
	tests/fuzz/run_fuzzer.sh $(BUILD)/fuzz $* $(FUZZ_SECONDS)

# The soak run: 10000 mixed command words at the prompt against the simulated chip, watching
# memory, file descriptors and every download's verification (about ten minutes).
.PHONY: soak
soak: build
	tests/soak/soak.sh $(BUILD)
