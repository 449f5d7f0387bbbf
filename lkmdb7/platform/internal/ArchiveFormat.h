// How an archive tags its objects (all little-endian words). A tag is one of:
//   0000                         a null object
//   FFFF schema:u16 len:u16 name a class described for the first time; it takes the next index
//   8000 | index (index < 7FFF)  a class described before
//   index (index < 7FFF)         an object read before
//   7FFF then u32                the same for larger indexes, bit 31 set for a class
// Indexes count classes and objects together, from 1, in the order they first appear.
#pragma once

#include <cstddef>

#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

inline constexpr WORD kNewClassTag = 0xFFFF;
inline constexpr WORD kBigTag = 0x7FFF;
inline constexpr WORD kClassTagFlag = 0x8000;
inline constexpr WORD kSmallIndexMask = 0x7FFF;
inline constexpr DWORD kBigClassFlag = 0x80000000u;
// A 32-bit tag keeps bit 31 for "class".
inline constexpr DWORD kMaxArchiveIndex = 0x7FFFFFFF;
// A class name must be shorter than this.
inline constexpr std::size_t kMaxClassName = 64;
// The bytes of a new class's description before its name: tag, schema and name length.
inline constexpr std::size_t kClassDescriptionHeader = 6;
// Where a new class's description holds its schema.
inline constexpr std::size_t kClassSchemaOffset = 2;

}  // namespace LKMDB7
