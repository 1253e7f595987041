#include "heap_gauge.h"

#if defined(__SANITIZE_ADDRESS__)
#define TREMBLO_ASAN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREMBLO_ASAN_HEAP 1
#endif
#endif

#ifdef TREMBLO_ASAN_HEAP
// Declared here: GCC ships the sanitizer runtime without its interface headers.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();

std::size_t heapBytesInUse() { return __sanitizer_get_current_allocated_bytes(); }
#else
#include <malloc.h>

std::size_t heapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
#endif
