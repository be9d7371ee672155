# The commands a newcomer types. Every target installs what it needs first.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 60
# The fuzz build needs only the components that have fuzz targets.
FUZZ_COMPONENTS ?= exchange;registry;rapi;store;device;ce

PREFIX     ?= /usr/local

.PHONY: all deps configure build run test test-sanitize bench fuzz install screenshots clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Starts the emulated device with the demo databases and opens the desktop
# program (or shows the demo through quorvane-cli); see scripts/run-demo.
run: build
	@scripts/run-demo $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Every benchmark of bench/, one table of ratios against their references.
bench: build
	@scripts/run-bench $(BUILD)

# The unit tests of every reader of outside input (exchanged files, registry
# hives and .reg files, the remote-access protocol, store paths, wceload's
# readers, cli arguments), built with ASan and UBSan in their own folder.
SAN_BUILD      ?= build-sanitize
SAN_COMPONENTS ?= exchange;registry;rapi;store;ce;device;settings;link;explorer;export;cli
SAN_TESTS      ?= exchange_tests registry_hive_test registry_regfile_test registry_cereg_test rapi_tests \
                  store_tests ce_wceload_test cli_unit_tests link_unit_tests export_unit_tests
empty :=
space := $(empty) $(empty)

test-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=ON \
	    -DQUORVANE_COMPONENTS="$(SAN_COMPONENTS)" >/dev/null
	@cmake --build $(SAN_BUILD) -j$(JOBS) --target $(SAN_TESTS)
	@cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS) -L "^($(subst $(space),|,$(strip $(SAN_TESTS))))$$"

# The desktop program and quorvane-cli (with its manual page and bash
# completion), the device programs beside them, the desktop entry and the
# icon under PREFIX (make install PREFIX=~/.local); DESTDIR stages them for a
# package.
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# Draws every window of the desktop program under xvfb-run, against a demo
# device of its own, into $(BUILD)/screenshots/<window>.png.
screenshots: build
	@scripts/make-screenshots $(BUILD)

# Fuzz targets are built with clang, libFuzzer, ASan and UBSan in their own
# build folder; each runs for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600) and
# any finding fails the target.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUORVANE_FUZZ=ON -DQUORVANE_SANITIZE=ON -DQUORVANE_COMPONENTS="$(FUZZ_COMPONENTS)" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_targets
	@scripts/run-fuzz $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(SAN_BUILD)
