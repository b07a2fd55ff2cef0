// Live update of shaders in development runs: the five shader folders under the base directory
// are watched, and once per frame any changed file rebuilds the shaders that read it.
#pragma once

namespace kolm {

class IKeGPUProgrammingServices;

// Watches "shaders", "shadersHV", "shadersPP", "shadersSURF" and "shadersSURF2" under baseDir
// with folder watches 0 to 4. Nothing in packaged runs. Folders that do not exist are skipped.
void keShaderHotUpdateStart(const char* baseDir);

// Once per frame: when a watch reports changes, waits 200 ms for the editor to finish writing,
// collects the changed files (at most 100), logs "updating shaders...", rebuilds the shaders
// that use them through the services, logs "updating shaders done" (both also when no file
// was listed), and resets the watches. Returns the number of changed files handled.
int keShaderHotUpdatePoll(IKeGPUProgrammingServices* services);

// Deletes the five watches.
void keShaderHotUpdateStop();

}  // namespace kolm
