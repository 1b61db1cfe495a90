# Entry points:
#   make demo     builds the converter alone and converts the bundled sample log
#   make check    builds everything and runs every test, also under the sanitizers
#                 (ThreadSanitizer too, when clang is present) and on Windows, under Wine,
#                 when the cross compiler and Wine are present
#   make install  installs the program, its manual page and the README
#                 (PREFIX=/usr/local by default; DESTDIR for staging)
#   make package  builds a Debian package of the same files
#   make check-windows, make package-windows
#                 cross-build for Windows: the tests under Wine, the .zip
#   make fuzz     runs each fuzz target for FUZZ_SECONDS (60) seconds
#   make format-check  lists the source files clang-format would lay out otherwise
# Each first has tools/deps install the Debian packages it needs (as root) or
# print the apt-get line that would.
BUILD := build
SANBUILD := build-sanitize
TSANBUILD := build-tsan
JOBS := $(shell nproc 2>/dev/null || echo 2)
SAMPLE := examples/sample.log
PREFIX ?= /usr/local
DEPS := bash tools/deps

# Top-level steps one after another; each build runs its own jobs in parallel.
.NOTPARALLEL:
.PHONY: all program build demo check test test-sanitize test-tsan bench install package clean format-check \
	fuzz deps-demo deps-build deps-check deps-tsan deps-package deps-fuzz deps-windows deps-format

all: build

deps-demo deps-build deps-check deps-tsan deps-package deps-fuzz deps-windows deps-format:
	@$(DEPS) $(@:deps-%=%)

# The converter alone: no test, no GoogleTest. A build folder already set up
# with the tests keeps them, so that demo and check share one build.
program: deps-demo
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $$([ -f $(BUILD)/CMakeCache.txt ] || echo -DPELLUCID_TESTS=OFF)
	cmake --build $(BUILD) -j $(JOBS) --target pellucid

build: deps-build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPELLUCID_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

demo: program
	@mkdir -p $(BUILD)/demo
	@if [ -f $(SAMPLE) ]; then cp $(SAMPLE) $(BUILD)/demo/sample.log; else : > $(BUILD)/demo/sample.log; fi
	@echo "== $(BUILD)/pellucid $(BUILD)/demo/sample.log"
	@$(BUILD)/pellucid $(BUILD)/demo/sample.log; echo "exit code $$?"
	@echo "== output written to $(BUILD)/demo/sample.nme ($$(wc -l < $(BUILD)/demo/sample.nme) lines); the first sixteen:"
	@head -n 16 $(BUILD)/demo/sample.nme

test: deps-check build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps-check
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DPELLUCID_SANITIZE=ON
	cmake --build $(SANBUILD) -j $(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)

# The suite built with clang's ThreadSanitizer: the formatter thread and all
# it shares with the conversion, the program the tests run included. The
# long checks of number texts against the C library run on one thread and
# share nothing; the other two builds run them, here they would take minutes.
TSAN_SKIP := ascii_fields.reals_round|writer.every_sentence_kind|writer.mixed_records|fields.fixed_point
test-tsan: deps-tsan
	cmake -S . -B $(TSANBUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPELLUCID_TSAN=ON
	cmake --build $(TSANBUILD) -j $(JOBS)
	ctest --test-dir $(TSANBUILD) --output-on-failure -j $(JOBS) -E '$(TSAN_SKIP)'

check: test test-sanitize
# make check runs the ThreadSanitizer suite too where clang is at hand
# (tools/deps check installs it when run as root).
ifneq ($(shell command -v clang++ 2>/dev/null),)
check: test-tsan
endif

# Every source file as the tree's .clang-format lays it out; lists those that
# are not and fails (clang-format -i FILE mends one).
FORMATTED := $(shell git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
	'fuzz/*.cpp' 'tools/*.cpp' 'tools/*.h' 2>/dev/null)
format-check: deps-format
	@bad=0; for f in $(FORMATTED); do \
	  clang-format --dry-run -Werror "$$f" >/dev/null 2>&1 || { echo "not formatted: $$f"; bad=1; }; \
	done; exit $$bad

bench: build
	$(BUILD)/bench/pellucid_bench

install: program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The .deb lands in $(BUILD), named pellucid_VERSION_ARCH.deb.
package: deps-package program
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TSANBUILD) $(FUZZBUILD)

