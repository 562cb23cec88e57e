# make run   - install what is missing, build, start the application
# make test  - install what is missing, build, run every test through CTest
# make bench - build and run the benchmarks (not part of CI)
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	  echo "No display: starting the application under Xvfb."; \
	  xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD_DIR)/bin/PhoneManager; \
	else \
	  $(BUILD_DIR)/bin/PhoneManager; \
	fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	@for b in $(BUILD_DIR)/bench-bin/bench_*; do echo "== $$b"; ./tests/run-test.sh "$$b" || exit 1; done

clean:
	rm -rf $(BUILD_DIR)
