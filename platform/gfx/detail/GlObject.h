// RAII ownership of one GL object name, and program linking shared by the
// device's built-in programs and the effects. GL-header free so that private
// members of public classes can hold it.
#pragma once

#include "platform/gfx/GlObjectCounts.h"

#include <cstdint>
#include <string>
#include <utility>

namespace ORV::Gfx::detail {

// In the order of GlObjectCounts::kindNames.
enum class GlKind : uint8_t { Buffer, Texture, Framebuffer, Renderbuffer, VertexArray, Program, Shader, Sampler };

// Adds a name to the live count of its kind (reset takes it off): every name
// an object holds is counted once, wherever it moves.
void countGlObjectCreated(GlKind kind);

class GlObject {
public:
    GlObject() = default;
    // Takes ownership of name (0: none) as an object of kind.
    GlObject(GlKind kind, uint32_t name) : kind_(kind), name_(name)
    {
        if (name_) countGlObjectCreated(kind_);
    }
    ~GlObject() { reset(); }
    GlObject(GlObject&& other) noexcept : kind_(other.kind_), name_(std::exchange(other.name_, 0)) {}
    GlObject& operator=(GlObject&& other) noexcept
    {
        if (this != &other) {
            reset();
            kind_ = other.kind_;
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    GlObject(const GlObject&) = delete;
    GlObject& operator=(const GlObject&) = delete;

    uint32_t get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    // Deletes the object; the GL context that made it must be current.
    void reset();

private:
    GlKind kind_ = GlKind::Buffer;
    uint32_t name_ = 0;
};

GlObject createGlObject(GlKind kind);

// Counts deletions of textures, samplers and buffers on this thread. GL
// unbinds a deleted object from every unit it was bound to and may hand its
// name to the next object made, so a cache of bindings by name is stale once
// this has moved.
uint64_t bindableDeletions();

// Compiles and links a vertex + fragment program. On failure returns an empty
// object and the compiler or linker log in *log.
GlObject linkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string* log);

} // namespace ORV::Gfx::detail
