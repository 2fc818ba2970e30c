# Entry points for people and CI. Every target installs what is missing first.
BUILD      ?= build
GENERATOR  ?= Ninja
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 300
FUZZ_TARGET ?=
JOBS       ?= $(shell nproc)
TSAN_BUILD ?= build-tsan
PREFIX     ?= /usr/local
SOAK_MINUTES ?= 30

.PHONY: all deps deps-test configure build test demo bench test-asan test-tsan test-tsan-ci fuzz \
        clean install screenshots package soak

all: build

deps:
	@./scripts/install-deps.sh

# What only the tests and the package need (help2man, lintian, ...): not for a first demo.
deps-test: deps
	@./scripts/install-deps.sh --test

configure: deps
	@cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The test packages come first, so that the build configures the man pages and icons.
test: deps-test
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package in $(BUILD), checked by lintian.
package: deps-test
	@$(MAKE) --no-print-directory build
	@./scripts/package.sh $(BUILD)

# The programs into $(PREFIX)/bin (PREFIX=/usr/local by default, e.g. PREFIX=$$HOME/.local).
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

demo: build
	@./scripts/demo.sh $(BUILD)

screenshots: build
	@./scripts/screenshots.sh $(BUILD)

bench: build
	@./scripts/bench.sh $(BUILD)

# A station watching a 50 Hz stream for SOAK_MINUTES (not in CI): memory and lost frames.
soak: build
	@./scripts/soak.py $(BUILD) $(SOAK_MINUTES)

test-asan: deps
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_ARGS="-DSK_SANITIZE=address,undefined $(CMAKE_ARGS)"

test-tsan: deps
	@$(MAKE) --no-print-directory test BUILD=$(TSAN_BUILD) CMAKE_ARGS="-DSK_SANITIZE=thread $(CMAKE_ARGS)"

# ThreadSanitizer over the suites where our threads meet, built alone: small enough for CI.
test-tsan-ci: deps
	@cmake -S . -B $(TSAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSK_SANITIZE=thread $(CMAKE_ARGS) >/dev/null
	@cmake --build $(TSAN_BUILD) --target tsan-ci-suites -j $(JOBS)
	cd $(TSAN_BUILD) && ctest -L tsan-ci --output-on-failure -j $(JOBS)

fuzz: deps
	@cmake -S . -B build-fuzz -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSK_FUZZ=ON >/dev/null
	@cmake --build build-fuzz --target fuzz_rrd_read fuzz_params_read -j $(JOBS)
	@./scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGET)

clean:
	rm -rf build build-asan $(TSAN_BUILD) build-fuzz
