// Heap accounting for the memory benchmarks: this program replaces the global operator new and
// delete, so every allocation of the program and of the library (which takes its operator new
// from the program) is counted. malloc calls outside operator new are not seen.
#pragma once

#include <cstddef>

namespace bench {

// Bytes currently allocated through operator new, and the highest value since the last reset.
std::size_t HeapInUse();
// Blocks currently allocated through operator new.
std::size_t HeapBlocksInUse();
std::size_t HeapPeak();
// Makes the peak equal to what is in use now.
void ResetHeapPeak();

}  // namespace bench
