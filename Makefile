# make run   - install what is missing, build, start the application
# make test  - install what is missing, build, run every test through CTest
# make bench - build and run every benchmark, list the limits exceeded at the end
#              and fail when any was (not part of CI)
# make fuzz  - build the libFuzzer targets with clang and the sanitizers in
#              build-fuzz and run each for 60 s (not part of CI)
# make format - format every C++ file; make format-check fails on unformatted code
# make translations - bring each library's .ts file up to date with its sources
# make tidy - run clang-tidy (.clang-tidy) over the application's code (CI runs it;
#             installs clang-tidy when missing)
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench fuzz clean format format-check translations tidy

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
	  QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" xvfb-run -a -s "-screen 0 1280x800x24" $(BUILD_DIR)/bin/PhoneManager; \
	else \
	  $(BUILD_DIR)/bin/PhoneManager; \
	fi

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	@./scripts/run-benchmarks.sh $(BUILD_DIR)/bench-bin

fuzz: deps
	@./scripts/run-fuzz.sh

FORMAT_FILES = git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h'

format: deps
	$(FORMAT_FILES) | xargs clang-format -i

format-check: deps
	$(FORMAT_FILES) | xargs clang-format --dry-run --Werror

tidy: build
	@command -v run-clang-tidy >/dev/null || ./scripts/install-deps.sh clang-tidy
	run-clang-tidy -p $(BUILD_DIR) -j $(JOBS) -quiet '$(CURDIR)/src/'

translations: configure
	cmake --build $(BUILD_DIR) --target update_translations

clean:
	rm -rf $(BUILD_DIR)
