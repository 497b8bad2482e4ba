# Front door of the project. `make test` is all a fresh machine needs.
SHELL := /bin/bash
BUILD := build

.PHONY: all deps native asan win32 web test test-native test-asan test-win32 bench screenshots demo fuzz clean \
        install uninstall package
PREFIX ?= /usr/local

all: native win32

# Installs what is missing (and nothing when all is there).
deps:
	@if ! scripts/install-deps --check >/dev/null 2>&1; then scripts/install-deps; fi

native asan win32: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@

# The engine as a WebAssembly module with filepacker.mjs beside it, and the
# page that runs it (index.html), built in $(BUILD)/web-module; the page's
# files alone, the folder to serve, in $(BUILD)/web/.
web: deps
	@# A module folder configured from tools/web alone, as it once was, is made anew.
	@if grep -qs '^CMAKE_HOME_DIRECTORY.*/tools/web$$' $(BUILD)/web-module/CMakeCache.txt; then \
	  rm -rf $(BUILD)/web-module; fi
	cmake --preset web >/dev/null
	cmake --build --preset web
	rm -rf $(BUILD)/web
	cmake --install $(BUILD)/web-module --prefix $(BUILD)/web >/dev/null
	@ls -l $(BUILD)/web

test-native: native
	ctest --preset native
test-asan: asan
	ctest --preset asan
test-win32: win32
	ctest --preset win32

# Every build's tests; each ctest prints its own summary.
test: deps
	$(MAKE) native asan win32
	@status=0; \
	for p in native asan win32; do \
	  echo "== ctest --preset $$p"; \
	  ctest --preset $$p || status=1; \
	done; \
	exit $$status

# filepacker, its manual page and its bash completion, under PREFIX (and
# DESTDIR, for staging).
install: deps
	cmake --preset native >/dev/null
	cmake --build --preset native --target filepacker filepacker_documents
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/native --prefix "$(PREFIX)" --strip

# Removes what the last install put there (under the same DESTDIR), as its
# manifest lists it.
uninstall:
	@manifest=$(BUILD)/native/install_manifest.txt; \
	if [ ! -f "$$manifest" ]; then echo "make uninstall: no $$manifest: nothing installed from this tree" >&2; exit 1; fi; \
	while IFS= read -r file || [ -n "$$file" ]; do rm -fv -- "$(DESTDIR)$$file"; done < "$$manifest"; \
	rm -f "$$manifest"

# The Debian package (from the native build) and the Windows zip (from the
# win32 build), in $(BUILD)/packages.
package: deps
	cmake --preset native >/dev/null
	cmake --preset win32 >/dev/null
	cmake --build --preset native --target filepacker filepacker_documents
	cmake --build --preset win32 --target filepacker filepacker_documents
	@# cpack installs the build, which rewrites the manifest `make uninstall` reads.
	@manifest=$(BUILD)/native/install_manifest.txt; \
	if [ -f $$manifest ]; then cp -p $$manifest $$manifest.kept; fi; \
	cpack --config $(BUILD)/native/CPackConfig.cmake -B $(BUILD)/packages; status=$$?; \
	if [ -f $$manifest.kept ]; then mv $$manifest.kept $$manifest; else rm -f $$manifest; fi; \
	exit $$status
	cpack --config $(BUILD)/win32/CPackConfig.cmake -B $(BUILD)/packages
	@ls -l $(BUILD)/packages/*.deb $(BUILD)/packages/*.zip

bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench
	cmake --build --preset bench --target run-bench

# The dialogs under Xvfb, as PNG files in build/win32/screenshots/, and the
# page in headless chromium with the sample installer open, in English and
# Japanese, in build/web-screenshots/ (beside the served folder, not in it).
screenshots: win32 web
	tests/ui/take-screenshots $(BUILD)/win32
	cmake --preset native >/dev/null
	cmake --build --preset native --target filepacker
	node tests/web/browser/page-in-chromium.mjs $(BUILD)/native/tools/filepacker $(BUILD)/web resources/package \
	  $(BUILD)/web-screenshots/scratch --screenshots $(BUILD)/web-screenshots

# The installer with the sample package under Wine: on the display when one
# answers, else played through under Xvfb (pictures in build/win32/).
demo: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 --target kormit_installer installer_e2e_tests
	installer/demo $(BUILD)/win32

# The libFuzzer targets (clang, ASan, UBSan), FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S fuzz -B $(BUILD)/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	cmake --build $(BUILD)/fuzz
	fuzz/run-fuzzers $(BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
