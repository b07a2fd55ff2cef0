#include "engine/CKeXMeshLoader.h"

#include "core/KePtr.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "engine/KeXReader.h"
#include "files/KePathResolve.h"
#include "files/KeReadFile.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/ILogger.h>
#include <irrlicht/IReadFile.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ISkinnedMesh.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>
#include <irrlicht/coreutil.h>

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

// Index
//   number reader     bounds-checked reads from a data object's numbers
//   builder           frames, meshes, materials, skin weights, animation keys (file order)
//   buffers           one buffer per material, original vertex indices, split vertices
//   CKeXMeshLoader

namespace kolm {

using namespace irr;

namespace {

struct BuildError {
    std::string message;
    uint32_t position = 0;
};

// Reads the numbers of one data object in order; every read checks what is left.
class NumberReader {
public:
    explicit NumberReader(const KeXObject& object) : m_values(object.numbers) {}

    size_t left() const { return m_values.size() - m_next; }

    bool readU32(u32& out) {
        if (!left()) return false;
        const double v = m_values[m_next++];
        if (!(v >= 0.0 && v <= 4294967295.0) || v != std::floor(v)) return false;
        out = static_cast<irr::u32>(v);
        return true;
    }
    // Signed; the binary encoding stores negative values as their 32-bit two's complement.
    bool readS32(s32& out) {
        if (!left()) return false;
        double v = m_values[m_next++];
        if (!(v >= -2147483648.0 && v <= 4294967295.0) || v != std::floor(v)) return false;
        if (v > 2147483647.0) v -= 4294967296.0;
        out = static_cast<irr::s32>(v);
        return true;
    }
    bool readF32(f32& out) {
        if (!left()) return false;
        out = static_cast<irr::f32>(m_values[m_next++]);
        return true;
    }
    bool vector3(core::vector3df& v) { return readF32(v.X) && readF32(v.Y) && readF32(v.Z); }
    bool matrix(core::matrix4& m) {
        if (left() < 16) return false;
        for (u32 i = 0; i < 16; ++i) readF32(m[i]);
        return true;
    }
    // A colour component in [0, 1] (NaN reads as 0).
    f32 unit() {
        f32 v = 0;
        readF32(v);
        return v > 0.f ? (v < 1.f ? v : 1.f) : 0.f;
    }

private:
    const std::vector<double>& m_values;
    size_t m_next = 0;
};

// A frame's transform split as the library's skinned meshes compose an animated joint: the rows
// of the rotation, each times the scale of its axis, then the translation. A mirroring frame
// gets a negative x scale so that the rotation stays a proper one.
struct FrameTransform {
    core::vector3df translation;
    core::vector3df scale{1.f, 1.f, 1.f};
    core::quaternion rotation;
    bool turned = false;  // the rotation is not the identity
};

FrameTransform splitFrameTransform(const core::matrix4& m) {
    FrameTransform t;
    t.translation = m.getTranslation();
    core::matrix4 rows;  // identity
    f32 scale[3];
    for (u32 r = 0; r < 3; ++r)
        scale[r] = std::sqrt(m[r * 4] * m[r * 4] + m[r * 4 + 1] * m[r * 4 + 1] + m[r * 4 + 2] * m[r * 4 + 2]);
    const f32 determinant = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
                            m[2] * (m[4] * m[9] - m[5] * m[8]);
    if (determinant < 0.f) scale[0] = -scale[0];
    for (u32 r = 0; r < 3; ++r)
        if (scale[r] != 0.f)
            for (u32 c = 0; c < 3; ++c) rows[r * 4 + c] = m[r * 4 + c] / scale[r];
    t.scale.set(scale[0], scale[1], scale[2]);
    t.turned = !rows.isIdentity();
    // As matrix keys are read: the library builds a joint's rotation rows from the transposed
    // matrix of its quaternion.
    t.rotation = core::quaternion(rows.getTransposed());
    t.rotation.normalize();
    return t;
}

bool equalsNoCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (core::locale_lower(a[i]) != core::locale_lower(b[i])) return false;
    return true;
}

constexpr u32 kNone = 0xFFFFFFFFu;

class XMeshBuilder {
public:
    XMeshBuilder(scene::ISkinnedMesh* mesh, scene::ISceneManager* smgr, io::IFileSystem* fs, ILogger* logger,
                 const io::path& meshDir, bool loadTextures, bool binary)
        : m_mesh(mesh), m_smgr(smgr), m_fs(fs), m_logger(logger), m_meshDir(meshDir), m_loadTextures(loadTextures),
          m_binary(binary) {}

