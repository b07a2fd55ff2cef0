#include "script/KeCommandTable.h"

#include "api/KeCameraApi.h"
#include "api/KeCameraEffectApi.h"
#include "api/KeDrawApi.h"
#include "api/KeEffectApi.h"
#include "api/KeEngineApi.h"
#include "api/KeFileApi.h"
#include "api/KeFxEmitterApi.h"
#include "api/KeImageApi.h"
#include "api/KeInputApi.h"
#include "api/KeLightApi.h"
#include "api/KeMusicApi.h"
#include "api/KeObjectApi.h"
#include "api/KeSurfaceApi.h"
#include "api/KeWindowApi.h"
#include "core/KeError.h"
#include "files/KeFilePaths.h"
#include "runtime/KeEngine.h"
#include "script/KeScriptArgs.h"
#include "script/KeScriptBind.h"

#include <cstring>
#include <tuple>
#include <utility>

namespace kolm {

namespace {

KeScriptDialogs g_dialogs;
char g_text[KE_SCRIPT_TEXT_CAPACITY];  // joined text arguments

const char* runningName(lua_State* L) {
    lua_Debug ar;
    if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar) && ar.name) return ar.name;
    return "?";
}

// ---------------------------------------------------------------------------------------------
// Bindings of their own

// Commands of families this build does not have yet. Each is its own closure with its command
// name as upvalue 1: the message names the command however the script reached it. Bindings of
// their own that are not there yet (the dialogs) have no upvalue and go by Lua's name.
const char* stubName(lua_State* L) {
    const char* name = lua_tostring(L, lua_upvalueindex(1));
    return name ? name : runningName(L);
}
int unavailableFree(lua_State* L) {
    return luaL_argerror(L, -1, lua_pushfstring(L, "'%s' is not available in this build", stubName(L)));
}
[[maybe_unused]] int unavailable(lua_State* L) {
    keScriptRequireSetup(L);
    return unavailableFree(L);
}

int notImplemented(lua_State* L) {
    keScriptRequireSetup(L);
    return luaL_argerror(L, -1, "the function is not implemented");
}

// Setup([width [, height [, depth [, windowed]]]]): optional arguments by count.
int setup(lua_State* L) {
    const int n = lua_gettop(L);
    const int width = n >= 1 ? keScriptInt(L, 1) : -1;
    const int height = n >= 2 ? keScriptInt(L, 2) : -1;
    const int bpp = n >= 3 ? keScriptInt(L, 3) : -1;
    const int windowed = n >= 4 ? (keScriptBool(L, 4) ? 1 : 0) : -1;
    keScriptSetup(width, height, bpp, windowed);
    keScriptRaisePending(L);
    return 0;
}

int messageBox(lua_State* L) {
    keScriptJoinText(L, 1, g_text);
    showMessageBox("%s", g_text);
    return 0;
}

// Text(x, y, values...): the values joined as MessageBox joins them.
int text(lua_State* L) {
    keScriptRequireSetup(L);
    const int x = keScriptInt(L, 1);
    const int y = keScriptInt(L, 2);
    keScriptJoinText(L, 3, g_text);
    keText(x, y, g_text);
    keScriptRaisePending(L);
    return 0;
}

template <int (*Measure)(const char*)>
int measureText(lua_State* L) {
    keScriptRequireSetup(L);
    keScriptJoinText(L, 1, g_text);
    const int size = Measure(g_text);
    keScriptRaisePending(L);
    lua_pushinteger(L, size);
    return 1;
}

// TextFont(): the font file name, nil when none was set.
int textFont(lua_State* L) {
    keScriptRequireSetup(L);
    if (const char* file = keTextFont())
        lua_pushstring(L, file);
    else
        lua_pushnil(L);
    return 1;
}

// RenderToImage(id [, clear = true]).
int renderToImage(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    const bool clear = lua_gettop(L) >= 2 ? keScriptBool(L, 2) : true;
    keRenderToImage(id, clear);
    keScriptRaisePending(L);
    return 0;
}

// PasteImage(id, x, y [, useAlpha = false]) and PasteImageStretch(id, x, y, w, h [, useAlpha]).
int pasteImage(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    const int x = keScriptInt(L, 2);
    const int y = keScriptInt(L, 3);
    const bool useAlpha = lua_gettop(L) >= 4 ? keScriptBool(L, 4) : false;
    kePasteImage(id, x, y, useAlpha);
    keScriptRaisePending(L);
    return 0;
}
int pasteImageStretch(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    const int x = keScriptInt(L, 2);
    const int y = keScriptInt(L, 3);
    const int width = keScriptInt(L, 4);
    const int height = keScriptInt(L, 5);
    const bool useAlpha = lua_gettop(L) >= 6 ? keScriptBool(L, 6) : false;
    kePasteImageStretch(id, x, y, width, height, useAlpha);
    keScriptRaisePending(L);
    return 0;
}

// String results of the file layer's path operations.
int getDir(lua_State* L) {
    keScriptRequireSetup(L);
    lua_pushstring(L, keGetDir());
    return 1;
}
int pathFilename(lua_State* L) {
    keScriptRequireSetup(L);
    const char* path = keScriptString(L, 1);
    const bool withExtension = lua_gettop(L) >= 2 ? keScriptBool(L, 2) : true;
    lua_pushstring(L, kePathFilename(path, withExtension));
    return 1;
}
template <const char* (*Op)(const char*)>
int pathOf(lua_State* L) {
    keScriptRequireSetup(L);
    lua_pushstring(L, Op(keScriptString(L, 1)));
    return 1;
}
// FileRequester([title]): the chosen path, nil when cancelled.
int fileRequester(lua_State* L) {
    const char* title = lua_gettop(L) >= 1 ? keScriptString(L, 1) : nullptr;
    if (const char* path = keFileRequester(title))
        lua_pushstring(L, path);
    else
        lua_pushnil(L);
    return 1;
}

