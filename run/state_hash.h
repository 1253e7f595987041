#pragma once

#include <cstddef>
#include <cstdint>

// 64-bit FNV-1a.
constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

// Folds `size` bytes into `hash`; start from kFnvOffsetBasis.
std::uint64_t fnv1a(std::uint64_t hash, const void* bytes, std::size_t size);

// FNV-1a of the raw bytes of every moving point, in chain order: position x, y, z, then
// velocity x, y, z, each float's four bytes in memory order. Any change of any bit of the
// state (-0.0 against 0.0, one NaN against another) changes it.
std::uint64_t hashMovingPoints();
