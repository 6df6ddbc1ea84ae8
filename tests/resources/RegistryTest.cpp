#include "resources/ResourceRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace ORV::Demo {
namespace {

// What the test loaders and resources did, in order.
std::vector<std::string> events;

class Tracked : public Resource {
public:
    Tracked(std::string path, std::string name) : path(std::move(path)), name(std::move(name)) {}
    ~Tracked() override { events.push_back("delete " + path + "|" + name); }
    std::string path, name;
};

std::unique_ptr<Resource> loadTracked(std::string path, std::string name)
{
    events.push_back("load " + path + "|" + name);
    return std::make_unique<Tracked>(path, name);
}

std::unique_ptr<Resource> loadNothing(std::string path, std::string)
{
    events.push_back("nothing " + path);
    return nullptr;
}

std::string warningFor(const std::string& path)
{
    return "TELM WARNING - Scene Resource with path '" + path + "' NOT loaded!!\n";
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { events.clear(); }
    ResourceRegistry registry;
};

TEST_F(Registry, LoadedResourceIsFoundByPathAndByName)
{
    registry.addResource("cartoon.fx", "cartoonShader", loadTracked);
    EXPECT_TRUE(events.empty()); // nothing loads before loadNext
    EXPECT_EQ(registry.loadNext(), 1.0f);
    Resource* byPath = registry.findByPath("cartoon.fx");
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(registry.findByName("cartoonShader"), byPath);
    EXPECT_EQ(static_cast<Tracked*>(byPath)->name, "cartoonShader");
    EXPECT_EQ(events, std::vector<std::string>{"load cartoon.fx|cartoonShader"});
}

TEST_F(Registry, PathsAreMatchedExactly)
{
    registry.addResource("cartoon.fx", "", loadTracked);
    registry.loadNext();
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath("Cartoon.fx"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warningFor("Cartoon.fx"));
    EXPECT_NE(registry.findByPath("cartoon.fx"), nullptr);
}

TEST_F(Registry, PathMissWithLoaderWarnsOnceThenLoads)
{
    testing::internal::CaptureStderr();
    Resource* first = registry.findByPath("textures/new.jpg", loadTracked);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warningFor("textures/new.jpg"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(static_cast<Tracked*>(first)->name, "");

    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath("textures/new.jpg", loadTracked), first);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(events, std::vector<std::string>{"load textures/new.jpg|"});
}

TEST_F(Registry, PathMissWithoutLoaderWarnsEveryTime)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath("gone.jpg"), nullptr);
    EXPECT_EQ(registry.findByPath("gone.jpg"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warningFor("gone.jpg") + warningFor("gone.jpg"));
}

TEST_F(Registry, LoaderReturningNothingLeavesAnEmptyEntry)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath("broken.dds", loadNothing), nullptr);
    EXPECT_EQ(registry.findByPath("broken.dds", loadNothing), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warningFor("broken.dds"));
    EXPECT_EQ(events, std::vector<std::string>{"nothing broken.dds"});
    registry.releaseAll();
}

TEST_F(Registry, NameMissIsSilent)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByName("nobody"), nullptr);
    Resource* loaded = registry.findByName("somebody", loadTracked);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(registry.findByName("somebody"), loaded);
    EXPECT_EQ(events, std::vector<std::string>{"load |somebody"});
}

TEST_F(Registry, LoadNextReportsTheFractionTaken)
{
    registry.addResource("a", "a", loadTracked);
    registry.addResource("b", "b", loadTracked);
    registry.addResource("c", "c", loadTracked);
    EXPECT_FLOAT_EQ(registry.loadNext(), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(registry.loadNext(), 2.0f / 3.0f);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    EXPECT_EQ(events, (std::vector<std::string>{"load a|a", "load b|b", "load c|c"}));
    EXPECT_EQ(registry.loadedCount(), 3);
    EXPECT_EQ(registry.pendingCount(), 0u);
}

// Records what it is told; the loaders above take no measurable time, so a
// load is timed when its time is at least what loadSlowly spends.
class RecordingObserver : public LoadObserver {
public:
    void onLoaded(const LoadRequest& request, std::uint64_t nanoseconds) override
    {
        seen.push_back(request.path + "|" + request.name + (request.loader == loadTracked ? " tracked" : " other"));
        times.push_back(nanoseconds);
    }
    std::vector<std::string> seen;
    std::vector<std::uint64_t> times;
};

std::unique_ptr<Resource> loadSlowly(std::string path, std::string name)
{
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(5)) {}
    return loadTracked(std::move(path), std::move(name));
}

TEST_F(Registry, TheLoadObserverSeesEachQueuedLoadOnceWithItsLoaderAndTime)
{
    RecordingObserver observer;
    registry.setLoadObserver(&observer);
    registry.addResource("a.fx", "a", loadTracked);
    registry.addResource("b.jpg", "b", loadSlowly);
    registry.loadNext();
    EXPECT_EQ(observer.seen, std::vector<std::string>{"a.fx|a tracked"}) << "told after each load, not at the end";
    registry.loadNext();
    registry.loadNext(); // nothing left: nothing to tell
    // Loads on a miss are not part of the start-up's loading.
    registry.findByPath("c.jpg", loadTracked);
    registry.findByName("d", loadTracked);
    EXPECT_EQ(observer.seen, (std::vector<std::string>{"a.fx|a tracked", "b.jpg|b other"}));
    ASSERT_EQ(observer.times.size(), 2u);
    EXPECT_GE(observer.times[1], 5'000'000u) << "the loader's own time";

    // releaseAll keeps the observer; null stops it.
    registry.releaseAll();
    registry.addResource("e", "", loadTracked);
    registry.loadNext();
    EXPECT_EQ(observer.seen.size(), 3u);
    registry.setLoadObserver(nullptr);
    registry.addResource("f", "", loadTracked);
    registry.loadNext();
    EXPECT_EQ(observer.seen.size(), 3u);
}

