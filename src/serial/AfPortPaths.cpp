#include "serial/AfPortPaths.h"

#include <map>
#include <mutex>
#include <set>

namespace halvex {

namespace {

struct TOverrides {
    std::mutex lock;
    std::map<int, std::string> paths;
    std::set<int> byPath; // numbers MapPath chose for a path
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
    o.byPath.erase(n);
    if (path.empty())
        o.paths.erase(n);
    else
        o.paths[n] = std::move(path);
}

void TAfPortPaths::ClearOverrides() {
    auto& o = Overrides();
    std::lock_guard<std::mutex> guard(o.lock);
    o.paths.clear();
    o.byPath.clear();
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

int TAfPortPaths::MapPath(const std::string& path) {
    for (int n = 1; n <= 255; ++n)
        if (Path(n) == path)
            return n;
    for (int n = 255; n > 32; --n)
        if (Path(n).empty()) {
            SetOverride(n, path);
            auto& o = Overrides();
            std::lock_guard<std::mutex> guard(o.lock);
            o.byPath.insert(n);
            return n;
        }
    return 0;
}

std::string TAfPortPaths::Label(int n) {
    {
        auto& o = Overrides();
        std::lock_guard<std::mutex> guard(o.lock);
        if (o.byPath.count(n) != 0)
            return o.paths[n];
    }
    return "COM" + std::to_string(n);
}

} // namespace halvex