    bool build(const KeXDocument& doc) {
        for (const auto& object : doc.objects) {
            const KeXObject& o = *object;
            if (o.type == "Frame") {
                if (!readFrame(o, nullptr)) return false;
            } else if (o.type == "Mesh") {
                if (!readMesh(o, -1)) return false;
            } else if (o.type == "AnimationSet") {
                for (const auto& c : o.children)
                    if (!c->reference && c->type == "Animation" && !readAnimation(*c)) return false;
            } else if (o.type == "Material") {
                m_namedMaterials.emplace_back(o.name, video::SMaterial());
                if (!readMaterial(o, m_namedMaterials.back().second)) return false;
            } else if (o.type == "AnimTicksPerSecond") {
                NumberReader r(o);
                u32 ticks;
                if (r.readU32(ticks) && ticks > 0) m_ticksPerSecond = ticks;
            }
        }
        for (MeshData& mesh : m_meshes)
            if (!buildBuffers(mesh)) return false;
        keepFrameTransformsOfAnimatedJoints();
        if (m_ticksPerSecond) m_mesh->setAnimationSpeed(f32(m_ticksPerSecond));
        m_mesh->finalize();
        return true;
    }

    const BuildError& error() const { return m_error; }

private:
    struct Skin {
        u32 joint;
        std::vector<u32> vertices;
        std::vector<f32> weights;
    };
    struct MeshData {
        s32 attachedJoint = -1;
        u32 position = 0;
        std::vector<video::S3DVertex> vertices;
        std::vector<core::vector2df> tcoords2;
        std::vector<u32> indices;          // triangles (polygons split into fans)
        std::vector<u32> cornersPerFace;   // corners of each face of the file
        std::vector<u32> triangleMaterial; // empty: every triangle uses material 0
        std::vector<video::SMaterial> materials;
        std::vector<std::pair<s32, s32>> properties;  // "MeshMaterialsUVs", pair i for material i
        std::vector<Skin> skins;
        bool hasVertexColors = false;
        bool hasSkinning = false;
    };

    bool fail(const KeXObject& at, const std::string& message) {
        m_error.message = message;
        m_error.position = at.position;
        return false;
    }
    void warn(const char* text, const KeXObject* at) {
        if (!m_logger) return;
        m_logger->log(text, ELL_WARNING);
        if (at) m_logger->log(m_binary ? "Offset" : "Line", core::stringc(at->position).c_str(), ELL_WARNING);
    }

    // The joint named `name`: the first one of that name, else a new root joint.
    scene::ISkinnedMesh::SJoint* findOrAddJoint(const std::string& name, u32& index) {
        auto it = m_jointByName.find(name);
        if (it != m_jointByName.end()) {
            index = it->second;
            return m_mesh->getAllJoints()[index];
        }
        scene::ISkinnedMesh::SJoint* joint = m_mesh->addJoint(nullptr);
        joint->Name = name.c_str();
        index = m_mesh->getAllJoints().size() - 1;
        m_jointByName.emplace(name, index);
        m_parentOf.resize(index + 1, kNone);
        return joint;
    }

    bool isAncestorOrSelf(u32 joint, u32 of) const {
        for (u32 j = of; j != kNone; j = m_parentOf[j])
            if (j == joint) return true;
        return false;
    }

    bool readFrame(const KeXObject& o, scene::ISkinnedMesh::SJoint* parent) {
        const u32 parentIndex = m_currentJoint;
        scene::ISkinnedMesh::SJoint* joint = nullptr;
        u32 index = kNone;
        auto it = o.name.empty() ? m_jointByName.end() : m_jointByName.find(o.name);
        if (it != m_jointByName.end()) {
            // A joint made earlier for a forward reference (skin weights or animation) takes its
            // place in the hierarchy here. A name used twice in the hierarchy makes a joint of
            // its own: linking it again could give a joint two parents or make a cycle.
            const u32 found = it->second;
            const bool linkable =
                m_parentOf[found] == kNone && (parentIndex == kNone || !isAncestorOrSelf(found, parentIndex));
            if (linkable) {
                joint = m_mesh->getAllJoints()[found];
                index = found;
                if (parent) {
                    parent->Children.push_back(joint);
                    m_parentOf[found] = parentIndex;
                }
            } else {
                warn("Frame name used twice in x file", &o);
            }
        }
        if (!joint) {
            joint = m_mesh->addJoint(parent);
            joint->Name = o.name.c_str();
            index = m_mesh->getAllJoints().size() - 1;
            m_parentOf.resize(index + 1, kNone);
            m_parentOf[index] = parentIndex;
            if (!o.name.empty()) m_jointByName.emplace(o.name, index);
        }

        m_currentJoint = index;
        for (const auto& c : o.children) {
            if (c->reference) continue;
            if (c->type == "Frame") {
                if (!readFrame(*c, joint)) return false;
            } else if (c->type == "FrameTransformMatrix") {
                NumberReader r(*c);
                if (!r.matrix(joint->LocalMatrix)) return fail(*c, "Transformation Matrix without 16 numbers in x file");
            } else if (c->type == "Mesh") {
                if (!readMesh(*c, s32(index))) return false;
            }
        }
        m_currentJoint = parentIndex;
        return true;
    }

