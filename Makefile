# The two commands of the README, and the developer targets around them.
#   make run            install what is missing, build, and show the suite at work on the virtual card
#   make test           install what is missing, build, and run every test
#   make test-sanitize  the same tests in a second build with AddressSanitizer and UBSan
#   make test-tsan      the threaded tests (label "threaded") in a build with ThreadSanitizer
#   make bench          the benchmarks, one "name value" line per figure
#   make fuzz           the fuzz targets, each for FUZZ_SECONDS (default 60)
#   make package        the Debian packages (dpkg-buildpackage), into $(PACKAGE_BUILD)/debs
#   make package-test   the Debian packages linted, installed, tried, upgraded and purged (as root)
#   make format         clang-format every source file
#   make format-check   fail when a tracked source file is not laid out as clang-format lays it out
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-sanitize test-tsan bench fuzz package package-test format format-check clean

all: build

deps:
	@scripts/deps.sh build

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/tour.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELORA_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		ctest --output-on-failure -j $(JOBS) --timeout 600

# The build's own output goes to standard error, so that standard output holds only figures.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORA_TSAN=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		ctest --output-on-failure -j $(JOBS) --timeout 600 -L threaded

bench: configure
	@cmake --build $(BUILD) -j $(JOBS) >&2
	@scripts/bench.sh $(BUILD)

fuzz:
	@scripts/deps.sh build fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVELORA_FUZZ=ON -DVELORA_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target velora_fuzz
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

package:
	@scripts/deps.sh build package
	@scripts/package.sh $(PACKAGE_BUILD)

package-test: package
	@tests/package/debian-package-test.sh $(PACKAGE_BUILD)

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

format-check: deps
	@files=$$(git ls-files '*.cpp' '*.h' '*.c') && [ -n "$$files" ] && clang-format --dry-run -Werror $$files

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
