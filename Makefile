# The two commands of the README, and the helpers they share.
#   make test   installs what is missing, builds, runs every test (also under ASan + UBSan)
#   make run    installs what is missing, builds, writes the sample world, starts the viewer

JOBS ?= $(shell nproc)
SECONDS ?= 60
CMAKE_CONFIGURE = cmake -G Ninja -Wno-dev

.PHONY: deps build build-asan test run fuzz bench

deps:
	@bash scripts/install-deps.sh

build: deps
	@$(CMAKE_CONFIGURE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

build-asan: deps
	@$(CMAKE_CONFIGURE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKARST_SANITIZE=ON -DKARST_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)

test: build build-asan
	@echo "== tests (release build) =="
	@ctest --test-dir build --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

run: build
	@./build/bin/karst-viewer
