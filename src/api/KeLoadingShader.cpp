#include "api/KeLoadingShader.h"

namespace kolm {

// The shader services are not part of this build yet: the loading screen draws the picture
// and the progress bar instead.
void keLoadingShaderCreate(KeLoadingShader* shader, irr::video::ITexture*) { shader->material = -1; }
void keLoadingShaderDraw(KeLoadingShader*, float, int, int) {}
void keLoadingShaderRelease(KeLoadingShader* shader) { shader->material = -1; }

}  // namespace kolm
