# Shared steps of the project's scripts; sourced, not run.

# Debian's interpreter: it has the Debian packages below (the first python3
# on PATH may be another one).
PYTHON=/usr/bin/python3
VENV=build/venv

# Installs the Debian packages the build and the tests need, if missing.
install_deps() {
    local packages=(g++ meson ninja-build pkg-config python3-dev python3-venv python3-pip
                    python3-mesonpy python3-pytest python3-mypy libgtest-dev util-linux)
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

# Builds the wheel with pip, as a user would, into build/dist, and installs
# it into a venv made from Debian's interpreter.
install_module() {
    [ -x "$VENV/bin/python" ] || "$PYTHON" -m venv --system-site-packages "$VENV"
    rm -rf build/dist
    "$VENV/bin/pip" wheel --quiet --no-build-isolation --no-index --no-deps --wheel-dir build/dist \
        --config-settings=builddir=build/wheel .
    "$VENV/bin/pip" install --quiet --no-index --no-deps --force-reinstall build/dist/tarvina_smi-*.whl
}

# Checks the wheel's type stubs: they describe the installed module exactly,
# and a type checker in a fresh venv with only the wheel installed finds them.
check_stubs() {
    (cd build && "../$VENV/bin/python" -m mypy.stubtest tarvina_smi)
    local venv=build/typecheck
    rm -rf "$venv"
    "$PYTHON" -m venv --system-site-packages "$venv"
    "$venv/bin/pip" install --quiet --no-index --no-deps build/dist/tarvina_smi-*.whl
    (cd build && "typecheck/bin/python" -m mypy --strict --no-incremental ../smi-py/typing/usage.py)
    # A wrong use must be caught, which only the stubs can tell.
    if (cd build && "typecheck/bin/python" -m mypy --no-incremental \
            -c 'import tarvina_smi; count: int = tarvina_smi.list_devices()' >/dev/null); then
        echo "mypy did not use the stubs of tarvina_smi" >&2
        return 1
    fi
}