    bool readMesh(const KeXObject& o, s32 attachedJoint) {
        m_meshes.emplace_back();
        MeshData& mesh = m_meshes.back();
        mesh.attachedJoint = attachedJoint;
        mesh.position = o.position;
        NumberReader r(o);
        u32 vertexCount;
        if (!r.readU32(vertexCount) || vertexCount > r.left() / 3) return fail(o, "Mesh vertex array runs past its data in x file");
        mesh.vertices.resize(vertexCount);
        for (video::S3DVertex& v : mesh.vertices) {
            r.vector3(v.Pos);
            v.Color = 0xFFFFFFFF;
        }
        u32 faceCount;
        if (!r.readU32(faceCount) || faceCount > r.left() / 4) return fail(o, "Mesh face array runs past its data in x file");
        mesh.cornersPerFace.reserve(faceCount);
        mesh.indices.reserve(size_t(faceCount) * 3);
        std::vector<u32> polygon;
        for (u32 f = 0; f < faceCount; ++f) {
            u32 corners;
            if (!r.readU32(corners)) return fail(o, "Mesh face array runs past its data in x file");
            if (corners < 3) return fail(o, "Invalid face count (<3) found in Mesh x file reader.");
            if (corners > r.left()) return fail(o, "Mesh face array runs past its data in x file");
            polygon.resize(corners);
            for (u32& index : polygon)
                if (!r.readU32(index) || index >= vertexCount) return fail(o, "Vertex index out of range in Mesh in x file");
            for (u32 t = 0; t + 2 < corners; ++t) {
                mesh.indices.push_back(polygon[0]);
                mesh.indices.push_back(polygon[t + 1]);
                mesh.indices.push_back(polygon[t + 2]);
            }
            mesh.cornersPerFace.push_back(corners);
        }

        for (const auto& c : o.children) {
            if (c->reference) continue;
            const std::string& type = c->type;
            bool ok = true;
            if (type == "MeshNormals")
                ok = readNormals(*c, mesh);
            else if (type == "MeshTextureCoords")
                ok = readTextureCoords(*c, mesh);
            else if (type == "MeshVertexColors")
                ok = readVertexColors(*c, mesh);
            else if (type == "MeshMaterialList")
                ok = readMaterialList(*c, mesh);
            else if (type == "DeclData")
                ok = readDeclData(*c, mesh);
            else if (type == "FVFData")
                ok = readFvfData(*c, mesh);
            else if (type == "SkinWeights")
                ok = readSkinWeights(*c, mesh);
            else if (type == "MeshMaterialsUVs")
                ok = readMaterialsUVs(*c, mesh);
            // "VertexDuplicationIndices", "XSkinMeshHeader" and others carry nothing we use.
            if (!ok) return false;
        }
        return true;
    }

    bool readNormals(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 count;
        if (!r.readU32(count) || count > r.left() / 3) return fail(o, "Mesh Normals array runs past its data in x file");
        std::vector<core::vector3df> normals(count);
        for (core::vector3df& n : normals) r.vector3(n);
        u32 faces;
        if (!r.readU32(faces)) return fail(o, "Mesh Normals array runs past its data in x file");
        if (faces > mesh.cornersPerFace.size()) return fail(o, "Not matching normal and face index count found in x file");
        size_t corner = 0;
        std::vector<u32> polygon;
        for (u32 f = 0; f < faces; ++f) {
            u32 corners;
            if (!r.readU32(corners) || corners != mesh.cornersPerFace[f])
                return fail(o, "Not matching normal and face index count found in x file");
            polygon.resize(corners);
            for (u32& index : polygon)
                if (!r.readU32(index) || index >= count) return fail(o, "Normal index out of range in x file");
            for (u32 t = 0; t + 2 < corners; ++t) {
                mesh.vertices[mesh.indices[corner++]].Normal = normals[polygon[0]];
                mesh.vertices[mesh.indices[corner++]].Normal = normals[polygon[t + 1]];
                mesh.vertices[mesh.indices[corner++]].Normal = normals[polygon[t + 2]];
            }
        }
        return true;
    }

    bool readTextureCoords(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 count;
        if (!r.readU32(count) || count > r.left() / 2) return fail(o, "Mesh Texture Coordinates array runs past its data in x file");
        if (count > mesh.vertices.size()) return fail(o, "More texture coordinates than vertices in Mesh in x file");
        for (u32 i = 0; i < count; ++i) {
            r.readF32(mesh.vertices[i].TCoords.X);
            r.readF32(mesh.vertices[i].TCoords.Y);
        }
        return true;
    }

    bool readVertexColors(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 count;
        if (!r.readU32(count) || count > r.left() / 5) return fail(o, "Mesh Vertex Colors array runs past its data in x file");
        mesh.hasVertexColors = true;
        for (u32 i = 0; i < count; ++i) {
            u32 index;
            if (!r.readU32(index) || index >= mesh.vertices.size())
                return fail(o, "index value in MeshVertexColors out of bounds in x file");
            const f32 red = r.unit(), green = r.unit(), blue = r.unit(), alpha = r.unit();
            mesh.vertices[index].Color = video::SColorf(red, green, blue, alpha).toSColor();
        }
        return true;
    }

