# make         installs what building needs, builds the five programs into build/bin/
#              and the Python module into build/python/
# make run     the same, then starts kalidor on the example (in build/example/)
# make test    also installs what the tests need, builds everything, runs every test
# make bench   the speed of the spectrum pass, the even grid's transform, the methods,
#              the batch and the survey run, table reading, the Python module
#              against the survey run
# make install installs programs, manual pages and the Python module (PREFIX, DESTDIR)
# make sanitize builds everything with the address and undefined-behaviour
#               sanitizers in build-asan/ and runs every test there
# make tsan     builds the engine's, the survey run's and the methods' threaded
#               tests with the thread sanitizer in build-tsan/ and runs them there
MAKEFLAGS += --no-print-directory
BUILD ?= build
SANITIZE_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
TSAN_FLAGS = -fsanitize=thread -fno-omit-frame-pointer
# GCC's maybe-uninitialized analysis gives false alarms inside <regex> on
# instrumented code, so that one warning is off in this build only.
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
	-Wno-maybe-uninitialized
PREFIX ?= /usr/local
# The Python the module is built for and tested with: Debian's, whatever
# python3 comes first on PATH.
PYTHON ?= /usr/bin/python3
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps test-deps configure programs run test sanitize tsan bench install pictures clean
# One step after the other: the packages before the build, the build before the run.
.NOTPARALLEL:

all: deps programs

deps:
	@sh scripts/install-deps.sh

test-deps:
	@sh scripts/install-deps.sh --tests

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON) > /dev/null

programs: configure
	@cmake --build $(BUILD) -j $(JOBS) --target programs

run: deps programs
	@sh scripts/run-example.sh $(BUILD)

test: test-deps configure
	@cmake --build $(BUILD) -j $(JOBS)
	@cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# Any report of either sanitizer fails the test that caused it.  The window
# test runs without the leak check: SDL unloads the X libraries it loaded
# when the window closes, and what they keep can then not be told apart.
UNLOADED_LIBRARY_TESTS = screen_real_display
sanitize: test-deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" > /dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && export UBSAN_OPTIONS=print_stacktrace=1 && \
		ASAN_OPTIONS=detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan-suppressions.txt:print_suppressions=0 \
		ctest --output-on-failure -j $(JOBS) -E $(UNLOADED_LIBRARY_TESTS) && \
		ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -R $(UNLOADED_LIBRARY_TESTS)

# Many light curves analysed at once from several threads, in one process
# (the engine's test) and in the survey run (the built kalidor).
tsan: test-deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS="$(TSAN_FLAGS)" -DCMAKE_C_FLAGS="$(TSAN_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(TSAN_FLAGS)" > /dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target engine_test kalidor kalidor_survey_test methods_test
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
		ctest --output-on-failure -j $(JOBS) \
		-R '^(Engine|SurveyRun)\.|^MethodSearch\.GridValues|^MethodDefinitions\.HarmonicGridFromTheFastTransform'

install: programs
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

bench: test-deps configure
	@cmake --build $(BUILD) -j $(JOBS) --target kalidor spectrum_bench batch_bench nufft_bench methods_bench \
		bands_bench survey_bench kalidor_python
	@$(BUILD)/tests/spectrum_bench
	@$(BUILD)/tests/batch_bench
	@$(BUILD)/tests/nufft_bench
	@$(BUILD)/tests/methods_bench
	@$(BUILD)/tests/bands_bench
	@$(BUILD)/tests/survey_bench
	@PYTHONPATH=$(abspath $(BUILD))/python $(PYTHON) tests/bench/analyze_many_bench.py $(BUILD)/bin/kalidor

# The README's pictures, rendered from the bundled example.
pictures: deps programs
	@sh scripts/make-pictures.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD)