int screenModeDialog(lua_State* L) {
    if (!g_dialogs.screenModeDialog) return unavailableFree(L);
    lua_pushboolean(L, g_dialogs.screenModeDialog() ? 1 : 0);
    return 1;
}

int screenModeOption(lua_State* L) {
    const char* name = keScriptString(L, 1);
    if (!g_dialogs.screenModeOption) return unavailableFree(L);
    lua_pushinteger(L, g_dialogs.screenModeOption(name));
    return 1;
}

int setObjectMorph(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    int indices[KE_SCRIPT_ARRAY_CAPACITY];
    float weights[KE_SCRIPT_ARRAY_CAPACITY];
    const int morphs = keScriptIntArray(L, 2, indices, KE_SCRIPT_ARRAY_CAPACITY);
    const int weightCount = keScriptNumberArray(L, 3, weights, KE_SCRIPT_ARRAY_CAPACITY);
    if (morphs != weightCount)
        luaL_argerror(L, 3,
                      lua_pushfstring(L, "the number of morphs(%d) is not equals to the number of weights(%d)",
                                      morphs, weightCount));
    keSetObjectMorph(id, morphs, indices, weights);
    keScriptRaisePending(L);
    return 0;
}

// The music volume is a whole percentage in scripts.
int setMusicVolume(int id, int percent) { return keSetMusicVolume(id, percent); }

// Loading an effect or making a camera effect onto a registered ID replaces what it holds (the
// operations themselves refuse a registered ID). The old runtime effect lives on where a camera
// effect or an object holds it.
int loadEffect(const char* file, int effectId) {
    keDeleteEffect(effectId);
    return keLoadEffect(file, effectId);
}
int loadEffectForObjectSurface(const char* file, int effectId, int objectId, int surface) {
    keDeleteEffect(effectId);
    return keLoadEffectForObjectSurface(file, effectId, objectId, surface);
}
int makeCameraEffect(int cameraEffectId, int effectId) {
    keDeleteCameraEffect(cameraEffectId);
    return keMakeCameraEffect(cameraEffectId, effectId);
}
int makeCameraEffectFromFile(int cameraEffectId, const char* file) {
    keDeleteCameraEffect(cameraEffectId);
    return keMakeCameraEffectFromFile(cameraEffectId, file);
}

// Making an emitter onto a registered ID replaces it (the operations refuse a registered ID).
int makeFxEmitterBox(int id, const char* image, float x, float y, float z) {
    keDeleteFxEmitter(id);
    return keMakeFxEmitterBox(id, image, x, y, z);
}
int makeFxEmitterSphere(int id, const char* image, float x, float y, float z) {
    keDeleteFxEmitter(id);
    return keMakeFxEmitterSphere(id, image, x, y, z);
}
int makeFxEmitterMeshStatic(int id, const char* image, int objectId) {
    keDeleteFxEmitter(id);
    return keMakeFxEmitterMeshStatic(id, image, objectId);
}
int makeFxEmitterMeshVertices(int id, const char* image, int objectId) {
    keDeleteFxEmitter(id);
    return keMakeFxEmitterMeshVertices(id, image, objectId);
}
int makeFxEmitterMeshNormal(int id, const char* image, int objectId) {
    keDeleteFxEmitter(id);
    return keMakeFxEmitterMeshNormal(id, image, objectId);
}
int loadEffectForFxEmitter(const char* file, int effectId, int emitterId) {
    keDeleteEffect(effectId);
    return keLoadEffectForFxEmitter(file, effectId, emitterId);
}

// SetFxEmitterLifeTime(id, life [, variation = 0]).
int setFxEmitterLifeTime(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    const float life = keScriptNumber(L, 2);
    const float variation = lua_gettop(L) >= 3 ? keScriptNumber(L, 3) : 0.0f;
    keSetFxEmitterLifeTime(id, life, variation);
    keScriptRaisePending(L);
    return 0;
}

// SetEffectConstantFloatN(id, name, up to 16 numbers).
int setEffectConstantFloatN(lua_State* L) {
    keScriptRequireSetup(L);
    const int id = keScriptInt(L, 1);
    const char* name = keScriptString(L, 2);
    float values[KE_SCRIPT_FLOAT_LIST_CAPACITY];
    const int count = keScriptFloatList(L, 3, values);
    keSetEffectConstantFloatN(id, name, values, count);
    keScriptRaisePending(L);
    return 0;
}

// The surface parameter commands (object ID, surface, parameter name, values...): the name is
// mapped first, and an unknown one is the error of argument 3 whatever the other arguments are.
template <class F, F Op>
struct KeSurfaceParamBind;
template <class... V, int (*Op)(int, int, int, V...)>
struct KeSurfaceParamBind<int (*)(int, int, int, V...), Op> {
    static constexpr char kinds[] = {'i', 'i', 's', KeArgReader<V>::kind..., '\0'};

