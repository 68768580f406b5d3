# Set up, build, test and measure Korvane on a Debian 12 machine.
BUILD_DIR ?= build
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
SANITIZER_FILES = $(CURDIR)/tests/sanitizers
# Leak reports name the library set-up functions that the suppressions list only when each
# allocation's whole stack is kept (the libraries below have no frame pointers). That unwinder
# deadlocks on code the Mesa driver compiles at run time, so the window tests draw with Mesa's
# plain software driver, kept loaded to the end so that what it holds can be named.
# Qt WebEngine's Chromium frees objects through base classes without virtual destructors.
ASAN_RUN_OPTIONS = detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0:verify_asan_link_order=0:new_delete_type_mismatch=0
MESA_DRIVER = $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so))

# The player, the models and the window: what ThreadSanitizer watches, and their tests' names.
TSAN_PROGRAMS = playback_tests filter_tests snapshot_tests speedandsteps_tests channelview_tests \
	model_tests window_tests threadcheckerfixes
TSAN_TESTS = ^(play|filter|snapshot|beyond|soak|model|durnix\.model|gps\.model|trust\.model|graph|release|ui|settings\.ui|map)\.

.PHONY: all deps build demo test bench package fuzz asan tsan check-sanitizers clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	scripts/demo $(BUILD_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	scripts/run-benchmarks $(BUILD_DIR)/bin

# The Debian package of the build, korvane_<version>_<architecture>.deb in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DKORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/run-fuzzers $(FUZZ_DIR)/bin $(FUZZ_SECONDS)

# The whole suite built with AddressSanitizer (and its leak checker) and UndefinedBehaviorSanitizer;
# the tools the tests start are built with them too.
asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DKORVANE_SANITIZE=address
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ASAN_OPTIONS=$(ASAN_RUN_OPTIONS) \
	LSAN_OPTIONS=suppressions=$(SANITIZER_FILES)/leaks.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LD_PRELOAD=$(MESA_DRIVER) GALLIUM_DRIVER=softpipe DRAW_USE_LLVM=0 \
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# The player, model and window tests built with ThreadSanitizer. Qt Quick draws on the window's own
# thread: its render thread would read the items while the window's thread waits on Qt's locks,
# which the checker cannot see.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DKORVANE_SANITIZE=thread
	cmake --build $(TSAN_DIR) -j $(JOBS) --target $(TSAN_PROGRAMS)
	TSAN_OPTIONS=suppressions=$(SANITIZER_FILES)/threads.supp:halt_on_error=1:die_after_fork=0:detect_deadlocks=0 \
	LD_PRELOAD=$(CURDIR)/$(TSAN_DIR)/lib/libthreadcheckerfixes.so \
	QSG_RENDER_LOOP=basic \
	ctest --test-dir $(TSAN_DIR) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

check-sanitizers: asan tsan

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR) $(ASAN_DIR) $(TSAN_DIR)
