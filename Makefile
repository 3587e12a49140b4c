# make         installs what building needs, builds the five programs into build/bin/
# make run     the same, then starts kalidor on the example (in build/example/)
# make test    also installs what the tests need, builds everything, runs every test
# make bench   the speed of the spectrum pass
# make install installs programs and manual pages (PREFIX, DESTDIR)
MAKEFLAGS += --no-print-directory
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps test-deps configure programs run test bench install pictures clean
# One step after the other: the packages before the build, the build before the run.
.NOTPARALLEL:

all: deps programs

deps:
	@sh scripts/install-deps.sh

test-deps:
	@sh scripts/install-deps.sh --tests

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target programs

run: deps programs
	@sh scripts/run-example.sh $(BUILD)

test: test-deps configure
	@cmake --build $(BUILD) -j $(JOBS)
	@cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

install: programs
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

bench: test-deps configure
	@cmake --build $(BUILD) -j $(JOBS) --target kalidor spectrum_bench batch_bench
	@$(BUILD)/tests/spectrum_bench
	@$(BUILD)/tests/batch_bench

# The README's pictures, rendered from the bundled example.
pictures: deps programs
	@sh scripts/make-pictures.sh $(BUILD)

clean:
	rm -rf $(BUILD)
