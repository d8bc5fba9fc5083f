# make test: install what is missing, build, run every test layer.
# make run:  install what is missing, build, start the editor on a working
#            copy of the demo mix under build/demo.
# make package: build/orvane_VERSION_ARCH.deb, for apt-get install.
# make install [PREFIX=/usr/local] [DESTDIR=...]: install without a package.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build test test-asan test-fuzz run package install clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j$(JOBS)

# Every layer: the sanitizer build of the whole suite (leaks reported, but
# for fontconfig's font cache: tests/lsan.supp), the fuzzers (corpus replay
# and 20 s each), then the plain build's suite.
test: build test-asan test-fuzz
	@ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

ASAN_BUILD ?= build-asan
test-asan: deps
	@[ -f $(ASAN_BUILD)/CMakeCache.txt ] || cmake -S . -B $(ASAN_BUILD) -DORVANE_SANITIZE=ON \
	   -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	   LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	   ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

test-fuzz: deps
	@FUZZ_SEED=1 scripts/fuzz 20

# The demo is copied once, so the repository's copy is never written to.
run: build
	@[ -d $(BUILD)/demo ] || cp -r examples/demo $(BUILD)/demo
	@if [ -x scripts/make-demo-audio ]; then scripts/make-demo-audio $(BUILD)/demo; fi
	@cd $(BUILD)/demo && PATH="$(CURDIR)/$(BUILD):$$PATH" ../orvane

package: build
	@cmake --build $(BUILD) --target package

PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

clean:
	rm -rf $(BUILD)
