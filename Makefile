# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps build run run-sorter run-gate run-tank test test-sanitize bench install screenshot fuzz clean deb test-deb

all: build

deps:
	@bash scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Starts the simulator with the bundled washing-programme controller.
run: build
	@bash scripts/run-sudz $(BUILD)

# Starts the sorting line with the bundled sorting-programme controller.
run-sorter: build
	@bash scripts/run-sorter $(BUILD)

# Starts the automatic gate with the bundled gate-programme controller.
run-gate: build
	@bash scripts/run-gate $(BUILD)

# Starts the heated tank with the bundled PID controller.
run-tank: build
	@bash scripts/run-tank $(BUILD)

# Every test, under a private Xvfb where a test needs a display.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with the address and undefined-behaviour sanitizers.
test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DSUDZ_SANITIZE=ON -DSUDZ_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Debian packages sudz, sudz-dev and python3-sudz in $(BUILD)/deb/, from a tree of their own
# configured for /usr with Debian's compiler and linker flags; install them on a lab's
# machines with `apt install ./$(BUILD)/deb/*.deb`.
DEB_TREE ?= $(BUILD)/deb/tree
deb: deps
	CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B $(DEB_TREE) -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
	  -DSUDZ_TESTS=OFF -DSUDZ_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(DEB_TREE) -j $(JOBS)
	rm -f $(BUILD)/deb/*.deb
	cd $(DEB_TREE) && cpack -G DEB -B "$(abspath $(BUILD))/deb"
	@ls $(BUILD)/deb/*.deb

# The packages built, checked by lintian, installed on this machine, tried and removed again
# (needs root; CI runs it last, on a throwaway machine).
test-deb: deb
	bash tests/packaging/deb_test.sh $(BUILD)/deb

bench: build
	@bash scripts/run-bench $(BUILD)

# Every picture of the README, each made under its own Xvfb:
# scripts/screenshot makes docs/machine.png, scripts/screenshot-<program> the others.
screenshot: build
	@bash scripts/screenshot $(BUILD) docs/machine.png
	@for s in scripts/screenshot-*; do [ -f "$$s" ] && bash "$$s" $(BUILD) || exit 1; done

# Every libFuzzer target (scripts/fuzz-*), a minute each; not part of CI.
fuzz:
	@for s in scripts/fuzz-*; do [ -f "$$s" ] && bash "$$s" || exit 1; done

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz
