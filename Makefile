# The two commands of the README, and the helpers they share.
#   make test   installs what is missing, builds, checks the layout of the code (clang-format),
#               runs every test (also under ASan + UBSan) and every fuzz target briefly
#   make run    installs what is missing, builds, writes the sample world, starts the viewer
#   make fuzz   builds the libFuzzer targets with clang and runs each for SECONDS (default 60),
#               or for RUNS executions when RUNS is given
#   make bench  builds a Release tree without sanitizers and prints benchmark figures and ratios,
#               the single-threaded ones pinned to one core (KARST_BENCH_CPU), with the processor
#               and the vector code chosen on it (KARST_VECTORS=avx2|sse2|plain narrows it)
#   make windows  cross-builds the four programs for 64-bit Windows into build-windows/bin and packs
#               build-windows/karst-<version>-windows-x64.zip

JOBS ?= $(shell nproc)
SECONDS ?= 60
CMAKE_CONFIGURE = cmake -G Ninja -Wno-dev

.PHONY: deps build build-asan test run fuzz fuzz-build fuzz-brief bench format-check windows-deps \
        windows-configure windows test-windows

deps:
	@bash scripts/install-deps.sh

build: deps
	@$(CMAKE_CONFIGURE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

build-asan: deps
	@$(CMAKE_CONFIGURE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKARST_SANITIZE=ON -DKARST_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)

test: build build-asan format-check
	@echo "== tests (release build) =="
	@ctest --test-dir build --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-brief
	@$(MAKE) --no-print-directory test-windows

# Every C++ file as .clang-format lays it out; nothing is rewritten here.
format-check: deps
	@echo "== format (clang-format, .clang-format) =="
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

run: build
	@./build/bin/karst-viewer

# The fuzz targets, each run on its own corpus with the tag dictionary. Each load gets a budget of
# 64 KiB + 64 x its input (fuzz/fuzz_budget.h), a few MiB for the seeds' sizes: a block of 8 MiB
# or more could only come from an allocation that bypassed the budget, and is a finding.
FUZZ_TARGETS = fuzz_container fuzz_region fuzz_object_library fuzz_frame_set fuzz_nrml fuzz_plan fuzz_plnr \
               fuzz_compose fuzz_info
FUZZ_MALLOC_LIMIT_MB = 8
ifdef RUNS
FUZZ_LENGTH = -runs=$(RUNS)
FUZZ_LENGTH_TEXT = $(RUNS) executions
else
FUZZ_LENGTH = -max_total_time=$(SECONDS)
FUZZ_LENGTH_TEXT = $(SECONDS) s
endif

FUZZ_OPTIONS = -rss_limit_mb=2560 -timeout=25 -malloc_limit_mb=$(FUZZ_MALLOC_LIMIT_MB) -dict=fuzz/gff.dict \
               -close_fd_mask=3 -print_final_stats=1

# Two campaigns may run at once (scripts/fuzz-campaign.sh): the tree is configured and built
# under a lock.
fuzz-build: deps
	@mkdir -p build-fuzz/artifacts
	@flock build-fuzz/.build-lock sh -c 'CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -S . -B build-fuzz \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKARST_FUZZ=ON -DKARST_BUILD_BENCH=OFF >/dev/null && \
	  cmake --build build-fuzz -j $(JOBS) --target fuzzers'

fuzz: fuzz-build
	@./build-fuzz/bin/write_seeds build-fuzz/corpus
	@set -e; for target in $(FUZZ_TARGETS); do \
	  echo "== $$target ($(FUZZ_LENGTH_TEXT)) =="; \
	  ./build-fuzz/bin/$$target $(FUZZ_LENGTH) $(FUZZ_OPTIONS) \
	    -artifact_prefix=build-fuzz/artifacts/$$target- build-fuzz/corpus/$$target; \
	done

# Part of make test: every target briefly, a fixed number of executions from a fixed random
# seed on a fresh copy of its seeds, so that the run is the same every time.
FUZZ_BRIEF_RUNS = 4000

fuzz-brief: fuzz-build
	@echo "== fuzz targets, $(FUZZ_BRIEF_RUNS) executions each (libFuzzer, clang, ASan + UBSan) =="
	@rm -rf build-fuzz/brief && ./build-fuzz/bin/write_seeds build-fuzz/brief >/dev/null
	@set -e; for target in $(FUZZ_TARGETS); do \
	  log=build-fuzz/brief/$$target.log; \
	  if ./build-fuzz/bin/$$target -runs=$(FUZZ_BRIEF_RUNS) -seed=1 $(FUZZ_OPTIONS) \
	       -artifact_prefix=build-fuzz/artifacts/$$target- build-fuzz/brief/$$target >$$log 2>&1; then \
	    echo "   $$target: $$(sed -n 's/^stat::number_of_executed_units: *//p' $$log) executions, no finding"; \
	  else \
	    tail -n 60 $$log; echo "FAIL: $$target (the input is in build-fuzz/artifacts/)"; exit 1; \
	  fi; \
	done

# Benchmarks want an optimised build of their own, never the sanitizer tree. Five repetitions: on
# a shared virtual machine the same program's times swing by half for seconds at a time, and the
# median of five outlasts a slow spell that the median of three does not.
BENCH_REPETITIONS ?= 5

bench: deps
	@$(CMAKE_CONFIGURE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKARST_SANITIZE=OFF -DKARST_BUILD_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS) --target benchmarks karst-viewer karst-sampleworld
	@bash scripts/bench-report.sh build-bench $(BENCH_REPETITIONS)

# The Windows build: mingw-w64 (posix threads) with cmake/mingw-w64-x86_64.cmake, against static
# libraries that scripts/windows-deps.sh builds once from Debian's source packages.
WINDOWS_PROGRAMS = karst-viewer karst-render karst-gff karst-sampleworld
WINDOWS_LAUNCHERS = $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

windows-deps: deps
	@bash scripts/windows-deps.sh

windows-configure: windows-deps
	@$(CMAKE_CONFIGURE) -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release $(WINDOWS_LAUNCHERS) >/dev/null

# The sample world in the zip is written by the Linux build's karst-sampleworld.
windows: windows-configure
	@cmake --build build-windows -j $(JOBS) --target $(WINDOWS_PROGRAMS)
	@echo "== the programs' DLLs =="
	@bash scripts/check-windows-imports.sh $(WINDOWS_PROGRAMS:%=build-windows/bin/%.exe)
	@$(CMAKE_CONFIGURE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS) --target karst-sampleworld
	@bash scripts/windows-zip.sh build-windows build/bin/karst-sampleworld

# Part of make test: the Windows build's tests under wine64 (ctest runs them through
# scripts/wine-run.sh), then the viewer and karst-render under Wine against the Linux build's
# pictures.
test-windows: windows
	@cmake --build build-windows -j $(JOBS)
	@cmake --build build -j $(JOBS) --target karst-render
	@echo "== tests (Windows build, under Wine) =="
	@# A test that fails under Wine gets one more run: a process Wine failed to start once, with
	@# both cores busy, was seen to fail a test that passed on every run after. A second failure stands.
	@ctest --test-dir build-windows --output-on-failure -j $(JOBS) --repeat until-pass:2
	@echo "== the Windows programs under Wine =="
	@bash scripts/e2e-wine.sh build-windows/bin build/bin
