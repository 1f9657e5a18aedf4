# End-to-end tests under Wine (tests/e2e/wine_e2e.py, on the Wine session
# and scenario player of harness/wine/), one make target per test, each
# counted as one check by `make test`; and the demo under Wine for `make run`
# (harness/wine/demo.py).
#
#   make e2e              every 64-bit end-to-end test, one after another
#   make test-e2e-NAME    one of them (python3 -m tests.e2e.wine_e2e --list)
#   make test-e2e32       the i686 release exe and rig under 32-bit Wine,
#                         two tests at a time (one check in `make test`;
#                         skipped, with the reason, where 32-bit Wine cannot
#                         be set up: tools/wine32_setup.sh)
#   make run-wine         the demo notebook under Wine (`make run`; its
#                         pictures go to build/demo/pictures)
#   make pictures         the same on a virtual screen, whatever $DISPLAY
#                         says, writing README.md's pictures docs/demo-*.png
#
# Missing tools are installed through apt, as `make deps` does.

E2E := python3 -m tests.e2e.wine_e2e
E2E_TESTS := unsupported-winme unsupported-win2k \
	driver-missing-win98 driver-missing-nt40 \
	simhw-legacy-lcd simhw-legacy-crt-alone simhw-switch nt4-legacy-cds \
	single-copy taskbar-created icon-back-nt40 desk-applet

E2E32_TESTS := unsupported-winme-32 driver-missing-win98-32 \
	driver-missing-nt40-32 simhw-legacy-lcd-32 simhw-switch-32 simhw-nt40-32

TEST_STEPS += $(addprefix test-e2e-,$(E2E_TESTS)) test-e2e32

# command-or-file:package pairs.  Wine draws the buttons of a title bar
# with its own Marlett font (fonts-wine).
E2E_DEPS := /usr/lib/wine/wine64:wine64 Xvfb:xvfb xdotool:xdotool \
	import:imagemagick /usr/share/i18n/locales/zh_TW:locales \
	/usr/share/fonts/truetype/wqy/wqy-microhei.ttc:fonts-wqy-microhei \
	/usr/share/wine/fonts/marlett.ttf:fonts-wine
E2E_LOCALE := zh_TW.UTF-8

.PHONY: e2e e2e-deps e2e-build test-e2e32

e2e-deps:
	@tools/apt_missing.sh e2e-deps $(E2E_DEPS)
	@sudo=""; [ "$$(id -u)" -eq 0 ] || sudo=sudo; \
	if ! locale -a 2>/dev/null | grep -qix 'zh_TW\.utf-\?8'; then \
	  echo "e2e-deps: generating the $(E2E_LOCALE) locale"; \
	  $$sudo localedef -i zh_TW -f UTF-8 $(E2E_LOCALE); \
	fi

# The rigs come from cmake/windows-rigs.cmake; a tree configured before it
# existed is configured again.
e2e-build: e2e-deps
	@if [ ! -f build/win64/crtrate-simhw.exe ] || \
	    [ ! -f build/win64/crtrate-e2e.exe ] || \
	    [ ! -f build/win64/crtrate-e2e-desk.cpl ]; then \
	  cmake --preset win64 >/dev/null && cmake --build --preset win64; \
	fi
	@if [ ! -f build/win32/crtrate-simhw.exe ] || \
	    [ ! -f build/win32/crtrate-e2e.exe ]; then \
	  cmake --preset win32 >/dev/null && \
	  cmake --build --preset win32 --target crtrate-simhw crtrate-e2e; \
	fi

# Makes 32-bit Wine ready (tools/wine32_setup.sh).  Where it cannot be,
# says "SKIPPED: reason", which `make test` counts, and ends the recipe.
define WINE32_READY
mkdir -p build/e2e; setup=build/e2e/wine32-setup.log; status=0; \
tools/wine32_setup.sh 2>&1 | tee "$$setup" || status=$$?; \
if [ "$$status" -eq 77 ]; then \
  echo "SKIPPED: $$(tail -n 1 "$$setup" | sed 's/.*skipped: //')"; \
  exit 0; \
fi; \
[ "$$status" -eq 0 ]
endef

# The release exe is the one `make test` checked just before: nothing here
# builds it again.
test-e2e32: e2e-build
	@$(WINE32_READY); \
	start=$$(date +%s); \
	$(E2E) --jobs 2 $(E2E32_TESTS); \
	echo "32-bit Wine: $(words $(E2E32_TESTS)) tests in" \
	  "$$(( $$(date +%s) - start )) s"

test-e2e-%: e2e-build
	@$(E2E) $*

e2e: e2e-build
	@$(E2E) $(E2E_TESTS)

# `make run`: the demo notebook (scenarios/demo.scn) under Wine in Windows
# 98 mode.  With a $DISPLAY the program is left running there for the
# person to click; without one the demo story is played on a virtual
# screen, with numbered screenshots in build/demo/ and the pictures cut
# from them in build/demo/pictures/: a run leaves the tree as it was.
# `make pictures` writes those pictures to docs/ instead, where README.md
# shows them; the same tree gives the same bytes on every run.
RUN_STEPS += run-wine

.PHONY: run-wine pictures
run-wine: e2e-build
	@python3 -m harness.wine.demo

pictures: build e2e-build
	@env -u DISPLAY python3 -m harness.wine.demo --pictures docs
