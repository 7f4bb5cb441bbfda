# Sourced by scripts/bootstrap: the package half of set-up, as functions the
# set-up tests run against stand-in apt-get, dpkg and dpkg-query commands.
#
#   setup_packages native|full
#
# native: the toolchain and libraries the native build needs (the demo).
# full:   everything the test command and the release need. 32-bit Wine is
#         installed only where this machine runs 32-bit programs and Debian
#         can satisfy it; otherwise one line says why and CACHE/no-32bit
#         holds the reason the test command gives for skipping x86 runs.
#
# A package index that will not download is retried, then named and left
# out; any package other than 32-bit Wine that cannot be installed fails
# set-up, naming it.

CACHE=${TORVANE_CACHE:-/var/cache/torvane}
APT_TRIES=${TORVANE_APT_TRIES:-3}
APT_RETRY_DELAY=${TORVANE_APT_RETRY_DELAY:-5}
# 32-bit Wine that could not be installed is tried again after this long.
WINE32_RETRY_SECONDS=${TORVANE_WINE32_RETRY_SECONDS:-86400}

native_packages=(
  build-essential cmake ninja-build pkg-config python3 git
  libssl-dev libexpat1-dev libgtest-dev googletest libbenchmark-dev libcurl4-openssl-dev
  openssl
)
full_packages=(
  dpkg-dev clang libclang-rt-14-dev libfuzzer-14-dev
  curl libsoap-lite-perl libaxis-java default-jdk-headless
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine wine64 xvfb xauth
  fonts-wqy-microhei fonts-wine imagemagick
  locales osslsigncode
)
wine32=wine32:i386

log() { printf 'bootstrap: %s\n' "$*" >&2; }

missing() {  # NAME[:ARCH]...: prints those not installed, one a line (one dpkg-query)
  local -A have=()
  local name arch status p native
  native=$(dpkg --print-architecture)
  while read -r name arch status; do
    [[ $status == ii* ]] || continue
    have[$name:$arch]=1
    [[ $arch == "$native" || $arch == all ]] && have[$name]=1
  done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' "$@" 2>/dev/null)
  for p in "$@"; do [[ -n ${have[$p]:-} ]] || printf '%s\n' "$p"; done
}

installed() { [[ -z $(missing "$1") ]]; }

# The smallest static i386 Linux program: exit(42) through int 0x80. A
# kernel without 32-bit emulation refuses it ("Exec format error").
write_32bit_probe() {
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$1"
  chmod 755 "$1"
}

# Whether this machine runs 32-bit x86 programs (TORVANE_32BIT_PROBE names
# another probe; it must exit 42).
runs_32bit() {
  local probe=${TORVANE_32BIT_PROBE:-} dir rc
  if [[ -z $probe ]]; then
    dir=$(mktemp -d)
    probe=$dir/probe32
    write_32bit_probe "$probe"
  fi
  # Started by bash, which refuses a binary it cannot run instead of
  # handing it to /bin/sh as a script.
  timeout 10 bash -c 'exec "$0"' "$probe" >/dev/null 2>&1
  rc=$?
  [[ -n ${dir:-} ]] && rm -rf "$dir"
  ((rc == 42))
}

# apt-get update, tried APT_TRIES times; an index still failing after that
# is named in one line and set-up goes on with the rest.
apt_update() {
  local try out=
  for ((try = 1; try <= APT_TRIES; try++)); do
    out=$(apt-get update -qq 2>&1) && return 0
    ((try < APT_TRIES)) && sleep "$APT_RETRY_DELAY"
  done
  local failed
  failed=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' <<<"$out" | sort -u | tr '\n' ' ')
  if [[ -n $failed ]]; then
    log "package index not fetched after $APT_TRIES tries, going on without it: ${failed% }"
  else
    log "apt-get update failed $APT_TRIES times, going on with the indexes there are: $(grep -m1 '^E:' <<<"$out")"
  fi
}

