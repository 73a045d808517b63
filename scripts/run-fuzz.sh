#!/usr/bin/env bash
# A bounded libFuzzer run of the chain file reader and the line parsers (fuzz/), built
# with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/.
#
#   bash scripts/run-fuzz.sh            # 60 s per target, as CI runs it
#   bash scripts/run-fuzz.sh 3600       # an hour per target
#   bash scripts/run-fuzz.sh 600 fuzz_campos
#
# Inputs found new are kept in build-asan/fuzz/nuevos/<target>/ (the seed corpus in
# fuzz/corpus/ is only read); an input that crashes is written to
# build-asan/fuzz/fallos/<target>/ and the script fails, naming it. Replay one with
# build-asan/<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."
segundos="${1:-60}"
shift || true
objetivos=("$@")
[ ${#objetivos[@]} -gt 0 ] || objetivos=(fuzz_lector fuzz_campos)

source scripts/sanitizer-env.sh
construye_asan --target "${objetivos[@]}"

fallidos=()
for objetivo in "${objetivos[@]}"; do
  nuevos="$build_asan/fuzz/nuevos/$objetivo"
  fallos="$build_asan/fuzz/fallos/$objetivo"
  mkdir -p "$nuevos" "$fallos"
  echo "== $objetivo: $segundos s"
  salida="$build_asan/fuzz/$objetivo.log"
  estado=0
  "$build_asan/$objetivo" -max_total_time="$segundos" -rss_limit_mb=2048 -timeout=10 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$fallos/" \
    "$nuevos" "fuzz/corpus/$objetivo" >"$salida" 2>&1 || estado=$?
  if [ "$estado" -ne 0 ]; then
    tail -n 60 "$salida"
    echo "$objetivo: FALLO (estado $estado); entrada en $fallos/:"
    ls -1 "$fallos"
    fallidos+=("$objetivo")
  else
    grep -E '^(INFO: seed corpus|#[0-9]+[[:space:]]+(INITED|DONE))|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb|new_units_added)' "$salida" || true
  fi
done
[ ${#fallidos[@]} -eq 0 ] || { echo "Fuzzing falló: ${fallidos[*]}"; exit 1; }
