# Kelvane -- the front door. `make run` plays, `make test` checks everything.
# Both install the Debian packages they need first (as root), or print the
# apt-get line to run.

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
GENERATOR  := -G Ninja
# Seconds each fuzz target runs: FUZZ_SECONDS for `make fuzz`, the short
# smoke run in `make test`.
FUZZ_SECONDS       ?= 300
FUZZ_SMOKE_SECONDS ?= 40
# Seconds the key monkey plays the sanitizer build: SOAK_SECONDS for
# `make soak`, the shorter run in `make test`.
SOAK_SECONDS       ?= 900
SOAK_SMOKE_SECONDS ?= 190

# Where `make install` puts the game (DESTDIR, if given, is put before it).
PREFIX     ?= /usr/local
DESTDIR    ?=

BUILD_PKGS := cmake ninja-build g++ pkg-config libsdl2-dev libsdl2-ttf-dev \
              libsdl2-mixer-dev libfontconfig-dev libfreetype-dev fonts-pc \
              libgtest-dev libbenchmark-dev libpixman-1-dev libpng-dev \
              zlib1g-dev
RUN_PKGS   := fonts-liberation2
TEST_PKGS  := xvfb xdotool x11-apps x11-utils imagemagick sox clang libclang-rt-14-dev clang-format \
              desktop-file-utils appstream groff-base man-db util-linux ffmpeg openbox sway grim
DEB_PKGS   := debhelper dpkg-dev fakeroot lintian

.PHONY: all build run test unit bench fuzz soak format-check deps deps-run deps-test deps-deb \
        install uninstall deb clean

all: build

define check_pkgs
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null || exit 1; \
	  else \
	    echo "Missing Debian packages. Run:"; \
	    echo "  sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi
endef

deps:
	$(call check_pkgs,$(BUILD_PKGS))

deps-run:
	$(call check_pkgs,$(BUILD_PKGS) $(RUN_PKGS))

deps-test:
	$(call check_pkgs,$(BUILD_PKGS) $(RUN_PKGS) $(TEST_PKGS))

deps-deb:
	$(call check_pkgs,$(BUILD_PKGS) $(DEB_PKGS))

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON

$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_TSAN=ON -DKELVANE_BENCH=OFF

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKELVANE_FUZZ=ON -DKELVANE_BENCH=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: deps-run $(BUILD)/build.ninja
	cmake --build $(BUILD) --target kelvane
	./$(BUILD)/kelvane

# Every test through CTest (unit, end to end, faults, replays), then the unit
# tests again under AddressSanitizer + UndefinedBehaviorSanitizer and under
# ThreadSanitizer (tests/tsan.supp says what it is told to overlook, and
# why), a soak of the game built with the first two, and a short run of every
# fuzz target. CI also checks the formatting (`make format-check`) and builds
# and checks the Debian package (`make deb`).
test: deps-test $(BUILD)/build.ninja $(ASAN_BUILD)/build.ninja $(TSAN_BUILD)/build.ninja
	cmake --build $(BUILD)
	ctest --test-dir $(BUILD) --output-on-failure -j2
	cmake --build $(ASAN_BUILD) --target unit_tests
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2 -L unit
	cmake --build $(TSAN_BUILD) --target unit_tests
	TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j2 -L unit
	$(MAKE) --no-print-directory soak SOAK_SECONDS=$(SOAK_SMOKE_SECONDS)
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS)

# Every libFuzzer target (tests/fuzz_<name>.cpp) for FUZZ_SECONDS, starting
# from its seed corpus tests/corpus/<name>/. New inputs and findings stay in
# $(FUZZ_BUILD); any finding fails the make.
fuzz: deps-test $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target fuzz_targets
	@set -e; for src in tests/fuzz_*.cpp; do \
	  name=$$(basename $$src .cpp); short=$${name#fuzz_}; \
	  work=$(FUZZ_BUILD)/corpus/$$short; findings=$(FUZZ_BUILD)/findings/$$short/; \
	  mkdir -p $$work $$findings; \
	  seeds=; [ -d tests/corpus/$$short ] && seeds=tests/corpus/$$short; \
	  echo "Fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  ./$(FUZZ_BUILD)/$$name -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$$findings $$work $$seeds; \
	done

# Every source of the game, the tools, the tests and the benchmarks is as
# .clang-format lays it out; the differences are printed, nothing is changed.
FORMAT_SOURCES = $(shell find flow gfx platform player resources rules sound tools tests bench \
                   -name '*.cpp' -o -name '*.h' -o -name '*.c' | LC_ALL=C sort)
format-check: deps-test
	clang-format --dry-run --Werror $(FORMAT_SOURCES)

# The game built with the sanitizers, played by a random key monkey under a
# private X server for SOAK_SECONDS (tests/soak.sh).
soak: deps-test $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) --target kelvane
	bash tests/soak.sh $(ASAN_BUILD)/kelvane $(CURDIR)/$(ASAN_BUILD)/soak.out $(SOAK_SECONDS)

# The game, its menu entry, icons, metainfo, manual page and documents under
# $(DESTDIR)$(PREFIX); the list of what went where is kept for `make
# uninstall`, which removes exactly those files.
install: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target kelvane icons
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt >$(BUILD)/installed-files.txt

uninstall:
	@[ -f $(BUILD)/installed-files.txt ] || { echo "Nothing installed from $(BUILD)."; exit 1; }
	xargs -d '\n' rm -fv <$(BUILD)/installed-files.txt
	-rmdir "$$(grep -m1 '/doc/kelvane/' $(BUILD)/installed-files.txt | xargs -d '\n' dirname)" 2>/dev/null
	rm -f $(BUILD)/installed-files.txt

# The Debian package, built from a copy of the sources in $(BUILD)/deb (so
# that the build's by-products stay there), then checked: lintian finds no
# error, and the package holds exactly the files listed in debian/contents
# (less the ".gz" that debhelper gives the larger documents).
deb: deps-deb
	@v=$$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt); \
	  [ "$$(dpkg-parsechangelog -S Version)" = "$$v" ] || { echo "debian/changelog is not at release $$v"; exit 1; }
	rm -rf $(BUILD)/deb $(BUILD)/kelvane_*.deb
	mkdir -p $(BUILD)/deb/kelvane
	tar -cf - --exclude='./build*' --exclude='./$(BUILD)' --exclude=./.git . | tar -xf - -C $(BUILD)/deb/kelvane
	cd $(BUILD)/deb/kelvane && dpkg-buildpackage -b -us -uc
	mv $(BUILD)/deb/kelvane_*.deb $(BUILD)/
	lintian --fail-on error $(BUILD)/kelvane_*.deb
	dpkg-deb -c $(BUILD)/kelvane_*.deb | awk '!/\/$$/ {sub(/\.gz$$/, "", $$6); print $$6}' | LC_ALL=C sort | \
	  diff -u debian/contents -

# The kit and scene benchmarks, then the game against a minimal SDL program
# (CPU on still screens, start-up, memory; under Xvfb when it is installed).
bench: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target kelvane_bench kelvane present_minimal present_minimal_libs present_probe
	./$(BUILD)/kelvane_bench --benchmark_min_time=0.5
	bash bench/present_bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
