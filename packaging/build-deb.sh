#!/usr/bin/env bash
# Builds the Debian package with the compiler and linker flags Debian builds its own
# packages with (hardening included), in a build folder of its own:
#
#   bash packaging/build-deb.sh [build-folder]      (default: build-package)
#
# The package is left as <build-folder>/tallivo_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

# bindnow too, which Debian's defaults leave out.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

# The optimisation comes from Debian's flags (-O2); GCC 12 at -O3 also warns falsely
# (-Wrestrict) in std::string.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DTALLIVO_TESTS=OFF -DTALLIVO_BENCH=OFF
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target polling wizard
rm -f "$build"/tallivo_*.deb
(cd "$build" && cpack -G DEB)
