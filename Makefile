# make test: install what is missing, build, run every test.
# make run:  install what is missing, build, start the program.
# make package: install what is missing, build, make the Debian package in $(BUILD)/.
BUILD ?= build
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)

.PHONY: deps configure build test run bench package clean
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

run: build
	@if [ -x $(BUILD)/app/zorezaz ]; then $(BUILD)/app/zorezaz; else echo "The main window is not built yet."; fi

# zorezaz_<version>_<arch>.deb; its dependencies come from dpkg-shlibdeps.
package: build
	@cd $(BUILD) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@sed -n 's/^CPack: - package: \(.*\) generated\.$$/Built \1/p' $(BUILD)/cpack.log

clean:
	rm -rf $(BUILD)
