# Sourced by run-sanitizers.sh and run-fuzz.sh: the build folder and the runtime options
# of the sanitizers. Any finding stops the program with a non-zero status.
build_asan="${RELVANO_ASAN_BUILD:-build-asan}"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# Configures (clang, no window; -O1 and line tables only: about half the build time of
# -O2 -g, and stacks still name file and line) and builds the given targets.
construye_asan() {
  cmake -S . -B "$build_asan" -DCMAKE_CXX_COMPILER="${RELVANO_CLANGXX:-clang++}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
    -DRELVANO_BUILD_GUI=OFF -DRELVANO_FUZZ=ON >/dev/null
  cmake --build "$build_asan" -j"${RELVANO_JOBS:-2}" "$@"
}
