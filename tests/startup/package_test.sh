#!/usr/bin/env bash
# The Debian package from this build, end to end:
#  - its file list and control fields (dpkg-deb -c / -f), its desktop entry;
#  - unpacked with dpkg -x into a scratch root made read-only, the installed
#    program started (offscreen, --check) through PATH from another working
#    directory: each user gets his own data folder with the bundled template,
#    a data folder that cannot be created ends the program with a message
#    naming it, and nothing is ever written into the installation;
#  - the portable layout: a writable program folder keeps its data beside the
#    program, a read-only one uses the user's folder.
# Under root the runs that need a read-only folder run as "nobody", since
# permissions do not stop root.
# Usage: package_test.sh BUILD_DIR CPACK VERSION
set -euo pipefail
build="$1"
cpack="$2"
version="$3"
db_name="系统模板.mdb"

work="$(mktemp -d "${TMPDIR:-/tmp}/quillor-package.XXXXXX")"
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { # check DESCRIPTION COMMAND...
    local what="$1"; shift
    if ! "$@"; then fail "$what"; fi
}

# ---- the package ----
if ! (cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
deb="$(ls "$work"/out/quillor_*.deb)"
arch="$(dpkg --print-architecture)"
check "file name" test "$(basename "$deb")" = "quillor_${version}_${arch}.deb"

# Exactly these files, nothing of the build (tests, libraries, the build
# folder's own database with the developer's entries).
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sort >"$work/files"
sort >"$work/expected" <<LIST
./usr/bin/quillor
./usr/bin/quillor-import-mdb
./usr/lib/quillor/quillor-cups.so
./usr/lib/quillor/quillor-disc.so
./usr/lib/quillor/quillor-heif.so
./usr/lib/quillor/quillor-ocr.so
./usr/lib/quillor/quillor-pdf.so
./usr/lib/quillor/quillor-pdfwrite.so
./usr/lib/quillor/quillor-photo.so
./usr/lib/quillor/quillor-scanner.so
./usr/lib/quillor/quillor-tiff.so
./usr/share/applications/quillor.desktop
./usr/share/icons/hicolor/scalable/apps/quillor.svg
./usr/share/quillor/fonts/quillor-fonts.conf
./usr/share/quillor/$db_name
LIST
check "file list" diff -u "$work/expected" "$work/files"
check "programs are executable" test "$(dpkg-deb -c "$deb" | grep -c '^-rwxr-xr-x .*/usr/bin/quillor')" = 2

field() { dpkg-deb -f "$deb" "$1"; }
check "Package" test "$(field Package)" = quillor
check "Version" test "$(field Version)" = "$version"
check "Architecture" test "$(field Architecture)" = "$arch"
check "Maintainer" test -n "$(field Maintainer)"
depends="$(field Depends | tr -d ' ')"
for needed in libqt6widgets6 libqt6gui6 libqt6printsupport6 libqt6core6 libsqlite3-0 libxml2 \
    libmdb3 libfontconfig1 libpoppler-qt6-3 libqpdf29 libisofs6 libburn4 libsane1 libcups2 libheif1 libtiff6 libtesseract5 libopencv-core406 libopencv-imgproc406 libssl3 qt6-image-formats-plugins fonts-arphic-uming fonts-arphic-ukai fonts-noto-cjk; do
    check "Depends names $needed" grep -qE "(^|,)$needed(\(|,|$)" <<<"$depends"
done
# Every declared package is one this Debian knows (they are all installed here,
# since the build and the tests need them).
for name in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//;s/|.*//'); do
    check "dependency $name is a known package" dpkg-query -W "$name" >/dev/null
done

# The language data of text recognition is recommended, not required: the
# scan window says what to install when it is missing.
recommends="$(field Recommends | tr -d ' ')"
for wanted in tesseract-ocr-chi-sim tesseract-ocr-eng tesseract-ocr-osd; do
    check "Recommends names $wanted" grep -qE "(^|,)$wanted(,|$)" <<<"$recommends"
done

# ---- the unpacked installation ----
root="$work/root"
dpkg -x "$deb" "$root"
check "bundled template is the generated demo database" cmp -s "$root/usr/share/quillor/$db_name" "$build/demo/$db_name"
desktop="$root/usr/share/applications/quillor.desktop"
check "desktop entry has a Chinese name" grep -qP '^Name\[zh_CN\]=.*[\x{4e00}-\x{9fff}]' "$desktop"
check "desktop entry starts quillor" grep -qx 'Exec=quillor' "$desktop"
check "desktop entry names the icon" grep -qx 'Icon=quillor' "$desktop"
check "icon is an SVG picture" grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quillor.svg"
if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
fi
check "--version" test "$("$root/usr/bin/quillor" --version)" = "quillor $version"
check "--help" grep -q -- '--check' <<<"$("$root/usr/bin/quillor" --help)"

chmod -R a-w "$root"
snapshot() { (cd "$root" && find . -printf '%p %s %T@ %m\n' | sort); }
snapshot >"$work/before"

# Runs the program with a clean environment. as_user: unprivileged (nobody
# under root); as_self: as the caller.
user_ids=()
if [ "$(id -u)" -eq 0 ]; then
    user_ids=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
own() { # own FOLDER...: make folders belong to the unprivileged user
    if [ "$(id -u)" -eq 0 ]; then chown 65534:65534 "$@"; fi
}
mkdir -m 700 "$work/runtime"
own "$work/runtime"
run_with() { # run_with HOME PROGRAM ARGS... (cwd: /, PATH: the installation first)
    local home="$1"; shift
    (cd / && env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 \
        XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
        LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
        "${user_ids[@]}" "$@" >"$work/stdout" 2>"$work/stderr")
}
as_self_with() {
    local saved=("${user_ids[@]}")
    user_ids=()
    local rc=0
    run_with "$@" || rc=$?
    user_ids=("${saved[@]}")
    return $rc
}

# First start of user A through PATH: the per-user folder gets the template.
mkdir "$work/home-a" "$work/home-b"
own "$work/home-a" "$work/home-b"
data_a="$work/home-a/.local/share/quillor"
if run_with "$work/home-a" quillor --check; then
    check "user A: data folder reported" grep -qxF "数据文件夹: $data_a" "$work/stdout"
    check "user A: template copied" cmp -s "$data_a/$db_name" "$root/usr/share/quillor/$db_name"
    # The lock lived there while the program ran; a normal exit leaves nothing behind.
    check "user A: data folder holds the database only" test "$(ls -A "$data_a")" = "$db_name"
    check "user A: no message" test ! -s "$work/stderr"
else
    fail "user A: installed program did not start: $(cat "$work/stderr")"
fi
# A second start keeps the user's own database (its user-version bytes marked).
printf '\x00\x00\x00\x2a' | dd of="$data_a/$db_name" bs=1 seek=60 conv=notrunc status=none
cp "$data_a/$db_name" "$work/marked.mdb"
check "user A: second start" run_with "$work/home-a" quillor --check
check "user A: own database kept" cmp -s "$data_a/$db_name" "$work/marked.mdb"
# User B gets data of his own.
check "user B: start" run_with "$work/home-b" quillor --check
check "user B: own template copy" cmp -s "$work/home-b/.local/share/quillor/$db_name" "$root/usr/share/quillor/$db_name"

# A home that cannot take the data folder: message naming it, nothing written.
mkdir "$work/home-ro"
chmod 555 "$work/home-ro"
if run_with "$work/home-ro" quillor --check; then
    fail "unwritable home: program started"
else
    check "unwritable home: message names the folder" grep -qF "无法建立数据文件夹" "$work/stderr"
    check "unwritable home: folder named" grep -qF "$work/home-ro/.local/share/quillor" "$work/stderr"
    check "unwritable home: nothing created" test -z "$(ls -A "$work/home-ro")"
fi

# Even where the installation could be written (root), the installed program
# keeps its data in the user's folder.
mkdir "$work/home-self"
check "caller: start" as_self_with "$work/home-self" quillor --check
check "caller: data in his own folder" test -f "$work/home-self/.local/share/quillor/$db_name"

# The package check reads PDFs through the reader module of the installation.
pkg="$work/pdf-package"
mkdir -p "$pkg/申报材料1"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<offer bbh="1" bpbs="T"><attachments><attachment fjid="1"><fjxh>1</fjxh><fjmc>申报材料1</fjmc><dzjs>1</dzjs><fileList><file><fileXh>1</fileXh><fileName>报件1</fileName><fileTitle>报件1</fileTitle><fileUrl>Local:\\报件1.pdf</fileUrl><filems/></file></fileList></attachment></attachments></offer>\n' >"$pkg/APLPKG.XML"
printf '%%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%%%EOF\n' >"$pkg/申报材料1/报件1.pdf"
as_self_with "$work/home-self" quillor --check-package "$pkg" || true
check "package check: the PDF is read" test -z "$(grep -F 'PDF文件' "$work/stdout")"
check "package check: the reader module is found" test ! -s "$work/stderr"

# An option that is neither the program's nor Qt's starts no window.
status=0
as_self_with "$work/home-self" quillor --bogus || status=$?
check "unknown option: exit status 2" test "$status" -eq 2
check "unknown option: usage" grep -qF "无法识别的选项或参数：--bogus" "$work/stderr"

snapshot >"$work/after"
check "installation untouched" diff -u "$work/before" "$work/after"

# ---- portable layout: the program unpacked into a folder ----
portable="$work/portable"
mkdir "$portable" "$work/home-p"
cp "$root/usr/bin/quillor" "$root/usr/bin/quillor-import-mdb" "$root"/usr/lib/quillor/quillor-*.so \
    "$root/usr/share/quillor/$db_name" "$portable/"
own -R "$portable" "$work/home-p"
check "portable, writable: start" run_with "$work/home-p" "$portable/quillor" --check
check "portable, writable: data beside the program" grep -qxF "数据文件夹: $portable" "$work/stdout"
check "portable, writable: nothing left beside the program" \
    test "$(ls -A "$portable" | sort | tr '\n' ' ')" = "quillor quillor-cups.so quillor-disc.so quillor-heif.so quillor-import-mdb quillor-ocr.so quillor-pdf.so quillor-pdfwrite.so quillor-photo.so quillor-scanner.so quillor-tiff.so $db_name "
check "portable, writable: user folder untouched" test ! -e "$work/home-p/.local"
chmod -R a-w "$portable"
check "portable, read-only: start" run_with "$work/home-p" "$portable/quillor" --check
check "portable, read-only: user folder reported" \
    grep -qxF "数据文件夹: $work/home-p/.local/share/quillor" "$work/stdout"
check "portable, read-only: template copied" \
    cmp -s "$work/home-p/.local/share/quillor/$db_name" "$portable/$db_name"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $deb"
