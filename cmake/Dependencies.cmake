# Every outside library comes from a stock Debian 12 package (scripts/deps.sh installs them).
# Each one is wrapped in an imported target kolm::<name> so modules link by name only.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

function(kolm_pkg name module)
  pkg_check_modules(${name}_PC REQUIRED IMPORTED_TARGET ${module})
  add_library(kolm::${name} INTERFACE IMPORTED GLOBAL)
  target_link_libraries(kolm::${name} INTERFACE PkgConfig::${name}_PC)
endfunction()

kolm_pkg(lua lua5.2)
kolm_pkg(zip libzip)
kolm_pkg(epoxy epoxy)
kolm_pkg(mpg123 libmpg123)
kolm_pkg(sdl2 sdl2)
kolm_pkg(xrandr xrandr)
kolm_pkg(zlib zlib)

find_package(X11 REQUIRED)
add_library(kolm::x11 INTERFACE IMPORTED GLOBAL)
target_link_libraries(kolm::x11 INTERFACE X11::X11)

# Irrlicht 1.8.5 ships no pkg-config file.
find_path(IRRLICHT_INCLUDE_DIR irrlicht.h PATH_SUFFIXES irrlicht REQUIRED)
find_library(IRRLICHT_LIBRARY Irrlicht REQUIRED)
find_package(OpenGL REQUIRED)
add_library(kolm::irrlicht INTERFACE IMPORTED GLOBAL)
target_include_directories(kolm::irrlicht SYSTEM INTERFACE ${IRRLICHT_INCLUDE_DIR})
target_link_libraries(kolm::irrlicht INTERFACE ${IRRLICHT_LIBRARY} OpenGL::GL X11::Xxf86vm X11::X11)

find_path(INIPARSER_INCLUDE_DIR iniparser.h PATH_SUFFIXES iniparser REQUIRED)
find_library(INIPARSER_LIBRARY iniparser REQUIRED)
add_library(kolm::iniparser INTERFACE IMPORTED GLOBAL)
target_include_directories(kolm::iniparser SYSTEM INTERFACE ${INIPARSER_INCLUDE_DIR})
target_link_libraries(kolm::iniparser INTERFACE ${INIPARSER_LIBRARY})

# HLSL front end (glslang) and SPIR-V to GLSL (SPIRV-Cross), static libraries.
find_package(glslang CONFIG REQUIRED)
add_library(kolm::glslang INTERFACE IMPORTED GLOBAL)
target_compile_definitions(kolm::glslang INTERFACE ENABLE_HLSL=1)
target_link_libraries(kolm::glslang INTERFACE
  glslang::glslang glslang::SPIRV glslang::glslang-default-resource-limits)
foreach(lib spirv-cross-glsl spirv-cross-reflect spirv-cross-core)
  find_library(KOLM_${lib}_LIB ${lib} REQUIRED)
endforeach()
add_library(kolm::spirvcross INTERFACE IMPORTED GLOBAL)
target_include_directories(kolm::spirvcross SYSTEM INTERFACE /usr/include/spirv_cross)
target_link_libraries(kolm::spirvcross INTERFACE
  ${KOLM_spirv-cross-reflect_LIB} ${KOLM_spirv-cross-glsl_LIB} ${KOLM_spirv-cross-core_LIB})

if(KOLM_TESTS)
  find_package(GTest REQUIRED)
endif()
if(KOLM_BENCH)
  find_package(benchmark REQUIRED)
endif()
