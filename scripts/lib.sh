# Shared steps of the project's scripts; sourced, not run.

# Debian's interpreter: it has the Debian packages below (the first python3
# on PATH may be another one).
PYTHON=/usr/bin/python3
VENV=build/venv

# Installs the Debian packages the build and the tests need, if missing.
install_deps() {
    local packages=(g++ meson ninja-build pkg-config python3-dev python3-venv python3-pip
                    python3-mesonpy python3-pytest libgtest-dev util-linux)
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

# Builds the wheel with pip, as a user would, and installs it into a venv
# made from Debian's interpreter.
install_module() {
    [ -x "$VENV/bin/python" ] || "$PYTHON" -m venv --system-site-packages "$VENV"
    "$VENV/bin/pip" install --quiet --no-build-isolation --no-index --no-deps --force-reinstall \
        --config-settings=builddir=build/wheel .
}
