# The two commands of a newcomer: `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# Unity builds (CMakeLists.txt, KLIK_UNITY_BUILD): a build from nothing takes
# markedly less time. UNITY=OFF compiles file by file, as an edit-compile
# loop wants.
UNITY      ?= ON
# Line tables only in the optimised build: backtraces and gdb still name
# function, file and line, and a Qt file compiles in about a fifth less time
# than with full debug information (variables, types): DEBUG_INFO=-g for
# those. The package is stripped either way.
DEBUG_INFO ?= -g1
CONFIGURE  := cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
              -DKLIK_UNITY_BUILD=$(UNITY) "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 $(DEBUG_INFO) -DNDEBUG" \
              "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 $(DEBUG_INFO) -DNDEBUG"

.PHONY: deps configure build demo test test-core test-asan test-tsan tidy bench fuzz format clean ptpip-camera soak
.PHONY: package check-package demo-build stage-start

deps:
	bash scripts/stage.sh deps bash scripts/install-deps.sh

$(BUILD)/build.ninja: deps
	$(CONFIGURE)

configure: $(BUILD)/build.ninja

build: deps
	$(CONFIGURE)
	bash scripts/stage.sh build cmake --build $(BUILD) -j $(JOBS)

# What the demo runs and nothing more (no tests, no benchmarks), so a
# newcomer's first `make demo` shows the kiosk sooner.
DEMO_TARGETS := klik-kiosk klikctl klik-share klik-share-gallery klik-webserver klik-ptpip-camera
demo-build: deps
	$(CONFIGURE)
	bash scripts/stage.sh demo-build cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)

# The kiosk's main job on the simulated camera; WEB=1: three guests from
# the kiosk web page of klik-webserver instead of scanned barcodes;
# CAMERA=ptpip: through the real libgphoto2 against klik-ptpip-camera,
# started on a free loopback port and stopped at the end; CAMERA=ptpip-eos:
# the same camera as a Canon EOS body, through libgphoto2's EOS code.
# DISPLAY_SERVER=x11: the real program on a private Xvfb, barcodes typed
# with xdotool, screenshots of the real display in demo-out/x11 (WM=openbox
# or composited for a window manager, and one with a compositor).
# SHARE=1: the upload side too (klik-share with a private SMTP server and
# WebDAV server; each guest's email and the event's folder are shown at the end).
demo: demo-build
	KLIK_DEMO_WEB=$(WEB) KLIK_DEMO_SHARE=$(SHARE) VIDEO=$(VIDEO) KLIK_DEMO_CAMERA=$(CAMERA) \
	  KLIK_DEMO_DISPLAY=$(DISPLAY_SERVER) KLIK_DEMO_WM=$(WM) bash scripts/demo.sh $(BUILD)

# The include directions of src/ (scripts/check-layers.sh), every test, the
# Debian package's checks, clang-tidy on the files the
# latest commits changed, then the tests again under AddressSanitizer + UBSan
# (core, Qt side, programs) and the threaded ones under ThreadSanitizer.
test: stage-start build
	bash scripts/stage.sh layers bash scripts/check-layers.sh
	bash scripts/stage.sh tests bash scripts/run-tests.sh $(BUILD)
	bash scripts/stage.sh package bash scripts/check-package.sh $(BUILD)
	bash scripts/stage.sh tidy $(MAKE) --no-print-directory tidy
	bash scripts/stage.sh asan $(MAKE) --no-print-directory test-asan
	bash scripts/stage.sh tsan $(MAKE) --no-print-directory test-tsan
	@echo "make test: the stages' wall times (stage-times.txt):"; cat stage-times.txt

# A fresh list of stage times for this run of `make test`.
stage-start:
	@rm -f stage-times.txt

# The Debian package: $(BUILD)/klik_<version>_<arch>.deb
package: build
	cd $(BUILD) && cpack -G DEB

# Builds the package and checks it: dependencies, contents, programs run
# from the unpacked tree, unit and menu entry validated.
check-package: build
	bash scripts/check-package.sh $(BUILD)

