#pragma once

#include <cstddef>

// Bytes of heap memory the process holds right now. Under AddressSanitizer the sanitizer's
// allocator serves every allocation, so its own count is read; otherwise glibc's (small
// blocks in the arenas plus large blocks mapped on their own).
std::size_t heapBytesInUse();
