# Everything a fresh Debian 12 machine needs: `make demo` and `make test` install
# missing system packages, configure, build and run.
BUILD ?= build
JOBS ?= 2
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: deps configure build test demo bench sanitize clean

deps:
	@./tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

demo: build
	@./examples/run-demo.sh $(BUILD)

bench: build
	@./bench/run-all.sh $(BUILD)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, with leak
# detection (tests/lsan.supp names the outside libraries' own leaks). Their builds do
# not run under the qemu-user emulator, so a kernel without 32-bit support stops here.
sanitize: deps
	@if [ "$$(./tools/i386-support.sh status)" != native ]; then \
	  echo "make sanitize needs a kernel that runs 32-bit programs natively: sanitizer builds do not run under the qemu-user emulator that this machine uses." >&2; \
	  exit 1; \
	fi
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKS_SANITIZE=ON >/dev/null
	@cmake --build build-sanitize -j$(JOBS)
	@cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j$(JOBS) --timeout 600

clean:
	@rm -rf $(BUILD) build-sanitize
