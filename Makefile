# The two commands of a newcomer: `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: deps configure build demo test test-core test-asan bench format clean

deps:
	bash scripts/install-deps.sh

$(BUILD)/build.ninja: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/build.ninja

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The kiosk's main job on the simulated camera.
demo: build
	bash scripts/demo.sh $(BUILD)

# Every test, then the core tests again under AddressSanitizer + UBSan.
test: build
	bash scripts/run-tests.sh $(BUILD)
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKLIK_SANITIZE=ON \
	      -DKLIK_BUILD_UI=OFF -DKLIK_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	bash scripts/run-tests.sh $(ASAN_BUILD) -L core

bench: build
	$(BUILD)/bench/klik_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) demo-out