    bool readMaterialList(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 materialCount, faceIndexCount;
        if (!r.readU32(materialCount) || !r.readU32(faceIndexCount) || faceIndexCount > r.left())
            return fail(o, "Mesh Material List runs past its data in x file");
        // A list shorter than the faces (often "1;1;0;;") gives its last entry to the rest.
        mesh.triangleMaterial.clear();
        mesh.triangleMaterial.reserve(mesh.indices.size() / 3);
        u32 material = 0;
        for (size_t f = 0; f < mesh.cornersPerFace.size(); ++f) {
            if (f < faceIndexCount && !r.readU32(material)) return fail(o, "Bad face material index in x file");
            mesh.triangleMaterial.insert(mesh.triangleMaterial.end(), mesh.cornersPerFace[f] - 2, material);
        }
        mesh.materials.clear();
        for (const auto& c : o.children) {
            if (c->reference) {
                const video::SMaterial* named = nullptr;
                for (const auto& m : m_namedMaterials)
                    if (m.first == c->name) {
                        named = &m.second;
                        break;
                    }
                if (!named) warn(("Material " + c->name + " not found in x file").c_str(), c.get());
                // An unknown name keeps its place, so later materials keep their indices.
                mesh.materials.push_back(named ? *named : defaultMaterial());
            } else if (c->type == "Material") {
                mesh.materials.emplace_back();
                if (!readMaterial(*c, mesh.materials.back())) return false;
            }
        }
        return true;
    }

    bool readMaterial(const KeXObject& o, video::SMaterial& material) {
        NumberReader r(o);
        if (r.left() < 11) return fail(o, "Material without its colours in x file");
        const f32 red = r.unit(), green = r.unit(), blue = r.unit(), alpha = r.unit();
        material.DiffuseColor = video::SColorf(red, green, blue, alpha).toSColor();
        r.readF32(material.Shininess);
        const f32 sr = r.unit(), sg = r.unit(), sb = r.unit();
        material.SpecularColor = video::SColorf(sr, sg, sb).toSColor();
        const f32 er = r.unit(), eg = r.unit(), eb = r.unit();
        material.EmissiveColor = video::SColorf(er, eg, eb).toSColor();
        u32 layer = 0;
        for (const auto& c : o.children) {
            if (c->reference) continue;
            const bool texture = equalsNoCase(c->type, "TextureFilename");
            const bool normalMap = equalsNoCase(c->type, "NormalmapFilename");
            if (!texture && !normalMap) continue;
            if (c->strings.empty()) return fail(*c, "Unknown syntax while reading texture filename string in x file");
            video::ITexture* image = m_loadTextures ? loadTexture(c->strings.front()) : nullptr;
            if (texture) {
                if (layer < video::MATERIAL_MAX_TEXTURES) material.setTexture(layer, image);
                if (++layer == 2) material.MaterialType = video::EMT_LIGHTMAP;
            } else {
                material.setTexture(1, image);
                if (layer == 1) ++layer;
            }
        }
        return true;
    }

    // Texture names are often written on Windows: "C:\\art\\skin.tga", ".\\skin.png". Tried in
    // order: the name as written (with "/"), the mesh's folder with the file's base name (also
    // without regard to case on disk), the base name alone.
    video::ITexture* loadTexture(const std::string& written) {
        video::IVideoDriver* driver = m_smgr ? m_smgr->getVideoDriver() : nullptr;
        if (!driver || !m_fs || written.empty()) return nullptr;
        const std::string name = keForwardSlashes(written.c_str());
        if (m_fs->existFile(name.c_str())) return driver->getTexture(name.c_str());
        const size_t slash = name.rfind('/');
        const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
        if (base.empty()) return nullptr;
        const std::string beside = std::string(m_meshDir.c_str()) + "/" + base;
        if (m_fs->existFile(beside.c_str())) return driver->getTexture(beside.c_str());
        std::string resolved;
        if (keResolveDiskPath(beside.c_str(), &resolved)) return driver->getTexture(resolved.c_str());
        return driver->getTexture(base.c_str());
    }

    static video::SMaterial defaultMaterial() {
        video::SMaterial m;
        m.DiffuseColor.set(0xff777777);
        m.Shininess = 0.f;
        m.SpecularColor.set(0xff777777);
        m.EmissiveColor.set(0xff000000);
        return m;
    }

