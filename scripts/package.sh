#!/usr/bin/env bash
# Builds the release artifacts into dist/, each with the version in its name:
#   - the Debian package qzr71-adjust_VERSION-1_ARCH.deb (the tool, the simulated head, the
#     desktop entry and icons, manual pages), checked with lintian;
#   - the Windows zip qzr71adj-VERSION-win64.zip: the program, its readme and the licence.
# The version is the one in the top CMakeLists.txt's project() command, and nowhere else.
#   bash scripts/package.sh
# scripts/check-package.sh then tries the package as a user would, on a clean Debian 12.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dist=$root/dist
# Everything the builds date (the package's changelog) takes the last commit's time, so that the
# same commit gives the same artifacts.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

# The version, as CMake reads it.
project_version() {
  sed -n 's/^project(qzr71adj VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt
}

build_debian_package() {
  local build=$root/build/release
  bash scripts/install-deps.sh dpkg-dev file lintian
  # Debian's hardening flags (stack protector, fortified functions, full RELRO and immediate
  # binding), and the last commit's time for everything the build dates.
  local cxxflags ldflags
  cxxflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
  cxxflags+=" $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)"
  ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
  local launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

  # At -O2, as the tests run and as Debian builds (-O3 also brings g++ 12's false -Wrestrict).
  # A build folder made before with other flags keeps them in its cache: they are set anew.
  cmake --preset release -B "$build" -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "${launcher[@]}" >/dev/null
  cmake --build "$build" -j"${QZR71_JOBS:-2}"
  (cd "$build" && cpack -G DEB -B "$build/cpack" >/dev/null)

  local deb
  deb=$(find "$build/cpack" -maxdepth 1 -name "qzr71-adjust_$(project_version)-*.deb" -newer \
    "$build/CPackConfig.cmake" | head -n 1)
  if [ -z "$deb" ]; then
    echo "package.sh: CPack made no qzr71-adjust_$(project_version)-*.deb" >&2
    exit 1
  fi
  mkdir -p "$dist"
  rm -f "$dist"/qzr71-adjust_*.deb
  cp "$deb" "$dist/"
  deb=$dist/$(basename "$deb")
  echo "Debian package: ${deb#"$root"/} ($(du -k "$deb" | cut -f1) kB)"
  dpkg-deb --field "$deb" Depends | sed 's/^/  Depends: /'

  # Errors fail the build; the warnings that remain are told in the release notes.
  echo "lintian:"
  local report
  report=$(lintian --info --display-info "$deb" 2>&1 || true)
  if [ -n "$report" ]; then echo "$report" | sed 's/^/  /'; else echo "  nothing to report"; fi
  if echo "$report" | grep -q '^E: '; then
    echo "package.sh: lintian found errors" >&2
    exit 1
  fi
}

# The Windows program travels in a zip: qzr71adj.exe (cross-built with mingw-w64, linked
# statically, stripped), packaging/windows/README.txt and the licence, both as text with CR LF
# line ends, as dist/qzr71adj-VERSION-win64.zip.
build_windows_zip() {
  local build=$root/build/windows-release
  bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix zip unzip
  local launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake --preset windows-release -B "$build" "${launcher[@]}" >/dev/null
  cmake --build "$build" -j"${QZR71_JOBS:-2}" --target qzr71adj

  local stage zip
  stage=$(mktemp -d)
  x86_64-w64-mingw32-strip -o "$stage/qzr71adj.exe" "$build/win32/qzr71adj.exe"
  sed 's/\r$//; s/$/\r/' packaging/windows/README.txt >"$stage/README.txt"
  sed 's/\r$//; s/$/\r/' LICENSE >"$stage/LICENSE.txt"
  # The files carry the last commit's time, so that the same commit gives the same zip.
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
  zip=$dist/qzr71adj-$(project_version)-win64.zip
  mkdir -p "$dist"
  rm -f "$dist"/qzr71adj-*-win64.zip
  (cd "$stage" && TZ=UTC zip -q -X "$zip" qzr71adj.exe README.txt LICENSE.txt)
  echo "Windows zip: ${zip#"$root"/} ($(du -k "$zip" | cut -f1) kB)"
  unzip -l "$zip" | sed -n '4,6s/^/  /p'
  rm -rf "$stage"
}

build_debian_package
build_windows_zip