    static int call(lua_State* L) {
        keScriptRequireSetup(L);
        const int parameter = keSurfaceParameterIndex(keScriptString(L, 3));
        if (parameter < 0) return luaL_argerror(L, 3, "the parameter does not exist");
        return invoke(L, parameter, std::index_sequence_for<V...>{});
    }

private:
    template <size_t... I>
    static int invoke(lua_State* L, int parameter, std::index_sequence<I...>) {
        const int objectId = keScriptInt(L, 1);
        const int surface = keScriptInt(L, 2);
        const std::tuple<V...> values{KeArgReader<V>::read(L, static_cast<int>(I) + 4)...};
        (void)values;
        Op(objectId, surface, parameter, std::get<I>(values)...);
        keScriptRaisePending(L);
        return 0;
    }
};
template <class... V, int (*Op)(int, int, int, V...)>
constexpr char KeSurfaceParamBind<int (*)(int, int, int, V...), Op>::kinds[];
template <auto Op>
using KeSurfaceParam = KeSurfaceParamBind<decltype(Op), Op>;

// ---------------------------------------------------------------------------------------------
// The table

constexpr const char* resultName(KeResult result) {
    return result == KeResult::Boolean   ? "boolean"
           : result == KeResult::Integer ? "integer"
           : result == KeResult::Number  ? "number"
           : result == KeResult::String  ? "string"
                                         : "none";
}

using F = KeCommandFamily;
using S = KeCommandState;

#define KE_CMD(name, family, op, result, signature)                                                             \
    {name, &KeBind<op, KeResult::result>::call, signature, resultName(KeResult::result), F::family, S::Bound,  \
     true, KeBind<op, KeResult::result>::kinds}
#define KE_CMD_FREE(name, family, op, result, signature)                                                        \
    {name, &KeBind<op, KeResult::result, false>::call, signature, resultName(KeResult::result), F::family,      \
     S::Bound, false, KeBind<op, KeResult::result, false>::kinds}
#define KE_OWN(name, family, binding, result, signature, needsSetup, kinds) \
    {name, binding, signature, result, F::family, S::Bound, needsSetup, kinds}
#define KE_SURFACE_PARAM(name, op, signature)                                                                     \
    {name, &KeSurfaceParam<op>::call, signature, "none", F::Objects, S::Bound, true, KeSurfaceParam<op>::kinds}
#define KE_LATER(name, family, result, signature) \
    {name, &unavailable, signature, result, F::family, S::Unavailable, true, nullptr}
#define KE_LATER_FREE(name, family, result, signature) \
    {name, &unavailableFree, signature, result, F::family, S::Unavailable, false, nullptr}
#define KE_NOT_IMPLEMENTED(name, family) \
    {name, &notImplemented, "", "none", F::family, S::NotImplemented, true, nullptr}

