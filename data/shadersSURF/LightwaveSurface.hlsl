// [KOLM_BEGIN]
//title LightWave surface, lit forward by the frame's lights
//subject surfaces
//comments The effect that a LightWave surface is drawn with: load it with the surface's effect compile parameters. Channels come from the surface bound to the material, textures from its texture channels.
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
//   kolm-shaderc -D USE_TEX_COLOR -D USE_TEX_NORMAL data/shadersSURF/LightwaveSurface.hlsl

// The surface channels that select a texture coordinate set: the second set where the mesh
// buffer marks the channel (USE_UV2_TEX_*), else the first.
#ifdef USE_UV2_TEX_COLOR
#define UV_COLOR uv.zw
#else
#define UV_COLOR uv.xy
#endif
#ifdef USE_UV2_TEX_NORMAL
#define UV_NORMAL uv.zw
#else
#define UV_NORMAL uv.xy
#endif
#ifdef USE_UV2_TEX_SPECULAR
#define UV_SPECULAR uv.zw
#else
#define UV_SPECULAR uv.xy
#endif
#ifdef USE_UV2_TEX_GLOSSINESS
#define UV_GLOSSINESS uv.zw
#else
#define UV_GLOSSINESS uv.xy
#endif
#ifdef USE_UV2_TEX_DIFFUSE
#define UV_DIFFUSE uv.zw
#else
#define UV_DIFFUSE uv.xy
#endif
#ifdef USE_UV2_TEX_LUMINOSITY
#define UV_LUMINOSITY uv.zw
#else
#define UV_LUMINOSITY uv.xy
#endif
#ifdef USE_UV2_TEX_TRANSPARENCY
#define UV_TRANSPARENCY uv.zw
#else
#define UV_TRANSPARENCY uv.xy
#endif
#ifdef USE_UV2_TEX_REFLECTIVITY
#define UV_REFLECTION uv.zw
#else
#define UV_REFLECTION uv.xy
#endif

// Vertex tangents are used when the mesh carries them (bump without USE_COMPTANGENT).
#if defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)
#define USE_VERTEX_TANGENTS
#endif

#if defined(USE_TEX_REFLECIMG) && !defined(USE_TECH_REFLECT)
#define USE_REFLECTION_IMAGE
#endif

// The light block in the engine's register layout: one register per member, the value in its
// first components (3 registers of counts, 5 per light).
struct LightCounts {
    float4 LightDirsNum;
    float4 LightPointsNum;
    float4 LightSpotsNum;
};

struct LightParam {
    float4 LightColor;
    float4 LightPosition;
    float4 LightDirection;
    float4 InvLightRadiusSqr;
    float4 SpotlightAngles;
};

float4x4 WorldViewProj;
float4x4 World;
float4 ViewPos;
LightCounts LightsNum;
LightParam LightParams[5];
float3 SurfColor;
float SurfLuminosity;
float SurfDiffuse;
float SurfSpecularity;
float SurfGlossExponent;
float SurfColorHighlights;
float SurfTransparency;
float SurfTranslucency;
float SurfReflectivity;
float SurfBump;
float BumpStep;
#ifdef USE_CUBEMAPAABB
float4 CubeMapPos;
float4 CubeBoxPos;
float4 CubeBoxScale;
#endif

#ifdef USE_TEX_COLOR
sampler2D ColorMap : register(s0);
#endif
#ifdef USE_TEX_NORMAL
sampler2D HeightMap : register(s1);
#endif
#ifdef USE_TEX_SPECULAR
sampler2D SpecularMap : register(s2);
#endif
#ifdef USE_TEX_GLOSSINESS
sampler2D GlossinessMap : register(s3);
#endif
#ifdef USE_TEX_DIFFUSE
sampler2D DiffuseMap : register(s4);
#endif
#ifdef USE_TEX_LUMINOSITY
sampler2D LuminosityMap : register(s5);
#endif
#ifdef USE_TEX_TRANSPARENCY
sampler2D TransparencyMap : register(s6);
#endif
#ifdef USE_REFLECTION_IMAGE
#ifdef USE_TEX_REFLECCUBE
samplerCUBE ReflectionMap : register(s7);
#else
sampler2D ReflectionMap : register(s7);
#endif
#endif

