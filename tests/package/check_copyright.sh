#!/usr/bin/env bash
# The package's copyright file in the machine-readable form (copyright-format 1.0): the format
# line first, every Files paragraph with its Copyright and License, the text of every licence
# that a Files paragraph names without one, and our own files under GPL-3+. LICENSE ($2), when
# the system has the text to compare with, is the GPL version 3.
set -euo pipefail
file=$1
license_file=$2
fail() {
  echo "$file: $*" >&2
  exit 1
}
head -n1 "$file" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the first line is not the Format field of copyright-format 1.0"
# One line per paragraph: its fields' names, the License field's value, whether it has text.
paragraphs=$(awk '
  function flush() { if (fields != "") print fields "|" license "|" text; fields = ""; license = ""; text = 0 }
  /^[[:space:]]*$/ { flush(); next }
  /^[^[:space:]#][^:]*:/ {
    name = $0; sub(/:.*/, "", name); fields = fields " " name
    if (name == "License") { license = $0; sub(/^License:[[:space:]]*/, "", license); field = "License" }
    else field = name
    next
  }
  /^[[:space:]]/ { if (field == "License") text = 1; next }
  END { flush() }' "$file")
files=$(grep -c '^ Files' <<<"$paragraphs" || true)
[ "$files" -gt 0 ] || fail "no Files paragraph"
while IFS='|' read -r fields license text; do
  case "$fields" in
    " Files"*)
      grep -q ' Copyright' <<<"$fields" || fail "a Files paragraph without Copyright"
      [ -n "$license" ] || fail "a Files paragraph without License"
      if [ "$text" = 0 ]; then
        grep -qx " License|$license|1" <<<"$paragraphs" ||
          fail "no text of the licence $license, neither in place nor in its own paragraph"
      fi
      ;;
  esac
done <<<"$paragraphs"
grep -q "^ Files Copyright License|GPL-3+|" <<<"$paragraphs" &&
  awk '/^Files:/ { print $2; exit }' "$file" | grep -qx '\*' ||
  fail "our own files (Files: *, the first paragraph) are not under GPL-3+"
if [ -r /usr/share/common-licenses/GPL-3 ]; then
  cmp -s "$license_file" /usr/share/common-licenses/GPL-3 ||
    { echo "$license_file is not the text of the GPL version 3" >&2; exit 1; }
fi
echo "$file: machine-readable, our files under GPL-3+"
