# Robustness checks of the native tree (docs/testing.md, "Robustness"):
#
#   make test-asan      unit tests and golden scenarios under ASan, UBSan and
#                       LeakSanitizer (build/asan)
#   make test-faults    every story again with each simulated call failing
#                       (tests/fault_sweep.py, under ASan)
#   make test-fuzz      the libFuzzer target for FUZZ_TEST_SECONDS (60) from
#                       the seed corpus (build/fuzz)
#   make test-longrun   ten thousand menu openings and a thousand choices per
#                       driver path, under ASan
#   make fuzz           the fuzzer for FUZZ_SECONDS (600), keeping what it
#                       finds in build/fuzz/corpus
#   make fuzz-seeds     rewrites each seed tests/fuzz/corpus/NAME from
#                       scenarios/NAME.scn (the unit tests check that each
#                       seed is its scenario's records and plays like it)
#   make coverage       line and branch coverage of app/ driver/ menu/ modes/
#                       by the unit tests and golden scenarios
#                       (build/coverage, HTML in build/coverage/html)
#
# The first four run in `make test`, one check each.

TEST_STEPS += test-asan test-faults test-fuzz test-longrun

.PHONY: robustness-deps asan-build fuzz-build coverage-build \
	test-asan test-faults test-fuzz test-longrun fuzz fuzz-seeds coverage

ASAN_DIR := build/asan
FUZZ_DIR := build/fuzz
COVERAGE_DIR := build/coverage
FUZZ_SECONDS ?= 600
FUZZ_TEST_SECONDS ?= 60

# Any sanitizer report ends the process with a failure; leaks are reported
# at exit; a stack frame used after return is caught too.
SANITIZER_ENV := \
	ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# command:package pairs, and packages known by dpkg alone.
ROBUSTNESS_COMMANDS := clang++:clang llvm-profdata:llvm llvm-cov:llvm \
	python3:python3
ROBUSTNESS_PACKAGES := libclang-rt-14-dev

robustness-deps:
	@tools/apt_missing.sh robustness $(ROBUSTNESS_COMMANDS) \
	  $(addprefix @:,$(ROBUSTNESS_PACKAGES))

# Configure a tree only when it has no build files yet, as the Makefile does.
asan-build: robustness-deps
	@[ -f $(ASAN_DIR)/build.ninja ] || cmake --preset asan
	@cmake --build --preset asan

fuzz-build: robustness-deps
	@[ -f $(FUZZ_DIR)/build.ninja ] || cmake --preset fuzz
	@cmake --build --preset fuzz --target crtrate_fuzz crtrate-sim

coverage-build: robustness-deps
	@[ -f $(COVERAGE_DIR)/build.ninja ] || cmake --preset coverage
	@cmake --build --preset coverage

# The long run has a step of its own; the resource checks read the release
# exes and have nothing for a sanitizer to see.
test-asan: asan-build
	@$(SANITIZER_ENV) ctest --test-dir $(ASAN_DIR) --output-on-failure \
	  --no-tests=error -j $(CTEST_JOBS) -E 'LongRun|^resources\.' \
	  | grep -vE '^ *(Start|[0-9]+/[0-9]+ Test) '

test-faults: asan-build
	@$(SANITIZER_ENV) python3 tests/fault_sweep.py \
	  --runner $(ASAN_DIR)/crtrate-sim --jobs $(CTEST_JOBS)

test-longrun: asan-build
	@start=$$(date +%s); \
	$(SANITIZER_ENV) $(ASAN_DIR)/crtrate_tests --gtest_filter='Day/LongRun.*' \
	  --gtest_brief=1; \
	echo "long run: 4 driver paths x (10000 openings, 1000 choices)" \
	  "under ASan in $$(( $$(date +%s) - start )) s"

# The run starts from the committed seeds alone, in a scratch corpus, so
# that it judges the program and not what earlier runs kept.
test-fuzz: fuzz-build
	@rm -rf $(FUZZ_DIR)/test-corpus; mkdir -p $(FUZZ_DIR)/test-corpus
	@$(MAKE) --no-print-directory fuzz-run FUZZ_RUN_SECONDS=$(FUZZ_TEST_SECONDS) \
	  FUZZ_RUN_CORPUS=$(FUZZ_DIR)/test-corpus

