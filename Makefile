# crtrate: the two commands a newcomer needs are `make run` and `make test`.
#
#   make deps    install missing build tools through apt (Debian)
#   make build   configure and build build/win32, build/win64, build/native
#   make test    build, then unit tests, golden scenarios, resource check
#                and the release exe checks, then the steps of mk/*.mk; ends
#                with "N passed, M failed, K skipped" (a step is skipped
#                when it prints a line "SKIPPED: reason")
#   make run     build, play scenarios/demo.scn in the simulated notebook,
#                name the release exe and its size, then play the demo under
#                Wine: left running on your $DISPLAY, or without one played
#                on a virtual screen, with screenshots in build/demo/
#                (mk/e2e.mk; `make pictures` refreshes README's in docs/)
#   make bless   rewrite scenarios/*.expected from the current runner
#   make format  clang-format our C++ in place (`make test` checks that it
#                has nothing left to do)
#   make clean   remove build/

SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c

PRESETS := win32 win64 native
SIM := build/native/crtrate-sim
EXE32 := build/win32/crtrate.exe
EXE64 := build/win64/crtrate.exe
CTEST_JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# command:package pairs, and packages known by dpkg alone.
DEPS_COMMANDS := cmake:cmake ninja:ninja-build g++:g++ \
	i686-w64-mingw32-g++:g++-mingw-w64-i686 \
	x86_64-w64-mingw32-g++:g++-mingw-w64-x86-64 \
	i686-w64-mingw32-windres:binutils-mingw-w64 \
	i686-w64-mingw32-objdump:binutils-mingw-w64 \
	x86_64-w64-mingw32-objdump:binutils-mingw-w64 \
	python3:python3 make:make clang-format:clang-format
DEPS_PACKAGES := googletest libgtest-dev

FORMAT_DIRS := app driver menu modes platform sim harness tools tests
FORMAT_FILES = $(shell find $(FORMAT_DIRS) -type f \( -name '*.cpp' -o -name '*.h' \))

.PHONY: all deps build configure test run bless format test-format clean

# Further test steps and the program's run under Wine live in mk/*.mk; each
# appends the make targets of its checks to TEST_STEPS (each counts as one
# check in the summary) and may set RUN_STEPS.
TEST_STEPS := test-format
RUN_STEPS :=
-include mk/*.mk

all: build

deps:
	@tools/apt_missing.sh deps $(DEPS_COMMANDS) $(addprefix @:,$(DEPS_PACKAGES))

# Configure a tree only when it has no build files yet; Ninja re-runs CMake
# by itself when a CMakeLists.txt or a globbed directory changes.
configure: deps
	@for preset in $(PRESETS); do \
	  if [ ! -f build/$$preset/build.ninja ]; then \
	    cmake --preset $$preset; \
	  fi; \
	done

build: configure
	@for preset in $(PRESETS); do \
	  echo "== build $$preset"; \
	  cmake --build --preset $$preset; \
	done
	@echo "release exe: $(EXE32) ($$(stat -c %s $(EXE32)) bytes)"

test: build
	@passed=0; failed=0; log=$$(mktemp); trap 'rm -f "$$log"' EXIT; \
	echo "== ctest (build/native): unit tests, golden scenarios, resources"; \
	if ctest --test-dir build/native --output-on-failure --no-tests=error \
	     -j $(CTEST_JOBS) 2>&1 | tee "$$log"; then :; fi; \
	summary=$$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$$log" | tail -n 1 || true); \
	if [ -n "$$summary" ]; then \
	  total=$$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$$summary"); \
	  bad=$$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$$summary"); \
	  passed=$$((passed + total - bad)); failed=$$((failed + bad)); \
	else \
	  echo "ctest did not run to its summary"; failed=$$((failed + 1)); \
	fi; \
	echo "== exe checks"; \
	if tests/check_exe.sh $(EXE32) --arch i686; then passed=$$((passed + 1)); \
	else failed=$$((failed + 1)); fi; \
	if tests/check_exe.sh $(EXE64) --arch x86_64; then passed=$$((passed + 1)); \
	else failed=$$((failed + 1)); fi; \
	skipped=0; steplog=$$(mktemp); trap 'rm -f "$$log" "$$steplog"' EXIT; \
	for step in $(TEST_STEPS); do \
	  echo "== $$step"; \
	  if $(MAKE) --no-print-directory $$step 2>&1 | tee "$$steplog"; then \
	    if grep -q '^SKIPPED: ' "$$steplog"; then skipped=$$((skipped + 1)); \
	    else passed=$$((passed + 1)); fi; \
	  else echo "$$step FAILED"; failed=$$((failed + 1)); fi; \
	done; \
	echo "$$passed passed, $$failed failed, $$skipped skipped"; \
	[ "$$failed" -eq 0 ]

run: build
	@echo "== scenarios/demo.scn"
	@$(SIM) scenarios/demo.scn
	@echo "== release exe: $(EXE32), $$(stat -c %s $(EXE32)) bytes (i686);" \
	  "$(EXE64), $$(stat -c %s $(EXE64)) bytes (x86_64)"
	@for step in $(RUN_STEPS); do $(MAKE) --no-print-directory $$step; done

bless: build
	@tests/golden.sh --bless $(SIM) scenarios/*.scn
	@echo "review the changes with: git diff scenarios/"

format:
	@clang-format -i $(FORMAT_FILES)

test-format:
	@clang-format --dry-run --Werror $(FORMAT_FILES)
	@echo "format: $(words $(FORMAT_FILES)) files as clang-format leaves them"

clean:
	rm -rf build
