// [KOLM_BEGIN]
//title LightWave surface for the light pre-pass renderer (transparent)
//subject surfaces
//comments The effect of transparent LightWave surfaces under the light pre-pass renderer, compiled with the surface's macros and USE_OUTDEPTH: the surface lit forward by the frame's lights as LightwaveSurface.hlsl draws it, and with USE_OUTDEPTH its view-space depth in the second target.
//
// Shading, per light of the frame's light block (at most 5: directional, point, spot):
//   colour    = BaseColor (x the colour texture)
//   diffuse   = colour x Diffuse x light x max(N.L, 0)                           (Lambert)
//   specular  = Specularity x light x max(N.H, 0)^(2^(10 Glossiness + 2))        (Blinn-Phong,
//               tinted towards the colour by ColorHighlights)
//   translucency = colour x Translucency x light x max(-N.L, 0)
//   luminosity = colour x Luminosity, added unlit
//   alpha     = 1 - Transparency (x the transparency texture)
//   reflection = lerp(lit colour, reflection image, Reflectivity), the image a cube map
//               (corrected by the node's cube-map box when boxed) or a spherical 2D map.
// Point and spot lights fade with the square of the distance over the light's radius; spot
// lights fade between the cosines of their inner and outer cones.
// Bump: the Bump channel's texture is a height map (red channel, 0 low, 1 high); its slope over
// one step of BumpStep in texture space, times the Bump channel, tilts the normal along the
// tangent frame (vertex tangents, or a frame computed per pixel with USE_COMPTANGENT).
//
// Layers of the textures: 0 colour, 1 bump (height), 2 specularity, 3 glossiness, 4 diffuse,
// 5 luminosity, 6 transparency, 7 reflection image. The Reflectivity and Translucency channels
// are read as values only (no layer is left for their textures).
// The "reflection" technique draws the same surface into cube maps, without the reflection image.
//
// config techniques : reflection
// function vertexMain : vs_main
// function pixelMain : ps_main
//
// float4x4 WorldViewProj : WorldViewProjection
// float4x4 World : World
// float4x4 ViewM : View
// float4 ViewPos : ViewPosition : pixel
// float4 LightsNum : LightsNum : pixel
// float4 LightParams : LightParams : pixel
// float3 SurfColor : Surface_BaseColor : pixel
// float SurfLuminosity : Surface_Luminosity : pixel
// float SurfDiffuse : Surface_Diffuse : pixel
// float SurfSpecularity : Surface_Specularity : pixel
// float SurfGlossExponent : Surface_Roughness : pixel
// float SurfColorHighlights : Surface_ColorHighlights : pixel
// float SurfTransparency : Surface_Transparency : pixel
// float SurfTranslucency : Surface_Translucency : pixel
// float SurfReflectivity : Surface_Reflectivity : pixel
// float SurfBump : Surface_Bump : pixel
// float BumpStep : 0.00390625 : pixel
//KOLM_PP:D:CUBEMAPAABB:// float4 CubeMapPos : CubeMapPosition : pixel
//KOLM_PP:D:CUBEMAPAABB:// float4 CubeBoxPos : CubeMapAABBPosition : pixel
//KOLM_PP:D:CUBEMAPAABB:// float4 CubeBoxScale : CubeMapAABBScale : pixel
//
//KOLM_PP:D:TEX_COLOR:// texture 0 : Color : repeat trilinear
//KOLM_PP:D:TEX_NORMAL:// texture 1 : Bump : repeat trilinear
//KOLM_PP:D:TEX_SPECULAR:// texture 2 : Specularity : repeat trilinear
//KOLM_PP:D:TEX_GLOSSINESS:// texture 3 : Glossiness : repeat trilinear
//KOLM_PP:D:TEX_DIFFUSE:// texture 4 : Diffuse : repeat trilinear
//KOLM_PP:D:TEX_LUMINOSITY:// texture 5 : Luminosity : repeat trilinear
//KOLM_PP:D:TEX_TRANSPARENCY:// texture 6 : Transparency : repeat trilinear
//KOLM_PP:U:TECH_REFLECT://KOLM_PP:D:TEX_REFLECCUBE:// texture 7 : ReflectionImage : cube clamp_to_edge trilinear
//KOLM_PP:U:TECH_REFLECT://KOLM_PP:D:TEX_REFLECIMG://KOLM_PP:U:TEX_REFLECCUBE:// texture 7 : ReflectionImage : repeat trilinear
// [KOLM_END]
//
// The surface code is LightwaveSurface.hlsl's; its pixel shader is renamed here and wrapped so
// that the depth goes into the second target.

#define ps_main ps_surface
#include "LightwaveSurface.hlsl"
#undef ps_main

float4x4 ViewM;

struct PsOut {
    float4 colour : COLOR0;
#ifdef USE_OUTDEPTH
    float4 depth : COLOR1;
#endif
};

PsOut ps_main(VsOut i) {
    PsOut o;
    o.colour = ps_surface(i);
#ifdef USE_OUTDEPTH
    o.depth = float4(mul(ViewM, float4(i.worldPos, 1.0)).z, 0.0, 0.0, 0.0);
#endif
    return o;
}
