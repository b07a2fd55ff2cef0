// Image commands of the object API: images loaded from files or made as render targets under
// IDs of the image table (capacity 1000), pasted onto the frame through the 2D draw queue, and
// rendered into.
//
// Operations on an existing ID record "Image ID %d does not exist. %s" [1] when the ID is not
// registered (keImageExist and keDeleteImage never record anything). Results: 0, or -1 after
// the recorded message.
#pragma once

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

// What an image ID holds.
struct KeImageRecord {
    int id = 0;
    irr::video::ITexture* texture = nullptr;  // the driver's; see keDeleteImage
    bool made = false;                        // a render target of keMakeImage
    bool onSurface = false;  // given to a surface, which holds no reference: kept with the driver
};

// Loads a picture file (as named, else where the file search finds it) as a texture of the
// video driver under `id`, replacing an image registered there. "invalid Image ID %d : %s" [2];
// "Failed to load image '%s'" [1], the ID left free.
int keLoadImage(const char* file, int id);
// Makes a width x height render target (32-bit ARGB, no mip maps) named "keRtImage<id>" under
// `id`, replacing an image registered there. A width or height below 1 records "invalid image
// size %d x %d" at its argument [1] or [2]; "invalid Image ID %d : %s" [3]; "Failed to make
// image" [1], the ID left free.
int keMakeImage(int width, int height, int id);
// Renders one frame (scene, GUI, 2D queue, which it empties) into a made image, cleared first
// with the backdrop colour when `clear`. "Image ID %d is not renderable" [1] for a loaded image.
int keRenderToImage(int id, bool clear);
// Queue the image at (x, y) in its own size, or stretched to width x height, in the image
// colour and alpha; `useAlpha` blends with the texture's alpha channel.
int kePasteImage(int id, int x, int y, bool useAlpha);
int kePasteImageStretch(int id, int x, int y, int width, int height, bool useAlpha);
// Queue the image drawn by an effect on the screen quad: "Effect ID %d does not exist. %s" [6].
int kePasteImageWithEffect(int id, int x, int y, int width, int height, int effectId);
bool keImageExist(int id);
// Frees the record and the ID; an unregistered ID is ignored. A loaded texture stays with the
// video driver (others may load the same file); a made render target is given back to the
// driver and lives on only while queued entries or effects still hold it.
int keDeleteImage(int id);
// The texture's size as loaded or made; 0 after the "does not exist" message.
int keImageWidth(int id);
int keImageHeight(int id);
// The texture of a registered image without recording anything (null otherwise).
irr::video::ITexture* keImageTexture(int id);
// Deletes every registered image (engine shut-down, while the driver exists).
void keDeleteAllImages();

// The effect command that takes an image: the image's texture into the effect's texture
// parameter `name`, as keSetEffectTexture does with a file. "Effect ID %d does not exist. %s" [1]
// and "Unknown texture '%s'" [2] stop; "Image %d does not exist" [3] goes on with no texture,
// which clears the parameter's; "failed to set texture '%s'" [2] when the effect refuses it.
int keSetEffectTextureImage(int effectId, const char* name, int imageId);
// The surface command that takes an image: the image's texture into channel `parameter` (a
// surface parameter index) of row `surface` of an object's LightWave surface. "Object ID %d does
// not exist" [1], "Object ID %d unexpected format (no node extension)" [1], "Object ID %d has no
// surface %d" [2] and "Image %d does not exist" [4] stop. Surfaces hold no reference to their
// textures: a made image given to one stays with the driver when it is deleted.
int keSetObjectSurfaceParamTexImg(int objectId, int surface, int parameter, int imageId);

}  // namespace kolm
