# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the program.
# make package: install what is missing, build, make the Debian package in $(BUILD)/.
# make fuzz: the libFuzzer targets (clang, ASan+UBSan) in $(FUZZ_BUILD)/fuzz/fuzz_*.
# make fuzz-replay: every seed and past failure through the same entry points
#            under ASan+UBSan, the corpus heads too when ../shared/corpus is there.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
CORPUS ?= ../shared/corpus
FUZZ_TARGETS := scan exif iptc clean png webp heif movie
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)

.PHONY: deps configure build test run bench package clean fuzz-deps fuzz-configure fuzz fuzz-replay
deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Benchmarks: the batch run beside cp on the same files, the finder beside find.
bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target bench
	@$(BUILD)/bench/bench_batch $(BUILD)/app/zorezaz-cli
	@$(BUILD)/bench/bench_find_walk
	@$(BUILD)/bench/bench_iptc_parse
	@$(BUILD)/bench/bench_exif_hostile
	@QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench_window_stop

run: build
	@if [ -x $(BUILD)/app/zorezaz ]; then $(BUILD)/app/zorezaz; else echo "The main window is not built yet."; fi

# zorezaz_<version>_<arch>.deb; its dependencies come from dpkg-shlibdeps.
package: build
	@cd $(BUILD) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@sed -n 's/^CPack: - package: \(.*\) generated\.$$/Built \1/p' $(BUILD)/cpack.log

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)

fuzz-deps:
	@bash scripts/install-deps.sh fuzz

fuzz-configure: fuzz-deps
	@cmake -S . -B $(FUZZ_BUILD) -DZOREZAZ_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
	       -DCMAKE_BUILD_TYPE=Fuzz >/dev/null

fuzz: fuzz-configure
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target zz_fuzzers

# A replay, not a fuzzing session: any sanitizer report or broken invariant
# aborts its program and fails the run.
fuzz-replay: fuzz-configure
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target zz_replays
	@bash fuzz/extract-seeds.sh $(CORPUS) $(FUZZ_BUILD)/fuzz/corpus-seeds
	@set -e; for t in $(FUZZ_TARGETS); do \
	  extra=$(FUZZ_BUILD)/fuzz/corpus-seeds/$$t; [ -d $$extra ] || extra=; \
	  hostile=../shared/corpus-formats/heif-hostile; \
	  [ $$t = heif ] && [ -d $$hostile ] && extra="$$extra $$hostile"; \
	  ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
	  $(FUZZ_BUILD)/fuzz/replay_$$t fuzz/seeds/$$t fuzz/regress/$$t $$extra; \
	done
