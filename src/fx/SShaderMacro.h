// One preprocessor macro of a shader compile, and the list form handed to the compiler.
#pragma once

#include <string>
#include <vector>

namespace kolm {

// A macro while macros are gathered and stored as keys: an absent value is the empty text.
struct SShaderMacro {
    std::string name;
    std::string value;

    bool operator<(const SShaderMacro& o) const {
        if (name != o.name) return name < o.name;
        return value < o.value;
    }
    bool operator==(const SShaderMacro& o) const { return name == o.name && value == o.value; }
    bool operator!=(const SShaderMacro& o) const { return !(*this == o); }
};

// One macro as handed to the compiler: name and value (value may be null). A macro list is an
// array ended by an entry whose name is null.
struct CKeMacro {
    const char* Name;
    const char* Definition;
};

// Turns a null-ended list (or null) into sorted records; an absent value becomes "".
std::vector<SShaderMacro> keSortedMacros(const CKeMacro* macros);

}  // namespace kolm
