# Thin wrapper over CMake. `make run` and `make test` set everything up.
BUILD ?= build
ASAN_BUILD ?= build-asan
PREFIX ?= /usr/local
# Where the Vim syntax and file type files go: below the prefix unless given.
VIMFILES ?= $(PREFIX)/share/vim/vimfiles
JOBS ?= $(shell nproc)
EXAMPLE ?= examples/showcase.dv

.PHONY: all setup configure build run test test-slow test-sanitize test-leaks fuzz bench bench-smoke install clean format

all: build

setup:
	@bash scripts/setup.sh

# WERROR=ON (CI sets it) makes any compiler warning fail the build, WERROR=OFF
# lets warnings pass again; left unset, a build keeps the setting it has.
WERROR ?=
WERROR_OPTION = $(if $(WERROR),-DDREVEL_WERROR=$(WERROR))

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(WERROR_OPTION)

configure: setup $(BUILD)/CMakeCache.txt
	$(if $(WERROR),cmake -S . -B $(BUILD) $(WERROR_OPTION) > /dev/null)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Only the interpreter: the test programs are left for `make test`.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target drevel
	./$(BUILD)/drevel $(EXAMPLE)

# Everything but the tests labelled "slow" (soak, load, largest rasters):
# those run with `make test-slow`, and CI runs both.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

test-slow: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L slow

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDREVEL_SANITIZE=ON $(WERROR_OPTION)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS)

# Benchmarks against python3 and lua5.4 (bench/README.md); not part of `make test`.
# The unit and script tests of the sanitizer build with LeakSanitizer on:
# any leak makes the process fail and so its test. The test that opens SDL
# with no display is left out: SDL's own probing of its video drivers keeps
# memory that no call of ours can give back.
test-leaks: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DDREVEL_SANITIZE=ON $(WERROR_OPTION)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=exitcode=23 \
		ctest --output-on-failure -j $(JOBS) \
		-E '^integration/|^GraphicsContextLife.NoWindowWithoutADisplay$$'

# Every fuzz target for a bounded time (FUZZ_SECONDS in all, default 60).
fuzz: setup
	bash scripts/fuzz.sh

bench: build
	python3 bench/run --drevel $(BUILD)/drevel

# One quick pass at reduced sizes that only checks the three outputs agree.
bench-smoke: build
	python3 bench/run --smoke --drevel $(BUILD)/drevel

install: build
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/man/man1
	install -m 755 $(BUILD)/drevel $(DESTDIR)$(PREFIX)/bin/drevel
	install -m 644 docs/drevel.1 $(DESTDIR)$(PREFIX)/share/man/man1/drevel.1
	install -d $(DESTDIR)$(VIMFILES)/syntax $(DESTDIR)$(VIMFILES)/ftdetect
	install -m 644 editors/vim/syntax/drevel.vim $(DESTDIR)$(VIMFILES)/syntax/drevel.vim
	install -m 644 editors/vim/ftdetect/drevel.vim $(DESTDIR)$(VIMFILES)/ftdetect/drevel.vim

format:
	clang-format -i $$(find src tests fuzz -name '*.cpp' -o -name '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
