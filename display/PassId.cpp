#include "display/PassId.h"

namespace ORV::Demo {

namespace {
// Constant-initialised, so it is ready before any dynamic initialiser runs.
PassId nextPassId = 1;
} // namespace

PassId newPassId()
{
    return nextPassId++;
}

const PassId ambientPass = newPassId();
const PassId shadePass = newPassId();
const PassId emissivePass = newPassId();
const PassId depthDistPass = newPassId();

} // namespace ORV::Demo
