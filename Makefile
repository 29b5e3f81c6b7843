# Pelmora: the two commands an administrator needs, plus the pieces they use.
#   make run    install dependencies, build the program, start it in run/
#   make test   install dependencies, build, run every test
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: deps deps-extra build build-app run test check test-sanitize test-tsan fuzz package package-test clean

deps:
	@scripts/install-deps.sh

deps-extra:
	@scripts/install-deps.sh --extra

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Builds only; `make run` and `make test` install what is missing first.
build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Only the program: the first start should not wait for the test suite.
build-app: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target pelmora

run: build-app
	@if [ ! -d run ]; then cp -r examples run; fi
	cd run && ../$(BUILD)/pelmora

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The layers point one way, and the sources keep the repository's format.
check:
	scripts/check-layers.sh
	scripts/check-format.sh

$(SAN_BUILD)/build.ninja:
	cmake -S . -B $(SAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DPELMORA_SANITIZE=ON

test-sanitize: deps $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The core, logic and headless tests under ThreadSanitizer, plus a deliberate
# race that must be reported; builds only the programs these tests run.
$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DPELMORA_TSAN=ON

test-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_tests
	cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L '^(core|logic|headless|tsan)$$'

package: deps-extra
	$(MAKE) build
	cd $(BUILD) && cpack

# Installs the package on this machine (root; disposable machines only), runs it
# as an unprivileged user, removes it again.
package-test: package
	scripts/package-test.sh

FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 20

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DPELMORA_FUZZ=ON

fuzz: deps-extra $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
