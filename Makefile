# Vistrelle: `make run` starts the program on the sample catalogue, `make test` runs every test.

JOBS          ?= $(shell nproc)
BUILD_TYPE    ?= RelWithDebInfo
FUZZ_SECONDS  ?= 300
SMOKE_SECONDS ?= 30
CMAKE         := cmake
CMAKE_FLAGS   ?=
PREFIX        ?= /usr/local

STAGE         := scripts/stage

.PHONY: all deps configure build run test test-stages test-native test-sanitize test-fuzz \
        test-windows checked-build bench fuzz windows install package format clean

all: build

deps:
	@$(STAGE) deps scripts/install-deps

# --- native (Linux) build: the program, its tests, the benchmark
configure: deps
	@$(STAGE) "native build" $(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		$(CMAKE_FLAGS) >/dev/null

build: configure
	@$(STAGE) "native build" $(CMAKE) --build build -j $(JOBS)

run: configure
	@scripts/install-deps run
	@$(CMAKE) --build build -j $(JOBS) --target vistrelle vistrelle_help channel-updater
	@mkdir -p build/run
	@cp build/Help.chm build/run/Help.chm
	@[ -e build/run/channels.dat ] || cp data/channels.dat build/run/channels.dat
	@# Without a display: on a private Xvfb, leaving build/run/screenshot.png.
	@scripts/run-program build/vistrelle build/run

# Installs under PREFIX (default /usr/local); DESTDIR stages the files elsewhere.
install: configure
	@$(CMAKE) --build build -j $(JOBS) --target vistrelle_install_files
	@DESTDIR="$(DESTDIR)" $(CMAKE) --install build --prefix "$(PREFIX)"

# The Debian package: build/vistrelle_<version>_<arch>.deb
package: configure
	@$(CMAKE) --build build -j $(JOBS) --target vistrelle_install_files
	@cd build && cpack -G DEB
	@ls build/vistrelle_*.deb

# Every suite; the time of each stage is printed at the end.
test:
	@$(STAGE) --reset
	@$(MAKE) --no-print-directory test-stages || { $(STAGE) --report; exit 1; }
	@$(STAGE) --report
	@echo "All test suites passed."

test-stages: test-native test-sanitize test-fuzz test-windows

test-native: build
	@cd build && ../$(STAGE) "native tests" ctest --output-on-failure -j $(JOBS)

# One build with clang, AddressSanitizer, UndefinedBehaviorSanitizer and the fuzzer's coverage
# serves both the core's tests under the sanitizers and the fuzz targets.
checked-build: deps
	@CXX=clang++ CC=clang $(STAGE) "checked build" $(CMAKE) -S . -B build/checked \
		-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
		-DCMAKE_C_FLAGS_DEBUG="-O1 -gline-tables-only" -DVISTRELLE_SANITIZE=ON -DVISTRELLE_FUZZ=ON \
		-DVISTRELLE_GUI=OFF -DVISTRELLE_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@$(STAGE) "checked build" $(CMAKE) --build build/checked -j $(JOBS) --target core_tests \
		catalog_fuzz config_fuzz playlist_fuzz updater_fuzz

# The core's tests again, built with the sanitizers.
test-sanitize: checked-build
	@cd build/checked && ../../$(STAGE) "sanitize tests" ctest --output-on-failure -R '^core_tests$$'

# Each fuzz target for a short while, so that they stay alive.
test-fuzz: checked-build
	@$(STAGE) fuzz scripts/run-fuzzers $(SMOKE_SECONDS)

fuzz: checked-build
	@scripts/run-fuzzers $(FUZZ_SECONDS)

bench: deps
	@scripts/install-deps bench
	@$(CMAKE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVISTRELLE_GUI=OFF \
		-DVISTRELLE_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@$(CMAKE) --build build/release -j $(JOBS) --target vistrelle_bench updater_bench
	@$(CMAKE) -S . -B build/win64-bench -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
		-DCMAKE_BUILD_TYPE=Release -DVISTRELLE_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@$(CMAKE) --build build/win64-bench -j $(JOBS) --target vistrelle_win32_bench channel_updater
	@# The Linux updater, then the Windows one on the same answer under Wine (on a private display).
	@scripts/with-xvfb build/release/bench/updater_bench \
		--win32 scripts/wine-run "build/win64-bench/Channel updater.exe"
	@# The same operations through the Win32 window layer, run under Wine beside the Linux figures.
	@scripts/run-bench build/release/bench/vistrelle_bench \
		--win32 build/win64-bench/bench/vistrelle_win32_bench.exe
	@# The Linux window under Xvfb, without and with an accessibility client listening; then
	@# channels playing in its web view.
	@$(CMAKE) -S . -B build/gtk-bench -DCMAKE_BUILD_TYPE=Release -DVISTRELLE_TESTS=OFF \
		$(CMAKE_FLAGS) >/dev/null
	@$(CMAKE) --build build/gtk-bench -j $(JOBS) --target vistrelle_bench vistrelle_gtk_bench \
		vistrelle_atspi_listener vistrelle_stream_bench
	@scripts/run-gtk-bench build/gtk-bench/bench
	@scripts/with-xvfb build/gtk-bench/bench/vistrelle_stream_bench 2>/dev/null

# --- Windows: the 32-bit release, and a 64-bit build of the same code (the same optimisation)
# with the tests, run under Wine.
windows: deps
	@$(STAGE) "windows build" $(CMAKE) -S . -B build/win32 \
		-DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
		-DVISTRELLE_TESTS=OFF -DVISTRELLE_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@$(STAGE) "windows build" $(CMAKE) --build build/win32 -j $(JOBS)
	@$(STAGE) "windows build" $(CMAKE) --build build/win32 --target release
	@$(STAGE) "windows build" $(CMAKE) -S . -B build/win64 \
		-DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
		$(CMAKE_FLAGS) >/dev/null
	@# Wine's prefixes for the tests (the installer's is its own) are made meanwhile; the tests
	@# wait for them if need be.
	@{ scripts/wine-run --prepare build/win64; VISTRELLE_WINEPREFIX=$(CURDIR)/build/win64/installer-prefix \
		scripts/wine-run --prepare build/win64; } >build/win64/wineprefix.log 2>&1 &
	@$(STAGE) "windows build" $(CMAKE) --build build/win64 -j $(JOBS)
	@scripts/check-windows-build build/win32

test-windows: windows
	@$(STAGE) "wine tests" scripts/wine-tests build/win64

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