    // Per-vertex elements: (type, method, usage, usage index) each, then the data as DWORDs.
    bool readDeclData(const KeXObject& o, MeshData& mesh) {
        static const u32 kTypeSize[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
        NumberReader r(o);
        u32 elements;
        if (!r.readU32(elements) || elements > r.left() / 4) return fail(o, "DeclData runs past its data in x file");
        u32 stride = 0;
        s32 normalAt = -1, uvAt = -1, uv2At = -1;
        for (u32 e = 0; e < elements; ++e) {
            u32 type = 0, method = 0, usage = 0, usageIndex = 0;
            r.readU32(type);
            r.readU32(method);
            r.readU32(usage);
            if (!r.readU32(usageIndex) || type >= sizeof(kTypeSize) / sizeof(kTypeSize[0]))
                return fail(o, "Unknown element type in DeclData in x file");
            if (usage == 3 && type == 2) normalAt = s32(stride);
            if (usage == 5 && type == 1 && usageIndex == 0) uvAt = s32(stride);
            if (usage == 5 && type == 1 && usageIndex == 1) uv2At = s32(stride);
            stride += kTypeSize[type];
        }
        std::vector<u32> words;
        if (!readWords(r, words)) return fail(o, "DeclData runs past its data in x file");
        if (stride == 0) return true;
        if (words.size() * 4 / stride < mesh.vertices.size())
            return fail(o, "DeclData holds fewer values than the Mesh has vertices in x file");
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(words.data());
        if (uv2At >= 0) mesh.tcoords2.resize(mesh.vertices.size());
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            const unsigned char* v = bytes + i * stride;
            f32 f[3];
            if (normalAt >= 0) {
                readFloats(v + normalAt, f, 3);
                mesh.vertices[i].Normal.set(f[0], f[1], f[2]);
            }
            if (uvAt >= 0) {
                readFloats(v + uvAt, f, 2);
                mesh.vertices[i].TCoords.set(f[0], f[1]);
            }
            if (uv2At >= 0) {
                readFloats(v + uv2At, f, 2);
                mesh.tcoords2[i].set(f[0], f[1]);
            }
        }
        return true;
    }

    // A flexible-vertex-format block: the second texture-coordinate set when the format has one.
    bool readFvfData(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 format;
        std::vector<u32> words;
        if (!r.readU32(format) || !readWords(r, words)) return fail(o, "FVFData runs past its data in x file");
        if (!(format & 0x102)) return true;
        const size_t stride = ((format >> 8) & 0xf) * sizeof(core::vector2df);
        if (!stride) return true;
        if (words.size() * 4 / stride < mesh.vertices.size())
            return fail(o, "FVFData holds fewer values than the Mesh has vertices in x file");
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(words.data());
        mesh.tcoords2.resize(mesh.vertices.size());
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            f32 f[2];
            readFloats(bytes + i * stride, f, 2);
            mesh.tcoords2[i].set(f[0], f[1]);
        }
        return true;
    }

    // `count` floats stored as 32-bit words.
    static void readFloats(const unsigned char* from, f32* out, int count) {
        for (int i = 0; i < count; ++i) std::memcpy(out + i, from + 4 * i, 4);
    }

    static bool readWords(NumberReader& r, std::vector<u32>& words) {
        u32 count;
        if (!r.readU32(count) || count > r.left()) return false;
        words.resize(count);
        for (u32& w : words)
            if (!r.readU32(w)) return false;
        return true;
    }

    bool readSkinWeights(const KeXObject& o, MeshData& mesh) {
        if (o.strings.empty()) return fail(o, "Unknown syntax while reading transform node name string in x file");
        mesh.hasSkinning = true;
        Skin skin;
        scene::ISkinnedMesh::SJoint* joint = findOrAddJoint(o.strings.front(), skin.joint);
        NumberReader r(o);
        u32 count;
        if (!r.readU32(count) || r.left() < 16 || count > (r.left() - 16) / 2)
            return fail(o, "Skin Weights run past their data in x file");
        skin.vertices.resize(count);
        skin.weights.resize(count);
        for (u32& v : skin.vertices)
            if (!r.readU32(v) || v >= mesh.vertices.size()) return fail(o, "Skin weight vertex index out of range in x file");
        for (f32& w : skin.weights) r.readF32(w);
        // The offset matrix takes mesh vertices into the space of the bone.
        r.matrix(joint->GlobalInversedMatrix);
        mesh.skins.push_back(std::move(skin));
        return true;
    }

    // The engine's data object: N, then N pairs (first, second), pair i for material i.
    bool readMaterialsUVs(const KeXObject& o, MeshData& mesh) {
        NumberReader r(o);
        u32 count;
        if (!o.children.empty() || !r.readU32(count) || r.left() != size_t(count) * 2)
            return fail(o, "No closing brace in MeshMaterialsUVs found in x file");
        mesh.properties.resize(count);
        for (auto& pair : mesh.properties)
            if (!r.readS32(pair.first) || !r.readS32(pair.second))
                return fail(o, "No closing brace in MeshMaterialsUVs found in x file");
        if (!o.closedBySemicolon) warn("No finishing semicolon in MeshMaterialsUVs found.", &o);
        return true;
    }

