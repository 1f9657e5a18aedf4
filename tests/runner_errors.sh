#!/usr/bin/env bash
# A scenario the runner cannot read must stop it before anything runs, with
# exit status 2 and a message naming the file and line; one it can read,
# --parse gives as JSON, and --words splits lines the same way.
set -u
runner=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

expect_refused() {
  local name=$1 text=$2 line=$3
  printf '%b' "$text" >"$dir/$name.scn"
  out=$("$runner" "$dir/$name.scn" 2>"$dir/err")
  status=$?
  [ "$status" -eq 2 ] ||
    { echo "$name: exit status $status, expected 2"; failed=1; }
  [ -z "$out" ] ||
    { echo "$name: printed a transcript although refused: $out"; failed=1; }
  grep -q "$dir/$name.scn:$line:" "$dir/err" ||
    { echo "$name: message does not name line $line: $(cat "$dir/err")"; failed=1; }
}

expect_refused unknown 'os win98\nbogus 1 2\n' 2
expect_refused after-actions 'os win98\n---\nclick left\nattached 3\n' 4
expect_refused unterminated 'value HKCC "a" "b" sz "open\n' 1
expect_refused bad-number 'attached three\n' 1
expect_refused bad-action 'os nt4\n---\nclick middle\n' 3
expect_output() {
  local what=$1 got=$2 want=$3
  [ "$got" = "$want" ] || { echo "$what: got $got"; failed=1; }
}
printf 'os win98 # note\nswitch-text "a\\x80\\"b\\n\xe5\xa4\xa7"\n---\nclick left\n' \
  >"$dir/parse.scn"
parsed=$("$runner" --parse "$dir/parse.scn")
expect_output --parse "$(sed -n '/"statements"/,$p' <<<"$parsed")" ' "statements": [
  [0, [["os", false], ["win98", false]]],
  [5, [["switch-text", false], ["a\udc80\"b\u000a大", true]]]],
 "actions": [
  [29, [["click", false], ["left", false]]]]}'
expect_output "--parse language" "$(sed -n 2p <<<"$parsed")" \
  '  ["os", false, "r", true, "a Windows release by name"],'
expect_output --words "$(printf 'box 0 "x y" -> 1\n"open\n' | "$runner" --words)" \
  '[["box", false], ["0", false], ["x y", true], ["->", false], ["1", false]]
null'
exit $failed
