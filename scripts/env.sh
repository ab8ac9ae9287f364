# Shared set-up for the project scripts: finds Python 3.13+, installs the
# system packages (as root, with apt), and builds the module into .venv.
# Sourced by scripts/tour and scripts/test; fails loudly at the first problem.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VENV="$ROOT/.venv"
BUILD_DIR="$ROOT/build/py"

die() { echo "error: $*" >&2; exit 1; }
note() { echo "==> $*" >&2; }

# A candidate counts only if it really runs and is 3.13 or newer (a pyenv
# shim on PATH may exist and still refuse to run).
python_ok() {
  "$1" -c 'import sys; sys.exit(0 if sys.version_info >= (3, 13) else 1)' >/dev/null 2>&1
}

find_python() {
  local c
  if [ -n "${PELRIN_PYTHON:-}" ]; then
    python_ok "$PELRIN_PYTHON" || die "PELRIN_PYTHON=$PELRIN_PYTHON is not a working Python 3.13+"
    echo "$PELRIN_PYTHON"; return
  fi
  for c in python3.14 python3.13; do
    if command -v "$c" >/dev/null 2>&1 && python_ok "$c"; then command -v "$c"; return; fi
  done
  for c in "$HOME"/.pyenv/versions/3.1[3-9]*/bin/python3 /usr/bin/python3.14 /usr/bin/python3.13 /usr/bin/python3 python3; do
    if [ -x "$c" ] || command -v "$c" >/dev/null 2>&1; then
      if python_ok "$c"; then echo "$c"; return; fi
    fi
  done
  return 1
}

apt_install() {
  if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    die "missing system packages ($*); install them with apt-get as root"
  fi
  note "apt-get install $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq || die "apt-get update failed"
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null || die "apt-get install $* failed"
}

install_system_packages() {
  local missing=() p
  while read -r p; do
    [ -z "$p" ] && continue
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done < "$ROOT/scripts/apt-packages.txt"
  if [ ${#missing[@]} -gt 0 ]; then
    if command -v dpkg >/dev/null 2>&1; then apt_install "${missing[@]}"; fi
  fi
}

ensure_python() {
  local py
  if ! py="$(find_python)"; then
    apt_install python3.13-dev python3.13-venv
    py="$(find_python)" || die "no Python 3.13+ found after installing python3.13"
  fi
  # The build needs the interpreter's headers; Debian's python3.13 keeps them
  # in a separate package.
  if ! "$py" -c 'import sysconfig, os, sys; sys.exit(0 if os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")) else 1)'; then
    local v; v="$("$py" -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")')"
    apt_install "python$v-dev" "python$v-venv"
  fi
  echo "$py"
}

ensure_venv() {
  local py="$1"
  if [ -x "$VENV/bin/python" ] && ! python_ok "$VENV/bin/python"; then rm -rf "$VENV"; fi
  if [ ! -x "$VENV/bin/python" ]; then
    note "creating $VENV with $py"
    "$py" -m venv "$VENV" || die "could not create the virtual environment"
  fi
  "$VENV/bin/python" -m pip install -q --disable-pip-version-check -r "$ROOT/scripts/requirements-dev.txt" \
    || die "pip install of the development requirements failed"
}

build_module() {
  note "building pelrin_native into $VENV"
  mkdir -p "$BUILD_DIR"
  # A persistent build directory keeps rebuilds incremental; testing targets
  # (GoogleTest, the test-only extension) are built there but never installed.
  PATH="$VENV/bin:$PATH" "$VENV/bin/python" -m pip install -q --disable-pip-version-check \
    --no-build-isolation --no-deps \
    -C build-dir="$BUILD_DIR" -C cmake.define.PELRIN_TESTING=ON -C cmake.define.PELRIN_WERROR="${PELRIN_WERROR:-OFF}" -C cmake.build-type=Release \
    "$ROOT" || die "building the module failed"
}

setup_all() {
  install_system_packages
  local py; py="$(ensure_python)"
  ensure_venv "$py"
  build_module
}