    bool readAnimation(const KeXObject& o) {
        std::string frameName;
        std::vector<scene::ISkinnedMesh::SPositionKey> positions;
        std::vector<scene::ISkinnedMesh::SScaleKey> scales;
        std::vector<scene::ISkinnedMesh::SRotationKey> rotations;
        bool matrixKeys = false;
        for (const auto& c : o.children) {
            if (c->reference)
                frameName = c->name;
            else if (c->type == "AnimationKey" && !readAnimationKey(*c, positions, scales, rotations, matrixKeys))
                return false;
        }
        if (frameName.empty()) {
            warn("joint name was never given", &o);
            return true;
        }
        u32 index;
        scene::ISkinnedMesh::SJoint* joint = findOrAddJoint(frameName, index);
        if (matrixKeys) {
            if (m_matrixKeyed.size() <= index) m_matrixKeyed.resize(index + 1, false);
            m_matrixKeyed[index] = true;
        }
        for (const auto& k : positions) *m_mesh->addPositionKey(joint) = k;
        for (const auto& k : scales) *m_mesh->addScaleKey(joint) = k;
        for (const auto& k : rotations) *m_mesh->addRotationKey(joint) = k;
        return true;
    }

    // Key types: 0 rotation (w, x, y, z), 1 scale, 2 position, 3 and 4 matrix. Times are ticks.
    // `matrixKeys` is set when the keys are matrices.
    bool readAnimationKey(const KeXObject& o, std::vector<scene::ISkinnedMesh::SPositionKey>& positions,
                          std::vector<scene::ISkinnedMesh::SScaleKey>& scales,
                          std::vector<scene::ISkinnedMesh::SRotationKey>& rotations, bool& matrixKeys) {
        NumberReader r(o);
        u32 keyType, keyCount;
        if (!r.readU32(keyType)) return fail(o, "Animation Key without a key type in x file");
        if (keyType > 4) return fail(o, "Unknown key type found in Animation Key in x file");
        if (!r.readU32(keyCount) || keyCount > r.left() / 2) return fail(o, "Animation Key runs past its data in x file");
        static const u32 kValues[] = {4, 3, 3, 16, 16};
        for (u32 k = 0; k < keyCount; ++k) {
            u32 time, values;
            if (!r.readU32(time) || !r.readU32(values)) return fail(o, "Animation Key runs past its data in x file");
            if (values != kValues[keyType]) {
                const std::string expected = std::to_string(kValues[keyType]);
                return fail(o, "Expected " + expected + " numbers in animation key in x file");
            }
            if (r.left() < values) return fail(o, "Animation Key runs past its data in x file");
            const f32 frame = f32(time);
            if (keyType == 0) {
                // The file's (w, x, y, z), negated as a whole: the library's quaternions turn the
                // other way round than the file's matrices.
                f32 w = 0, x = 0, y = 0, z = 0;
                r.readF32(w);
                r.readF32(x);
                r.readF32(y);
                r.readF32(z);
                scene::ISkinnedMesh::SRotationKey key;
                key.frame = frame;
                key.rotation.set(-x, -y, -z, -w);
                key.rotation.normalize();
                rotations.push_back(key);
            } else if (keyType == 1 || keyType == 2) {
                core::vector3df v;
                r.vector3(v);
                if (keyType == 2) {
                    scene::ISkinnedMesh::SPositionKey key;
                    key.frame = frame;
                    key.position = v;
                    positions.push_back(key);
                } else {
                    scene::ISkinnedMesh::SScaleKey key;
                    key.frame = frame;
                    key.scale = v;
                    scales.push_back(key);
                }
            } else {
                matrixKeys = true;
                core::matrix4 m;
                r.matrix(m);
                scene::ISkinnedMesh::SRotationKey rotation;
                rotation.frame = frame;
                rotation.rotation = core::quaternion(m.getTransposed());
                rotations.push_back(rotation);
                scene::ISkinnedMesh::SPositionKey position;
                position.frame = frame;
                position.position = m.getTranslation();
                positions.push_back(position);
            }
        }
        return true;
    }