TEST_F(Registry, LoadNextWithNothingRegisteredIsComplete)
{
    EXPECT_EQ(registry.loadNext(), 1.0f);
    EXPECT_EQ(registry.loadedCount(), 0);
}

TEST_F(Registry, RequestsRegisteredDuringLoadingLowerTheFraction)
{
    registry.addResource("a", "", loadTracked);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    registry.addResource("b", "", loadTracked);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    registry.addResource("c", "", loadTracked);
    registry.addResource("d", "", loadTracked);
    EXPECT_FLOAT_EQ(registry.loadNext(), 0.75f);
}

TEST_F(Registry, EmptyPathOrNameIsNotEntered)
{
    registry.addResource("", "onlyName", loadTracked);
    registry.addResource("only/path", "", loadTracked);
    registry.loadNext();
    registry.loadNext();
    EXPECT_NE(registry.findByName("onlyName"), nullptr);
    EXPECT_EQ(registry.findByName(""), nullptr);
    EXPECT_NE(registry.findByPath("only/path"), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath(""), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), warningFor(""));
}

TEST_F(Registry, SameNameTwiceLaterWinsAndBothAreDeleted)
{
    registry.addResource("first.fx", "shader", loadTracked);
    registry.addResource("second.fx", "shader", loadTracked);
    registry.loadNext();
    registry.loadNext();
    EXPECT_EQ(static_cast<Tracked*>(registry.findByName("shader"))->path, "second.fx");
    EXPECT_EQ(static_cast<Tracked*>(registry.findByPath("first.fx"))->path, "first.fx");
    events.clear();
    registry.releaseAll();
    EXPECT_EQ(events, (std::vector<std::string>{"delete first.fx|shader", "delete second.fx|shader"}));
}

TEST_F(Registry, ReleaseAllDeletesEachResourceOnceInCreationOrder)
{
    registry.addResource("queued", "q", loadTracked);
    registry.findByPath("on/demand", loadTracked);
    registry.findByName("named", loadTracked);
    registry.loadNext();
    events.clear();
    registry.releaseAll();
    EXPECT_EQ(events, (std::vector<std::string>{"delete on/demand|", "delete |named", "delete queued|q"}));
    events.clear();
    registry.releaseAll();
    EXPECT_TRUE(events.empty());
    // Nothing dangling is found afterwards.
    testing::internal::CaptureStderr();
    EXPECT_EQ(registry.findByPath("queued"), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(registry.findByName("q"), nullptr);
}

TEST_F(Registry, ReleaseAllDropsRequestsNotLoadedSoThatASecondRunStartsAfresh)
{
    // A run ended during loading: one of three taken.
    for (const char* path : {"a", "b", "c"}) registry.addResource(path, "", loadTracked);
    registry.loadNext();
    registry.releaseAll();
    EXPECT_EQ(registry.pendingCount(), 0u);
    events.clear();
    // The next run's bar counts its own requests only.
    registry.addResource("d", "", loadTracked);
    registry.addResource("e", "", loadTracked);
    EXPECT_FLOAT_EQ(registry.loadNext(), 0.5f);
    EXPECT_EQ(registry.loadNext(), 1.0f);
    EXPECT_EQ(events, (std::vector<std::string>{"load d|", "load e|"}));
}

TEST_F(Registry, DestroyingTheRegistryDeletesWhatIsLeft)
{
    {
        ResourceRegistry local;
        local.addResource("x", "", loadTracked);
        local.loadNext();
    }
    EXPECT_EQ(events, (std::vector<std::string>{"load x|", "delete x|"}));
}

TEST(ProcessRegistry, IsOneObject)
{
    EXPECT_EQ(&resourceRegistry(), &resourceRegistry());
}

class Probe : public Effect {
public:
    explicit Probe(std::vector<std::string>& log) : log(log) {}
    void update(float elapsed, float time) override
    {
        log.push_back("update " + std::to_string(elapsed) + " " + std::to_string(time));
    }
    void render(Effect* parent) override
    {
        log.push_back(parent == this ? "render self" : parent ? "render child" : "render root");
    }
    void postRender(Effect* parent) override { log.push_back(parent ? "post child" : "post root"); }
    std::vector<std::string>& log;
};

TEST(EffectBase, AdvanceUpdatesAndDrawRendersThenPostRenders)
{
    std::vector<std::string> log;
    Probe root(log), child(log);
    root.advance(0.5f, 2.25f);
    root.draw(nullptr);
    child.draw(&root);
    EXPECT_EQ(log, (std::vector<std::string>{"update 0.500000 2.250000", "render root", "post root", "render child",
                                             "post child"}));
}

TEST(EffectBase, ChildrenAreNotOwned)
{
    std::vector<std::string> log;
    Probe child(log);
    {
        auto parent = std::make_unique<Probe>(log);
        parent->children.push_back(&child);
        parent->children.push_back(&child);
    }
    child.advance(0.0f, 1.0f); // still alive
    EXPECT_EQ(log.size(), 1u);
}

} // namespace
} // namespace ORV::Demo
