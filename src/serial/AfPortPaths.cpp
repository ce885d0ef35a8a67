#include "serial/AfPortPaths.h"

#include <map>
#include <mutex>

namespace halvex {

namespace {

struct TOverrides {
    std::mutex lock;
    std::map<int, std::string> paths;
};

TOverrides& Overrides() {
    static TOverrides overrides;
    return overrides;
}

} // namespace

void TAfPortPaths::SetOverride(int n, std::string path) {
    if (n < 1)
        return;
    auto& o = Overrides();
    std::lock_guard<std::mutex> guard(o.lock);
    if (path.empty())
        o.paths.erase(n);
    else
        o.paths[n] = std::move(path);
}

void TAfPortPaths::ClearOverrides() {
    auto& o = Overrides();
    std::lock_guard<std::mutex> guard(o.lock);
    o.paths.clear();
}

std::string TAfPortPaths::DefaultPath(int n) {
    struct TRange {
        int first;
        int count;
        const char* stem;
    };
    static constexpr TRange ranges[] = {
        {1, 8, "/dev/ttyUSB"},  {9, 8, "/dev/ttyACM"},  {17, 8, "/dev/ttyS"},
        {25, 4, "/dev/ttyAMA"}, {29, 4, "/dev/rfcomm"},
    };
    for (const auto& r : ranges)
        if (n >= r.first && n < r.first + r.count)
            return r.stem + std::to_string(n - r.first);
    return {};
}

std::string TAfPortPaths::Path(int n) {
    if (n < 1)
        return {};
    {
        auto& o = Overrides();
        std::lock_guard<std::mutex> guard(o.lock);
        auto it = o.paths.find(n);
        if (it != o.paths.end())
            return it->second;
    }
    return DefaultPath(n);
}

} // namespace halvex
