#include "CountingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};
std::atomic<std::size_t> g_blocks{0};

// Each block carries its size in a header as large as the strictest alignment asked for.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size, std::size_t alignment) {
    const std::size_t header = alignment > kHeader ? alignment : kHeader;
    void* raw =
        alignment > kHeader
            ? std::aligned_alloc(alignment, (header + size + alignment - 1) / alignment * alignment)
            : std::malloc(header + size);
    if (raw == nullptr) {
        return nullptr;
    }
    auto* bytes = static_cast<unsigned char*>(raw) + header;
    reinterpret_cast<std::size_t*>(bytes)[-1] = size;
    reinterpret_cast<std::size_t*>(bytes)[-2] = header;
    g_blocks.fetch_add(1, std::memory_order_relaxed);
    const std::size_t now = g_inUse.fetch_add(size, std::memory_order_relaxed) + size;
    std::size_t peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
    return bytes;
}

void Free(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    auto* bytes = static_cast<unsigned char*>(p);
    const std::size_t size = reinterpret_cast<std::size_t*>(bytes)[-1];
    const std::size_t header = reinterpret_cast<std::size_t*>(bytes)[-2];
    g_inUse.fetch_sub(size, std::memory_order_relaxed);
    g_blocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(bytes - header);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
    void* p = Allocate(size == 0 ? 1 : size, alignment);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

}  // namespace

namespace bench {

std::size_t HeapInUse() {
    return g_inUse.load();
}
std::size_t HeapBlocksInUse() {
    return g_blocks.load();
}
std::size_t HeapPeak() {
    return g_peak.load();
}
void ResetHeapPeak() {
    g_peak.store(g_inUse.load());
}

}  // namespace bench

void* operator new(std::size_t size) {
    return AllocateOrThrow(size, kHeader);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size, kHeader);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size == 0 ? 1 : size, kHeader);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size == 0 ? 1 : size, kHeader);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return Allocate(size == 0 ? 1 : size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return Allocate(size == 0 ? 1 : size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept {
    Free(p);
}
void operator delete[](void* p) noexcept {
    Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    Free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    Free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    Free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    Free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Free(p);
}