struct VsIn {
    float3 pos : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
#if defined(USE_VERTEX_TANGENTS) || (defined(USE_UV2) && !defined(USE_UV2INTEX2))
    float3 slot1 : TEXCOORD1;  // tangent, or the second coordinate set without tangents
#endif
#if defined(USE_VERTEX_TANGENTS) || defined(USE_UV2INTEX2)
    float3 slot2 : TEXCOORD2;  // binormal, or the second coordinate set kept in its slot
#endif
};

struct VsOut {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;  // xy first set, zw second set
    float3 worldPos : TEXCOORD1;
    float3 normal : TEXCOORD2;
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
};

VsOut vs_main(VsIn i) {
    VsOut o;
    o.pos = mul(WorldViewProj, float4(i.pos, 1.0));
    o.worldPos = mul(World, float4(i.pos, 1.0)).xyz;
    o.normal = mul(World, float4(i.normal, 0.0)).xyz;
    o.uv = float4(i.uv, i.uv);
    o.tangent = float3(0.0, 0.0, 0.0);
    o.binormal = float3(0.0, 0.0, 0.0);
#ifdef USE_UV2
#ifdef USE_UV2INTEX2
    o.uv.zw = i.slot2.xy;
#else
    o.uv.zw = i.slot1.xy;
#endif
#endif
#ifdef USE_VERTEX_TANGENTS
    o.tangent = mul(World, float4(i.slot1, 0.0)).xyz;
#ifdef USE_UV2INTEX2
    // The binormal slot holds the second coordinate set: rebuild the binormal.
    o.binormal = cross(o.normal, o.tangent);
#else
    o.binormal = mul(World, float4(i.slot2, 0.0)).xyz;
#endif
#endif
    return o;
}

// Light arriving at `worldPos` from light `k`: direction towards the light in xyz, strength
// (distance and cone fall-off) in w.
float4 lightTowards(int k, float3 worldPos, bool directional, bool spot) {
    if (directional) return float4(-normalize(LightParams[k].LightDirection.xyz), 1.0);
    float3 d = LightParams[k].LightPosition.xyz - worldPos;
    float3 l = normalize(d);
    float strength = saturate(1.0 - dot(d, d) * LightParams[k].InvLightRadiusSqr.x);
    if (spot) {
        float c = dot(-l, normalize(LightParams[k].LightDirection.xyz));
        float2 cones = LightParams[k].SpotlightAngles.xy;  // cos inner, cos outer
        strength *= saturate((c - cones.y) / max(cones.x - cones.y, 0.0001));
    }
    return float4(l, strength);
}

