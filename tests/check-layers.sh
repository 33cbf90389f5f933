#!/bin/bash
# check-layers.sh [ROOT] - fails when a source folder includes a header of a folder above it.
# The program's layers, bottom to top: base/, settings/, then send/ and receive/ side by side
# (neither includes the other), then app/. The message service (msgsvc/) stands on base/ alone.
set -uo pipefail
ROOT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
declare -A may_include=(
    [base]="base"
    [settings]="base settings"
    [send]="base settings send"
    [receive]="base settings receive"
    [app]="base settings send receive app"
    [msgsvc]="base msgsvc"
)
checked=0 bad=0
for folder in base settings send receive app msgsvc; do
    if [ ! -d "$ROOT/$folder" ]; then
        echo "check-layers: FAILED: no folder $ROOT/$folder"
        exit 1
    fi
    while IFS= read -r hit; do
        file=${hit%%:*} rest=${hit#*:}
        line=${rest%%:*} header=${rest#*\"}
        header=${header%%\"*}
        top=${header%%/*}
        checked=$((checked + 1))
        # A header named without a folder is the including file's neighbour.
        [ "$top" = "$header" ] && continue
        case " ${may_include[$folder]} " in
            *" $top "*) ;;
            *) echo "check-layers: ${file#"$ROOT"/}:$line: $folder/ includes $header ($top/ is not below it)"; bad=1 ;;
        esac
    done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$ROOT/$folder")
done
if [ "$bad" -ne 0 ]; then
    echo "check-layers: FAILED"
    exit 1
fi
echo "check-layers: $checked includes, none reaches up"
