// Scene assembly: the drawable parts made from a scene file's records. A
// material record becomes a Material on the registry's effect, a mesh part
// the mesh of a Model. The records are read by scene/SceneFile.h; nothing
// here reads a file.
#pragma once

namespace ORV::Demo {

class Material;
class Model;
struct MaterialRecord;
struct MeshPart;

// A material for a plain material record of a scene file: the effect found in
// the registry by the record's effect name, the four render passes named
// "ambient", "shade", "emissive" and "depthdist", and the record's parameters
// typed by the effect: textures (loaded on demand), scalar floats, and
// vectors read as three 0-255 colour components. Text that does not parse as
// the numbers a parameter needs leaves that parameter out, so the effect's
// own default stays in force. The caller owns the result.
Material* buildMaterial(const MaterialRecord& record);

// Builds the model's mesh from a scene mesh part: its vertices (position,
// normal, texture coordinate 0, tangent) and its whole triangles, with
// triangles that name a vertex the part does not have dropped (see
// Model::buildMesh). A part with no drawable triangle leaves the model
// without a mesh.
void buildFromMesh(Model& model, const MeshPart& part);

} // namespace ORV::Demo
