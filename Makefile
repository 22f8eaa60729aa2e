# SPDX-License-Identifier: MIT
# Wraps CMake: `make` builds into build/, `make test` builds and runs every test (the normal
# build and its AddressSanitizer+UBSan twins, the end-to-end tests and short fuzzer runs, all in
# parallel), `make lint` runs the static analysis, `make demo` shows quillon on the simulated chip.
# `make demo` and `make test` first install the Debian packages they need that are missing
# (tools/install-packages); every other target only builds, and never asks for a password.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all configure build test demo clean format windows package

all: build

# The package purposes of tools/install-packages that `make demo` and `make test` install first
# (empty: install nothing), and the configure flags a target adds; `make test` sets both for the
# configure and build it depends on.
PACKAGES =
TEST_PACKAGES ?= build test package analysis windows
CONFIGURE_FLAGS =

# Configuring again is cheap and picks up a changed CMAKE_FLAGS or newly installed packages.
configure:
	$(if $(PACKAGES),tools/install-packages $(PACKAGES))
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(CONFIGURE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The Windows builds need Debian's MinGW-w64 cross compilers: build-win32/ (32-bit) and
# build-win64/ (64-bit), each with quillon.exe, the simulated target as io.dll and the InpOut32
# backend as inpout/io.dll. `make test` builds them too when the compilers are there, for the
# Wine tests.
WINDOWS_BUILD ?= build-win32
WINDOWS64_BUILD ?= build-win64

$(WINDOWS_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DQUILLON_TESTS=OFF

$(WINDOWS64_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DQUILLON_TESTS=OFF

windows: $(WINDOWS_BUILD)/CMakeCache.txt $(WINDOWS64_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cmake --build $(WINDOWS64_BUILD) -j $(JOBS)

# The tests are configured on even where an earlier configure went without them for lack of
# GoogleTest. The cross compilers may have just been installed, hence the check in the recipe.
test: PACKAGES = $(TEST_PACKAGES)
test: CONFIGURE_FLAGS = -DQUILLON_TESTS=ON
test: build
	if command -v i686-w64-mingw32-g++ >/dev/null && command -v x86_64-w64-mingw32-g++ >/dev/null; \
		then $(MAKE) windows; fi
	cd $(BUILD) && ctest --output-on-failure --no-label-summary --no-tests=error -j $(JOBS)

# Only what the demo runs: the program and the simulated target (sim/libio.so; CMake writes its
# launcher quillon-sim while configuring). The simulated ATmega16 keeps its memories and fuses in
# $(BUILD)/demo-chip between demos.
demo: PACKAGES = build
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target quillon io_sim
	mkdir -p $(BUILD)/demo-chip
	QUILLON_SIM_STATE=$(BUILD)/demo-chip $(BUILD)/quillon-sim \
		-dfexamples/blink.hex -uf$(BUILD)/demo-chip/upload.hex -s </dev/null

# The Debian package, in $(BUILD)/package/: `sudo apt install ./$(BUILD)/package/quillon_*.deb`.
package: build
	cd $(BUILD) && cpack

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(WINDOWS64_BUILD)

# The memory commands' timings on the simulated chip (full-flash df and uf, HEX read and write),
# then the Arduino programmer's bytes on the line and their seconds at 19200 baud (df and de
# through the emulated ArduinoISP sketch), then the USBasp's control transfers for df and uf
# through the tests' emulated USBasp.
.PHONY: bench
bench: build
	LD_LIBRARY_PATH=$(BUILD)/sim $(BUILD)/quillon_bench $(BUILD)/sim/libio.so
	$(BUILD)/arduino_bench $(BUILD)/quillon $(BUILD)/arduino $(BUILD)/bench-arduino
	if [ -f $(BUILD)/tests/usbasp-emulated/libio.so ]; then \
		$(BUILD)/quillon_usbasp_bench $(BUILD)/quillon $(BUILD)/tests/usbasp-emulated; \
	else echo "USBasp benchmark skipped: needs the tests built (make test)"; fi

# Static analysis of the whole tree: clang-tidy (checks in .clang-tidy) on every file the build
# compiles, the tests' and fuzzers' included once `make test` has configured them, and cppcheck.
# CI runs it after `make test`.
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
