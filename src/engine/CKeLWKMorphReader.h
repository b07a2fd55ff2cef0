// Reader of `.kmorph` morph files: IFF, every integer and float 32-bit big-endian.
//
//   FORM { "KMOR", u32 morph_count, u32 max_points,
//          morph_count x VMOR { NAME { zero-terminated name, at most 127 characters }
//                               MMAP { u32 numPoints, numPoints x u32 point index (ascending),
//                                      numPoints x 3 f32 position delta,
//                                      numPoints x 3 f32 normal delta } } }
//
// A chunk is a four-character ID, a u32 payload size and the payload; after a chunk the reader
// goes on at the end of its payload, whatever it read of it. The reader works on bytes in
// memory and never reads outside them: a chunk must end inside its parent (and the file),
// reads stay inside the innermost chunk, chunks nest at most 32 deep, and the point arrays are
// sized for max_points only after max_points x 28 bytes are known to fit the file.
#pragma once

#include <irrlicht/irrTypes.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kolm {

class CKeLWKMorphReader {
public:
    static constexpr int MAX_DEPTH = 32;      // chunk nesting
    static constexpr int MAX_NAME = 127;      // characters of a morph name
    static constexpr std::size_t POINT_BYTES = 28;  // index, position delta, normal delta

    // Reads the FORM header. False with the error text set: "ID_FORM not found", "ID_KMOR
    // not found", "Failed to open Lightwave Load" (already open), or a text naming the broken
    // structure. The bytes must outlive the reader's use of them.
    bool open(const void* data, std::size_t size);
    // Reads the next morph into the current-morph fields. False when every morph was read or
    // on an error (error() then says which; it stays empty at the regular end).
    bool readNext();
    void close();

    irr::u32 getMorphCount() const { return m_morphCount; }
    irr::u32 getMaxPoints() const { return m_maxPoints; }
    irr::s32 getCurrentIndex() const { return m_current; }
    const char* getName() const { return m_name; }
    irr::u32 getNumPoints() const { return m_numPoints; }
    // numPoints entries each: point indices (strictly ascending), then x, y, z per point.
    const irr::u32* getIndices() const { return m_indices.data(); }
    const irr::f32* getPositionDeltas() const { return m_positions.data(); }
    const irr::f32* getNormalDeltas() const { return m_normals.data(); }
    const std::string& error() const { return m_error; }

private:
    bool fail(const char* text);
    bool readU32(irr::u32& out);
    bool readF32(irr::f32& out);
    // Reads an ID and a size and pushes the chunk's end; 0 on error.
    irr::u32 beginChunk();
    bool endChunk();
    std::size_t limit() const { return m_depth ? m_ends[m_depth - 1] : m_size; }

    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    std::size_t m_ends[MAX_DEPTH] = {};
    int m_depth = 0;
    bool m_open = false;
    irr::u32 m_morphCount = 0;
    irr::u32 m_maxPoints = 0;
    irr::s32 m_current = -1;
    char m_name[MAX_NAME + 1] = {};
    irr::u32 m_numPoints = 0;
    std::vector<irr::u32> m_indices;
    std::vector<irr::f32> m_positions;
    std::vector<irr::f32> m_normals;
    std::string m_error;
};

}  // namespace kolm
