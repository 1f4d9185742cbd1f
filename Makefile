# The one entry a newcomer needs: `make demo` and `make test` set the machine
# up (Debian packages), configure CMake with Ninja and build.

PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
            zlib1g-dev liblzma-dev libpcre2-dev python3 pkg-config xz-utils zip
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)

.PHONY: all setup demo test bench fuzz clean

all: demo

setup:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

build/build.ninja: | setup
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release

demo: setup build/build.ninja
	cmake --build build -j $(JOBS)
	./build/korvo -c examples/hello.k -lik -o build/hello.lik
	@echo "build/hello.lik: $$(stat -c %s build/hello.lik) bytes"

test: setup
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVO_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS)

bench: setup
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVO_BENCH=ON
	cmake --build build -j $(JOBS)
	@for b in build/*_bench; do echo "== $$b"; $$b; done
	@echo "== whole processes beside javac, mcs and luac (those installed)"
	python3 bench/compare_compilers.py --bin build --million

fuzz: setup
	@command -v clang++ >/dev/null || { $(SUDO) apt-get install -y clang; }
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVO_FUZZ=ON -DKORVO_TESTS=OFF \
	      -DKORVO_SANITIZE=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build build-fuzz -j $(JOBS)
	@echo "fuzzers: $$(ls build-fuzz/*_fuzz)"

clean:
	rm -rf build build-asan build-fuzz
