/* Stand-in for libiconv's <iconv.h> in the Windows check: glibc carries iconv
   itself, so this system has no Windows-usable header of it. The interface
   of libiconv (as MSYS2 installs it). */
#pragma once
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
typedef void* iconv_t;
iconv_t iconv_open(const char* tocode, const char* fromcode);
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf,
             size_t* outbytesleft);
int iconv_close(iconv_t cd);
#ifdef __cplusplus
}
#endif