const KeCommand kCommands[] = {
    // Engine and frame
    KE_OWN("Setup", Engine, &setup, "none",
           "[width: integer = 640], [height: integer = 480], [depth: integer = 32], [windowed: boolean = true]",
           false, "i?i?i?b?"),
    KE_CMD_FREE("Term", Engine, &keTerm, None, ""),
    KE_CMD_FREE("IsSetup", Engine, &keIsSetup, Boolean, ""),
    KE_CMD("Run", Engine, &keRun, Boolean, ""),
    KE_CMD("Sync", Engine, &keSync, None, ""),
    KE_CMD("RenderDummy", Engine, &keRenderDummy, None, ""),
    KE_CMD("RenderSetDebug", Engine, &keRenderSetDebug, None, "mode: integer"),
    KE_CMD("ScreenShot", Engine, &keScreenShot, None, "file: string"),
    KE_CMD("Timer", Engine, &keTimer, Integer, ""),
    KE_CMD("Sleep", Engine, &keSleep, None, "ms: integer"),

    // Window, screen and dialogs
    KE_CMD("HideWindow", Window, &keHideWindow, None, ""),
    KE_CMD("ShowWindow", Window, &keShowWindow, None, ""),
    KE_CMD("MaximizeWindow", Window, &keMaximizeWindow, None, ""),
    KE_CMD("MinimizeWindow", Window, &keMinimizeWindow, None, ""),
    KE_CMD("RestoreWindow", Window, &keRestoreWindow, None, ""),
    KE_CMD("IsWindowActive", Window, &keIsWindowActive, Boolean, ""),
    KE_CMD("WindowMode", Window, &keWindowMode, Boolean, ""),
    KE_CMD("ScreenWidth", Window, &keScreenWidth, Integer, ""),
    KE_CMD("ScreenHeight", Window, &keScreenHeight, Integer, ""),
    KE_CMD("ScreenDepth", Window, &keScreenDepth, Integer, ""),
    KE_OWN("ScreenModeDialog", Window, &screenModeDialog, "boolean", "", false, ""),
    KE_OWN("ScreenModeOption", Window, &screenModeOption, "integer", "name: string", false, "s"),
    KE_OWN("MessageBox", Window, &messageBox, "none", "values: any...", false, "v"),
    KE_OWN("FileRequester", Window, &fileRequester, "string", "[title: string]", false, "s?"),

    // Keyboard and mouse
    KE_CMD("EscapeKey", Input, &keEscapeKey, Boolean, ""),
    KE_CMD("EscapeKeyEverPressed", Input, &keEscapeKeyEverPressed, Boolean, ""),
    KE_CMD("ReturnKey", Input, &keReturnKey, Boolean, ""),
    KE_CMD("SpaceKey", Input, &keSpaceKey, Boolean, ""),
    KE_CMD("ShiftKey", Input, &keShiftKey, Boolean, ""),
    KE_CMD("RightKey", Input, &keRightKey, Boolean, ""),
    KE_CMD("LeftKey", Input, &keLeftKey, Boolean, ""),
    KE_CMD("UpKey", Input, &keUpKey, Boolean, ""),
    KE_CMD("DownKey", Input, &keDownKey, Boolean, ""),
    KE_CMD("MinusKey", Input, &keMinusKey, Boolean, ""),
    KE_CMD("PlusKey", Input, &kePlusKey, Boolean, ""),
    KE_CMD("KeyState", Input, &keKeyState, Boolean, "key: integer"),
    KE_CMD("MouseClick", Input, &keMouseClick, Integer, ""),
    KE_CMD("MouseX", Input, &keMouseX, Integer, ""),
    KE_CMD("MouseY", Input, &keMouseY, Integer, ""),
    KE_CMD("MouseZ", Input, &keMouseZ, Integer, ""),
    KE_CMD("ShowMouse", Input, &keShowMouse, None, ""),
    KE_CMD("HideMouse", Input, &keHideMouse, None, ""),

    // Joystick
    KE_CMD("EnableJoystick", Joystick, &keEnableJoystick, None, ""),
    KE_CMD("DisableJoystick", Joystick, &keDisableJoystick, None, ""),
    KE_CMD("JoystickIsPresent", Joystick, &keJoystickIsPresent, Boolean, ""),
    KE_CMD("JoystickUp", Joystick, &keJoystickUp, Boolean, ""),
    KE_CMD("JoystickDown", Joystick, &keJoystickDown, Boolean, ""),
    KE_CMD("JoystickLeft", Joystick, &keJoystickLeft, Boolean, ""),
    KE_CMD("JoystickRight", Joystick, &keJoystickRight, Boolean, ""),
    KE_CMD("JoystickX", Joystick, &keJoystickX, Integer, ""),
    KE_CMD("JoystickY", Joystick, &keJoystickY, Integer, ""),
    KE_CMD("JoystickZ", Joystick, &keJoystickZ, Integer, ""),
    KE_CMD("JoystickR", Joystick, &keJoystickR, Integer, ""),
    KE_CMD("JoystickU", Joystick, &keJoystickU, Integer, ""),
    KE_CMD("JoystickV", Joystick, &keJoystickV, Integer, ""),
    KE_CMD("JoystickFireA", Joystick, &keJoystickFireA, Boolean, ""),
    KE_CMD("JoystickFireB", Joystick, &keJoystickFireB, Boolean, ""),
    KE_CMD("JoystickFireC", Joystick, &keJoystickFireC, Boolean, ""),
    KE_CMD("JoystickFireD", Joystick, &keJoystickFireD, Boolean, ""),
    KE_CMD("JoystickFireX", Joystick, &keJoystickFireX, Boolean, "button: integer"),

    // Files and paths
    KE_CMD("SetDir", Files, &keSetDir, None, "path: string"),
    KE_OWN("GetDir", Files, &getDir, "string", "", true, ""),
    KE_CMD("FileExist", Files, &keFileExist, Boolean, "file: string"),
    KE_OWN("PathFilename", Files, &pathFilename, "string", "path: string, [withExtension: boolean = true]", true,
           "sb?"),
    KE_OWN("PathPath", Files, &pathOf<&kePathPath>, "string", "path: string", true, "s"),
    KE_OWN("PathFull", Files, &pathOf<&kePathFull>, "string", "path: string", true, "s"),

    // 2D drawing, colours, text and fades
    KE_CMD("Ink", Drawing, &keInk, None, "colour: integer"),
    KE_CMD("InkAlpha", Drawing, &keInkAlpha, None, "alpha: integer"),
    KE_CMD("Box", Drawing, &keBox, None, "x1: integer, y1: integer, x2: integer, y2: integer"),
    KE_CMD("BoxWithEffect", Drawing, &keBoxWithEffect, None,
           "x1: integer, y1: integer, x2: integer, y2: integer, effect ID: integer"),
    KE_CMD("Line", Drawing, &keLine, None, "x1: integer, y1: integer, x2: integer, y2: integer"),
    KE_CMD("RGB", Drawing, &keRGB, Integer, "r: integer, g: integer, b: integer"),
    KE_CMD("RGBf", Drawing, &keRGBf, Integer, "r: number, g: number, b: number"),
    KE_OWN("Text", Drawing, &text, "none", "x: integer, y: integer, values: any...", true, "iiv"),
    KE_OWN("TextWidth", Drawing, &measureText<&keTextWidth>, "integer", "values: any...", true, "v"),
    KE_OWN("TextHeight", Drawing, &measureText<&keTextHeight>, "integer", "values: any...", true, "v"),
    KE_CMD("SetTextFont", Drawing, &keSetTextFont, None, "font file: string"),
    KE_CMD("SetTextColor", Drawing, &keSetTextColor, None, "colour: colour"),
    KE_CMD("SetTextAlpha", Drawing, &keSetTextAlpha, None, "alpha: integer"),
    KE_OWN("TextFont", Drawing, &textFont, "string", "", true, ""),
    KE_CMD("TextColor", Drawing, &keTextColor, Integer, ""),
    KE_CMD("TextAlpha", Drawing, &keTextAlpha, Integer, ""),
    KE_CMD("FadeIn", Drawing, &keFadeIn, None, "time in ms: integer, colour: colour"),
    KE_CMD("FadeOut", Drawing, &keFadeOut, None, "time in ms: integer, colour: colour"),
    KE_CMD("StopFade", Drawing, &keStopFade, None, ""),

    // Images
    KE_CMD("LoadImage", Images, &keLoadImage, None, "file: string, image ID: integer"),
    KE_CMD("MakeImage", Images, &keMakeImage, None, "width: integer, height: integer, image ID: integer"),
    KE_OWN("RenderToImage", Images, &renderToImage, "none", "image ID: integer, [flag: boolean = true]", true,
           "ib?"),
    KE_CMD("SetImageColor", Images, &keSetImageColor, None, "colour: integer"),
    KE_CMD("SetImageAlpha", Images, &keSetImageAlpha, None, "alpha: integer"),
    KE_OWN("PasteImage", Images, &pasteImage, "none",
           "image ID: integer, x: integer, y: integer, [flag: boolean = false]", true, "iiib?"),
    KE_OWN("PasteImageStretch", Images, &pasteImageStretch, "none",
           "image ID: integer, x: integer, y: integer, width: integer, height: integer, [flag: boolean = false]", true,
           "iiiiib?"),
    KE_CMD("PasteImageWithEffect", Images, &kePasteImageWithEffect, None,
           "image ID: integer, x: integer, y: integer, width: integer, height: integer, effect ID: integer"),
    KE_CMD("ImageExist", Images, &keImageExist, Boolean, "image ID: integer"),
    KE_CMD("DeleteImage", Images, &keDeleteImage, None, "image ID: integer"),
    KE_CMD("ImageWidth", Images, &keImageWidth, Integer, "image ID: integer"),
    KE_CMD("ImageHeight", Images, &keImageHeight, Integer, "image ID: integer"),

    // Camera
    KE_CMD("SetCameraRange", Camera, &keSetCameraRange, None, "near: number, far: number"),
    KE_CMD("SetCameraRotationXYZ", Camera, &keSetCameraRotationXYZ, None, ""),
    KE_CMD("SetCameraRotationZYX", Camera, &keSetCameraRotationXYZ, None, ""),
    KE_CMD("SetCameraFOV", Camera, &keSetCameraFOV, None, "angle in degrees: number"),
    KE_CMD("SetCameraDOF", Camera, &keSetCameraDOF, None, "enabled: integer, focal distance: number, f-stop: number"),
    KE_CMD("SetCameraAdvancedDOF", Camera, &keSetCameraAdvancedDOF, None,
           "advanced: integer, range minimum: number, range maximum: number, focused distance: number, "
           "radius scale: number"),
    KE_CMD("SetCameraStereo", Camera, &keSetCameraStereo, None,
           "mode: integer, separation: number, use convergence: integer, convergence: number"),
    KE_CMD("PositionCamera", Camera, &kePositionCamera, None, "x: number, y: number, z: number"),
    KE_CMD("RotateCamera", Camera, &keRotateCamera, None, "x: number, y: number, z: number"),
    KE_CMD("SetCameraMode", Camera, &keSetCameraMode, None, "mode: integer"),
    KE_CMD("SetCameraMoveSpeed", Camera, &keSetCameraMoveSpeed, None, "speed: number"),
    KE_CMD("SetCameraJumpSpeed", Camera, &keSetCameraJumpSpeed, None, "speed: number"),
    KE_CMD("SetObjectCollisionOn", Camera, &keSetObjectCollisionOn, None, "object ID: integer"),
    KE_CMD("SetObjectCollisionOff", Camera, &keSetObjectCollisionOn, None, "object ID: integer"),
    KE_CMD("AutomaticCameraCollisionOn", Camera, &keAutomaticCameraCollisionOn, None,
           "radius: number, gravity: number, height: number"),
    KE_CMD("AutomaticCameraCollisionOff", Camera, &keAutomaticCameraCollisionOff, None, ""),

    // Camera effects
    KE_CMD("MakeCameraEffect", CameraEffects, &makeCameraEffect, None, "camera effect ID: integer, effect ID: integer"),
    KE_CMD("MakeCameraEffectFromFile", CameraEffects, &makeCameraEffectFromFile, None,
           "camera effect ID: integer, file: string"),
    KE_CMD("CameraEffectExist", CameraEffects, &keCameraEffectExist, Boolean, "camera effect ID: integer"),
    KE_CMD("DeleteCameraEffect", CameraEffects, &keDeleteCameraEffect, None, "camera effect ID: integer"),
    KE_CMD("ShowCameraEffect", CameraEffects, &keShowCameraEffect, None, "camera effect ID: integer"),
    KE_CMD("HideCameraEffect", CameraEffects, &keHideCameraEffect, None, "camera effect ID: integer"),
    KE_CMD("SetCameraEffectPriority", CameraEffects, &keSetCameraEffectPriority, None,
           "camera effect ID: integer, priority: integer"),
    KE_NOT_IMPLEMENTED("SetCameraEffectParameters", CameraEffects),

    // Effects
    KE_CMD("LoadEffect", Effects, &loadEffect, None, "file: string, effect ID: integer"),
    KE_CMD("LoadEffectForObjectSurface", Effects, &loadEffectForObjectSurface, None,
           "file: string, effect ID: integer, object ID: integer, surface: integer"),
    KE_CMD("LoadEffectForFxEmitter", Effects, &loadEffectForFxEmitter, None,
           "file: string, effect ID: integer, emitter ID: integer"),
    KE_CMD("EffectExist", Effects, &keEffectExist, Boolean, "effect ID: integer"),
    KE_CMD("DeleteEffect", Effects, &keDeleteEffect, None, "effect ID: integer"),
    KE_CMD("SetEffectConstantBoolean", Effects, &keSetEffectConstantBoolean, None,
           "effect ID: integer, name: string, value: boolean"),
    KE_CMD("SetEffectConstantInteger", Effects, &keSetEffectConstantInteger, None,
           "effect ID: integer, name: string, value: integer"),
    KE_CMD("SetEffectConstantFloat", Effects, &keSetEffectConstantFloat, None,
           "effect ID: integer, name: string, value: number"),
    KE_OWN("SetEffectConstantFloatN", Effects, &setEffectConstantFloatN, "none",
           "effect ID: integer, name: string, values: number...", true, "isf"),
    KE_CMD("SetEffectTexture", Effects, &keSetEffectTexture, None, "effect ID: integer, name: string, file: string"),
    KE_CMD("SetEffectTextureImage", Effects, &keSetEffectTextureImage, None,
           "effect ID: integer, name: string, image ID: integer"),

    // Fx emitters
    KE_CMD("MakeFxEmitterBox", FxEmitters, &makeFxEmitterBox, None,
           "emitter ID: integer, texture: string, x: number, y: number, z: number"),
    KE_CMD("MakeFxEmitterSphere", FxEmitters, &makeFxEmitterSphere, None,
           "emitter ID: integer, texture: string, x: number, y: number, z: number"),
    KE_CMD("MakeFxEmitterMeshStatic", FxEmitters, &makeFxEmitterMeshStatic, None,
           "emitter ID: integer, texture: string, object ID: integer"),
    KE_CMD("MakeFxEmitterMeshVertices", FxEmitters, &makeFxEmitterMeshVertices, None,
           "emitter ID: integer, texture: string, object ID: integer"),
    KE_CMD("MakeFxEmitterMeshNormal", FxEmitters, &makeFxEmitterMeshNormal, None,
           "emitter ID: integer, texture: string, object ID: integer"),
    KE_CMD("FxEmitterExist", FxEmitters, &keFxEmitterExist, Boolean, "emitter ID: integer"),
    KE_CMD("ShowFxEmitter", FxEmitters, &keShowFxEmitter, None, "emitter ID: integer"),
    KE_CMD("HideFxEmitter", FxEmitters, &keHideFxEmitter, None, "emitter ID: integer"),
    KE_CMD("DeleteFxEmitter", FxEmitters, &keDeleteFxEmitter, None, "emitter ID: integer"),
    KE_CMD("LockFxEmitterOn", FxEmitters, &keLockFxEmitterOn, None, "emitter ID: integer"),
    KE_CMD("LockFxEmitterOff", FxEmitters, &keLockFxEmitterOff, None, "emitter ID: integer"),
    KE_CMD("PositionFxEmitter", FxEmitters, &kePositionFxEmitter, None,
           "emitter ID: integer, x: number, y: number, z: number"),
    KE_CMD("RotateFxEmitter", FxEmitters, &keRotateFxEmitter, None,
           "emitter ID: integer, x: number, y: number, z: number"),
    KE_CMD("SetFxEmitterVelocity", FxEmitters, &keSetFxEmitterVelocity, None,
           "emitter ID: integer, x: number, y: number, z: number"),
    KE_CMD("SetFxEmitterGravity", FxEmitters, &keSetFxEmitterGravity, None,
           "emitter ID: integer, x: number, y: number, z: number"),
    KE_CMD("SetFxEmitterParticleSize", FxEmitters, &keSetFxEmitterParticleSize, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterParentMotion", FxEmitters, &keSetFxEmitterParentMotion, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterBirthRate", FxEmitters, &keSetFxEmitterBirthRate, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterExplosion", FxEmitters, &keSetFxEmitterExplosion, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterWeight", FxEmitters, &keSetFxEmitterWeight, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterResistance", FxEmitters, &keSetFxEmitterResistance, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterVibration", FxEmitters, &keSetFxEmitterVibration, None, "emitter ID: integer, value: number"),
    KE_CMD("SetFxEmitterRotation", FxEmitters, &keSetFxEmitterRotation, None, "emitter ID: integer, value: number"),
    KE_OWN("SetFxEmitterLifeTime", FxEmitters, &setFxEmitterLifeTime, "none",
           "emitter ID: integer, life time: number, [variation: number = 0]", true, "inn?"),
    KE_CMD("SetFxEmitterParticleLimit", FxEmitters, &keSetFxEmitterParticleLimit, None,
           "emitter ID: integer, value: integer"),
    KE_CMD("SetFxEmitterBlendMode", FxEmitters, &keSetFxEmitterBlendMode, None, "emitter ID: integer, value: integer"),
    KE_CMD("SetFxEmitterColor", FxEmitters, &keSetFxEmitterColor, None, "emitter ID: integer, colour: colour"),
    KE_CMD("SetFxEmitterUseImageColor", FxEmitters, &keSetFxEmitterUseImageColor, None, "emitter ID: integer"),
    KE_CMD("SetFxEmitterEffect", FxEmitters, &keSetFxEmitterEffect, None, "emitter ID: integer, effect ID: integer"),
    KE_CMD("SetFxEmitterEffectFromFile", FxEmitters, &keSetFxEmitterEffectFromFile, None,
           "emitter ID: integer, file: string"),
    KE_CMD("SetFxEmitterDefaultEffect", FxEmitters, &keSetFxEmitterDefaultEffect, None, "emitter ID: integer"),
    KE_CMD("SetFxEmitterEffectTechnique", FxEmitters, &keSetFxEmitterEffectTechnique, None,
           "emitter ID: integer, technique: integer"),
    KE_CMD("FxResetEmitter", FxEmitters, &keFxResetEmitter, None, "emitter ID: integer"),
    KE_CMD("FxResetEmitterEmittedCount", FxEmitters, &keFxResetEmitterEmittedCount, None, "emitter ID: integer"),
    KE_NOT_IMPLEMENTED("SetFxEmitterSizeGradient", FxEmitters),
    KE_NOT_IMPLEMENTED("SetFxEmitterColorGradient", FxEmitters),
    KE_NOT_IMPLEMENTED("SetFxEmitterEffectParameters", FxEmitters),

    // Lights
    KE_CMD("MakeLight", Lights, &keMakeLight, None, "light ID: integer"),
    KE_CMD("SetDirectionalLight", Lights, &keSetDirectionalLight, None,
           "light ID: integer, x: number, y: number, z: number"),
    KE_CMD("SetSpotLight", Lights, &keSetSpotLight, None, "light ID: integer, inner: number, outer: number"),
    KE_CMD("SetPointLight", Lights, &keSetPointLight, None, "light ID: integer, x: number, y: number, z: number"),
    KE_CMD("LightExist", Lights, &keLightExist, Boolean, "light ID: integer"),
    KE_CMD("LightVisible", Lights, &keLightVisible, Boolean, "light ID: integer"),
    KE_CMD("SetLightRotationXYZ", Lights, &keSetLightRotationXYZ, None, "light ID: integer"),
    KE_CMD("SetLightRotationZYX", Lights, &keSetLightRotationXYZ, None, "light ID: integer"),
    KE_CMD("SetLightRange", Lights, &keSetLightRange, None, "light ID: integer, range: number"),
    KE_CMD("ColorLight", Lights, &keColorLight, None, "light ID: integer, colour: colour"),
    KE_CMD("SetLightRawColor", Lights, &keSetLightRawColor, None, "light ID: integer, r: number, g: number, b: number"),
    KE_CMD("SetLightIntensity", Lights, &keSetLightIntensity, None, "light ID: integer, intensity: number"),
    KE_CMD("ShowLight", Lights, &keShowLight, None, "light ID: integer"),
    KE_CMD("HideLight", Lights, &keHideLight, None, "light ID: integer"),
    KE_CMD("DeleteLight", Lights, &keDeleteLight, None, "light ID: integer"),
    KE_CMD("PositionLight", Lights, &kePositionLight, None, "light ID: integer, x: number, y: number, z: number"),
    KE_CMD("RotateLight", Lights, &keRotateLight, None, "light ID: integer, x: number, y: number, z: number"),
    KE_CMD("ColorAmbientLight", Lights, &keColorAmbientLight, None, "colour: colour"),
    KE_CMD("ColorBackdrop", Lights, &keColorBackdrop, None, "colour: colour"),
    KE_CMD("SetLightShadow", Lights, &keSetLightShadow, None, "light ID: integer, on: boolean"),
    KE_CMD("ColorLightShadow", Lights, &keColorLightShadow, None, "light ID: integer, colour: colour"),
    KE_CMD("SetShadowMapSize", Lights, &keSetShadowMapSize, None, "light ID: integer, size: integer"),
    KE_CMD("SetShadowMapFuzz", Lights, &keSetShadowMapFuzz, None, "light ID: integer, fuzz: number"),

    // Music
    KE_CMD("LoadMusic", Music, &keLoadMusic, None, "file: string, music ID: integer"),
    KE_CMD("MusicExist", Music, &keMusicExist, Boolean, "music ID: integer"),
    KE_CMD("DeleteMusic", Music, &keDeleteMusic, None, "music ID: integer"),
    KE_CMD("StopMusic", Music, &keStopMusic, None, "music ID: integer"),
    KE_CMD("PlayMusic", Music, &kePlayMusic, None, "music ID: integer"),
    KE_CMD("PauseMusic", Music, &kePauseMusic, None, "music ID: integer"),
    KE_CMD("ResumeMusic", Music, &keResumeMusic, None, "music ID: integer"),
    KE_CMD("SetMusicPosition", Music, &keSetMusicPosition, None, "music ID: integer, position in ms: integer"),
    KE_CMD("GetMusicPosition", Music, &keGetMusicPosition, Integer, "music ID: integer"),
    KE_CMD("SetMusicVolume", Music, &setMusicVolume, None, "music ID: integer, volume: integer"),
    KE_CMD("MusicVolume", Music, &keMusicVolume, Integer, "music ID: integer"),

    // Objects and surfaces
    KE_CMD("LoadObject", Objects, &keLoadObject, None, "file: string, object ID: integer"),
    KE_CMD("InstanceObject", Objects, &keCloneObject, None, "new object ID: integer, source object ID: integer"),
    KE_CMD("CloneObject", Objects, &keCloneObject, None, "new object ID: integer, source object ID: integer"),
    KE_CMD("ObjectExist", Objects, &keObjectExist, Boolean, "object ID: integer"),
    KE_CMD("ObjectVisible", Objects, &keObjectVisible, Boolean, "object ID: integer"),
    KE_CMD("SetObjectRotationXYZ", Objects, &keSetLightRotationXYZ, None, "object ID: integer"),
    KE_CMD("SetObjectRotationZYX", Objects, &keSetLightRotationXYZ, None, "object ID: integer"),
    KE_CMD("GhostObjectOn", Objects, &keGhostObjectOn, None, "object ID: integer"),
    KE_CMD("SetAlphaMappingOn", Objects, &keSetAlphaMappingOn, None, "object ID: integer, value: number"),
    KE_CMD("ShowObject", Objects, &keShowObject, None, "object ID: integer"),
    KE_CMD("HideObject", Objects, &keHideObject, None, "object ID: integer"),
    KE_CMD("DeleteObject", Objects, &keDeleteObject, None, "object ID: integer"),
    KE_CMD("LockObjectOn", Objects, &keLockObjectOn, None, "object ID: integer"),
    KE_CMD("LockObjectOff", Objects, &keLockObjectOff, None, "object ID: integer"),
    KE_CMD("PositionObject", Objects, &kePositionObject, None, "object ID: integer, x: number, y: number, z: number"),
    KE_CMD("RotateObject", Objects, &keRotateObject, None, "object ID: integer, x: number, y: number, z: number"),
    KE_CMD("ScaleObject", Objects, &keScaleObject, None,
           "object ID: integer, x %: number, y %: number, z %: number"),
    KE_CMD("TotalObjectFrames", Objects, &keTotalObjectFrames, Integer, "object ID: integer"),
    KE_CMD("SetObjectFrame", Objects, &keSetObjectFrame, None, "object ID: integer, frame: number"),
    KE_CMD("GetObjectRadius", Objects, &keGetObjectRadius, Number, "object ID: integer"),
    KE_OWN("SetObjectMorph", Objects, &setObjectMorph, "none",
           "object ID: integer, morph indices: {integer}, weights: {number}", true, "itu"),
    KE_CMD("GetObjectMorphCount", Objects, &keGetObjectMorphCount, Integer, "object ID: integer"),
    KE_SURFACE_PARAM("SetObjectSurfaceParamTex", &keSetObjectSurfaceParamTex,
                     "object ID: integer, surface: integer, parameter name: string, texture file: string"),
    KE_SURFACE_PARAM("SetObjectSurfaceParamTexImg", &keSetObjectSurfaceParamTexImg,
                     "object ID: integer, surface: integer, parameter name: string, image ID: integer"),
    KE_SURFACE_PARAM("SetObjectSurfaceParamInt", &keSetObjectSurfaceParamInt,
                     "object ID: integer, surface: integer, parameter name: string, value: integer"),
    KE_SURFACE_PARAM("SetObjectSurfaceParamFloat", &keSetObjectSurfaceParamFloat,
                     "object ID: integer, surface: integer, parameter name: string, value: number"),
    KE_SURFACE_PARAM("SetObjectSurfaceParamFloat3", &keSetObjectSurfaceParamFloat3,
                     "object ID: integer, surface: integer, parameter name: string, x: number, y: number, z: number"),
    KE_CMD("SetObjectSurfaceEffect", Objects, &keSetObjectSurfaceEffect, None,
           "object ID: integer, surface: integer, effect ID: integer"),
    KE_CMD("SetObjectSurfaceEffectTechnique", Objects, &keSetObjectSurfaceEffectTechnique, None,
           "object ID: integer, surface: integer, technique: integer"),
    KE_CMD("UpdateObjectFromSurfaces", Objects, &keUpdateObjectFromSurfaces, None, "object ID: integer"),
    KE_NOT_IMPLEMENTED("SetObjectSurfaces", Objects),
};

