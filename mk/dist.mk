# The release download, and its check in `make test`:
#
#   make dist        build/dist/crtrate-<version>.zip: the release exe (after
#                    the exe checks) and README.TXT, the user guide from
#                    docs/guide.txt in code page 950 with CRLF line ends,
#                    ending with the text of LICENSE
#   make test-dist   the zip built twice with equal bytes, unpacked, its exe
#                    the checked build/win32/crtrate.exe, one version in the
#                    zip's name, the guide and the exe's version resource;
#                    and a guide with a character code page 950 lacks
#                    stopped with its line named, no zip written
#
# The version is the CMake project version (project() in CMakeLists.txt),
# as the win32 tree was configured with it when the exe was built.

DIST_DIR := build/dist
DIST_VERSION = $(shell sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
	build/win32/CMakeCache.txt 2>/dev/null)
DIST_ZIP = $(DIST_DIR)/crtrate-$(DIST_VERSION).zip
DIST_GUIDE := docs/guide.txt
DIST_LICENSE := LICENSE
# command:package pairs.
DIST_DEPS := python3:python3 unzip:unzip

TEST_STEPS += test-dist

.PHONY: dist dist-exe dist-deps test-dist

dist-deps:
	@tools/apt_missing.sh dist-deps $(DIST_DEPS)

# Only the release exe is needed: its tree is configured when it has no
# build files yet, as the Makefile does, and only its crtrate target built.
dist-exe: deps dist-deps
	@[ -f build/win32/build.ninja ] || cmake --preset win32
	@cmake --build --preset win32 --target crtrate
	@tests/check_exe.sh $(EXE32) --arch i686

# make expands a recipe only when it is about to run it, after the
# prerequisites: DIST_VERSION is read from the cache that dist-exe has just
# configured (a fresh clone has none before) and built the exe from, so
# after a change of version the zip, its guide and the exe agree.
dist: dist-exe
	@[ -n "$(DIST_VERSION)" ] || { echo "dist: no project version in" \
	  "build/win32/CMakeCache.txt"; exit 1; }
	@python3 tools/make_dist.py $(EXE32) $(DIST_GUIDE) $(DIST_LICENSE) \
	  $(DIST_VERSION) $(DIST_ZIP)

# The second build comes at least two seconds after the first (a zip's
# times count in steps of two seconds), so a time taken from the clock
# would show as a difference.
test-dist: dist
	@tmp=$$(mktemp -d); trap 'rm -rf "$$tmp"' EXIT; \
	sleep 2; \
	python3 tools/make_dist.py $(EXE32) $(DIST_GUIDE) $(DIST_LICENSE) \
	  $(DIST_VERSION) "$$tmp/again.zip" >/dev/null; \
	if ! cmp "$(DIST_ZIP)" "$$tmp/again.zip"; then \
	  echo "dist: a second build gave other bytes"; exit 1; \
	fi; \
	echo "dist: a second build gave the same $$(stat -c %s $(DIST_ZIP)) bytes"; \
	printf 'crtrate\n\xc2\xa9 2026\n' >"$$tmp/lacking.txt"; \
	if python3 tools/make_dist.py $(EXE32) "$$tmp/lacking.txt" \
	    $(DIST_LICENSE) $(DIST_VERSION) "$$tmp/lacking.zip" 2>"$$tmp/said"; \
	    then echo "dist: a guide with U+00A9 gave a zip"; exit 1; fi; \
	if ! grep -q "lacking.txt:2:1: .*U+00A9" "$$tmp/said" || \
	    [ -e "$$tmp/lacking.zip" ]; then \
	  echo "dist: a guide with U+00A9 did not stop at its line:"; \
	  cat "$$tmp/said"; exit 1; \
	fi; \
	echo "dist: a guide with a character code page 950 lacks stops at its line"; \
	python3 -m tests.dist_check $(DIST_ZIP) $(EXE32) $(DIST_LICENSE)
