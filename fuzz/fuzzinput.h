#pragma once

#include "service/request.h"

#include <QByteArray>
#include <QString>

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// The input as the reply body the network would hand over; the bytes are not
// copied, so an overread of them is caught.
inline QByteArray body(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
}

// A reply body as the window decodes it.
inline QString text(const uint8_t* data, size_t size) { return service::bodyText(body(data, size)); }

// A broken promise of a reader: report it and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// The most memory one input made the reader hold at once, beyond what was
// held before it: more than ten times the input (plus a fixed allowance for
// Qt's own first allocations) is a finding. The count is signed: a block
// allocated before the hooks were installed (a static, a cache of Qt's) may
// be freed during an input, and takes the count below where it started.
class MemoryWatch {
public:
    explicit MemoryWatch(size_t inputSize)
        : allowed(10 * static_cast<long long>(inputSize) + 2 * 1024 * 1024)
    {
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
        FUZZ_CHECK(installed);
        base = live.load();
        peak = base;
    }
    ~MemoryWatch()
    {
        const long long used = peak.load() - base;
        if (used > allowed) {
            std::fprintf(stderr, "memory: %lld bytes held for an input allowed %lld\n", used, allowed);
            std::abort();
        }
    }

private:
    // Both hooks count the allocator's own size of a block, so a block adds
    // and removes the same amount.
    static long long blockSize(const volatile void* pointer)
    {
        return static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void*>(pointer)));
    }
    static void onMalloc(const volatile void* pointer, size_t)
    {
        const long long now = live += blockSize(pointer);
        long long high = peak.load();
        while (now > high && !peak.compare_exchange_weak(high, now)) { }
    }
    static void onFree(const volatile void* pointer) { live -= blockSize(pointer); }

    static inline std::atomic<long long> live { 0 };
    static inline std::atomic<long long> peak { 0 };
    long long base = 0;
    long long allowed;
};

} // namespace fuzz
