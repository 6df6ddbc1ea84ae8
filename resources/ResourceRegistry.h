// The registry of the demo's named resources: requests queued at start-up,
// loaded one per call of loadNext, found afterwards by path or by name, and
// deleted together by releaseAll. What a resource is and how its bytes are
// read is left to the loaders (shaders, textures, scenes).
#pragma once

#include "resources/Resource.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Demo {

// Creates the resource for an asset path (the name is for information only).
// May return an empty resource for a missing asset, or none.
using ResourceLoader = std::unique_ptr<Resource> (*)(std::string path, std::string name);

struct LoadRequest {
    std::string path;
    ResourceLoader loader = nullptr;
    std::string name;
};

// Told of every request loadNext loads (the start-up's queued assets, not the
// loads that findByPath and findByName make on a miss), after its loader
// returns: for benchmarks that split the loading time by kind of asset.
class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    // nanoseconds: the loader's call alone, on the monotonic clock.
    virtual void onLoaded(const LoadRequest& request, std::uint64_t nanoseconds) = 0;
};

// Main thread only.
class ResourceRegistry {
public:
    ResourceRegistry() = default;
    // Deletes what releaseAll has not deleted yet.
    ~ResourceRegistry() = default;
    ResourceRegistry(const ResourceRegistry&) = delete;
    ResourceRegistry& operator=(const ResourceRegistry&) = delete;

    // Queues a request; nothing is loaded yet. The loader must be given.
    void addResource(const std::string& path, const std::string& name, ResourceLoader loader);

    // Loads the oldest queued request, if any, and returns the fraction of
    // requests taken so far: exactly 1 after the last one, and 1 when nothing
    // was ever queued (there is nothing left to wait for).
    float loadNext();

    // The resource loaded under this exact path (case-sensitive). A miss writes
    // a warning line to the debugger output, then loads the path with loader
    // when one is given (later lookups find it silently) or returns null.
    Resource* findByPath(const std::string& path, ResourceLoader loader = nullptr);

    // The resource loaded under this exact name. A miss is silent; with a
    // loader it loads the name as an unnamed request, without a path.
    Resource* findByName(const std::string& name, ResourceLoader loader = nullptr);

    // Deletes every resource the registry created, in creation order, each
    // exactly once, and drops the requests not loaded yet: the registry is
    // empty again, as before the first request. Lookups afterwards find
    // nothing; pointers handed out before are dangling.
    void releaseAll();

    // Null stops; the observer is not owned. releaseAll leaves it set.
    void setLoadObserver(LoadObserver* observer) { observer_ = observer; }

    int registeredCount() const { return registeredCount_; }
    int loadedCount() const { return loadedCount_; }
    std::size_t pendingCount() const { return pending_.size(); }

private:
    void own(std::unique_ptr<Resource> resource);

    std::map<std::string, Resource*> byPath_;
    std::vector<std::unique_ptr<Resource>> owned_;
    std::map<std::string, Resource*> byName_;
    std::int32_t registeredCount_ = 0;
    std::int32_t loadedCount_ = 0;
    std::deque<LoadRequest> pending_;
    LoadObserver* observer_ = nullptr;
};

// The process-wide registry. It exists before main and is never destroyed:
// resources hold device objects that must go before the display does, so the
// demo's shutdown calls releaseAll, and whatever is left at exit is left to
// the operating system rather than deleted after the device is gone.
ResourceRegistry& resourceRegistry();

} // namespace ORV::Demo
