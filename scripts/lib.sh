# Shared by run.sh and test.sh: the packages the build needs, installed only
# when missing.

TREVIN_PACKAGES=(
    g++ cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-translations-l10n libsoci-dev libboost-dev libsqlite3-dev libmariadb-dev
    libgtest-dev libgmock-dev
    mariadb-server mariadb-client
    xvfb xauth fonts-dejavu-core
    dbus-daemon libdbus-1-dev poppler-utils
)

trevin_missing_packages() {
    local p
    for p in "${TREVIN_PACKAGES[@]}"; do
        if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
            printf '%s\n' "$p"
        fi
    done
}

trevin_install_packages() {
    local missing
    missing=$(trevin_missing_packages)
    [ -z "$missing" ] && return 0
    echo "Installing: $(echo $missing)"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "Missing packages and not root: $(echo $missing)" >&2
            return 1
        fi
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

trevin_jobs() {
    echo "${TREVIN_JOBS:-8}"
}
