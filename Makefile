# Two entry points for a new user:
#   make demo   builds the converter and converts the bundled sample log
#   make check  builds everything and runs every test, also under the sanitizers
BUILD := build
SANBUILD := build-sanitize
JOBS := $(shell nproc 2>/dev/null || echo 2)
SAMPLE := examples/sample.log

.PHONY: all build demo check test test-sanitize bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p $(BUILD)/demo
	@if [ -f $(SAMPLE) ]; then cp $(SAMPLE) $(BUILD)/demo/sample.log; else : > $(BUILD)/demo/sample.log; fi
	@echo "== $(BUILD)/pellucid $(BUILD)/demo/sample.log"
	@$(BUILD)/pellucid $(BUILD)/demo/sample.log; echo "exit code $$?"
	@echo "== output written to $(BUILD)/demo/sample.nme ($$(wc -l < $(BUILD)/demo/sample.nme) lines); the first sixteen:"
	@head -n 16 $(BUILD)/demo/sample.nme

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=Debug -DPELLUCID_SANITIZE=ON
	cmake --build $(SANBUILD) -j $(JOBS)
	ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)

check: test test-sanitize

bench: build
	$(BUILD)/bench/pellucid_bench

clean:
	rm -rf $(BUILD) $(SANBUILD)
