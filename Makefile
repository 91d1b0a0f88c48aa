# The two entry points: `make run` starts the viewer, `make test` runs every test.
# Both install what is missing from Debian first, then configure and build.

BUILD      ?= build
SAN_BUILD  ?= build-san
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
# The sanitizer builds: -O1 with line tables only, as the sanitizers advise; it compiles in half the
# time of -O2 -g and reports every fault with its line.
SAN_FLAGS  ?= -O1 -g1 -DNDEBUG

.PHONY: all deps build run test format-check test-main test-san test-tsan fuzz bench install clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The viewer on the first bundled sample; Previous and Next step through the others.
run: build
	$(BUILD)/qt/taloran $(BUILD)/samples/field_01.tif

test: format-check test-main test-san test-tsan fuzz

# Every C++ file as .clang-format lays it out.
format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

test-main: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-san: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SAN_FLAGS)" \
	  -DTALORAN_SANITIZE=ON -DTALORAN_BENCH=OFF
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan_suppressions.txt \
	  ctest -j $(JOBS) --output-on-failure

# The suites of the code that runs on several threads (the run layer's drivers, the batch's and
# export's workers, the statistics, export and flight map jobs) built with ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SAN_FLAGS)" \
	  -DTALORAN_TSAN=ON -DTALORAN_VIEWER=OFF -DTALORAN_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target runner_test batch_test export_test mosaic_test statistics_job_test export_job_test \
	  flight_map_presenter_test
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest -j $(JOBS) --output-on-failure

# libFuzzer over the reader, the metadata decoding and a render, from real captures (whole, cut and
# corrupted, up to a whole capture's size), then over the calibration files, camera profiles and
# journals, for a bounded time in all. fuzz/corpus holds what earlier campaigns found.
CAPTURE_FUZZ_SECONDS ?= 45
SMALL_FUZZ_SECONDS   ?= 15
fuzz: build
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SAN_FLAGS)" \
	  -DTALORAN_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target capture_fuzz small_files_fuzz
	rm -rf $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/small
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/small
	cp fuzz/corpus/small/* $(FUZZ_BUILD)/small/
	# Two control bytes (the view, the index), then the file: whole, cut short, and with bytes overwritten.
	(printf '\000\005'; cat $(BUILD)/samples/field_01.tif) > $(FUZZ_BUILD)/corpus/whole.tif
	(printf '\020\001'; head -c 2000000 $(BUILD)/samples/field_05.tif) > $(FUZZ_BUILD)/corpus/cut.tif
	(printf '\000\011'; head -c 400 $(BUILD)/samples/field_12.tif) > $(FUZZ_BUILD)/corpus/header.tif
	cp $(FUZZ_BUILD)/corpus/whole.tif $(FUZZ_BUILD)/corpus/corrupt.tif
	printf '\377\377\377\377' | dd of=$(FUZZ_BUILD)/corpus/corrupt.tif bs=1 seek=90 conv=notrunc status=none
	$(FUZZ_BUILD)/fuzz/capture_fuzz -max_total_time=$(CAPTURE_FUZZ_SECONDS) -max_len=4300000 -print_final_stats=1 \
	  $(FUZZ_BUILD)/corpus 2>&1 | tail -n 25
	$(FUZZ_BUILD)/fuzz/small_files_fuzz -max_total_time=$(SMALL_FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	  $(FUZZ_BUILD)/small 2>&1 | tail -n 25

bench: build
	$(BUILD)/bench/core_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
	$(BUILD)/bench/cli_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
	$(BUILD)/bench/viewer_bench

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
