#!/usr/bin/env bash
# scripts/check-layers.sh against its own table: the real tree passes; in a
# copy, one include is added at a time for every ordered pair of folders.
# Each pair the table does not allow must fail naming the file; each it
# allows (a folder or a single header) must pass.
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
table="$repo/src/layers.txt"
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
errors=0
fail() {
    echo "FAIL: $*"
    errors=$((errors + 1))
}

"$repo/scripts/check-layers.sh" >"$copy/real.out" 2>&1 || fail "the real tree: $(cat "$copy/real.out")"

mkdir "$copy/tree" "$copy/tree/scripts"
cp "$repo/scripts/check-layers.sh" "$copy/tree/scripts/"
cp -r "$repo/src" "$copy/tree/src"
cd "$copy/tree" || exit 1

# Adds one include to a source of folder `from`, runs the check, restores it.
try() {
    local from=$1 header=$2 expect=$3 file
    file=$(find "src/$from" -maxdepth 1 -name '*.cpp' | sort | head -n 1)
    cp "$file" "$copy/saved"
    echo "#include \"$header\"" >>"$file"
    if scripts/check-layers.sh >"$copy/out" 2>&1; then
        [ "$expect" = pass ] || fail "$from -> $header was not refused"
    elif [ "$expect" = pass ]; then
        fail "$from -> $header is allowed but refused: $(cat "$copy/out")"
    elif ! grep -q "^$file:" "$copy/out"; then
        fail "$from -> $header refused without naming $file: $(cat "$copy/out")"
    fi
    cp "$copy/saved" "$file"
}

folders=$(grep -E '^[a-z/]+:' "$table" | cut -d: -f1)
refused=0
for from in $folders; do
    allowed=" $(grep -E "^$from:" "$table" | cut -d: -f2-) "
    for to in $folders; do
        [ "$from" = "$to" ] && continue
        # a header of `to` that the table does not name on its own
        header=$(find "src/$to" -maxdepth 1 -name '*.h' | sort | sed 's#^src/##' |
            while read -r h; do [[ "$allowed" == *" $h "* ]] || echo "$h"; done | head -n 1)
        if [[ "$allowed" == *" $to "* ]]; then
            try "$from" "$header" pass
        else
            try "$from" "$header" fail
            refused=$((refused + 1))
        fi
    done
    for entry in $allowed; do
        [[ "$entry" == *.h ]] && try "$from" "$entry" pass
    done
done
echo "$refused edges refused"
[ "$refused" -gt 0 ] || fail "no edge was tried"
[ "$errors" -eq 0 ]
