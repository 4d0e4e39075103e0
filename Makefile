# Quillwatch: `make run` and `make test` work on a fresh Debian 12 machine.
#   make run              install what is missing, build, lay a starter mavo.sdb, start the program
#   make test             install what is missing, build, run every test through ctest
#   make test SANITIZE=1  the same with address and undefined-behaviour sanitizers (in build-asan/)
#   make test TSAN=1      the core's test programs with the thread sanitizer (in build-tsan/)
#   make test TESTS="monitor fetch"  only those core test programs (test_monitor, test_fetch), built and run
#   make bench            build and run the benchmarks (release build in build-bench/)
#   make soak             3,000 monitoring cycles or more over changing boards (SOAK_CYCLES), the memory held
#                         to 512 KiB of growth over 2,000 cycles once SQLite's caches are full, then the CPU of
#                         a 60 s wait, then 100 rounds over ten schemes fetched through the browser, two broken
#                         on purpose
#   make fuzz             build the libFuzzer targets with clang and run each for FUZZ_SECONDS
#   make format           clang-format every source file
#   make install          build, then install into PREFIX (default ~/.local): the program in
#                         PREFIX/lib/quillwatch/ with a starter mavo.sdb unless one is there, a link in
#                         PREFIX/bin/, the desktop entry and the icon
#   make uninstall        remove what make install put in PREFIX, but never mavo.sdb or mavonet.ini
#   make screenshot       run the end-to-end test and copy its main-window screenshot to docs/

ifeq ($(SANITIZE),1)
BUILD ?= build-asan
CMAKE_FLAGS += -DQW_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else ifeq ($(TSAN),1)
BUILD ?= build-tsan
CMAKE_FLAGS += -DQW_TSAN=ON -DQW_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
else
BUILD ?= build
CMAKE_FLAGS += -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif
# Each core test program labels its tests with its folder's name.
ifneq ($(strip $(TESTS)),)
space := $(subst ,, )
BUILD_TARGETS := $(addprefix test_,$(TESTS))
CTEST_ARGS += -L '^($(subst $(space),|,$(strip $(TESTS))))$$'
endif
FUZZ_SECONDS ?= 60
SOAK_CYCLES ?= 3000
PREFIX ?= $(HOME)/.local
JOBS ?= $(shell nproc)

.PHONY: deps build test run install uninstall bench soak fuzz format clean screenshot

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) $(if $(BUILD_TARGETS),--target $(BUILD_TARGETS))

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

run: build
	@$(BUILD)/tools/qw-initdb src/storage/schema.sql $(BUILD)/bin/mavo.sdb
	$(BUILD)/bin/quillwatch

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	@cmake -DPREFIX="$(PREFIX)" -P cmake/Uninstall.cmake

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQW_BENCH=ON -DQW_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

soak: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQW_BENCH=ON -DQW_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS) --target soak_monitor soak_render
	build-bench/bench/soak_monitor --cycles $(SOAK_CYCLES)
	build-bench/bench/soak_monitor --idle 60
	build-bench/bench/soak_render

fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQW_FUZZ=ON -DQW_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@for f in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p build-fuzz/corpus/$$name; \
	  seeds=; [ -d fuzz/seeds/$$name ] && seeds=fuzz/seeds/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  if ! $$f -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
	      -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$name $$seeds >build-fuzz/$$name.log 2>&1; then \
	    tail -n 40 build-fuzz/$$name.log; exit 1; fi; \
	  grep -E '^(Done|#[0-9]+.*DONE)' build-fuzz/$$name.log; \
	done

screenshot: build
	cd $(BUILD) && ctest -R '^e2e$$' --output-on-failure
	cp $(BUILD)/e2e/main-window.png docs/main-window.png

format:
	@find src tests bench fuzz tools \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format -i

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