# Fuzzing with clang's libFuzzer under AddressSanitizer and UBSan: each
# target runs for FUZZ_SECONDS over its seeds (made from the sample and the
# frame builder) and the corpus it has grown before. A finding stops the
# run; the input that caused it is left in build-fuzz/findings.
FUZZBUILD := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := convert frames names text time

fuzz: deps-fuzz
	cmake -S . -B $(FUZZBUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPELLUCID_FUZZ=ON -DPELLUCID_TESTS=OFF
	cmake --build $(FUZZBUILD) -j $(JOBS) --target fuzz_seeds $(FUZZ_TARGETS:%=fuzz_%)
	$(FUZZBUILD)/fuzz/fuzz_seeds $(FUZZBUILD)/seeds
	@mkdir -p $(FUZZBUILD)/findings
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZBUILD)/corpus/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  quiet=; [ $$t = names ] && quiet=-close_fd_mask=2; \
	  if ! $(FUZZBUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) $$quiet \
	      -artifact_prefix=$(FUZZBUILD)/findings/$$t- \
	      $(FUZZBUILD)/corpus/$$t $(FUZZBUILD)/seeds/$$t > $(FUZZBUILD)/fuzz_$$t.log 2>&1; then \
	    tail -n 40 $(FUZZBUILD)/fuzz_$$t.log; exit 1; \
	  fi; \
	  grep -E '^Done' $(FUZZBUILD)/fuzz_$$t.log; \
	done

# --- Windows: the program and the whole test suite cross-built with MinGW-w64,
# the tests run under Wine, and the download made from the same build.
WINBUILD := build-windows
WINE := /usr/lib/wine/wine64
MINGW_CXX := x86_64-w64-mingw32-g++-posix
GTEST_SOURCE := /usr/src/googletest
WINZIP_VERSION := $(shell sed -n 's/^project.pellucid VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
WINZIP := $(WINBUILD)/pellucid-$(WINZIP_VERSION)-win64.zip
# Wine keeps its Windows folders in the build, away from the user's ~/.wine,
# and runs without debug chatter or offers to install Mono and Gecko.
WINEENV := WINEPREFIX=$(abspath $(WINBUILD))/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

.PHONY: configure-windows build-windows check-windows clean-windows package-windows

clean: clean-windows
clean-windows:
	rm -rf $(WINBUILD)

# make check runs the Windows tests too where it can.
ifneq ($(and $(shell command -v $(MINGW_CXX)),$(wildcard $(WINE)),$(wildcard $(GTEST_SOURCE)/CMakeLists.txt)),)
check: check-windows
endif

configure-windows: deps-windows
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DPELLUCID_GTEST_SOURCE=$(GTEST_SOURCE) \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=env;$(subst $() ,;,$(WINEENV));$(WINE)"

build-windows: configure-windows
	cmake --build $(WINBUILD) -j $(JOBS)

check-windows: build-windows
	ctest --test-dir $(WINBUILD) --output-on-failure

package-windows: configure-windows
	cmake --build $(WINBUILD) -j $(JOBS) --target pellucid
	rm -rf $(WINBUILD)/zip $(WINZIP)
	mkdir -p $(WINBUILD)/zip
	x86_64-w64-mingw32-strip -o $(WINBUILD)/zip/pellucid.exe $(WINBUILD)/pellucid.exe
	cp README.md LICENSE $(WINBUILD)/zip/
	cd $(WINBUILD)/zip && cmake -E tar cf ../$(notdir $(WINZIP)) --format=zip pellucid.exe README.md LICENSE
	@echo "== $(WINZIP)"; cmake -E tar tvf $(WINZIP)
