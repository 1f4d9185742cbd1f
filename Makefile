# The one entry a newcomer needs: `make demo` and `make test` set the machine
# up (Debian packages), configure CMake with Ninja and build. The
# configurations are CMakePresets.json's (release, bench, asan, fuzz), so
# `cmake --preset asan` makes the same tree as `make test`.

PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
            zlib1g-dev liblzma-dev libpcre2-dev python3 pkg-config xz-utils zip time
# The runtime-stub toolchains and the format checkers. A stub whose toolchain
# is missing is simply not stored, and the tests that need a tool skip, so a
# failed install of these is reported but does not stop the build.
STUB_PACKAGES := gcc-multilib gcc-mingw-w64-x86-64-win32 gcc-mingw-w64-i686-win32 clang-14 lld-14 llvm-14 \
                 binutils elfutils python3-pefile python3-macholib
# The compilers `make bench` times beside korvo (a missing one is left out),
# and valgrind, which counts the instructions the hostile shapes' growth is
# judged on (without it the growth is timed).
BENCH_PACKAGES := default-jdk-headless mono-mcs lua5.4 valgrind
# Only the tests run Windows executables (they skip without it).
TEST_PACKAGES := wine wine64
# The format check needs the one clang-format that lays code out as
# .clang-format was tuned for.
FORMAT_PACKAGES := clang-format-14
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all setup demo test format-check format-fix bench fuzz install uninstall clean

all: demo

# install-missing REQUIRED|OPTIONAL, packages...
define install-missing
	@missing=""; \
	for p in $(2); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if ! { $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; }; then \
	    if [ "$(1)" = REQUIRED ]; then exit 1; fi; \
	    echo "could not install:$$missing (the stubs and tests that need them are left out)"; \
	  fi; \
	fi
endef

# The package checks cost seconds (one dpkg-query a package), so the stamp
# keeps what they covered, one "required:NAME" or "optional:NAME" a line: they
# run again only when a target asks for one it does not hold (a fresh clone,
# a list changed above). An optional package that could not be installed is
# not tried again until the stamp is removed.
SETUP_STAMP := build/packages.stamp
SETUP_WANTED = $(sort $(addprefix required:,$(PACKAGES) $(REQUIRED_EXTRA)) \
                      $(addprefix optional:,$(STUB_PACKAGES) $(EXTRA_PACKAGES)))
SETUP_DONE = $(file <$(SETUP_STAMP))

define setup-checks
$(call install-missing,REQUIRED,$(PACKAGES) $(REQUIRED_EXTRA))
$(call install-missing,OPTIONAL,$(STUB_PACKAGES) $(EXTRA_PACKAGES))
@mkdir -p $(dir $(SETUP_STAMP)) && printf '%s\n' $(sort $(SETUP_DONE) $(SETUP_WANTED)) > $(SETUP_STAMP)
endef

setup:
	$(if $(filter-out $(SETUP_DONE),$(SETUP_WANTED)),$(setup-checks))

# Configured again when the presets change, so that a tree made before a
# change takes it (cmake leaves build.ninja untouched when nothing differs).
build/build.ninja: CMakePresets.json | setup
	cmake --preset release
	touch $@

# The compiler and what it reads beside itself (its stubs), nothing else.
demo: setup build/build.ninja
	cmake --build --preset demo -j $(JOBS)
	./build/korvo -ce examples/hello.k -o build/hello
	./build/hello

# Only the lines written since .clang-format came in are checked (see it).
format-check: REQUIRED_EXTRA = $(FORMAT_PACKAGES)
format-check: setup
	python3 cmake/check_format.py --clang-format clang-format-14

format-fix: REQUIRED_EXTRA = $(FORMAT_PACKAGES)
format-fix: setup
	python3 cmake/check_format.py --clang-format clang-format-14 --fix

test: EXTRA_PACKAGES = $(TEST_PACKAGES)
test: REQUIRED_EXTRA = $(FORMAT_PACKAGES)
test: setup format-check
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: EXTRA_PACKAGES = $(BENCH_PACKAGES)
bench: setup
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	@# Debian's Google Benchmark library warns in every program that it was
	@# built as DEBUG: that is its own timing loop, not the code it times.
	@for b in build-bench/*_bench; do echo "== $$b"; \
	  { $$b 2>&1 || echo "$$b failed: exit status $$?"; } | grep -v 'Library was built as DEBUG'; \
	done
	@echo "== whole processes beside javac, mcs and luac (those installed)"
	python3 bench/compare_compilers.py --bin build-bench --million
	@echo "== hostile shapes at two sizes: work and peak memory must grow linearly"
	python3 bench/hostile_shapes.py --bin build-bench

fuzz: setup
	@command -v clang++ >/dev/null || { $(SUDO) apt-get install -y clang; }
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	@echo "fuzzers: $$(ls build-fuzz/*_fuzz)"

# PREFIX/lib/korvo holds korvo and its stub folders, PREFIX/bin/korvo links
# to it, PREFIX/share/doc/korvo holds the README; what was installed is listed
# in PREFIX/lib/korvo/install_manifest.txt for `make uninstall PREFIX=...`,
# which removes exactly that. DESTDIR=D stages it all (the list too) below D.
install: setup build/build.ninja
	cmake --build --preset demo -j $(JOBS)
	sh cmake/install_tree.sh install build "$(PREFIX)" "$(DESTDIR)"

uninstall:
	sh cmake/install_tree.sh uninstall build "$(PREFIX)" "$(DESTDIR)"

# Every build tree (build/, build-asan/ with the tests' wine prefix,
# build-fuzz/, build-stubs/, ...), the package stamp and the wine server's
# folder of that prefix.
clean:
	sh cmake/clean_trees.sh $(SETUP_STAMP)
