// Writing KF documents in either form, for tools that author or convert scenes (the engine only
// reads them).
//
// Both writers take a tree as loaded (the root group's children become the top level) and
// produce a document that loads back to the same tree:
//   binary: chunks in document order, every length exact, "STR" data zero-terminated and padded
//           to a multiple of 4 bytes, "FP_C" blocks kept word for word (empty blocks after
//           the last sample, which hold nothing, are left out by both writers).
//   text:   an opening comment line, two blanks of indent per level, "STR" values always quoted, floats in the shortest
//           form that reads back to the same bits, channels as "RUN n f" / "DAT n f1 .. fn".
// A tree the form cannot carry is refused with a message in *error and nothing in *out:
//   text:   names that are empty or hold blanks or line ends, value and array names that would
//           read as a comment or a brace line, strings with line ends;
//   binary: strings with a zero byte inside, a document of 4 GiB or more.
#pragma once

#include "kf/KF_Document.h"

#include <string>

bool KF_WriteBinary(const KF_Node* root, std::string* out, std::string* error);
bool KF_WriteText(const KF_Node* root, std::string* out, std::string* error);