float4 ps_main(VsOut i) : COLOR0 {
    float4 uv = i.uv;
    float3 n = normalize(i.normal);

    float3 colour = SurfColor;
#ifdef USE_TEX_COLOR
    float4 colourTexel = tex2D(ColorMap, UV_COLOR);
    colour *= colourTexel.rgb;
#endif

#ifdef USE_TEX_NORMAL
    float3 t, b;
#ifdef USE_COMPTANGENT
    // Tangent frame from the screen derivatives of position and texture coordinates.
    float3 dpx = ddx(i.worldPos), dpy = ddy(i.worldPos);
    float2 dtx = ddx(UV_NORMAL), dty = ddy(UV_NORMAL);
    float3 px = cross(n, dpx), py = cross(dpy, n);
    t = py * dtx.x + px * dty.x;
    b = py * dtx.y + px * dty.y;
    float frame = rsqrt(max(max(dot(t, t), dot(b, b)), 1e-20));
    t *= frame;
    b *= frame;
#else
    t = normalize(i.tangent - n * dot(n, i.tangent));
    b = normalize(i.binormal - n * dot(n, i.binormal) - t * dot(t, i.binormal));
#endif
    float2 h = UV_NORMAL;
    float slopeU = tex2D(HeightMap, h + float2(BumpStep, 0.0)).r - tex2D(HeightMap, h - float2(BumpStep, 0.0)).r;
    float slopeV = tex2D(HeightMap, h + float2(0.0, BumpStep)).r - tex2D(HeightMap, h - float2(0.0, BumpStep)).r;
    n = normalize(n - SurfBump * 0.5 * (slopeU * t + slopeV * b));
#endif

    float diffuse = SurfDiffuse;
#ifdef USE_TEX_DIFFUSE
    diffuse *= tex2D(DiffuseMap, UV_DIFFUSE).r;
#endif
    float specularity = SurfSpecularity;
#ifdef USE_TEX_SPECULAR
    specularity *= tex2D(SpecularMap, UV_SPECULAR).r;
#endif
    float exponent = SurfGlossExponent;
#ifdef USE_TEX_GLOSSINESS
    exponent = exp2(tex2D(GlossinessMap, UV_GLOSSINESS).r * 10.0 + 2.0);
#endif
    float luminosity = SurfLuminosity;
#ifdef USE_TEX_LUMINOSITY
    luminosity *= tex2D(LuminosityMap, UV_LUMINOSITY).r;
#endif
    float3 highlight = lerp(float3(1.0, 1.0, 1.0), colour, saturate(SurfColorHighlights));

    float3 v = normalize(ViewPos.xyz - i.worldPos);
    float3 lit = float3(0.0, 0.0, 0.0);
    int dirs = (int)LightsNum.LightDirsNum.x;
    int points = (int)LightsNum.LightPointsNum.x;
    int spots = (int)LightsNum.LightSpotsNum.x;
    for (int k = 0; k < 5; ++k) {
        if (k >= dirs + points + spots) break;
        float4 l = lightTowards(k, i.worldPos, k < dirs, k >= dirs + points);
        float3 light = LightParams[k].LightColor.rgb * l.w;
        float nl = dot(n, l.xyz);
        lit += colour * diffuse * light * saturate(nl);
        lit += colour * SurfTranslucency * light * saturate(-nl);
        float3 hv = normalize(l.xyz + v);
        lit += highlight * specularity * light * pow(saturate(dot(n, hv)), exponent) * step(0.0, nl);
    }
    lit += colour * luminosity;

#ifdef USE_REFLECTION_IMAGE
    float3 r = reflect(-v, n);
#ifdef USE_TEX_REFLECCUBE
#ifdef USE_CUBEMAPAABB
    // The reflected ray meets the cube map's box; look up the box point seen from the centre.
    float3 boxMin = CubeBoxPos.xyz - CubeBoxScale.xyz * 0.5, boxMax = CubeBoxPos.xyz + CubeBoxScale.xyz * 0.5;
    float3 exits = max((boxMax - i.worldPos) / r, (boxMin - i.worldPos) / r);
    float dist = min(min(exits.x, exits.y), exits.z);
    r = i.worldPos + r * dist - CubeMapPos.xyz;
#endif
    float3 reflection = texCUBE(ReflectionMap, r).rgb;
#else
    // Spherical map: the reflection vector's longitude across, latitude down.
    float2 sphere = float2(atan2(r.x, r.z) * 0.1591549 + 0.5, 0.5 - asin(clamp(r.y, -1.0, 1.0)) * 0.3183099);
    float3 reflection = tex2D(ReflectionMap, sphere).rgb;
#endif
    lit = lerp(lit, reflection, saturate(SurfReflectivity));
#endif

    float alpha = 1.0;
#ifdef USE_TRANSPARENT
    float transparency = SurfTransparency;
#ifdef USE_TEX_TRANSPARENCY
    transparency *= tex2D(TransparencyMap, UV_TRANSPARENCY).r;
#endif
    alpha = saturate(1.0 - transparency);
#ifdef USE_TEX_COLOR
    alpha *= colourTexel.a;
#endif
#endif
    return float4(lit, alpha);
}
