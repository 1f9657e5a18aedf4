# The contract suite under Wine (tests/contract/compare.py): the Windows
# build's answers, call by call, against the native build's, which answers
# from the simulated notebook.  The native side alone is the ctest test
# contract.sim.
#
#   make test-contract-win64   the x86_64 exe under wine64 (in `make test`)
#   make test-contract-win32   the i686 exe under the 32-bit `wine` loader
#                              (in `make test`; "SKIPPED: <reason>" where
#                              32-bit Wine cannot be set up, see mk/e2e.mk)
#
# The Wine prefix, screen and tools are the end-to-end tests' (mk/e2e.mk).

CONTRACT := python3 -m tests.contract.compare

TEST_STEPS += test-contract-win64 test-contract-win32

.PHONY: test-contract-win64 test-contract-win32 contract-build-%

contract-build-%: e2e-deps
	@cmake --build --preset native --target crtrate-contract >/dev/null
	@cmake --build --preset $* --target crtrate-contract >/dev/null

test-contract-win64: contract-build-win64
	@$(CONTRACT) --require --wine /usr/lib/wine/wine64 \
	  --exe build/win64/crtrate-contract.exe

test-contract-win32: contract-build-win32
	@$(WINE32_READY); \
	$(CONTRACT) --require --wine /usr/lib/wine/wine \
	  --exe build/win32/crtrate-contract.exe
