#include "resources/ResourceRegistry.h"

#include "platform/DebugOutput.h"
#include "platform/cpu/Clock.h"

#include <cassert>

namespace ORV::Demo {

void ResourceRegistry::addResource(const std::string& path, const std::string& name, ResourceLoader loader)
{
    assert(loader != nullptr);
    pending_.push_back({path, loader, name});
    ++registeredCount_;
}

float ResourceRegistry::loadNext()
{
    if (!pending_.empty()) {
        LoadRequest request = std::move(pending_.front());
        pending_.pop_front();
        ++loadedCount_;
        const std::uint64_t start = observer_ ? Platform::monotonicNanoseconds() : 0;
        std::unique_ptr<Resource> loaded = request.loader ? request.loader(request.path, request.name) : nullptr;
        if (observer_) observer_->onLoaded(request, Platform::monotonicNanoseconds() - start);
        Resource* resource = loaded.get();
        // A later request with the same path or name replaces the map entry;
        // the earlier resource stays owned and is deleted by releaseAll.
        if (!request.path.empty()) byPath_[request.path] = resource;
        if (!request.name.empty()) byName_[request.name] = resource;
        own(std::move(loaded));
    }
    if (registeredCount_ == 0) return 1.0f;
    return static_cast<float>(loadedCount_) / static_cast<float>(registeredCount_);
}

Resource* ResourceRegistry::findByPath(const std::string& path, ResourceLoader loader)
{
    if (const auto found = byPath_.find(path); found != byPath_.end()) return found->second;
    Platform::debugOutput("TELM WARNING - Scene Resource with path '" + path + "' NOT loaded!!\n");
    if (!loader) return nullptr;
    std::unique_ptr<Resource> loaded = loader(path, "");
    Resource* resource = loaded.get();
    byPath_[path] = resource;
    own(std::move(loaded));
    return resource;
}

Resource* ResourceRegistry::findByName(const std::string& name, ResourceLoader loader)
{
    if (const auto found = byName_.find(name); found != byName_.end()) return found->second;
    if (!loader) return nullptr;
    std::unique_ptr<Resource> loaded = loader("", name);
    Resource* resource = loaded.get();
    byName_[name] = resource;
    own(std::move(loaded));
    return resource;
}

void ResourceRegistry::releaseAll()
{
    // The maps refer to the resources about to go; they are emptied with them
    // so that a late lookup finds nothing instead of a deleted object.
    byPath_.clear();
    byName_.clear();
    for (std::unique_ptr<Resource>& resource : owned_) resource.reset();
    owned_.clear();
    // Requests left by a run that ended during loading go too, and the counts
    // start again, so that a later run registers and loads from scratch.
    pending_.clear();
    registeredCount_ = 0;
    loadedCount_ = 0;
}

void ResourceRegistry::own(std::unique_ptr<Resource> resource)
{
    // A loader that returned none leaves a null map entry and nothing to own.
    if (resource) owned_.push_back(std::move(resource));
}

ResourceRegistry& resourceRegistry()
{
    static ResourceRegistry& registry = *new ResourceRegistry;
    return registry;
}

namespace {
// Creates the registry during static initialisation, before main.
[[maybe_unused]] ResourceRegistry& startupRegistry = resourceRegistry();
} // namespace

} // namespace ORV::Demo