# The core, the Qt side and the programs under AddressSanitizer + UBSan, in
# a build folder of their own with the test binaries only (the script says
# what is left out and why).
test-asan: deps
	JOBS=$(JOBS) KLIK_UNITY_BUILD=$(UNITY) bash scripts/sanitizer-tests.sh address $(ASAN_BUILD)

# clang-tidy (.clang-tidy) on the C++ files changed since KLIK_TIDY_BASE
# (default: the last 5 commits, KLIK_TIDY_COMMITS); every warning is an
# error. On a branch: `make tidy KLIK_TIDY_BASE=main`.
tidy: configure
	bash scripts/tidy.sh $(BUILD)

# A camera on the network (PTP/IP) for libgphoto2 clients: `make ptpip-camera`
# then e.g. `gphoto2 --camera "PTP/IP Camera" --port ptpip:127.0.0.1 --summary`.
PTPIP_LISTEN ?= 127.0.0.1:15740
ptpip-camera: configure
	cmake --build $(BUILD) -j $(JOBS) --target klik-ptpip-camera
	$(BUILD)/testing/ptpip/klik-ptpip-camera --listen $(PTPIP_LISTEN) $(if $(FAULTS),--faults $(FAULTS)) $(PTPIP_ARGS)

# libFuzzer over every parser that meets outside data, FUZZ_SECONDS each,
# starting from the seed corpora; new inputs go to $(FUZZ_BUILD)/corpus-*,
# crashes to $(FUZZ_BUILD)/crash-* (keep each one in tests/fuzz/corpus/ once
# it is mended). `make test` replays the seed corpora in every build.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DKLIK_FUZZ=ON -DKLIK_BUILD_UI=OFF -DKLIK_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target klik_fuzzers
	bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The camera, controller, run-loop and Qt run-loop tests under
# ThreadSanitizer, in a build folder of their own with those binaries only.
test-tsan: deps
	JOBS=$(JOBS) KLIK_UNITY_BUILD=$(UNITY) bash scripts/sanitizer-tests.sh thread $(TSAN_BUILD)

# The long soak: SESSIONS guests with camera-size photos (PHOTO=WxH) and
# faults from the seeded plan (SEED); the report goes to $(SOAK_REPORT).
# Mount faults need root (they are skipped, with the reason, without it).
# Then the real kiosk for KIOSK_MINUTES (below; KIOSK_MINUTES=0 leaves it out).
SESSIONS    ?= 10000
SEED        ?= 1
PHOTO       ?= 6000x4000
SOAK_REPORT ?= $(BUILD)/soak-report.txt
# SOAK_MINUTES=M stops after M minutes of wall time (the report says so).
SOAK_MINUTES ?= 0
soak: configure
	cmake --build $(BUILD) -j $(JOBS) --target klik-soak
	$(BUILD)/tests/soak/klik-soak --sessions $(SESSIONS) --seed $(SEED) --photo $(PHOTO) \
	      --minutes $(SOAK_MINUTES) --progress 100 --report $(SOAK_REPORT)
	@if [ "$(KIOSK_MINUTES)" != 0 ]; then $(MAKE) --no-print-directory kiosk-soak; fi

# The kiosk soak: the real klik-kiosk offscreen on the simulated camera with
# scripted guests for KIOSK_MINUTES of wall time, sampled from /proc and
# accounted for from the disk; the report goes to $(KIOSK_SOAK_REPORT).
# Not part of `make test` (it takes its minutes of wall time).
.PHONY: kiosk-soak
KIOSK_MINUTES     ?= 60
KIOSK_SOAK_REPORT ?= $(BUILD)/kiosk-soak-report.txt
kiosk-soak: configure
	cmake --build $(BUILD) -j $(JOBS) --target klik-kiosk klikctl
	bash scripts/kiosk-soak.sh --build $(BUILD) --minutes $(KIOSK_MINUTES) \
	      --report $(KIOSK_SOAK_REPORT)

bench: build
	$(BUILD)/bench/klik_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) demo-out
