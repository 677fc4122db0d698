/* zlibwapi.dll: the zlib interface with standard-call entries, as 32-bit Windows programs
   that bind zlib at run time expect it. Each entry forwards to the statically linked zlib. */
#include <windows.h>
#include <zlib.h>

#define ZLIB_ENTRY WINAPI

uLong ZLIB_ENTRY ZlibAdler32(uLong adler, const Bytef* buf, uInt len) { return adler32(adler, buf, len); }
uLong ZLIB_ENTRY ZlibAdler32Combine(uLong a, uLong b, z_off_t len) { return adler32_combine(a, b, len); }
uLong ZLIB_ENTRY ZlibCrc32(uLong crc, const Bytef* buf, uInt len) { return crc32(crc, buf, len); }
uLong ZLIB_ENTRY ZlibCrc32Combine(uLong a, uLong b, z_off_t len) { return crc32_combine(a, b, len); }
const z_crc_t* ZLIB_ENTRY ZlibGetCrcTable(void) { return get_crc_table(); }

int ZLIB_ENTRY ZlibCompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen)
{
    return compress(dest, destLen, source, sourceLen);
}
int ZLIB_ENTRY ZlibCompress2(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen, int level)
{
    return compress2(dest, destLen, source, sourceLen, level);
}
uLong ZLIB_ENTRY ZlibCompressBound(uLong sourceLen) { return compressBound(sourceLen); }
int ZLIB_ENTRY ZlibUncompress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen)
{
    return uncompress(dest, destLen, source, sourceLen);
}

int ZLIB_ENTRY ZlibDeflate(z_streamp strm, int flush) { return deflate(strm, flush); }
int ZLIB_ENTRY ZlibDeflateEnd(z_streamp strm) { return deflateEnd(strm); }
int ZLIB_ENTRY ZlibDeflateInit(z_streamp strm, int level, const char* version, int streamSize)
{
    return deflateInit_(strm, level, version, streamSize);
}
int ZLIB_ENTRY ZlibDeflateInit2(z_streamp strm, int level, int method, int windowBits, int memLevel,
                                int strategy, const char* version, int streamSize)
{
    return deflateInit2_(strm, level, method, windowBits, memLevel, strategy, version, streamSize);
}
int ZLIB_ENTRY ZlibDeflateCopy(z_streamp dest, z_streamp source) { return deflateCopy(dest, source); }
int ZLIB_ENTRY ZlibDeflateReset(z_streamp strm) { return deflateReset(strm); }
int ZLIB_ENTRY ZlibDeflateParams(z_streamp strm, int level, int strategy) { return deflateParams(strm, level, strategy); }
int ZLIB_ENTRY ZlibDeflateSetDictionary(z_streamp strm, const Bytef* dictionary, uInt length)
{
    return deflateSetDictionary(strm, dictionary, length);
}
uLong ZLIB_ENTRY ZlibDeflateBound(z_streamp strm, uLong sourceLen) { return deflateBound(strm, sourceLen); }
int ZLIB_ENTRY ZlibDeflatePrime(z_streamp strm, int bits, int value) { return deflatePrime(strm, bits, value); }
int ZLIB_ENTRY ZlibDeflateTune(z_streamp strm, int goodLength, int maxLazy, int niceLength, int maxChain)
{
    return deflateTune(strm, goodLength, maxLazy, niceLength, maxChain);
}
int ZLIB_ENTRY ZlibDeflateSetHeader(z_streamp strm, gz_headerp head) { return deflateSetHeader(strm, head); }

int ZLIB_ENTRY ZlibInflate(z_streamp strm, int flush) { return inflate(strm, flush); }
int ZLIB_ENTRY ZlibInflateEnd(z_streamp strm) { return inflateEnd(strm); }
int ZLIB_ENTRY ZlibInflateInit(z_streamp strm, const char* version, int streamSize)
{
    return inflateInit_(strm, version, streamSize);
}
int ZLIB_ENTRY ZlibInflateInit2(z_streamp strm, int windowBits, const char* version, int streamSize)
{
    return inflateInit2_(strm, windowBits, version, streamSize);
}
int ZLIB_ENTRY ZlibInflateCopy(z_streamp dest, z_streamp source) { return inflateCopy(dest, source); }
int ZLIB_ENTRY ZlibInflateReset(z_streamp strm) { return inflateReset(strm); }
int ZLIB_ENTRY ZlibInflateReset2(z_streamp strm, int windowBits) { return inflateReset2(strm, windowBits); }
int ZLIB_ENTRY ZlibInflateSetDictionary(z_streamp strm, const Bytef* dictionary, uInt length)
{
    return inflateSetDictionary(strm, dictionary, length);
}
int ZLIB_ENTRY ZlibInflateSync(z_streamp strm) { return inflateSync(strm); }
int ZLIB_ENTRY ZlibInflatePrime(z_streamp strm, int bits, int value) { return inflatePrime(strm, bits, value); }
long ZLIB_ENTRY ZlibInflateMark(z_streamp strm) { return inflateMark(strm); }
int ZLIB_ENTRY ZlibInflateGetHeader(z_streamp strm, gz_headerp head) { return inflateGetHeader(strm, head); }

const char* ZLIB_ENTRY ZlibVersion(void) { return zlibVersion(); }
uLong ZLIB_ENTRY ZlibCompileFlags(void) { return zlibCompileFlags(); }
const char* ZLIB_ENTRY ZlibError(int err) { return zError(err); }

BOOL WINAPI ZlibLibraryMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}
