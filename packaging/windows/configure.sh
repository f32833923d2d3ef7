# Shell functions shared by the Windows check and the Windows zip (sourced, not run).

# A Linux path as wine's Windows programs see it (wine maps / to drive Z:).
WindowsPath() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

# The folders of the MinGW runtime DLLs (libstdc++, libgcc, winpthread) of the posix cross
# compiler, one per line.
MingwRuntimeFolders() {
  local dll
  for dll in libstdc++-6.dll libwinpthread-1.dll; do
    dirname "$(realpath -m "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")"
  done
}

# The folders of libxlsxwriter.dll (in the folder build-xlsxwriter.sh printed) and of the
# zlib1.dll it imports (Debian's libz-mingw-w64), one per line.
XlsxwriterFolders() {
  printf '%s\n' "$1/bin"
  dirname "$(realpath -m "$(x86_64-w64-mingw32-gcc-posix -print-file-name=zlib1.dll)")"
}

# Exports what wine needs to run the cross-built programs without staging them: the Qt,
# libxlsxwriter and MinGW runtime DLLs through WINEPATH, the plugins through QT_PLUGIN_PATH,
# and a quiet prefix with no offers to install Mono or Gecko. Wine has a zlib1.dll of its
# own and takes it before Debian's, beside a program or on WINEPATH.
ExportWineRunPaths() {
  local kit=$1 xlsxwriter=$2 folder
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  WINEPATH=$(WindowsPath "$kit/bin")
  while read -r folder; do
    WINEPATH+=";$(WindowsPath "$folder")"
  done < <(XlsxwriterFolders "$xlsxwriter"; MingwRuntimeFolders)
  QT_PLUGIN_PATH=$(WindowsPath "$kit/plugins")
  export WINEPATH QT_PLUGIN_PATH
}

# Configures a cross build against the Qt kit and libxlsxwriter (the folders build-qt.sh and
# build-xlsxwriter.sh printed): Qt's own toolchain file finds the kit (and the host's moc, rcc
# and uic) and hands on to the project's mingw-w64 file. The programs share the C++ runtime
# DLLs that the Qt DLLs use, so one runtime serves the whole process.
ConfigureWindowsBuild() {
  local kit=$1 xlsxwriter=$2 build=$3
  shift 3
  # -O2 as in Debian's own builds: GCC 12 at -O3 warns falsely (-Wrestrict) inside std::string.
  cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$kit/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DTALLIVO_SHARED_RUNTIME=ON \
    -DTALLIVO_XLSXWRITER_PREFIX="$xlsxwriter" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DTALLIVO_BENCH=OFF "$@"
}
