// The DirectX `.x` file reader: turns the text, binary and MSZIP-compressed encodings into one
// tree of data objects. Templates are skipped (the reader knows the standard layouts by name);
// every data object keeps its numbers and strings in file order, its nested objects and its
// references. The reader checks every count and offset against the input, so a hostile file
// gives an error, never a read past the end or an allocation larger than the input implies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kolm {

struct KeXObject {
    std::string type;        // template identifier: "Frame", "Mesh", ...
    std::string name;        // instance name ("" when none); for a reference, the name referred to
    bool reference = false;  // `{ name }`: refers to an object declared elsewhere
    // Text: the last separator before the closing brace was a semicolon. Binary: always true
    // (the binary encoding has no separators inside numbers lists).
    bool closedBySemicolon = true;
    uint32_t position = 0;        // line (text) or byte offset (binary) where the object starts
    std::vector<double> numbers;  // integers and floats, in file order (exact for 32-bit ints)
    std::vector<std::string> strings;
    std::vector<std::unique_ptr<KeXObject>> children;  // nested objects and references, in order

    // The first nested object of `childType` (case-sensitive), or null.
    const KeXObject* child(const char* childType) const;
};

struct KeXDocument {
    int majorVersion = 0;
    int minorVersion = 0;
    bool binary = false;
    bool compressed = false;
    int floatSize = 4;  // bytes per float in the binary encoding: 4 or 8
    std::vector<std::unique_ptr<KeXObject>> objects;  // top-level data objects in file order
};

struct KeXReadError {
    std::string message;
    bool binary = false;    // the position is a byte offset of the (inflated) data, not a line
    uint32_t position = 0;  // line (text) or byte offset (binary)
};

// Objects nest at most this deep (frames of real characters nest below 20).
constexpr int KE_X_MAX_DEPTH = 128;

// Reads a whole `.x` file held in memory. False with `error` filled when the input is not a
// `.x` file or is malformed; `doc` is then unspecified.
bool keXRead(const void* data, size_t size, KeXDocument& doc, KeXReadError& error);

}  // namespace kolm
