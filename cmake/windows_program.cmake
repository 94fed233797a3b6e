# setup.exe: the core, the Win32 platform and the resources, linked
# statically into a hardened GUI program that imports only known DLLs.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS platform/win32/*.cpp)
list(REMOVE_ITEM WIN32_SOURCES ${CMAKE_SOURCE_DIR}/platform/win32/setupcheck_main.cpp)
add_executable(setup WIN32 ${WIN32_SOURCES} resources/setup.rc)
target_link_libraries(setup PRIVATE setup_core comctl32 ole32 shell32 advapi32 gdi32 user32)
target_compile_definitions(setup PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_definitions(setup_core PRIVATE _WIN32_WINNT=0x0601)

set(HARDENING -static -s -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  list(APPEND HARDENING -Wl,--high-entropy-va)
endif()
target_link_options(setup PRIVATE ${HARDENING})

if(SETUP_DIST_DIR)
  add_custom_command(TARGET setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SETUP_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setup> ${SETUP_DIST_DIR}/setup.exe)
endif()

# setupcheck.exe: the media checker, a console program over the same
# platform; shipped once, as the x86 program.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(REMOVE_ITEM WIN32_SOURCES ${CMAKE_SOURCE_DIR}/platform/win32/winmain.cpp)
  add_executable(setupcheck platform/win32/setupcheck_main.cpp ${WIN32_SOURCES})
  target_link_libraries(setupcheck PRIVATE setup_checker comctl32 ole32 shell32 advapi32 gdi32 user32)
  target_compile_definitions(setupcheck PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_options(setupcheck PRIVATE ${HARDENING})
  if(SETUP_DIST_DIR)
    add_custom_command(TARGET setupcheck POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:setupcheck> ${SETUP_DIST_DIR}/setupcheck.exe)
  endif()
endif()

# Helper programs of the end-to-end tests, built by the same toolchain.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/tools/CMakeLists.txt)
  add_subdirectory(tests/e2e/tools)
endif()
