# The configuration of a build directory, to be sourced:
#   . scripts/configure.sh
#   configure_once DIR [CMAKE ARGUMENTS...]
# Configures DIR from the source tree with Ninja and warnings as errors, the
# first time, or again when DIR was configured without warnings as errors
# (before the option existed). Later runs leave DIR to Ninja, which
# configures it again itself when a CMakeLists.txt changes.
configure_once() {
  local dir=$1
  shift
  if [ -f "$dir/build.ninja" ] && grep -qs '^TAVRIN_WERROR:BOOL=ON$' "$dir/CMakeCache.txt"; then
    return 0
  fi
  cmake -S . -B "$dir" -G Ninja -DTAVRIN_WERROR=ON "$@"
}
