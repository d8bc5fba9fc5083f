# make test: install what is missing, build, run every test layer.
# make run:  install what is missing, build, start the editor on a working
#            copy of the demo mix under build/demo.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test run clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The demo is copied once, so the repository's copy is never written to.
run: build
	@[ -d $(BUILD)/demo ] || cp -r examples/demo $(BUILD)/demo
	@if [ -x scripts/make-demo-audio ]; then scripts/make-demo-audio $(BUILD)/demo; fi
	@cd $(BUILD)/demo && PATH="$(CURDIR)/$(BUILD):$$PATH" ../orvane

clean:
	rm -rf $(BUILD)
