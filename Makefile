# Development entry points. Each target sets up what it needs first, and does
# so idempotently: the Debian packages, a virtual environment with the Python
# tools, and the build of the extension.
#
#   make demo   the main job on the bundled sample
#   make test   every test: C++ (plain and sanitized), pytest (with the shared
#               documents and without them), mypy and ruff, and the manylinux
#               wheel installed into a fresh environment
#   make wheel  the abi3 manylinux_2_28 wheel (zig's toolchain), repaired by
#               auditwheel, in dist/

SHELL := /bin/bash
PYTHON ?= python3
VENV := .venv
BIN := $(CURDIR)/$(VENV)/bin
PY := $(BIN)/python
JOBS ?= 2
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
DEBIAN_PACKAGES := g++ libpcre2-dev libgtest-dev unicode-data fonts-dejavu-core \
  tesseract-ocr tesseract-ocr-eng tesseract-ocr-osd
export PATH := $(BIN):$(PATH)

.PHONY: demo test setup deps build test-native test-sanitize test-python test-fresh lint wheel test-wheel clean

demo: build
	$(PY) -m textloom

test: build test-native test-sanitize test-python test-fresh lint test-wheel

setup: deps $(VENV)/.installed

deps:
	@missing=""; \
	for package in $(DEBIAN_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$package 2>/dev/null | grep -q "ok installed" || missing="$$missing $$package"; \
	done; \
	$(PYTHON) -c "import venv, ensurepip" 2>/dev/null || missing="$$missing python3-venv"; \
	if [ -n "$$missing" ]; then \
	  echo "installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq && $(SUDO) DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

$(VENV)/.installed: requirements-dev.txt
	$(MAKE) --no-print-directory deps
	[ -x $(PY) ] || $(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q -r requirements-dev.txt
	touch $@

build: setup
	$(PY) -m pip install -q --no-build-isolation --no-deps .

test-native: setup
	cmake -S . -B build/tests -G Ninja -DTEXTLOOM_TESTS=ON -DTEXTLOOM_WERROR=ON
	cmake --build build/tests -j $(JOBS)
	ctest --test-dir build/tests --output-on-failure --progress -j $(JOBS)

test-sanitize: setup
	cmake -S . -B build/sanitize -G Ninja -DTEXTLOOM_TESTS=ON -DTEXTLOOM_WERROR=ON \
	  -DTEXTLOOM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build build/sanitize -j $(JOBS) --target core_tests
	ctest --test-dir build/sanitize --output-on-failure --progress -j $(JOBS)

# Needs build/tests/glyph_dump from test-native.
test-python: build test-native
	$(PY) -m pytest -q

# The tests that read the shared documents, once more with them absent, as on
# a fresh clone of the project alone: they must skip, saying why, not fail.
test-fresh: build
	TEXTLOOM_SHARED=$(CURDIR)/build/no-shared $(PY) -m pytest -q -p no:cacheprovider -m shared

lint: build
	$(PY) -m ruff check src tests tools bench examples
	$(PY) -m mypy src/textloom examples
	$(PY) -m mypy.stubtest textloom._native

# The wheel users install without a compiler: zig's clang against glibc 2.28
# (cmake/zig-toolchain.cmake says why), in a build folder of its own so the
# developer build (gcc) stays as it is, with zig's cache of its C++ runtime
# (built on first use) under build/ too. ZIG is the binary inside the ziglang
# package. auditwheel checks that the extension needs nothing beyond the
# manylinux_2_28 policy and tags it so; --only-plat keeps the tag at the glibc
# the toolchain aims at, not an older one that this build's symbols happen to
# allow, on which nothing is tried.
ZIG_TOOLCHAIN := $(CURDIR)/cmake/zig-toolchain.cmake
WHEEL_PLATFORM := manylinux_2_28_x86_64

wheel: build
	rm -rf dist
	ZIG="$$($(PY) -c 'import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), "zig"))')" \
	ZIG_GLOBAL_CACHE_DIR=$(CURDIR)/build/zig-cache CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) \
	  $(PY) -m pip wheel -q --no-build-isolation --no-deps -w dist/unrepaired \
	  -C build-dir=build/wheel-zig -C cmake.define.CMAKE_TOOLCHAIN_FILE=$(ZIG_TOOLCHAIN) .
	$(PY) -m auditwheel repair --plat $(WHEEL_PLATFORM) --only-plat -w dist dist/unrepaired/*.whl
	rm -rf dist/unrepaired

test-wheel: wheel
	$(PY) -m pytest -q -p no:cacheprovider tests/wheel

clean:
	rm -rf build dist $(VENV)
