# Entry points:
#   make demo     builds the converter alone and converts the bundled sample log
#   make check    builds everything and runs every test, also under the sanitizers
#   make install  installs the program, its manual page and the README
#                 (PREFIX=/usr/local by default; DESTDIR for staging)
#   make package  builds a Debian package of the same files
# Each first has tools/deps install the Debian packages it needs (as root) or
# print the apt-get line that would.
BUILD := build
SANBUILD := build-sanitize
JOBS := $(shell nproc 2>/dev/null || echo 2)
SAMPLE := examples/sample.log
PREFIX ?= /usr/local
DEPS := bash tools/deps

# Top-level steps one after another; each build runs its own jobs in parallel.
.NOTPARALLEL:
.PHONY: all program build demo check test test-sanitize bench install package clean \
	deps-demo deps-build deps-check deps-package

all: build

deps-demo deps-build deps-check deps-package:
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

check: test test-sanitize

bench: build
	$(BUILD)/bench/pellucid_bench

install: program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The .deb lands in $(BUILD), named pellucid_VERSION_ARCH.deb.
package: deps-package program
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(SANBUILD)
