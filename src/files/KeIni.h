// Ini files ("kolm-setup.ini", ".demo.ini") read with iniparser through the file layer.
#pragma once

struct _dictionary_;

namespace kolm {

// Loads the ini file at `path` as the file layer opens it (archive members included).
// Null when it does not open or iniparser refuses it (iniparser prints its own complaint).
// Free with iniparser_freedict.
_dictionary_* keIniLoad(const char* path);

}  // namespace kolm
