#include "MemoryBudget.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace faceloom {

namespace {

// Loading, per byte of the file: the text, and the copies the parser makes of a line
// (one line may be the whole file); measured at 2.9 to 3.5 times the size for files of
// positions and for one long line.
constexpr Cost kLoadFileByte{4, 4};

// A value from a "key: value kB"-style file, in bytes; kUnlimited when absent.
std::uint64_t readKiBField(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string name;
        std::uint64_t value = 0;
        if (words >> name >> value && name == key) {
            return value * 1024;
        }
    }
    return kUnlimited;
}

// A number alone in a file ("max" counts as no limit); kUnlimited when unreadable.
std::uint64_t readNumber(const std::string& file) {
    std::ifstream in(file);
    std::uint64_t value = 0;
    return (in >> value) ? value : kUnlimited;
}

// A "key value" line of a cgroup's memory.stat, in bytes; 0 when absent.
std::uint64_t readStat(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string name;
    std::uint64_t value = 0;
    while (in >> name >> value) {
        if (name == key) {
            return value;
        }
    }
    return 0;
}

// The page cache a cgroup can drop to make room: its file pages, active and
// inactive, less those still to be written back. Cgroup v1 names them with "total_"
// for the group and the groups below it.
std::uint64_t reclaimableCache(const std::string& statFile, bool v2) {
    const std::string prefix = v2 ? "" : "total_";
    const std::uint64_t cache =
        readStat(statFile, prefix + "active_file") + readStat(statFile, prefix + "inactive_file");
    const std::uint64_t unwritten = readStat(statFile, v2 ? "file_dirty" : "total_dirty") +
                                    readStat(statFile, v2 ? "file_writeback" : "total_writeback");
    return cache > unwritten ? cache - unwritten : 0;
}

// What the cgroups this process is in still allow: limit less usage, counting the
// page cache they can drop as free. Looks at the process's own group and every group
// above it, in cgroup v2 and v1 layouts.
std::uint64_t cgroupAvailable(const std::string& root) {
    std::uint64_t available = kUnlimited;
    std::ifstream groups(root + "proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // "0::/path" (v2) or "4:memory:/path" (v1)
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        const bool v2 = controllers.empty();
        if (!v2 && controllers.find("memory") == std::string::npos) {
            continue;
        }
        const std::string top = root + (v2 ? "sys/fs/cgroup" : "sys/fs/cgroup/memory");
        for (;;) {
            const std::string dir = top + (path == "/" ? "" : path);
            const std::uint64_t limit =
                readNumber(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
            const std::uint64_t usage =
                readNumber(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
            if (limit != kUnlimited && usage != kUnlimited) {
                const std::uint64_t cache = reclaimableCache(dir + "/memory.stat", v2);
                const std::uint64_t used = usage > cache ? usage - cache : 0;
                available = std::min(available, limit > used ? limit - used : 0);
            }
            if (path.empty() || path == "/") {
                break;
            }
            const auto slash = path.find_last_of('/');
            path = (slash == 0 || slash == std::string::npos) ? "/" : path.substr(0, slash);
        }
    }
    return available;
}

std::uint64_t rlimitOf(int resource) {
    struct rlimit limit;
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    return limit.rlim_cur;
}

}  // namespace

std::string readableSize(std::uint64_t bytes, bool roundUp) {
    const bool gib = bytes >= (std::uint64_t{1} << 30);
    const double units =
        double(bytes) / (gib ? double(std::uint64_t{1} << 30) / 10 : double(1 << 20));
    const double rounded = roundUp ? std::ceil(units) : std::floor(units);
    char text[32];
    if (gib) {
        std::snprintf(text, sizeof text, "%.1f GiB", rounded / 10);
    } else {
        std::snprintf(text, sizeof text, "%.0f MiB", rounded);
    }
    return text;
}

bool fits(const MemoryAmounts& need, const MemoryAmounts& available) {
    return need.resident <= available.resident && need.addressSpace <= available.addressSpace;
}

std::string availableText(const MemoryAmounts& need, const MemoryAmounts& available,
                          std::uint64_t& needed) {
    const bool resident = need.resident > available.resident;
    needed = resident ? need.resident : need.addressSpace;
    return (resident ? "" : "address space ") +
           readableSize(resident ? available.resident : available.addressSpace, false) +
           " is available";
}


MemoryAmounts availableMemory(const std::string& root) {
    const std::string dir = root.empty() || root.back() == '/' ? root : root + "/";
    MemoryAmounts available;
    const std::uint64_t free =
        std::min(readKiBField(dir + "proc/meminfo", "MemAvailable:"), cgroupAvailable(dir));
    const std::uint64_t held = readKiBField(dir + "proc/self/status", "VmRSS:");
    available.resident = (free == kUnlimited || held == kUnlimited) ? free : free + held;
    available.addressSpace = std::min(rlimitOf(RLIMIT_AS), rlimitOf(RLIMIT_DATA));
    return available;
}

MemoryAmounts estimateLoadMemory(std::uint64_t fileBytes) {
    MemoryAmounts need;
    charge(need, 1, kBaseCost);
    charge(need, fileBytes, kLoadFileByte);
    return need;
}

std::uint64_t loadableBytes(const MemoryAmounts& available) {
    const auto room = [](std::uint64_t have, std::uint64_t base, std::uint64_t perByte) {
        return have > base ? (have - base) / perByte : 0;
    };
    return std::min(room(available.resident, kBaseCost.resident, kLoadFileByte.resident),
                    room(available.addressSpace, kBaseCost.address, kLoadFileByte.address));
}

std::string loadRefusal(const std::string& path, std::uint64_t bytes, bool sized,
                        const MemoryAmounts& available) {
    const std::string start = "ERROR : Not enough memory to read [" + path + "]: ";
    if (sized) {
        std::uint64_t needed = 0;
        const std::string have = availableText(estimateLoadMemory(bytes), available, needed);
        return start + "loading its " + readableSize(bytes, true) + " needs about " +
               readableSize(needed, true) + ", " + have;
    }
    // It stopped at the most that loads: name the limit that set it.
    const bool resident =
        loadableBytes({available.resident, kUnlimited}) <= loadableBytes(available);
    return start + "it goes on past " + readableSize(bytes, false) + ", and no more loads in the " +
           readableSize(resident ? available.resident : available.addressSpace, false) +
           (resident ? "" : " of address space") + " available";
}

}  // namespace faceloom
