# The two commands of the README, and the helpers they share.
#   make test   installs what is missing, builds, checks the layout of the code (clang-format),
#               runs every test (also under ASan + UBSan), every fuzz target briefly and the
#               Windows build's tests under Wine, and ends with the time each stage took
#               (scripts/test-all.sh)
#   make run    installs what is missing, builds, writes the sample world, starts the viewer
#   make fuzz   builds the libFuzzer targets with clang and runs each for SECONDS (default 60),
#               or for RUNS executions when RUNS is given
#   make bench  builds a Release tree without sanitizers and prints benchmark figures and ratios,
#               the single-threaded ones pinned to one core (KARST_BENCH_CPU), with the processor
#               and the vector code chosen on it (KARST_VECTORS=avx2|sse2|plain narrows it)
#   make windows  cross-builds the five programs for 64-bit Windows into build-windows/bin and packs
#               build-windows/karst-<version>-windows-x64.zip
#   make deb    builds the Debian package build-deb/karst-viewer_<version>_<arch>.deb with
#               debhelper (scripts/deb-check.sh checks it with lintian and apt)
#
# Every tree compiles through ccache, its folder in the cache that every clone on the machine
# shares: $(KARST_CACHE), by default ~/.cache/karst (the Windows dependencies are kept there
# too, scripts/windows-deps.sh). KARST_NO_CACHE=1 builds without any cache.

JOBS ?= $(shell nproc)
SECONDS ?= 60
CMAKE_CONFIGURE = cmake -G Ninja -Wno-dev
KARST_CACHE ?= $(HOME)/.cache/karst
ifeq ($(KARST_NO_CACHE),1)
CCACHE_DIR_OPTION =
else
CCACHE_DIR_OPTION = $(abspath $(KARST_CACHE))/ccache
endif
CACHE_OPTIONS = -DKARST_CCACHE_DIR=$(CCACHE_DIR_OPTION)
export KARST_CACHE
# Warnings are errors in the trees of make run and make test, never in a build someone else starts
# (a plain cmake, a distribution's package): a new compiler's new warning must not cost a user the
# program.
WERROR = -DKARST_WERROR=ON
# The release tree has the flags of a plain Release build (-O3), so the gate compiles what users
# compile.
RELEASE_TREE = $(CMAKE_CONFIGURE) -S . -B build -DCMAKE_BUILD_TYPE=Release -DKARST_BUILD_BENCH=OFF $(WERROR) \
               $(CACHE_OPTIONS)

.PHONY: deps build build-asan test run fuzz fuzz-build fuzz-brief bench format-check windows-deps \
        windows-configure windows test-windows test-windows-units test-windows-e2e test-release test-asan deb \
        screenshots

deps:
	@bash scripts/install-deps.sh

# The release tree: GCC, as a plain Release build; the benchmarks have a tree of their own.
build: deps
	@$(RELEASE_TREE) >/dev/null
	@cmake --build build -j $(JOBS)

# One clang tree for the sanitizers and the fuzzers: every target compiled with ASan + UBSan and
# the fuzzer's coverage instrumentation, the tests run against it, the fuzz targets linked with
# libFuzzer in the same tree.
build-asan: deps
	@CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_C_FLAGS_DEBUG=-O1 -g" \
	  "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DKARST_SANITIZE=ON -DKARST_FUZZ=ON -DKARST_BUILD_BENCH=OFF $(WERROR) \
	  $(CACHE_OPTIONS) >/dev/null
	@cmake --build build-asan -j $(JOBS)

test:
	@bash scripts/test-all.sh

test-release: build
	@echo "== tests (release build) =="
	@ctest --test-dir build --output-on-failure -j $(JOBS)

test-asan: build-asan
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

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
               fuzz_compose fuzz_info fuzz_roundtrip
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

# The fuzz targets are built in the sanitizer tree. Two campaigns may run at once
# (scripts/fuzz-campaign.sh): the tree is configured and built under a lock.
fuzz-build: deps
	@mkdir -p build-asan/artifacts
	@flock build-asan/.build-lock $(MAKE) --no-print-directory build-asan

fuzz: fuzz-build
	@./build-asan/bin/write_seeds build-asan/corpus
	@set -e; for target in $(FUZZ_TARGETS); do \
	  echo "== $$target ($(FUZZ_LENGTH_TEXT)) =="; \
	  ./build-asan/bin/$$target $(FUZZ_LENGTH) $(FUZZ_OPTIONS) \
	    -artifact_prefix=build-asan/artifacts/$$target- build-asan/corpus/$$target; \
	done

# Part of make test: every target briefly, a fixed number of executions from a fixed random
# seed on a fresh copy of its seeds, with its regression inputs (fuzz/regressions/<target>/) in
# the starting corpus under the same malloc limit, so that the run is the same every time and on every kind
# of machine (docs/reliability.md): the corpus is never read again during the run (-reload=0;
# a reload comes every second, at a point that depends on the machine's speed), no mutation
# copies the operands of a comparison into the input (-use_cmp=0; some are addresses, which
# differ from run to run), and the vector code is the one every x86-64 processor has (the
# longer make fuzz keeps all three, on the machine's own vector code).
FUZZ_BRIEF_RUNS = 4000
FUZZ_BRIEF_ENVIRONMENT = env KARST_VECTORS=sse2

