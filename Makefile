# Thin wrapper over CMake/Ninja. `make run` and `make test` install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
DESTDIR ?=
WINDOWS_BUILD ?= build-windows
# The system headers only src/platform may include.
SYSTEM_HEADERS = unistd|fcntl|dlfcn|iconv|pwd|grp|signal|dirent|termios|poll|spawn|langinfo|netdb|sys/[a-z_]+|netinet/[a-z_]+|arpa/[a-z_]+|windows|winsock2|ws2tcpip|io|direct|process|aclapi|sddl|shellapi|shlobj
# The test programs of the Windows build: the core's subsystems and the command line.
WINDOWS_TESTS = kbcfg_store_tests kbcfg_shell_tests kbcfg_devices_tests kbcfg_users_tests \
	kbcfg_channels_tests kbcfg_remote_tests kbcfg_cli_tests

.PHONY: all deps configure build run screenshots test install package check-asan check-tsan \
	check-nogui windows check-windows package-windows bench fuzz format format-check tidy clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/kbcfg-gui

# Every window of the desktop tool rendered offscreen to $(BUILD)/screenshots/*.png.
screenshots: build
	@QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kbcfg-screenshots $(BUILD)/screenshots

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The GNU layout under PREFIX; DESTDIR stages it elsewhere (as a package build does).
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package in $(BUILD), checked by lintian (errors fail, warnings are shown).
package: build
	@KBCFG_PACKAGE_DEPS=1 bash scripts/install-deps
	@cd $(BUILD) && cpack -G DEB >/dev/null
	@deb=$$(ls -t $(BUILD)/kbcfg_*.deb | head -1) && echo "$$deb" && lintian --fail-on error "$$deb"

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
check-asan: deps
	@cmake -S . -B build-asan -G Ninja -DKBCFG_SANITIZE=ON -DKBCFG_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) --timeout 900

# The core and the command line alone, configured without the desktop tool: neither may need Qt.
# With ccache and the same CMAKE_FLAGS as the main build, its objects come from the cache.
check-nogui: deps
	@cmake -S . -B build-nogui -G Ninja -DKBCFG_GUI=OFF -DKBCFG_TESTS=OFF -DKBCFG_BENCH=OFF \
		$(CMAKE_FLAGS) >/dev/null
	@! grep -q '^Qt6_DIR:PATH=/' build-nogui/CMakeCache.txt || \
		{ echo "check-nogui: the build without the GUI looked for Qt"; exit 1; }
	@cmake --build build-nogui -j $(JOBS) --target kbcfg
	@build-nogui/bin/kbcfg --version >/dev/null

# The discovery hand-off and the simulator threads under ThreadSanitizer.
check-tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DKBCFG_BENCH=OFF -DKBCFG_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
		-DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target kbcfg_remote_tests kbcfg_devices_tests kbcfg_users_tests kbcfg kbcfg_cli_tests
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(JOBS) --timeout 900 -L 'remote|devices|users'
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(JOBS) --timeout 900 -R 'AssignCli|FleetCli'

# The core, the command line and the simulated device libraries cross-built for 64-bit Windows
# with MinGW-w64 (cmake/windows-x64.cmake), with their test programs; no desktop tool and no
# fleet backup history (no libgit2 for MinGW). Without debug information: static programs of a few
# megabytes link and start under Wine in a fraction of the time. With ccache its objects are
# cached as the main build's are.
windows: deps
	@KBCFG_WINDOWS_DEPS=1 bash scripts/install-deps
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/windows-x64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DKBCFG_GUI=OFF -DKBCFG_BENCH=OFF -DKBCFG_HISTORY=OFF \
		-DKBCFG_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target kbcfg VyxNetSDK Vorp $(WINDOWS_TESTS)

# Every Windows test program run under Wine (scripts/check-windows).
check-windows: windows
	@bash scripts/check-windows $(WINDOWS_BUILD) $(WINDOWS_TESTS)

# kbcfg-VERSION-windows-x64.zip in $(WINDOWS_BUILD): kbcfg.exe, the device libraries, README.txt.
package-windows: windows
	@cmake --build $(WINDOWS_BUILD) --target kbcfg_package_windows >/dev/null
	@ls -t $(WINDOWS_BUILD)/kbcfg-*-windows-x64.zip | head -1

bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target kbcfg_benchmarks
	@for b in convert load_save devices channels; do \
		[ ! -x $(BUILD)/bin/kbcfg_$${b}_bench ] || QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kbcfg_$${b}_bench || exit 1; \
	done

# libFuzzer with clang, ASan and UBSan: the raw-bytes and edit-script targets on the loader, one
# fast target per converter, and one per reader of text. All of them run in about FUZZ_SECONDS,
# JOBS at a time.
fuzz: deps
	@KBCFG_FUZZ_DEPS=1 bash scripts/install-deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKBCFG_FUZZ=ON -DKBCFG_TESTS=ON -DKBCFG_BENCH=OFF -DKBCFG_GUI=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target kbcfg_fuzz_targets kbcfg_make_seeds
	@mkdir -p build-fuzz/corpus && build-fuzz/bin/kbcfg_make_seeds build-fuzz/corpus
	@build-fuzz/bin/kbcfg_make_seeds --text build-fuzz/text-seeds
	@bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS) $(JOBS)

format: deps
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

# Fails, naming each place, when a file is not formatted as .clang-format says (make format).
# Also: no system header (POSIX or Windows) anywhere in src/ but the platform layer.
format-check: deps
	@clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')
	@! git grep -nE '^#include <($(SYSTEM_HEADERS))\.h>' -- src ':!src/platform' || \
		{ echo "format-check: a system header outside src/platform"; exit 1; }

# clang-tidy over src/ as .clang-tidy says, with the flags of the build; any finding fails.
tidy: build
	@python3 scripts/tidy $(BUILD) $(JOBS)

clean:
	@rm -rf $(BUILD) build-asan build-tsan build-fuzz build-nogui $(WINDOWS_BUILD)
