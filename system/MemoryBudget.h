#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace faceloom {

// Whether a job fits in the memory this process can get, decided before the work:
// Linux promises memory it does not have, so a job too large for the machine would
// otherwise be killed by the kernel, silently and late. This is the machine's side of
// it: what there is, what loading a file takes, and how amounts are told. All amounts
// are totals for the whole process, what it holds already included.

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

struct MemoryAmounts {
    std::uint64_t resident = 0;      // physical memory
    std::uint64_t addressSpace = 0;  // virtual memory, which some limits count instead
};

// Bytes per item of what a job holds, for resident memory and for address space
// (which counts reserved but untouched room too).
struct Cost {
    std::uint64_t resident;
    std::uint64_t address;
};

// The program, its libraries, stacks and the allocator's own room.
constexpr Cost kBaseCost{6u << 20, 16u << 20};

// Adds `count` items of `cost` to `total`.
inline void charge(MemoryAmounts& total, std::uint64_t count, const Cost& cost) {
    total.resident += count * cost.resident;
    total.addressSpace += count * cost.address;
}

bool fits(const MemoryAmounts& need, const MemoryAmounts& available);

// What this process can have in all: physical memory from MemAvailable and any
// cgroup memory limit (its reclaimable page cache counted as free) plus what the
// process holds already, address space from RLIMIT_AS and RLIMIT_DATA. kUnlimited
// where nothing limits it or it can't be read. /proc and /sys are read under `root`.
MemoryAmounts availableMemory(const std::string& root = "/");

// In GiB with one decimal, or in MiB below 1 GiB; rounded up for what is needed and
// down for what is available, so that the two never print the other way round.
std::string readableSize(std::uint64_t bytes, bool roundUp);

// "N MiB is available" for the limit `need` runs into (physical memory, or address
// space); `needed` gets the amount needed of that kind.
std::string availableText(const MemoryAmounts& need, const MemoryAmounts& available,
                          std::uint64_t& needed);

// An upper bound of the peak memory of loading an OBJ file of `fileBytes` bytes.
MemoryAmounts estimateLoadMemory(std::uint64_t fileBytes);

// The most bytes of input that can be loaded with `available`.
std::uint64_t loadableBytes(const MemoryAmounts& available);

// The "ERROR : ..." line for an input that can't be loaded: of `bytes` bytes when
// `sized`, or one that went on past `bytes` bytes (a pipe, a device).
std::string loadRefusal(const std::string& path, std::uint64_t bytes, bool sized,
                        const MemoryAmounts& available);

}  // namespace faceloom
