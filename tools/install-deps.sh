#!/usr/bin/env bash
# Installs the packages GLYCOMB needs that this machine lacks.
#
#   tools/install-deps.sh          to build and run the program
#   tools/install-deps.sh --test   also to build and run the tests
#   tools/install-deps.sh --ci     also what .ci/run needs (clang with libFuzzer, the .deb step,
#                                  a single-node Slurm)
#
# On Debian and Ubuntu the missing packages are installed with apt-get, through sudo when not
# run as root; nothing is printed when none is missing. On any other system the script lists the
# packages by their Debian names and what they are, and exits with 1 if one seems missing.
set -euo pipefail

usage() { echo "usage: $0 [--test | --ci]" >&2; exit 2; }
level=1
case $# in
  0) ;;
  1) case "$1" in --test) level=2 ;; --ci) level=3 ;; *) usage ;; esac ;;
  *) usage ;;
esac

# One package a line: the level that needs it (1 build, 2 test, 3 ci), whether it may be left
# out where the distribution has no such package (the tests skip what needs it), its Debian name,
# how its presence shows on a system without dpkg (cmd:NAME or a file), and what it is.
packages='
1 no  cmake              cmd:cmake                              CMake 3.25 or later, the build system
1 no  g++                cmd:g++                                GNU C++ compiler with C++20 support
1 no  make               cmd:make                               make, which runs the generated build files
1 no  nlohmann-json3-dev /usr/include/nlohmann/json.hpp         nlohmann/json, the JSON library (headers)
2 no  libgtest-dev       /usr/include/gtest/gtest.h             GoogleTest, the unit test framework
2 no  libxml2-dev        /usr/include/libxml2/libxml/parser.h   libxml2, which the tests read the report pages with
2 no  libpng-dev         /usr/include/png.h                     libpng, which the tests read the rendered report with
2 no  python3            cmd:python3                            Python 3, for the tests of the reference data tools
2 yes chromium           cmd:chromium                           Chromium, which renders the example report in a test
3 no  clang              cmd:clang++                            clang, which builds the fuzzing harnesses
3 no  libclang-rt-dev    fuzzer-runtime                         clang runtime libraries with libFuzzer
3 no  dpkg-dev           cmd:dpkg-shlibdeps                     dpkg-shlibdeps, which works out the .deb dependencies
3 no  file               cmd:file                               file, which CPack uses to find the binaries for dpkg-shlibdeps
3 no  munge              cmd:munged                             MUNGE, the credentials of the single-node Slurm of CI
3 no  slurmctld          cmd:slurmctld                          the Slurm controller, for the job-array run of CI
3 no  slurmd             cmd:slurmd                             the Slurm node daemon, for the job-array run of CI
3 no  slurm-client       cmd:sbatch                             sbatch, squeue and sinfo, for the job-array run of CI
'

# libFuzzer comes with clang's runtime libraries, whichever package of them put it there.
has_fuzzer_runtime() {
  command -v clang++ >/dev/null 2>&1 &&
    compgen -G "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null
}

# Whether a package (or, without dpkg, what it provides) is present.
present() {
  local name=$1 probe=$2
  if [ "$probe" = fuzzer-runtime ] && has_fuzzer_runtime; then return 0; fi
  if [ "$apt" = yes ]; then
    [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$name" 2>/dev/null)" = "ii " ]
  else
    case "$probe" in
      cmd:*) command -v "${probe#cmd:}" >/dev/null 2>&1 ;;
      fuzzer-runtime) return 1 ;;
      *) [ -e "$probe" ] ;;
    esac
  fi
}

# Debian, Ubuntu and the distributions built on them, with apt-get and dpkg-query at hand. (The
# tests of this script give another os-release file.)
os_release=${GLYCOMB_OS_RELEASE:-/etc/os-release}
apt=no
if [ -r "$os_release" ]; then
  os_id=$(. "$os_release" && echo "${ID-} ${ID_LIKE-}")
  case " $os_id " in
    *" debian "* | *" ubuntu "*)
      command -v apt-get >/dev/null 2>&1 && command -v dpkg-query >/dev/null 2>&1 && apt=yes ;;
  esac
fi

missing=() optional=() described=()
while read -r need opt name probe what; do
  [ -n "$need" ] && [ "$need" -le "$level" ] || continue
  present "$name" "$probe" && continue
  # Only a test needs an optional package, and it skips without it; CI needs every one.
  if [ "$opt" = yes ] && [ "$level" -lt 3 ]; then
    optional+=("$name")
    what="$what (optional)"
  else
    missing+=("$name")
  fi
  described+=("$(printf '  %-20s %s' "$name" "$what")")
done <<<"$packages"

if [ "$apt" = no ]; then
  [ ${#described[@]} -eq 0 ] && exit 0
  if [ ${#missing[@]} -eq 0 ]; then
    echo "Not found (Debian name), optional: the test that needs it will be skipped."
    printf '%s\n' "${described[@]}"
    exit 0
  fi
  echo "This system is not Debian or Ubuntu, so nothing was installed. Install these packages"
  echo "(Debian names; your distribution's may differ) and run the command again:"
  printf '%s\n' "${described[@]}"
  exit 1
fi

# Whether the package lists hold a version of the package to install.
installable() {
  local candidate
  candidate=$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

wanted=("${missing[@]}" "${optional[@]}")
if [ ${#wanted[@]} -gt 0 ]; then
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "These packages are missing and sudo is not installed; as root, run"
      echo "  apt-get update && apt-get install ${wanted[*]}"
      exit 1
    fi
    sudo=(sudo)
  fi
  # sudo resets the environment, so env sets the front end on the far side.
  apt_get=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
  updated=no
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing with apt-get: ${wanted[*]}"
    "${apt_get[@]}" update -q
    updated=yes
  fi
  # An optional package the distribution does not have (Ubuntu has no chromium package) is
  # left out, and its test skipped.
  for name in "${optional[@]}"; do
    if installable "$name"; then
      missing+=("$name")
    else
      echo "No package $name to install here: the test that needs it will be skipped."
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    if [ "$updated" = no ]; then
      echo "Installing with apt-get: ${missing[*]}"
      "${apt_get[@]}" update -q
    fi
    "${apt_get[@]}" install -y -q "${missing[@]}"
  fi
fi

# An older CMake would stop the build at its first line; say so here instead.
version=$(cmake --version | sed -n '1s/^cmake version \([0-9.]*\).*/\1/p')
if [ -n "$version" ] && [ "$(printf '%s\n' 3.25 "$version" | sort -V | head -n1)" != 3.25 ]; then
  echo "CMake $version is installed; GLYCOMB needs 3.25 or later. Install a newer CMake."
  exit 1
fi
