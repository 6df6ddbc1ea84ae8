// The demo's assets: the 22 effects, textures and scenes queued in the
// registry at start-up, before the loading screen loads them one per step.
// What the files contain is content's business; this fixes their paths,
// their short names and how each is loaded.
#pragma once

#include "resources/ResourceRegistry.h"

#include <span>

namespace ORV::Demo {

struct ManifestEntry {
    const char* name; // the short name lookups by name use
    const char* path; // archive member or loose file below the working folder
    ResourceLoader loader;
};

// The entries in registration order.
std::span<const ManifestEntry> manifest();

// Queues every entry in order in the process-wide registry; loads nothing.
void registerManifest();

} // namespace ORV::Demo
