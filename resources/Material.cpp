#include "resources/Material.h"

#include "display/Display.h"
#include "resources/Shader.h"
#include "resources/Texture.h"

namespace ORV::Demo {

bool Material::selectForCurrentPass()
{
    const Display* display = Display::instance();
    const auto it = passNames_.find(display ? display->currentPass() : 0);
    if (it == passNames_.end()) return false;
    return selectPass(it->second);
}

bool Material::selectPass(const std::string& name)
{
    if (!shader_ || !shader_->effect()) return false;
    passCount_ = shader_->begin();
    passIndex_ = -1;
    Gfx::CompiledEffect& effect = *shader_->effect();
    const Gfx::PassHandle wanted = effect.passByName(shader_->technique(), name);
    if (wanted) {
        for (uint32_t i = 0; i < passCount_; ++i) {
            if (effect.pass(shader_->technique(), i) == wanted) {
                passIndex_ = int32_t(i);
                break;
            }
        }
    }
    if (passIndex_ < 0) return false;
    applyParameters();
    passOpen_ = false;
    return true;
}

void Material::applyParameters()
{
    Gfx::CompiledEffect& effect = *shader_->effect();
    if (!parameterHandlesFound_) {
        parameterHandles_.clear();
        const auto find = [&](const auto& map) {
            for (const auto& entry : map) parameterHandles_.push_back(effect.parameterByName(entry.first));
        };
        find(textures_);
        find(floats_);
        find(vectors2_);
        find(vectors3_);
        find(colors_);
        find(matrices3_);
        find(matrices4_);
        parameterHandlesFound_ = true;
    }
    // In the order the handles were found.
    auto handle = parameterHandles_.begin();
    for (const auto& [name, texture] : textures_) effect.setTexture(*handle++, texture ? texture->texture() : nullptr);
    for (const auto& [name, value] : floats_) effect.setFloat(*handle++, value);
    for (const auto& [name, v] : vectors2_) effect.setVector(*handle++, {v[0], v[1], 0.0f, 1.0f});
    for (const auto& [name, v] : vectors3_) effect.setVector(*handle++, {v[0], v[1], v[2], 1.0f});
    for (const auto& [name, v] : colors_) effect.setVector(*handle++, {v[0], v[1], v[2], v[3]});
    for (const auto& [name, v] : matrices3_) {
        Core::Matrix m;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m.m[r][c] = v[size_t(r * 3 + c)];
        effect.setMatrix(*handle++, m);
    }
    for (const auto& [name, v] : matrices4_) {
        Core::Matrix m;
        for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = v[size_t(i)];
        effect.setMatrix(*handle++, m);
    }
}

bool Material::beginNextPass()
{
    if (!shader_ || !shader_->effect()) return false;
    if (passOpen_) shader_->effect()->endPass();
    if (passIndex_ == -1) return false;
    passOpen_ = true;
    shader_->effect()->beginPass(uint32_t(passIndex_));
    passIndex_ = -1;
    return true;
}

void Material::endPasses()
{
    if (!shader_ || !shader_->effect()) return;
    shader_->effect()->end();
    passOpen_ = false;
}

} // namespace ORV::Demo
