# setup.exe: the core, the Win32 platform and the resources, linked
# statically into a hardened GUI program that imports only known DLLs.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS win32/*.cpp)
list(REMOVE_ITEM WIN32_SOURCES ${CMAKE_SOURCE_DIR}/win32/setupcheck_main.cpp)
add_executable(setup WIN32 ${WIN32_SOURCES} resources/setup.rc)
# The resource compiler's inputs, which the build does not track by itself.
file(GLOB RESOURCE_INPUTS CONFIGURE_DEPENDS resources/setup.ico resources/setup.manifest resources/strings/*)
set_source_files_properties(resources/setup.rc PROPERTIES OBJECT_DEPENDS "${RESOURCE_INPUTS}")
target_link_libraries(setup PRIVATE setup_core comctl32 ole32 shell32 advapi32 gdi32 user32)
# The wide ("W") functions and types by default; the entry point is wWinMain.
target_compile_definitions(setup PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 UNICODE _UNICODE)
target_compile_definitions(setup_core PRIVATE _WIN32_WINNT=0x0601)

set(HARDENING -static -s -Wl,--dynamicbase -Wl,--nxcompat -municode)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  list(APPEND HARDENING -Wl,--high-entropy-va)
endif()
target_link_options(setup PRIVATE ${HARDENING})

# Size: the presets build for size (-Os). Every function and object gets a
# section of its own, so that the linker drops what nothing uses, and the
# whole program is optimised at link time.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(SIZE_OPTIONS -ffunction-sections -fdata-sections)
  # Nothing throws: the core reports by result codes, and what the C++
  # library would throw ends the process (win32/fatal_errors.cpp).
  # x86 needs no unwind tables either (its structured exceptions chain
  # frames at run time); x64 keeps them, which the system's unwinder reads
  # to reach the guard of the installer calls.
  list(APPEND SIZE_OPTIONS -fno-exceptions -fno-rtti)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND SIZE_OPTIONS -fno-asynchronous-unwind-tables -fno-unwind-tables)
  endif()
  target_compile_options(setup_core PRIVATE ${SIZE_OPTIONS})
  target_compile_options(setup PRIVATE ${SIZE_OPTIONS})
  # One link-time partition: GCC 12 fails with an internal error (in
  # binds_to_current_def_p) on symbols split across partitions.
  target_link_options(setup PRIVATE -Wl,--gc-sections -flto-partition=one)
  set_property(TARGET setup_core setup PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  # The guard's code must stay as written: x64's __try1 writes handler data
  # with fixed labels into the section of the function's code (which must
  # be .text), and the x86 routine is assembly. Neither may be inlined.
  set_source_files_properties(win32/exception_guard.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-function-sections;-fno-lto")
  # GCC 12 fails with an internal error when this instantiation takes part
  # in link-time optimisation.
  set_source_files_properties(win32/string_instance.cpp PROPERTIES
    COMPILE_OPTIONS -fno-lto)
  # printf-style formatting by msvcrt.dll, through the runtime's C99 wrapper
  # __ms_vsnprintf, instead of a second, static printf: the program formats
  # only text and integers, which both format alike.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(symbol_prefix _)  # x86 C symbols carry a leading underscore
  endif()
  target_link_options(setup PRIVATE
    -Wl,--defsym=${symbol_prefix}__mingw_vsnprintf=${symbol_prefix}__ms_vsnprintf)
endif()

if(SETUP_DIST_DIR)
  add_custom_command(TARGET setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SETUP_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup> ${SETUP_DIST_DIR}/setup.exe)
endif()

# setupcheck.exe: the media checker, a console program over the same
# platform; shipped once, as the x86 program.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Its size is not budgeted: it links the C++ library's own std::string.
  list(REMOVE_ITEM WIN32_SOURCES ${CMAKE_SOURCE_DIR}/win32/winmain.cpp
    ${CMAKE_SOURCE_DIR}/win32/string_instance.cpp)
  add_executable(setupcheck win32/setupcheck_main.cpp ${WIN32_SOURCES})
  target_link_libraries(setupcheck PRIVATE setup_checker comctl32 ole32 shell32 advapi32 gdi32 user32)
  target_compile_definitions(setupcheck PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 UNICODE _UNICODE)
  target_link_options(setupcheck PRIVATE ${HARDENING})
  # Linked without link-time optimisation (GCC 12 fails inside it on the
  # checker's code), from the machine code the core's objects also carry.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(setup_core PRIVATE -ffat-lto-objects)
    target_compile_options(setup_checker PRIVATE ${SIZE_OPTIONS})
    target_compile_options(setupcheck PRIVATE ${SIZE_OPTIONS})
    target_link_options(setupcheck PRIVATE -fno-lto -Wl,--gc-sections)
  endif()
  if(SETUP_DIST_DIR)
    add_custom_command(TARGET setupcheck POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setupcheck> ${SETUP_DIST_DIR}/setupcheck.exe)
  endif()
endif()

# Helper programs of the end-to-end tests, built by the same toolchain.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/tools/CMakeLists.txt)
  add_subdirectory(tests/e2e/tools)
endif()