fuzz-brief: fuzz-build
	@echo "== fuzz targets, $(FUZZ_BRIEF_RUNS) executions each (libFuzzer, clang, ASan + UBSan) =="
	@rm -rf build-asan/brief && ./build-asan/bin/write_seeds build-asan/brief >/dev/null
	@set -e; for target in $(FUZZ_TARGETS); do \
	  log=build-asan/brief/$$target.log; \
	  regressions=; if [ -d fuzz/regressions/$$target ]; then regressions=fuzz/regressions/$$target; fi; \
	  if $(FUZZ_BRIEF_ENVIRONMENT) ./build-asan/bin/$$target -runs=$(FUZZ_BRIEF_RUNS) -seed=1 -reload=0 -use_cmp=0 $(FUZZ_OPTIONS) \
	       -artifact_prefix=build-asan/artifacts/$$target- build-asan/brief/$$target $$regressions >$$log 2>&1; then \
	    echo "   $$target: $$(sed -n 's/^stat::number_of_executed_units: *//p' $$log) executions, no finding"; \
	  else \
	    tail -n 60 $$log; echo "FAIL: $$target (the input is in build-asan/artifacts/)"; exit 1; \
	  fi; \
	done

# Benchmarks want an optimised build of their own, never the sanitizer tree. Five repetitions: on
# a shared virtual machine the same program's times swing by half for seconds at a time, and the
# median of five outlasts a slow spell that the median of three does not.
BENCH_REPETITIONS ?= 5

bench: deps
	@$(CMAKE_CONFIGURE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKARST_SANITIZE=OFF -DKARST_BUILD_BENCH=ON \
	  $(CACHE_OPTIONS) >/dev/null
	@cmake --build build-bench -j $(JOBS) --target benchmarks karst-viewer karst-sampleworld
	@bash scripts/bench-report.sh build-bench $(BENCH_REPETITIONS)

# The Windows build: mingw-w64 (posix threads) with cmake/mingw-w64-x86_64.cmake, against static
# libraries that scripts/windows-deps.sh builds from Debian's source packages, once for every
# clone on the machine.
WINDOWS_PROGRAMS = karst-viewer karst-render karst-gff karst-sampleworld karst-workbench

windows-deps: deps
	@bash scripts/windows-deps.sh >/dev/null

windows-configure: deps
	@deps=$$(bash scripts/windows-deps.sh) && \
	  $(CMAKE_CONFIGURE) -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DKARST_WINDOWS_DEPS=$$deps -DCMAKE_BUILD_TYPE=Release $(WERROR) $(CACHE_OPTIONS) >/dev/null

# The sample world in the zip is written by the Linux build's karst-sampleworld.
windows: windows-configure
	@cmake --build build-windows -j $(JOBS) --target $(WINDOWS_PROGRAMS)
	@echo "== the programs' DLLs =="
	@bash scripts/check-windows-imports.sh $(WINDOWS_PROGRAMS:%=build-windows/bin/%.exe)
	@$(RELEASE_TREE) >/dev/null
	@cmake --build build -j $(JOBS) --target karst-sampleworld
	@bash scripts/windows-zip.sh build-windows build/bin/karst-sampleworld

# Part of make test: the Windows build's tests under wine64, each test program in one Wine
# process (scripts/wine-run.sh --test, which starts a program once more only when Wine could not
# start it, and counts that in build-windows/wine-retries.txt), then the viewer and karst-render
# under Wine against the Linux build's pictures.
test-windows: windows
	@$(MAKE) --no-print-directory test-windows-units test-windows-e2e

# The two parts of test-windows, each on a tree that make windows built.
test-windows-units:
	@cmake --build build-windows -j $(JOBS)
	@echo "== tests (Windows build, under Wine) =="
	@rm -f build-windows/wine-retries.txt
	@KARST_WINE_RETRIES=$(CURDIR)/build-windows/wine-retries.txt ctest --test-dir build-windows --output-on-failure -j $(JOBS)
	@echo "   Wine start retries: $$(cat build-windows/wine-retries.txt 2>/dev/null | wc -l)"

test-windows-e2e:
	@cmake --build build -j $(JOBS) --target karst-render
	@echo "== the Windows programs under Wine =="
	@bash scripts/e2e-wine.sh build-windows/bin build/bin

# The README's pictures of the workbench and the viewer, taken of the real programs under Xvfb.
screenshots: build
	@bash scripts/readme-screenshots.sh build/bin docs

# The Debian package, built by dpkg-buildpackage on a copy of the tracked files, offline, through
# the shared compiler cache, without the tests that make test runs (scripts/deb-build.sh).
deb: deps
	@KARST_CCACHE_DIR=$(CCACHE_DIR_OPTION) bash scripts/deb-build.sh $(JOBS)
