#pragma once
// The memory of this process, sampled along a run: at the start, at the end of the warm-up (a tenth
// of the run), in the middle, at the end, and every hundredth in between, so that a peak between the
// named points is seen too. Two measures:
// - resident memory, from /proc/self/statm;
// - under AddressSanitizer, also the bytes the program holds allocated, from the sanitizer's own
//   allocator. Its resident memory is no measure of the program: freed blocks wait in a quarantine
//   of up to 256 MB, and the allocator's size classes map fresh pages long after the program's own
//   use has levelled off, so there the flat-memory check is made on the allocated bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VORDA_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORDA_SOAK_ASAN 1
#endif
#endif

#ifdef VORDA_SOAK_ASAN
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vorda::soak {

inline constexpr bool kUnderAddressSanitizer =
#ifdef VORDA_SOAK_ASAN
    true;
#else
    false;
#endif

inline long ResidentKiB()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    long sizePages = 0;
    long residentPages = 0;
    const bool read = statm != nullptr && std::fscanf(statm, "%ld %ld", &sizePages, &residentPages) == 2;
    if (statm != nullptr) {
        std::fclose(statm);
    }
    if (!read) {
        std::fprintf(stderr, "soak: /proc/self/statm cannot be read\n");
        std::exit(1);
    }
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

inline long AllocatedKiB()
{
#ifdef VORDA_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return 0;
#endif
}

// One measure at the named points and its largest value after the warm-up.
struct MemoryTrack {
    long start = 0, warmUp = 0, middle = 0, end = 0, largestAfterWarmUp = 0;

    [[nodiscard]] long GrowthAfterWarmUp() const { return largestAfterWarmUp - warmUp; }

    void Print(const char* name) const
    {
        std::printf("%s: start %ld KiB, after warm-up %ld KiB, middle %ld KiB, end %ld KiB; largest after warm-up "
                    "%ld KiB, growth %ld KiB\n",
                    name, start, warmUp, middle, end, largestAfterWarmUp, GrowthAfterWarmUp());
    }
};

class MemorySamples {
public:
    explicit MemorySamples(std::uint64_t ticks)
        : warmUpEnd_(ticks / 10), middle_(ticks / 2), end_(ticks), every_(std::max<std::uint64_t>(ticks / 100, 1))
    {
        resident_.start = ResidentKiB();
        allocated_.start = AllocatedKiB();
    }

    void AfterTick(std::uint64_t tick)
    {
        if (tick != warmUpEnd_ && tick != middle_ && tick != end_ && tick % every_ != 0) {
            return;
        }
        Record(tick, resident_, ResidentKiB());
        Record(tick, allocated_, AllocatedKiB());
    }

    [[nodiscard]] const MemoryTrack& Resident() const { return resident_; }
    [[nodiscard]] const MemoryTrack& Allocated() const { return allocated_; }

    // What the flat-memory check is made on: allocated bytes under the sanitizer, else resident memory.
    [[nodiscard]] const MemoryTrack& Checked() const { return kUnderAddressSanitizer ? allocated_ : resident_; }

private:
    void Record(std::uint64_t tick, MemoryTrack& track, long now) const
    {
        if (tick == warmUpEnd_) {
            track.warmUp = now;
        }
        if (tick == middle_) {
            track.middle = now;
        }
        if (tick == end_) {
            track.end = now;
        }
        if (tick > warmUpEnd_) {
            track.largestAfterWarmUp = std::max(track.largestAfterWarmUp, now);
        }
    }

    std::uint64_t warmUpEnd_, middle_, end_, every_;
    MemoryTrack resident_, allocated_;
};

} // namespace vorda::soak
