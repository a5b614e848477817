#!/usr/bin/env bash
# Windows check: compiles the Qt-free sources (src/<dir>/*.cpp), the platform
# seams, the PDF-writing module and the importer program (src/accessimport/jet) for Windows with the
# mingw-w64 cross compiler (-fsyntax-only: the C libraries have no Windows
# build here, their own headers are used), and names the file and line of every
# POSIX header or call outside src/platform. Exits non-zero on any finding.
# Skips (exit 0) when the cross compiler is missing and cannot be installed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cxx=x86_64-w64-mingw32-g++-posix

if ! command -v "$cxx" >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      g++-mingw-w64-x86-64-posix >/dev/null 2>&1 || true
  fi
  if ! command -v "$cxx" >/dev/null; then
    echo "windows_check: $cxx not found (package g++-mingw-w64-x86-64-posix); skipped"
    exit 0
  fi
fi

failed=0

# 1. POSIX outside src/platform: the headers, and the calls that glibc
#    declares in the standard headers (so no POSIX header gives them away).
posix_headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd|fcntl|dirent|pthread|dlfcn|poll|termios|spawn|pwd|grp|libgen|sys/[a-z_]+)\.h>'
posix_calls='(^|[^.>:_[:alnum:]]|[^:_[:alnum:]]::)(setenv|unsetenv|setrlimit|getrlimit|fork|vfork|execv|execvp|execl|execlp|waitpid|popen|pclose|realpath|mkstemp|mkdtemp|fsync|fdatasync|flock|lstat|fstat|readlink|symlink|getuid|geteuid|getpid|pipe|dup2|isatty|sysconf|mmap|munmap|ftruncate|fileno|fdopen|posix_[a-z_]+)[[:space:]]*\('
outside=$(find src -name '*.cpp' -o -name '*.h' | grep -v '^src/platform/' | sort)
hits=$( (grep -nEH "$posix_headers" $outside; grep -nEH "$posix_calls" $outside | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//') | sort -t: -k1,1 -k2,2n)
if [ -n "$hits" ]; then
  echo "windows_check: POSIX outside src/platform (move it behind a seam in src/platform):"
  echo "$hits" | sed 's/^/  /'
  failed=1
fi

# 2. The Windows compile. The libraries' own headers, one folder each (never
#    /usr/include itself: its C library is not Windows's).
inc=$(mktemp -d)
trap 'rm -rf "$inc"' EXIT
mkdir -p "$inc/glib-2.0"
for h in sqlite3.h sqlite3ext.h unicode qpdf openssl jpeglib.h jmorecfg.h jerror.h mdbtools.h zlib.h zconf.h; do
  [ -e "/usr/include/$h" ] && ln -s "/usr/include/$h" "$inc/$h"
done
[ -d /usr/include/libxml2/libxml ] && ln -s /usr/include/libxml2/libxml "$inc/libxml"
# The configuration headers of these libraries lie in the multiarch folder.
multiarch=/usr/include/x86_64-linux-gnu
[ -e "$multiarch/jconfig.h" ] && ln -s "$multiarch/jconfig.h" "$inc/jconfig.h"
if [ -d "$multiarch/openssl" ]; then
  rm "$inc/openssl"; mkdir "$inc/openssl"
  ln -s /usr/include/openssl/* "$inc/openssl/"
  ln -sf "$multiarch"/openssl/* "$inc/openssl/"
fi
[ -d /usr/include/glib-2.0 ] && ln -s /usr/include/glib-2.0/* "$inc/glib-2.0/"
glibconfig=/usr/lib/x86_64-linux-gnu/glib-2.0/include/glibconfig.h
[ -e "$glibconfig" ] && [ ! -e "$root/scripts/windows_check/glibconfig.h" ] && ln -s "$glibconfig" "$inc/glibconfig.h"
# Stand-in for the one header that exists here only for this system:
# libiconv's interface (glibc has iconv built in). glib's configuration
# header is this system's (a stand-in in scripts/windows_check/ would win).
cp "$root/scripts/windows_check/"*.h "$inc/"

# The PDF-writing module is portable too; the disc and scanner modules are
# this system's (Windows supplies its own behind their interfaces).
sources=$(find src -mindepth 2 -maxdepth 2 -name '*.cpp'; find src/accessimport/jet -name '*.cpp'
  find src -path '*/pdfwrite/*.cpp')
sources=$(printf '%s\n' $sources | sort | grep -vE '^src/[^/]+/ui/')
# mdbtools.h here is configured for glibc (locale_t); its Windows
# configuration names the C runtime's _locale_t.
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -D_WIN32_WINNT=0x0A00
       -Dlocale_t=_locale_t -Isrc -isystem "$inc" -isystem "$inc/glib-2.0")
log="$inc/log"
printf '%s\n' $sources | xargs -P2 -I{} sh -c '"$0" "$@" {} 2>&1 || echo "FAILED {}"' "$cxx" "${flags[@]}" >"$log"
if grep -q . "$log"; then
  echo "windows_check: the Windows compile ($cxx -fsyntax-only) says:"
  cat "$log"
  grep -q '^FAILED ' "$log" && failed=1
fi
count=$(printf '%s\n' $sources | wc -l)
[ $failed -eq 0 ] && echo "windows_check: $count sources compile for Windows; no POSIX outside src/platform"
exit $failed
