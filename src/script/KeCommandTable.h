// The script commands: one static table of the 234 entries of the global table `ke`, each with
// its name, binding, argument signature, result and family. The Lua table, the scripting
// reference that kolm-commands prints and the table's tests are all made from it.
//
// Signature notation (one item per argument, comma-separated): "name: kind" with the kinds
// integer, number, string, colour, boolean; "[name: kind = default]" for an optional argument
// (recognised by the argument count, never by nil); "name: {integer}" / "name: {number}" for an
// array given as a table; "values: any..." for joined text; "values: number..." for a number
// list. Entries whose binding reads its arguments through KeBind carry that binding's kind
// letters, which must agree with the signature.
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <string>

namespace kolm {

enum class KeCommandFamily {
    Engine,         // engine and frame
    Window,         // window, screen and dialogs
    Input,          // keyboard and mouse
    Joystick,
    Files,          // files and paths
    Drawing,        // 2D drawing, colours, text and fades
    Images,
    Camera,
    CameraEffects,
    Effects,
    FxEmitters,
    Lights,
    Music,
    Objects,        // objects and surfaces
    Count
};

enum class KeCommandState {
    Bound,           // reaches its operation
    NotImplemented,  // raises "the function is not implemented" once set up
    Unavailable,     // raises "'%s' is not available in this build" until its family is built
};

struct KeCommand {
    const char* name;
    lua_CFunction binding;
    const char* signature;  // "" for none
    const char* result;     // "none", "boolean", "integer", "number" or "string"
    KeCommandFamily family;
    KeCommandState state;
    bool needsSetup;
    const char* kinds;  // KeBind's kind letters, or null for bindings of their own
};

constexpr int KE_SCRIPT_COMMAND_COUNT = 234;

const KeCommand* keScriptCommands();  // KE_SCRIPT_COMMAND_COUNT entries
const char* keCommandFamilyName(KeCommandFamily family);

// Kind letters of a signature ("i", "n", "s", "c", "b"; "?" after an optional one; "t" / "u"
// integer / number tables, "v" any values, "f" number list). Empty for an unknown kind.
std::string keSignatureKinds(const char* signature);

// Creates the global table `ke` with every command and stores it also as package.loaded.ke.
// Leaves the stack as it was.
void keScriptOpenCommands(lua_State* L);

// The scripting reference: every command with its signature and result, by family. Plain text,
// or Markdown with one table per family.
std::string keCommandReference(bool markdown);

// Where the dialog commands that need no engine reach the setup step (it belongs to the
// application). Without them, those commands report that they are not available.
struct KeScriptDialogs {
    // Shows the setup dialog; true when it was confirmed.
    bool (*screenModeDialog)() = nullptr;
    // One value of the last dialog result by name.
    int (*screenModeOption)(const char* name) = nullptr;
};
void keSetScriptDialogs(const KeScriptDialogs& dialogs);

}  // namespace kolm
