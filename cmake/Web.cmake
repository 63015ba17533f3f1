# The WebAssembly build's settings (included by the top CMakeLists.txt under emcmake).
#
# KELDRIN_OPENMPT_PREFIX names where web/build.sh installed libopenmpt for WebAssembly
# (include/ and lib/libopenmpt.a); it stands in for the pkg-config target the native build uses.
set(KELDRIN_OPENMPT_PREFIX "" CACHE PATH "libopenmpt built for WebAssembly (web/libopenmpt)")
if(NOT EXISTS "${KELDRIN_OPENMPT_PREFIX}/lib/libopenmpt.a")
  message(FATAL_ERROR "KELDRIN_OPENMPT_PREFIX must name a WebAssembly libopenmpt (web/build.sh builds one)")
endif()
add_library(PkgConfig::OPENMPT INTERFACE IMPORTED)
target_include_directories(PkgConfig::OPENMPT INTERFACE "${KELDRIN_OPENMPT_PREFIX}/include")
target_link_libraries(PkgConfig::OPENMPT INTERFACE "${KELDRIN_OPENMPT_PREFIX}/lib/libopenmpt.a")
# KELDRIN_HWY_PREFIX likewise names Highway built for WebAssembly (its headers and libhwy.a).
set(KELDRIN_HWY_PREFIX "" CACHE PATH "Highway built for WebAssembly")
if(NOT EXISTS "${KELDRIN_HWY_PREFIX}/lib/libhwy.a")
  message(FATAL_ERROR "KELDRIN_HWY_PREFIX must name a WebAssembly Highway (web/build.sh builds one)")
endif()
add_library(PkgConfig::HWY INTERFACE IMPORTED)
target_include_directories(PkgConfig::HWY INTERFACE "${KELDRIN_HWY_PREFIX}/include")
target_link_libraries(PkgConfig::HWY INTERFACE "${KELDRIN_HWY_PREFIX}/lib/libhwy.a")

# The project's warning options are GCC's; clang does not know one of them.
add_compile_options(-Wno-unknown-warning-option)
# WebAssembly's 128-bit SIMD, which every current browser has (the page says so where one has
# not): the rasterizer's lane stages run on Highway's WASM target, and the compiler vectorises
# what else it can.
add_compile_options(-msimd128)

# keldrin_web_program(TARGET): the program as keldrin.js and keldrin.wasm for the page
# (web/index.html), which loads the data into its file system and starts it.
#
# The program's own loop stays as written: every wait (a swap's retrace, Sleep, a loop waiting for
# a key) gives the thread back to the page and resumes there (Asyncify). Asyncify instruments only
# the functions that can be on the stack at such a wait: those calling a wait directly or through
# direct calls, plus the main loop, which reaches the scenes' operations through the scene table
# (indirect calls are otherwise assumed never to wait). The rasterizer, the mixer and libopenmpt
# are never on that stack and run untouched.
function(keldrin_web_program target)
  # clang reads the span picker's fold expression (SpanInternal.h) as a discarded value.
  target_compile_options(glide_core PRIVATE -Wno-unused-value)
  set_target_properties(${target} PROPERTIES SUFFIX ".js")
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:platform_libm>)
  # The main loop and its scene switch, under whichever name holds them once the optimiser has
  # inlined them (the names it no longer has are reported and ignored).
  set(asyncify_add "main" "WinMain" "MainLoop()" "(anonymous namespace)::AdvanceScene(int&)")
  string(REPLACE ";" "\",\"" asyncify_add "${asyncify_add}")
  target_link_options(${target} PRIVATE
    -sASYNCIFY=1
    -sASYNCIFY_IGNORE_INDIRECT=1
    "SHELL:-s ASYNCIFY_ADD=[\"${asyncify_add}\"]"
    -sASYNCIFY_STACK_SIZE=65536
    # Windows never maps the lowest 64 KiB, which lets a Win32 argument be a pointer or an atom
    # (a class name, an icon id) by its value; nothing of the program's lies there either.
    -sGLOBAL_BASE=65536
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=67108864
    -sEXIT_RUNTIME=1
    -sMODULARIZE=1
    -sEXPORT_NAME=KeldrinProgram
    -sENVIRONMENT=web
    "SHELL:-s EXPORTED_RUNTIME_METHODS=[\"FS\",\"ENV\"]"
    -fexceptions
    # The link's own optimisation of the whole module at -O2, not the compile's -O3: the same
    # speed in the browser (4.4 ms a frame of the cartoon either way), a twelfth less to load
    # (2.25 MB instead of 2.37), a quarter less link time (32 CPU seconds instead of 44).
    -O2)
endfunction()
