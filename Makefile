# make        builds the programs into build/bin/
# make run    installs what is missing, builds, starts kalidor on the example
# make test   installs what is missing, builds, runs every test
# make install installs programs and manual pages (PREFIX, DESTDIR)
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PROGRAMS = kalidor sexadec lapsor tempconv

.PHONY: all deps configure programs run test bench install pictures clean

all: programs

deps:
	@sh scripts/install-deps.sh

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

run: deps programs
	@sh scripts/run-example.sh $(BUILD)

test: deps configure
	@cmake --build $(BUILD) -j $(JOBS)
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: programs
	@cmake --build $(BUILD) -j $(JOBS) --target bandpng
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

bench: deps configure
	@cmake --build $(BUILD) -j $(JOBS) --target kalidor spectrum_bench batch_bench
	@$(BUILD)/tests/spectrum_bench
	@$(BUILD)/tests/batch_bench

# The README's pictures, rendered from the bundled example.
pictures: deps programs
	@cmake --build $(BUILD) -j $(JOBS) --target bandpng
	@sh scripts/make-pictures.sh $(BUILD)

clean:
	rm -rf $(BUILD)
