# Front door to the CMake build. `make test` is what CI runs.
JOBS ?= $(shell nproc)
CMAKE ?= cmake

.PHONY: all build test unit demo bench soak fuzz windows windows-test package package-deb \
	package-zip format clean

all: build

build:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVEN_TESTS=OFF
	$(CMAKE) --build build -j $(JOBS)

# Every test layer, built with AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz
# targets replayed on their seed corpus and, where clang is installed, a short libFuzzer run.
test:
	tools/install-test-deps.sh
	tools/check-platform-includes.sh
	$(CMAKE) -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DTORVEN_SANITIZE=ON
	$(CMAKE) --build build-san -j $(JOBS)
	@if command -v clang++ >/dev/null; then $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS); \
	else echo "clang++ not found: the libFuzzer run is left out"; fi
	ctest --test-dir build-san --output-on-failure -j $(JOBS) --timeout 600
	$(MAKE) --no-print-directory windows-test
	$(MAKE) --no-print-directory package

# The Windows program, build-win/torven-monitor.exe, and its tests, cross-built with MinGW-w64
# as it is shipped (Release).
windows:
	tools/install-test-deps.sh
	$(CMAKE) -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
		-DTORVEN_LINUX_BUILD=$(CURDIR)/build-san >/dev/null
	$(CMAKE) --build build-win -j $(JOBS)

# The Windows stage of `make test`, under Wine: the unit tests, the driver against the
# simulator through a COM port, and the program itself in tmux. Needs the Linux test build
# (build-san) for the simulator and the tmux-driving tests.
WINE_PREFIX ?= $(CURDIR)/build-win/wine-prefix

windows-test: windows
	tools/wine-session.sh start $(WINE_PREFIX)
	WINEPREFIX=$(WINE_PREFIX) WINEDEBUG=-all ctest --test-dir build-win --output-on-failure \
		-j $(JOBS) --timeout 600; status=$$?; tools/wine-session.sh stop $(WINE_PREFIX); exit $$status

# The remote status of the demo is on http://127.0.0.1:8080/ (DEMO_ARGS= turns it off).
DEMO_ARGS ?= --http 8080

demo: build
	tools/demo.sh $(DEMO_ARGS)

# A whole station with simulated devices under scheduled faults, measured for lost rows.
# Exit status 1 when a healthy stream lost a row. Example: make soak SOAK_ARGS="--devices 8"
SOAK_ARGS ?= --devices 16 --seconds 120

soak:
	$(MAKE) build
	build/torven-soak --monitor build/torven-monitor $(SOAK_ARGS)

# The fuzz targets of tests/fuzz under libFuzzer (clang), each for FUZZ_SECONDS on a working
# copy of its seed corpus; reproducers of failures are kept in build-fuzz/fuzz/.
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 10

fuzz:
	$(CMAKE) -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTORVEN_SANITIZE=ON -DTORVEN_FUZZ=ON >/dev/null
	$(CMAKE) --build build-fuzz -j $(JOBS) --target fuzz_config_reader fuzz_frame_decoder \
		fuzz_request_handler
	tests/fuzz/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# Benchmarks, built as the program is (make build). Real-time figures against simulated
# devices; under two minutes.
bench:
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVEN_TESTS=OFF -DTORVEN_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS)
	build-bench/bench/torven-bench

# The Debian package of a Release build and the Windows zip with an example station; both go
# to PACKAGE_DIR and are checked there.
PACKAGE_DIR ?= build-package/packages
# -O2 as Debian builds (g++ 12 reports false -Wrestrict errors at -O3), with all of Debian's
# hardening flags; no -g, as the packaged programs are stripped.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
DEB_CXXFLAGS = $(filter-out -g,$(shell $(DEB_FLAGS) CXXFLAGS)) $(shell $(DEB_FLAGS) CPPFLAGS)
DEB_LDFLAGS = $(shell $(DEB_FLAGS) LDFLAGS)

package: package-deb package-zip
	tests/package/check-packages.sh $(PACKAGE_DIR)/*.deb $(PACKAGE_DIR)/*.zip

package-deb:
	tools/install-test-deps.sh
	rm -rf $(PACKAGE_DIR)
	$(CMAKE) -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DTORVEN_TESTS=OFF \
		-DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS="$(DEB_CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(DEB_LDFLAGS)" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
	$(CMAKE) --build build-package -j $(JOBS) --target packaged-programs
	cd build-package && cpack -G DEB -B $(abspath $(PACKAGE_DIR))

# The zip holds the very program the Windows stage of the tests ran.
package-zip: windows
	cd build-win && cpack -G ZIP -B $(abspath $(PACKAGE_DIR))

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-san build-bench build-fuzz build-win build-package build-package-win
