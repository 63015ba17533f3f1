# The WebAssembly build's settings (included by the top CMakeLists.txt under emcmake).
#
# keldrin_web_library(TARGET VARIABLE LIBRARY WHAT): VARIABLE names the folder web/build.sh
# installed a library built for WebAssembly into (include/ and lib/LIBRARY); TARGET, an imported
# target of its headers and archive, stands in for the pkg-config target the native build uses.
function(keldrin_web_library target variable library what)
  set(${variable} "" CACHE PATH "${what} built for WebAssembly (web/build.sh)")
  if(NOT EXISTS "${${variable}}/lib/${library}")
    message(FATAL_ERROR "${variable} must name a WebAssembly ${what} (web/build.sh builds one)")
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} INTERFACE "${${variable}}/include")
  target_link_libraries(${target} INTERFACE "${${variable}}/lib/${library}")
endfunction()
keldrin_web_library(PkgConfig::OPENMPT KELDRIN_OPENMPT_PREFIX libopenmpt.a libopenmpt)
keldrin_web_library(PkgConfig::HWY KELDRIN_HWY_PREFIX libhwy.a Highway)

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
