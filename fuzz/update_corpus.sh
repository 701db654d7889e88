#!/usr/bin/env bash
# Rebuilds the committed seed corpora from the examples and the script tests
# (programs up to 4 KiB, the fuzzers' input limit) plus a few hand-made
# inputs for the small parsers. Run from anywhere; it replaces fuzz/corpus.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$root/fuzz/corpus"
rm -rf "$corpus"
mkdir -p "$corpus"/{front_end,program,http,module_yaml,module_name,trailer}

# Programs: named after their place in the tree, e.g. builtins__strings.dv.
while IFS= read -r -d '' file; do
    size=$(stat -c %s "$file")
    [ "$size" -le 4096 ] || continue
    rel="${file#"$root"/}"
    name="$(printf '%s' "$rel" | sed -e 's#^tests/scripts/##' -e 's#/#__#g')"
    cp "$file" "$corpus/front_end/$name"
    # Programs that open a window are skipped by the program target.
    if ! grep -qwE 'sdl2|window|present' "$file"; then
        cp "$file" "$corpus/program/$name"
    fi
done < <(find "$root/examples" "$root/tests/scripts" -name '*.dv' -type f -print0 | sort -z)

put() { printf '%b' "$2" > "$1"; }

put "$corpus/http/get_root" 'GET / HTTP/1.1\r\nHost: localhost\r\n\r\n'
put "$corpus/http/get_about" 'GET /about HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\n'
put "$corpus/http/query" 'GET /x?y=1 HTTP/1.1\r\n\r\n'
put "$corpus/http/accent" 'GET /caf\xc3\xa9 HTTP/1.1\r\n\r\n'
put "$corpus/http/bad_utf8" 'GET /caf\xe9 HTTP/1.1\r\n\r\n'
put "$corpus/http/unicode_space" 'GET\xe2\x80\x83/about\xc2\x85HTTP/1.1'
put "$corpus/http/url_port" 'http://127.0.0.1:8080/api?x=1'
put "$corpus/http/url_bare" 'example.org:+443'
put "$corpus/http/url_https" '  https://example.org/  '
put "$corpus/http/url_bad_port" 'http://h:70000/p'

put "$corpus/module_yaml/plain" 'name: demo\nversion: 1\nfiles:\n  - index.dv\n  - "lib/util.dv"\n  - '"'"'main.dv'"'"'\nauthor: x\n'
put "$corpus/module_yaml/crlf" '# comment\r\nfiles: [a.dv]\r\n- a.dv\r\n\r\n-- b.dv\r\nversion: 2\r\n- c.dv\r\n'
put "$corpus/module_yaml/unsafe" 'files:\n - ../escape.dv\n - /etc/passwd\n - a/../../b.dv\n - "\x01bell.dv"\nfiles:\n - ok.dv\n'
put "$corpus/module_yaml/none" 'name: only\n'

for name in 'author/module' 'author.module' 'a.b.c' '/x.y' 'math' '../x' 'a/..' 'a b/c' '.drevel.x' 'a/b/c'; do
    printf '%s' "$name" > "$corpus/module_name/$(printf '%s' "$name" | md5sum | cut -c1-12)"
done

trailer() { # script bytes -> image + script + length + marker
    local script="$1" out="$2"
    {
        printf 'ELF-image-bytes'
        printf '%s' "$script"
        python3 -c 'import struct,sys; sys.stdout.buffer.write(struct.pack("<Q", int(sys.argv[1])))' \
            "$(printf '%s' "$script" | wc -c)"
        printf 'DREVEL_SCRIPT'
    } > "$out"
}
trailer 'print("hi");' "$corpus/trailer/valid"
trailer '' "$corpus/trailer/empty"
printf 'DREVEL_SCRIPT' > "$corpus/trailer/marker_only"
head -c 40 "$corpus/trailer/valid" > "$corpus/trailer/truncated"
echo "corpus: $(find "$corpus" -type f | wc -l) files, $(du -sh "$corpus" | cut -f1)"
