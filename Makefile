# Front door to the CMake build. `make test` is what CI runs.
JOBS ?= $(shell nproc)
CMAKE ?= cmake

.PHONY: all build test unit demo bench soak fuzz format clean

all: build

build:
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVEN_TESTS=OFF
	$(CMAKE) --build build -j $(JOBS)

# Every test layer, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test:
	$(CMAKE) -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DTORVEN_SANITIZE=ON
	$(CMAKE) --build build-san -j $(JOBS)
	ctest --test-dir build-san --output-on-failure -j $(JOBS) --timeout 600

demo: build
	tools/demo.sh

# A whole station with simulated devices under scheduled faults, measured for lost rows.
# Exit status 1 when a healthy stream lost a row. Example: make soak SOAK_ARGS="--devices 8"
SOAK_ARGS ?= --devices 16 --seconds 120

soak:
	$(MAKE) build
	build/torven-soak --monitor build/torven-monitor $(SOAK_ARGS)

bench:
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTORVEN_TESTS=OFF -DTORVEN_BENCH=ON
	$(CMAKE) --build build-bench -j $(JOBS)
	build-bench/bench/torven-bench

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-san build-bench