apt_install() {  # NAME...
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

# Why apt would not install PACKAGE, in one line (its first complaint).
apt_refusal() {
  apt-get install -s -qq --no-install-recommends "$1" 2>&1 |
    grep -m1 -E 'Depends:|^E:' | sed 's/^ *//; s/  */ /g'
}

# Installs NAME...; on failure finds out which of them cannot be installed
# and fails naming each with apt's reason.
install_or_fail() {
  local out p bad=()
  out=$(apt_install "$@" 2>&1) && return 0
  for p in "$@"; do
    apt-get install -s -qq --no-install-recommends "$p" >/dev/null 2>&1 || bad+=("$p")
  done
  if ((${#bad[@]})); then
    for p in "${bad[@]}"; do log "cannot install $p: $(apt_refusal "$p")"; done
    log "set-up failed: cannot install ${bad[*]}"
  else
    log "set-up failed: apt-get install $*: $(grep -m1 '^E:' <<<"$out")"
  fi
  return 1
}

# Installs 32-bit Wine if Debian can satisfy it now; otherwise says why,
# changes nothing, and records the reason for the test command.
install_wine32() {
  local why
  if ! apt-get install -s -qq --no-install-recommends "$wine32" >/dev/null 2>&1; then
    why=$(apt_refusal "$wine32")
  elif ! apt_install "$wine32" >/dev/null 2>&1; then
    why="apt-get install $wine32 failed"
    # Leave dpkg consistent: finish or undo what the failed run left half done.
    dpkg --configure -a >/dev/null 2>&1
    apt-get install -f -y -qq >/dev/null 2>&1
    if [[ -n $(dpkg --audit 2>/dev/null) ]]; then
      log "set-up failed: the package state is inconsistent after $why (see dpkg --audit)"
      return 1
    fi
  else
    rm -f "$CACHE/no-32bit"
    return 0
  fi
  log "32-bit Wine could not be installed (${why:-apt refused it}); setting up the 64-bit half only"
  echo "32-bit Wine could not be installed" >"$CACHE/no-32bit"
}

setup_packages() {  # native|full
  local profile=$1 want32=no need
  local wanted=("${native_packages[@]}")
  mkdir -p "$CACHE"
  if [[ $profile == full ]]; then
    wanted+=("${full_packages[@]}")
    if runs_32bit; then
      want32=yes
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        log "adding the i386 architecture (32-bit Wine)"
        dpkg --add-architecture i386
        rm -f "$CACHE/.apt-updated"
      fi
    else
      log "this machine does not run 32-bit programs: setting up the 64-bit half only"
      echo "this machine does not run 32-bit programs" >"$CACHE/no-32bit"
    fi
  fi

  need=$(missing "${wanted[@]}")
  # 32-bit Wine that could not be had is asked for again only after a while,
  # so a lagging index does not cost every later run its retries.
  local retry32=no
  if [[ $want32 == yes ]] && ! installed "$wine32"; then
    if [[ $(cat "$CACHE/no-32bit" 2>/dev/null) != "32-bit Wine could not be installed" ]] ||
       (($(date +%s) - $(stat -c %Y "$CACHE/no-32bit") >= WINE32_RETRY_SECONDS)); then
      retry32=yes
    else
      log "$(cat "$CACHE/no-32bit") (tried at $(date -r "$CACHE/no-32bit" '+%F %T'); again after a day); setting up the 64-bit half only"
    fi
  fi

  if [[ -n $need || $retry32 == yes || ! -f $CACHE/.apt-updated ]]; then
    log "apt-get update"
    apt_update
    touch "$CACHE/.apt-updated"
    need=$(missing "${wanted[@]}")
  fi
  if [[ -n $need ]]; then
    log "installing: $(echo $need)"
    # shellcheck disable=SC2086
    install_or_fail $need >&2 || return 1
  fi
  if [[ $retry32 == yes ]]; then
    log "installing: $wine32"
    install_wine32 || return 1
  elif [[ $want32 == yes ]] && installed "$wine32"; then
    rm -f "$CACHE/no-32bit"
  fi
  return 0
}