    // The library animates a joint that has keys from its keys alone: a kind of key that the
    // joint lacks takes the library's default (no translation, no rotation, unit scale), not
    // the frame's own transform, so a frame turned by rotation keys alone would stand at its
    // parent's origin. Each kind that an animated joint lacks gets one key of the frame's own
    // value (none where that is the default). Matrix keys stand for the whole transform: their
    // joints get no scale key of the frame's.
    void keepFrameTransformsOfAnimatedJoints() {
        const core::array<scene::ISkinnedMesh::SJoint*>& joints = m_mesh->getAllJoints();
        for (u32 i = 0; i < joints.size(); ++i) {
            scene::ISkinnedMesh::SJoint* joint = joints[i];
            const bool positions = joint->PositionKeys.size() != 0, scales = joint->ScaleKeys.size() != 0,
                       rotations = joint->RotationKeys.size() != 0;
            if (!positions && !scales && !rotations) continue;  // drawn with its frame's matrix
            const FrameTransform own = splitFrameTransform(joint->LocalMatrix);
            if (!positions && !own.translation.equals(core::vector3df(0.f))) {
                scene::ISkinnedMesh::SPositionKey* key = m_mesh->addPositionKey(joint);
                key->frame = 0.f;
                key->position = own.translation;
            }
            if (!rotations && own.turned) {
                scene::ISkinnedMesh::SRotationKey* key = m_mesh->addRotationKey(joint);
                key->frame = 0.f;
                key->rotation = own.rotation;
            }
            const bool matrixKeyed = i < m_matrixKeyed.size() && m_matrixKeyed[i];
            if (!scales && !matrixKeyed && !own.scale.equals(core::vector3df(1.f))) {
                scene::ISkinnedMesh::SScaleKey* key = m_mesh->addScaleKey(joint);
                key->frame = 0.f;
                key->scale = own.scale;
            }
        }
    }

    // One buffer per material. Each vertex goes to the buffer of the faces that use it, in
    // vertex order (unused vertices are left out); a vertex used by faces of several materials
    // is copied once into each further buffer, after the vertices of the file. Every buffer
    // vertex, copy or not, records the file vertex it came from and carries its skin weights.
    bool buildBuffers(MeshData& mesh) {
        if (mesh.materials.empty()) mesh.materials.push_back(defaultMaterial());
        const u32 materialCount = u32(mesh.materials.size());
        const size_t triangles = mesh.indices.size() / 3;
        if (mesh.triangleMaterial.empty()) mesh.triangleMaterial.assign(triangles, 0);
        for (u32 m : mesh.triangleMaterial)
            if (m >= materialCount) {
                m_error.message = "Material index out of range in Mesh Material List in x file";
                m_error.position = mesh.position;
                return false;
            }

        const u32 vertexCount = u32(mesh.vertices.size());
        std::vector<u32> home(vertexCount, kNone);  // material of the first face using the vertex
        std::vector<u32> firstCopy(vertexCount, kNone);
        struct Copy {
            u32 source, material, next, slot;
        };
        std::vector<Copy> copies;
        std::vector<u32> cornerCopy;  // per corner: the copy it uses, or kNone
        for (size_t t = 0; t < triangles; ++t) {
            const u32 material = mesh.triangleMaterial[t];
            for (size_t c = t * 3; c < t * 3 + 3; ++c) {
                const u32 v = mesh.indices[c];
                if (home[v] == kNone) home[v] = material;
                if (home[v] == material) continue;
                u32 copy = firstCopy[v];
                while (copy != kNone && copies[copy].material != material) copy = copies[copy].next;
                if (copy == kNone) {
                    copy = u32(copies.size());
                    copies.push_back({v, material, firstCopy[v], 0});
                    firstCopy[v] = copy;
                }
                if (cornerCopy.empty()) cornerCopy.assign(mesh.indices.size(), kNone);
                cornerCopy[c] = copy;
            }
        }

        const bool twoCoords = !mesh.tcoords2.empty();
        const u32 offset = m_mesh->getMeshBuffers().size();
        std::vector<CKeSkinMeshBuffer*> buffers;
        for (u32 m = 0; m < materialCount; ++m) {
            auto* buffer = new CKeSkinMeshBuffer(twoCoords ? video::EVT_2TCOORDS : video::EVT_STANDARD);
            m_mesh->getMeshBuffers().push_back(buffer);  // the skinned mesh owns and drops it
            buffer->Material = mesh.materials[m];
            if (m < mesh.properties.size()) {
                buffer->setFirstProperty(mesh.properties[m].first);
                buffer->setSecondProperty(mesh.properties[m].second);
            }
            if (!mesh.hasSkinning && mesh.attachedJoint >= 0)
                m_mesh->getAllJoints()[mesh.attachedJoint]->AttachedMeshes.push_back(offset + m);
            buffers.push_back(buffer);
        }

        std::vector<u32> slot(vertexCount, 0);
        auto append = [&](u32 source, u32 material) -> u32 {
            CKeSkinMeshBuffer* buffer = buffers[material];
            video::S3DVertex vertex = mesh.vertices[source];
            if (!mesh.hasVertexColors) vertex.Color = mesh.materials[material].DiffuseColor;
            buffer->originalVerticesIndices().push_back(source);
            if (twoCoords) {
                const core::vector2df& second = source < mesh.tcoords2.size() ? mesh.tcoords2[source] : vertex.TCoords;
                buffer->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(vertex.Pos, vertex.Normal, vertex.Color,
                                                                             vertex.TCoords, second));
                return buffer->Vertices_2TCoords.size() - 1;
            }
            buffer->Vertices_Standard.push_back(vertex);
            return buffer->Vertices_Standard.size() - 1;
        };
        for (u32 v = 0; v < vertexCount; ++v)
            if (home[v] != kNone) slot[v] = append(v, home[v]);
        for (Copy& copy : copies) copy.slot = append(copy.source, copy.material);