fuzz: fuzz-build
	@mkdir -p $(FUZZ_DIR)/corpus
	@$(MAKE) --no-print-directory fuzz-run FUZZ_RUN_SECONDS=$(FUZZ_SECONDS) \
	  FUZZ_RUN_CORPUS=$(FUZZ_DIR)/corpus

# New inputs go to the first corpus directory; tests/fuzz/corpus is only read.
# A failure leaves its input as build/fuzz/crash-* (or leak-*, timeout-*);
# CRTRATE_FUZZ_SCENARIO=x.scn build/fuzz/crtrate_fuzz build/fuzz/crash-...
# writes it out as a scenario for crtrate-sim.
.PHONY: fuzz-run
fuzz-run:
	@log=$(FUZZ_DIR)/fuzz.log; status=0; \
	$(SANITIZER_ENV) $(FUZZ_DIR)/crtrate_fuzz $(FUZZ_RUN_CORPUS) tests/fuzz/corpus \
	  -max_total_time=$(FUZZ_RUN_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/ >"$$log" 2>&1 \
	  || status=$$?; \
	runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' "$$log"); \
	cov=$$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$$log" | tail -n 1); \
	crashes=$$(grep -cE '^==[0-9]+== ?ERROR|^crtrate_fuzz: |deadly signal|Test unit written' "$$log" || true); \
	if [ "$$status" -ne 0 ]; then \
	  tail -n 60 "$$log"; \
	  echo "fuzz: FAILED after $${runs:-?} executions: see $$log and" \
	    "$(FUZZ_DIR)/crash-* (status $$status)"; \
	  exit 1; \
	fi; \
	echo "fuzz: $$runs executions in $(FUZZ_RUN_SECONDS) s ($$cov)," \
	  "$$(ls $(FUZZ_RUN_CORPUS) | wc -l) new inputs kept, $$crashes crashes"

# A new seed: an empty tests/fuzz/corpus/NAME for scenarios/NAME.scn, then this.
fuzz-seeds: configure
	@cmake --build --preset native --target crtrate-sim >/dev/null
	@for seed in tests/fuzz/corpus/*; do \
	  $(SIM) --seed scenarios/$$(basename $$seed).scn >$$seed; \
	done
	@echo "wrote $$(ls tests/fuzz/corpus | wc -l) seeds into tests/fuzz/corpus"

# Every process of the suite writes its own profile (%p); they are merged
# and reported over both programs that carry the product code.
COVERAGE_SOURCES := app driver menu modes
coverage: coverage-build
	@rm -rf $(COVERAGE_DIR)/profiles; mkdir -p $(COVERAGE_DIR)/profiles
	@LLVM_PROFILE_FILE=$(abspath $(COVERAGE_DIR))/profiles/%p.profraw \
	  ctest --test-dir $(COVERAGE_DIR) --no-tests=error -j $(CTEST_JOBS) \
	  -E '^resources\.' | tail -n 3
	@llvm-profdata merge -sparse $(COVERAGE_DIR)/profiles/*.profraw \
	  -o $(COVERAGE_DIR)/crtrate.profdata
	@objects="$(COVERAGE_DIR)/crtrate-sim -object $(COVERAGE_DIR)/crtrate_tests"; \
	llvm-cov report $$objects -instr-profile=$(COVERAGE_DIR)/crtrate.profdata \
	  -show-branch-summary -show-region-summary=false \
	  $(COVERAGE_SOURCES) | sed "s|$(CURDIR)/||"; \
	llvm-cov show $$objects -instr-profile=$(COVERAGE_DIR)/crtrate.profdata \
	  -format=html -output-dir=$(COVERAGE_DIR)/html -show-branches=count \
	  $(COVERAGE_SOURCES) >/dev/null; \
	echo "coverage: line by line in $(COVERAGE_DIR)/html/index.html"