#undef KE_CMD
#undef KE_CMD_FREE
#undef KE_OWN
#undef KE_SURFACE_PARAM
#undef KE_LATER
#undef KE_LATER_FREE
#undef KE_NOT_IMPLEMENTED

static_assert(sizeof kCommands / sizeof kCommands[0] == KE_SCRIPT_COMMAND_COUNT, "the script has 234 commands");

const char* const kFamilyNames[] = {
    "Engine and frame", "Window, screen and dialogs", "Keyboard and mouse", "Joystick", "Files and paths",
    "2D drawing, colours, text and fades", "Images", "Camera", "Camera effects", "Effects", "Fx emitters",
    "Lights", "Music", "Objects and surfaces",
};
static_assert(sizeof kFamilyNames / sizeof kFamilyNames[0] == static_cast<size_t>(KeCommandFamily::Count),
              "one name per family");

}  // namespace

const KeCommand* keScriptCommands() { return kCommands; }

const char* keCommandFamilyName(KeCommandFamily family) {
    const int i = static_cast<int>(family);
    return i >= 0 && i < static_cast<int>(KeCommandFamily::Count) ? kFamilyNames[i] : "?";
}

void keSetScriptDialogs(const KeScriptDialogs& dialogs) { g_dialogs = dialogs; }

void keScriptOpenCommands(lua_State* L) {
    lua_createtable(L, 0, KE_SCRIPT_COMMAND_COUNT);
    for (const KeCommand& c : kCommands) {
        if (c.state == KeCommandState::Unavailable) {
            lua_pushstring(L, c.name);
            lua_pushcclosure(L, c.binding, 1);
        } else {
            lua_pushcfunction(L, c.binding);
        }
        lua_setfield(L, -2, c.name);
    }
    luaL_getsubtable(L, LUA_REGISTRYINDEX, "_LOADED");
    lua_pushvalue(L, -2);
    lua_setfield(L, -2, "ke");
    lua_pop(L, 1);
    lua_setglobal(L, "ke");
}

}  // namespace kolm