        for (size_t t = 0; t < triangles; ++t) {
            CKeSkinMeshBuffer* buffer = buffers[mesh.triangleMaterial[t]];
            for (size_t c = t * 3; c < t * 3 + 3; ++c) {
                const u32 copy = cornerCopy.empty() ? kNone : cornerCopy[c];
                // 16-bit indices, as the library's skinned buffers keep them.
                buffer->Indices.push_back(u16(copy == kNone ? slot[mesh.indices[c]] : copies[copy].slot));
            }
        }

        for (const Skin& skin : mesh.skins) {
            scene::ISkinnedMesh::SJoint* joint = m_mesh->getAllJoints()[skin.joint];
            for (size_t i = 0; i < skin.vertices.size(); ++i) {
                const u32 v = skin.vertices[i];
                if (home[v] == kNone) continue;  // not part of any face
                scene::ISkinnedMesh::SWeight* weight = m_mesh->addWeight(joint);
                weight->buffer_id = u16(offset + home[v]);
                weight->vertex_id = slot[v];
                weight->strength = skin.weights[i];
                for (u32 copy = firstCopy[v]; copy != kNone; copy = copies[copy].next) {
                    weight = m_mesh->addWeight(joint);
                    weight->buffer_id = u16(offset + copies[copy].material);
                    weight->vertex_id = copies[copy].slot;
                    weight->strength = skin.weights[i];
                }
            }
        }
        return true;
    }

    scene::ISkinnedMesh* m_mesh;
    scene::ISceneManager* m_smgr;
    io::IFileSystem* m_fs;
    ILogger* m_logger;
    io::path m_meshDir;
    bool m_loadTextures;
    bool m_binary;  // positions are byte offsets, not lines
    BuildError m_error;
    std::vector<MeshData> m_meshes;
    std::vector<std::pair<std::string, video::SMaterial>> m_namedMaterials;
    std::unordered_map<std::string, u32> m_jointByName;  // the first joint of each name
    std::vector<u32> m_parentOf;                         // parent joint index per joint, or kNone
    std::vector<bool> m_matrixKeyed;                     // per joint index: animated by matrix keys
    u32 m_currentJoint = kNone;
    u32 m_ticksPerSecond = 0;
};

}  // namespace

CKeXMeshLoader::CKeXMeshLoader(scene::ISceneManager* smgr, io::IFileSystem* fs, ILogger* logger)
    : m_smgr(smgr), m_fs(fs), m_logger(logger) {
    if (m_fs) m_fs->grab();
}

CKeXMeshLoader::~CKeXMeshLoader() {
    if (m_fs) m_fs->drop();
}

bool CKeXMeshLoader::isALoadableFileExtension(const io::path& filename) const {
    return core::hasFileExtension(filename, "x");
}

scene::IAnimatedMesh* CKeXMeshLoader::createMesh(io::IReadFile* file) {
    if (!file) return nullptr;
    const io::path path = file->getFileName();
    auto failed = [&](const std::string& reason, bool hasPosition, bool binary, u32 position) -> scene::IAnimatedMesh* {
        if (m_logger) {
            m_logger->log(reason.c_str(), ELL_WARNING);
            if (hasPosition) m_logger->log(binary ? "Offset" : "Line", core::stringc(position).c_str(), ELL_WARNING);
            m_logger->log("Could not load x file", path.c_str(), ELL_ERROR);
        }
        return nullptr;
    };

    std::string bytes;
    if (!keReadWholeFile(file, bytes)) return failed("Could not read from x file.", false, false, 0);
    KeXDocument doc;
    KeXReadError readError;
    if (!keXRead(bytes.data(), bytes.size(), doc, readError))
        return failed(readError.message, readError.position != 0, readError.binary, readError.position);
    bytes.clear();
    bytes.shrink_to_fit();

    if (!m_smgr) return failed("No scene manager to build the mesh", false, false, 0);
    KePtr<scene::ISkinnedMesh> mesh = KePtr<scene::ISkinnedMesh>::adopt(m_smgr->createSkinnedMesh());
    XMeshBuilder builder(mesh.get(), m_smgr, m_fs, m_logger, m_fs ? m_fs->getFileDir(path) : io::path("."),
                         m_loadTextures, doc.binary);
    if (!builder.build(doc))
        return failed(builder.error().message, true, doc.binary, builder.error().position);
    return mesh.release();
}

void keAddXMeshLoader(IrrlichtDevice* device) {
    if (!device || !device->getSceneManager()) return;
    KePtr<CKeXMeshLoader> loader = KePtr<CKeXMeshLoader>::adopt(
        new CKeXMeshLoader(device->getSceneManager(), device->getFileSystem(), device->getLogger()));
    device->getSceneManager()->addExternalMeshLoader(loader.get());
}

}  // namespace kolm
